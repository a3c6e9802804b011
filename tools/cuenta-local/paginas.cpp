#include "paginas.h"

#include <array>

#include "utiles.h"

namespace sorvenia::cuenta_local {
namespace {

std::string documento(const std::string& titulo, const std::string& cuerpo) {
    return "<!doctype html><html lang=\"es\"><meta charset=\"utf-8\"><title>" + escaparHTML(titulo) + "</title>\n<h1>" +
           escaparHTML(titulo) + "</h1>\n" + cuerpo + "\n</html>\n";
}

Respuesta noEncontrada() { return respuestaHTML(documento("No encontrado", "<p>Aquí no hay nada.</p>"), 404); }

std::string tipoDe(const std::filesystem::path& ruta) {
    static const std::array<std::pair<const char*, const char*>, 10> tipos{{
        {".html", "text/html; charset=utf-8"}, {".css", "text/css"},       {".js", "text/javascript"},
        {".json", "application/json"},         {".svg", "image/svg+xml"}, {".png", "image/png"},
        {".jpg", "image/jpeg"},                {".webp", "image/webp"},   {".mp4", "video/mp4"},
        {".txt", "text/plain; charset=utf-8"},
    }};
    for (const auto& [extension, tipo] : tipos)
        if (ruta.extension() == extension) return tipo;
    return "application/octet-stream";
}

// A file under `carpeta` named by the rest of the path ("" or ".../" is the
// folder's index.html).
Respuesta fichero(const std::filesystem::path& carpeta, std::string resto) {
    if (resto.empty() || resto.back() == '/') resto += "index.html";
    if (!rutaRelativaSegura(resto)) return noEncontrada();
    const auto bytes = leerFichero(carpeta / resto);
    if (!bytes) return noEncontrada();
    return {200, *bytes, tipoDe(resto), {}};
}

// "/prefijo/<a>/<resto>": the segment <a> and the rest, or nothing.
std::optional<std::pair<std::string, std::string>> partir(const std::string& ruta, const std::string& prefijo) {
    if (ruta.rfind(prefijo, 0) != 0) return std::nullopt;
    const auto barra = ruta.find('/', prefijo.size());
    if (barra == std::string::npos) return std::nullopt;
    return std::make_pair(ruta.substr(prefijo.size(), barra - prefijo.size()), ruta.substr(barra + 1));
}

Respuesta foto(const Peticion& p) {
    const auto q = p.consulta.count("q") ? p.consulta.at("q") : std::string("foto");
    const std::string tono = std::to_string(std::hash<std::string>{}(q) % 360);
    return {200,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1200\" height=\"800\" viewBox=\"0 0 1200 800\">"
            "<rect width=\"1200\" height=\"800\" fill=\"hsl(" + tono + ",45%,55%)\"/>"
            "<text x=\"600\" y=\"410\" font-family=\"sans-serif\" font-size=\"48\" text-anchor=\"middle\" fill=\"#fff\">" +
                escaparHTML(q) + "</text></svg>",
            "image/svg+xml",
            {}};
}

Respuesta entrarEnPanel(Estado& e, const Peticion& p) {
    std::lock_guard bloqueo(e.datos);
    const auto token = p.consulta.find("token");
    const auto it = token == p.consulta.end() ? e.sesiones.end() : e.sesiones.find(token->second);
    if (it == e.sesiones.end() || it->second.caduca < ahora()) return redireccion("/login/");
    const std::string ir = it->second.ir;
    const std::string cookie = azarUrl(24);
    e.paneles[cookie] = it->second.cliente;
    e.sesiones.erase(it);
    auto r = redireccion(ir);
    r.cabeceras.emplace_back("Set-Cookie", "panel=" + cookie + "; Path=/panel/; HttpOnly");
    return r;
}

// The customer the panel's cookie signed in.
std::optional<nlohmann::json> clienteDelPanel(Estado& e, const Peticion& p) {
    std::lock_guard bloqueo(e.datos);
    const auto cookie = p.cookies.find("panel");
    const auto it = cookie == p.cookies.end() ? e.paneles.end() : e.paneles.find(cookie->second);
    return it == e.paneles.end() ? std::nullopt : e.almacen.cliente(it->second);
}

// Who the panel's cookie signed in, as the panel pages show it.
std::string quienEntro(Estado& e, const Peticion& p) {
    const auto cliente = clienteDelPanel(e, p);
    if (!cliente) return "<p class=\"sesion\">No has entrado en tu cuenta.</p>";
    return "<p class=\"sesion\">Has entrado como " + escaparHTML(cliente->value("nombre", "")) + ".</p>";
}

Respuesta panel(Estado& e, const Peticion& p) {
    const std::string sesion = quienEntro(e, p);
    const auto consulta = [&](const char* clave) {
        return p.consulta.count(clave) ? p.consulta.at(clave) : std::string();
    };
    if (p.ruta == "/panel/checkout.php") {
        // The pack: a hosting for the domain, paid on the thank-you page.
        const std::string dominio = consulta("pack_dominio");
        return respuestaHTML(documento(
            "Dominio y hosting",
            sesion + "<p>Dominio: " + escaparHTML(dominio) +
                "</p><p><a href=\"/panel/gracias.php?pack_dominio=" + escaparHTML(codificarURL(dominio, true)) +
                "\">Pagar</a> · " + "<a href=\"/panel/gracias.php?cancelado=1\">Cancelar</a></p>"));
    }
    if (p.ruta == "/panel/gracias.php") {
        // A paid pack adds its hosting to the signed-in customer.
        if (const auto cliente = clienteDelPanel(e, p);
            cliente && !consulta("pack_dominio").empty() && consulta("cancelado") != "1") {
            std::lock_guard bloqueo(e.datos);
            (void)e.almacen.anadirHosting(cliente->value("id", std::int64_t{0}), consulta("pack_dominio"));
        }
        return respuestaHTML(documento("Gracias por tu compra", sesion + "<p>Ya puedes volver a Sorvenia Code.</p>"));
    }
    if (p.ruta == "/panel/comprar.php")
        return respuestaHTML(documento(
            "Comprar",
            sesion + "<p>Producto: " + escaparHTML(p.consulta.count("producto") ? p.consulta.at("producto") : "") +
                "</p><p><a href=\"/panel/gracias.php\">Pagar</a> · "
                "<a href=\"/panel/gracias.php?cancelado=1\">Cancelar</a></p>"));
    return respuestaHTML(documento("Panel de tu cuenta", sesion + "<p>" + escaparHTML(p.ruta) + "</p>"));
}

}  // namespace

Respuesta pagina(Estado& e, const Peticion& p) {
    if (p.ruta == "/")
        return respuestaHTML(documento("Cuenta local de Sorvenia",
                                       "<p>Servicio de cuenta local para Sorvenia Code. <a href=\"/panel/\">Panel</a></p>"));
    if (p.ruta == "/login/") return respuestaHTML(documento("Inicia sesión", "<p>Entra desde Sorvenia Code.</p>"));
    if (p.ruta == "/panel/entrar.php") return entrarEnPanel(e, p);
    if (p.ruta.rfind("/panel/", 0) == 0) return panel(e, p);
    if (p.ruta.rfind("/fotos/", 0) == 0) return foto(p);
    if (const auto previa = partir(p.ruta, "/p/")) {
        if (previa->first.empty() || !rutaRelativaSegura(previa->first)) return noEncontrada();
        return fichero(e.almacen.carpetaPrevia(previa->first), previa->second);
    }
    if (const auto sitio = partir(p.ruta, "/sitios/")) {
        if (sitio->first.empty() || !rutaRelativaSegura(sitio->first)) return noEncontrada();
        return fichero(e.almacen.carpeta() / "sitios" / sitio->first, sitio->second);
    }
    // The application's builds and their update feeds, as dropped in the data folder.
    if (p.ruta.rfind("/descargas/", 0) == 0) return fichero(e.almacen.carpeta() / "descargas", p.ruta.substr(11));
    return noEncontrada();
}

}  // namespace sorvenia::cuenta_local
