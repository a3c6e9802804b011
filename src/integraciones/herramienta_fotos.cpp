// The "buscar_fotos" tool: its arguments, the contact sheet's downloads and
// the answer the agent reads.
#include <glib.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <semaphore>
#include <thread>

#include "cuenta/llavero.h"
#include "integraciones/buscar_fotos.h"
#include "plataforma/cripto.h"

namespace sorvenia::BuscarFotos {
namespace {

using Json = nlohmann::json;

constexpr double segundosMiniatura = 10;
// A thumbnail of this many bytes or more is not one.
constexpr std::size_t limiteMiniatura = 15'000'000;
// Decoded pictures take memory: only so many are decoded at once, however
// many downloads run.
std::counting_semaphore<4> decodificando(4);

struct Intento {
    Foto foto;
    std::optional<Miniatura> miniatura;
};

Intento bajar(Foto foto, std::int64_t minimo) {
    Intento intento{std::move(foto), std::nullopt};
    if (!direccionSegura(intento.foto.mini)) return intento;
    PeticionHTTP p;
    p.url = intento.foto.mini;
    p.tiempoLimite = segundosMiniatura;
    p.tiempoTotal = segundosMiniatura;
    p.limiteBytes = limiteMiniatura - 1;
    p.cabeceras = {{"User-Agent", std::string(agenteUsuario)}};
    const auto respuesta = pedirMismoHost(std::move(p));
    if (!respuesta || respuesta->status != 200) return intento;
    std::optional<Miniatura> m;
    {
        decodificando.acquire();
        m = decodificar(respuesta->cuerpo);
        decodificando.release();
    }
    if (!m) return intento;
    if (intento.foto.ancho == 0) {
        intento.foto.ancho = m->ancho;
        intento.foto.alto = m->alto;
    }
    if (minimo > 0 && (m->ancho < minimo || m->alto < minimo / 2)) return intento;
    intento.miniatura = std::move(m);
    return intento;
}

std::string recortar(std::string t) {
    const auto blanco = [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!t.empty() && blanco(static_cast<unsigned char>(t.back()))) t.pop_back();
    std::size_t i = 0;
    while (i < t.size() && blanco(static_cast<unsigned char>(t[i]))) ++i;
    return t.substr(i);
}

std::string textoO(const Json& args, const char* clave, std::string defecto) {
    const auto it = args.find(clave);
    if (it == args.end() || !it->is_string()) return defecto;
    return it->get<std::string>();
}

// A whole number, or a text of decimal digits; anything else 9. Kept
// within 3 … 12.
std::int64_t cantidadDe(const Json& args) {
    std::int64_t n = 9;
    const auto it = args.find("cantidad");
    if (it != args.end()) {
        if (it->is_number_unsigned()) {
            n = static_cast<std::int64_t>(std::min<std::uint64_t>(it->get<std::uint64_t>(), 12));
        } else if (it->is_number_integer()) {
            n = it->get<std::int64_t>();
        } else if (it->is_string()) {
            const std::string t = it->get<std::string>();
            std::int64_t v = 0;
            const auto [fin, error] = std::from_chars(t.data(), t.data() + t.size(), v);
            if (!t.empty() && error == std::errc() && fin == t.data() + t.size()) n = v;
        }
    }
    return std::clamp<std::int64_t>(n, 3, 12);
}

bool claveGratuita() {
    for (const char* banco : {"servicio:pexels", "servicio:unsplash"}) {
        const auto clave = Llavero::leer(banco);
        if (clave && !clave->empty()) return true;
    }
    return false;
}

Json textoItem(std::string texto) { return {{"type", "text"}, {"text", std::move(texto)}}; }

Json errorItem(std::string texto) {
    return Json::array({{{"type", "text"}, {"text", std::move(texto)}, {"error", true}}});
}

bool paginaValida(const std::string& pagina) {
    const char* esquema = g_uri_peek_scheme(pagina.c_str());
    if (!esquema) return false;
    const std::string e(esquema);
    if (e != "http" && e != "https") return false;
    GUri* uri = g_uri_parse(pagina.c_str(), G_URI_FLAGS_ENCODED, nullptr);
    if (!uri) return false;
    g_uri_unref(uri);
    return true;
}

std::string listado(const std::vector<Foto>& fotos) {
    std::string t =
        "Fotos encontradas (la hoja de arriba, numeradas). MÍRALAS y elige las que de verdad encajen con el diseño: "
        "luz, encuadre, calidad, que no parezcan de stock barato. Pon en src la URL tal cual:\n";
    for (std::size_t i = 0; i < fotos.size(); ++i) {
        const Foto& f = fotos[i];
        t += std::to_string(i + 1) + ". " + f.url + " — ";
        if (f.ancho > 0) t += std::to_string(f.ancho) + "×" + std::to_string(f.alto) + " · ";
        t += f.fuente;
        if (!f.autor.empty()) t += " · " + f.autor;
        t += "\n";
    }
    t += "Si ninguna vale, busca otra vez con otras palabras. No reutilices la misma foto en dos sitios de la web.";
    return t;
}

}  // namespace

Hoja hoja(const std::vector<Foto>& fotos, std::int64_t minimo) {
    std::vector<Intento> intentos(fotos.size());
    {
        std::vector<std::jthread> hilos;
        hilos.reserve(fotos.size());
        for (std::size_t i = 0; i < fotos.size(); ++i)
            hilos.emplace_back([&intentos, &fotos, i, minimo] { intentos[i] = bajar(fotos[i], minimo); });
    }
    Hoja resultado;
    std::vector<Miniatura> miniaturas;
    for (auto& intento : intentos) {
        if (!intento.miniatura || miniaturas.size() == maximoEnHoja) continue;
        miniaturas.push_back(std::move(*intento.miniatura));
        resultado.fotos.push_back(std::move(intento.foto));
    }
    if (miniaturas.empty()) return resultado;
    resultado.jpeg = dibujarHoja(miniaturas);
    return resultado;
}

Json herramientaBloqueante(const Json& argumentos) {
    const Json args = argumentos.is_object() ? argumentos : Json::object();
    const std::string consulta = recortar(textoO(args, "consulta", ""));
    const std::string pagina = recortar(textoO(args, "pagina", ""));
    const std::int64_t cantidad = cantidadDe(args);
    std::string orientacion = textoO(args, "orientacion", "horizontal");
    std::unique_ptr<char, decltype(&g_free)> baja(g_utf8_strdown(orientacion.c_str(), -1), &g_free);
    if (baja) orientacion = baja.get();

    if (consulta.empty() && pagina.empty())
        return errorItem("Dime qué buscar (consulta, en inglés) o de qué web sacar las fotos (pagina).");
    Hoja h;
    if (pagina.empty()) {
        h = hoja(deBancos(consulta, orientacion, cantidad), 0);
    } else {
        if (!paginaValida(pagina)) return errorItem("La página tiene que ser una URL https.");
        h = hoja(dePagina(pagina, cantidad), 400);
    }
    const bool conClave = claveGratuita();
    if (!h.jpeg || h.fotos.empty()) {
        std::string t = "No he encontrado fotos que se puedan usar";
        t += pagina.empty()
                 ? " con «" + consulta + "»: prueba con otras palabras en inglés, más concretas o más generales."
                 : std::string(" en esa página (o no se dejan descargar).");
        if (!conClave)
            t += " (Con una clave gratuita de Pexels o Unsplash en Ajustes → Tus claves, la búsqueda mejora mucho.)";
        return Json::array({textoItem(std::move(t))});
    }
    std::string t = listado(h.fotos);
    if (pagina.empty() && !conClave)
        t += "\n(Sólo bancos gratuitos: si el resultado es pobre, dile al usuario que con una clave gratuita de Pexels "
             "o Unsplash en Ajustes → Tus claves habrá fotos mucho mejores.)";
    const std::string& jpeg = *h.jpeg;
    return Json::array({{{"type", "image"},
                         {"data", base64({reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size()})},
                         {"mimeType", "image/jpeg"}},
                        textoItem(std::move(t))});
}

Tarea<Json> herramienta(Json argumentos) {
    auto trabajo = [argumentos = std::move(argumentos)] { return herramientaBloqueante(argumentos); };
    co_return co_await enSegundoPlano(std::move(trabajo));
}

}  // namespace sorvenia::BuscarFotos
