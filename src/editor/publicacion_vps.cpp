#include "editor/publicacion_vps.h"

#include <re2/re2.h>

#include <algorithm>

#include "comun/lectura_mensajes.h"

namespace sorvenia::PublicacionVPS {
namespace {

using Json = nlohmann::json;

bool blanco(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

void quitarTodo(std::string& texto, std::string_view de) {
    for (auto i = texto.find(de); i != std::string::npos; i = texto.find(de, i)) texto.erase(i, de.size());
}


}  // namespace

std::optional<Pedido> leerPedido(const Json& m) {
    if (!m.is_object()) return std::nullopt;
    const auto servicio = m.find("servicio");
    const auto ip = Mensaje::texto(m, "ip");
    const auto paginas = m.find("paginas");
    if (servicio == m.end() || !servicio->is_number_integer() || !ip || paginas == m.end() || !paginas->is_array())
        return std::nullopt;
    Pedido p;
    // A number beyond the signed range is not an id of ours.
    if (servicio->is_number_unsigned() && servicio->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
        return std::nullopt;
    p.servicio = servicio->get<std::int64_t>();
    p.ip = *ip;
    p.paginas = *paginas;
    p.dominio = Mensaje::texto(m, "dominio").value_or("");
    p.password = Mensaje::texto(m, "password");
    return p;
}

std::string limpiarDominio(std::string_view dominio) {
    std::string t(dominio);
    // ASCII only: a name with other letters fails the pattern anyway.
    std::ranges::transform(t, t.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    const auto desde = std::ranges::find_if_not(t, blanco);
    t.erase(t.begin(), desde);
    while (!t.empty() && blanco(t.back())) t.pop_back();
    quitarTodo(t, "https://");
    quitarTodo(t, "http://");
    const auto inicio = t.find_first_not_of('/');
    if (inicio == std::string::npos) return {};
    const auto fin = t.find_last_not_of('/');
    return t.substr(inicio, fin - inicio + 1);
}

bool dominioValido(std::string_view dominio) {
    static const RE2 patron("([a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?\\.)+[a-z]{2,24}");
    // No name longer than DNS allows reaches the pattern.
    return dominio.size() <= 253 && RE2::FullMatch(dominio, patron);
}

std::string textoChat(const std::string& ip, const std::string& dominio) {
    std::string t = "Publica mi web en mi VPS (" + ip + ")";
    if (!dominio.empty()) t += " con el dominio " + dominio;
    return t;
}

std::string encargo(const std::string& configuracion, const std::string& alias, const std::string& ip,
                    std::size_t paginas, const std::string& dominio, const std::string& correo) {
    const std::string cuantas = std::to_string(paginas) + (paginas == 1 ? " página" : " páginas");
    return "PUBLICAR EN VPS. Usa la skill publicar-en-vps y síguela al pie de la letra.\n\n"
           "- Acceso (la ÚNICA orden que puedes usar): ssh -F " +
           configuracion + " " + alias +
           " '<orden en el servidor>'\n"
           "- IP del VPS: " +
           ip + "\n- La web del cliente (" + cuantas +
           ", ya lista) YA ESTÁ SUBIDA en el servidor: " + carpetaSubida +
           "*.html (cópiala de ahí a su carpeta)\n"
           "- Dominio: " +
           (dominio.empty() ? "ninguno (publícala en la IP sin pisar ningún sitio que ya exista)" : dominio) +
           "\n- Correo para Let's Encrypt: " + correo +
           "\n\nAntes de cada paso, una frase corta en español de lo que vas a hacer. Al terminar, una frase para el "
           "cliente con la dirección de su web.";
}

std::string direccion(const std::string& ip, const std::string& dominio, std::optional<int> puerto) {
    std::string anfitrion = dominio.empty() ? ip : dominio;
    if (anfitrion.find(':') != std::string::npos) anfitrion = "[" + anfitrion + "]";
    return "http://" + anfitrion + (puerto ? ":" + std::to_string(*puerto) : "") + "/";
}

Json registro(std::int64_t servicio, const std::string& dominio, const std::string& fecha) {
    return {{"servicio", servicio}, {"dominio", dominio}, {"fecha", fecha}};
}

}  // namespace sorvenia::PublicacionVPS
