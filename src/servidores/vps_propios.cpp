#include "servidores/vps_propios.h"

#include <algorithm>
#include <regex>

#include "plataforma/preferencias.h"

namespace sorvenia::PropiosVPS {
namespace {

using nlohmann::json;

constexpr std::int64_t primerId = 900001;

bool ipv4(const std::string& ip) {
    static const std::regex patron(R"(^(25[0-5]|2[0-4]\d|1?\d?\d)(\.(25[0-5]|2[0-4]\d|1?\d?\d)){3}$)");
    return std::regex_match(ip, patron);
}

// At most 60 characters (whole UTF-8 characters).
std::string cortar60(const std::string& t) {
    std::size_t caracteres = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if ((static_cast<unsigned char>(t[i]) & 0xC0) == 0x80) continue;
        if (caracteres++ == 60) return t.substr(0, i);
    }
    return t;
}

}  // namespace

json vpsPropios() {
    const auto valor = Preferencias::estandar().valor("vpsPropios");
    if (!valor || !valor->is_array()) return json::array();
    if (!std::all_of(valor->begin(), valor->end(), [](const json& e) { return e.is_object(); })) return json::array();
    return *valor;
}

Resultado<std::int64_t> anadirVPS(const std::string& nombre, const std::string& ip) {
    if (!ipv4(ip)) return Fallo{"Escribe la IP del VPS (cuatro números separados por puntos).", "ip"};
    json lista = vpsPropios();
    for (const json& e : lista) {
        const auto i = e.find("ip");
        if (i == e.end() || !i->is_string() || i->get<std::string>() != ip) continue;
        if (const auto id = e.find("id"); id != e.end() && id->is_number_integer()) return id->get<std::int64_t>();
        break;  // the first entry with the address has no usable id: add it again
    }
    std::int64_t id = primerId;
    for (const json& e : lista)
        if (const auto i = e.find("id"); i != e.end() && i->is_number_integer())
            id = std::max(id, i->get<std::int64_t>() + 1);
    lista.push_back(
        {{"id", id}, {"nombre", nombre.empty() ? "Mi VPS (" + ip + ")" : cortar60(nombre)}, {"ip", ip}, {"so", ""}});
    Preferencias::estandar().fijarValor("vpsPropios", lista);
    return id;
}

}  // namespace sorvenia::PropiosVPS
