// The customer's own data: the bare GET, agency data, domain search, store,
// panel links and the revoke.
#include <algorithm>
#include <cctype>

#include "acciones.h"
#include "utiles.h"

namespace sorvenia::cuenta_local {
namespace {

using nlohmann::json;

constexpr std::size_t agenciaMaxima = 8u * 1024u * 1024u;
constexpr std::int64_t vidaSesionPanel = 300;

// Letters, digits and hyphens of the search text, lowercase: the name part
// of the domains offered.
std::string etiquetaDe(const std::string& q, std::string& tldPedido) {
    std::string texto;
    for (const char c : q) texto.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (const auto punto = texto.find('.'); punto != std::string::npos) {
        tldPedido = texto.substr(punto + 1);
        texto.resize(punto);
    }
    std::string etiqueta;
    for (const char c : texto)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') etiqueta.push_back(c);
    while (!etiqueta.empty() && etiqueta.front() == '-') etiqueta.erase(0, 1);
    while (!etiqueta.empty() && etiqueta.back() == '-') etiqueta.pop_back();
    return etiqueta.substr(0, 63);
}

}  // namespace

json resumenDeDiseno(const json& d) {
    json r{{"id", d.value("id", "")},
           {"nombre", d.value("nombre", "")},
           {"version", d.value("version", std::int64_t{1})},
           {"creado", d.value("creado", "")},
           {"modificado", d.value("modificado", "")}};
    if (d.contains("miniatura") && d["miniatura"].is_string()) r["miniatura"] = d["miniatura"];
    return r;
}

Respuesta cuerpoNoValido() { return respuestaError(400, "cuerpo_invalido", "La petición no trae los datos esperados."); }

Respuesta disenoNoExiste() { return respuestaError(404, "no_existe", "Ese diseño ya no existe en tu cuenta."); }

std::optional<json> objetoDelCuerpo(const Peticion& p) {
    auto j = json::parse(p.cuerpo, nullptr, false);
    if (!j.is_object()) return std::nullopt;
    return j;
}

std::optional<std::map<std::string, std::string>> archivosDe(const json& cuerpo) {
    const auto it = cuerpo.find("archivos");
    if (it == cuerpo.end() || !it->is_object()) return std::nullopt;
    std::map<std::string, std::string> archivos;
    for (const auto& [ruta, texto] : it->items()) {
        if (!texto.is_string() || !rutaRelativaSegura(ruta)) return std::nullopt;
        archivos.emplace(ruta, texto.get<std::string>());
    }
    return archivos;
}

std::int64_t idDe(const json& cliente) { return cliente.value("id", std::int64_t{0}); }

Respuesta cuentaEntera(Estado& e, const Peticion&, const json& cliente) {
    auto disenos = e.almacen.disenos(idDe(cliente));
    std::sort(disenos.begin(), disenos.end(), [](const json& a, const json& b) {
        return std::pair(a.value("modificado", ""), a.value("id", "")) >
               std::pair(b.value("modificado", ""), b.value("id", ""));
    });
    json lista = json::array();
    for (const auto& d : disenos) lista.push_back(resumenDeDiseno(d));
    return respuestaJSON({{"yo", {{"id", idDe(cliente)}, {"nombre", cliente.value("nombre", "")}, {"email", cliente.value("email", "")}}},
                          {"disenos", lista},
                          {"vps", cliente.value("vps", json::array())}});
}

Respuesta agenciaLeer(Estado& e, const Peticion&, const json& cliente) {
    return respuestaJSON(e.almacen.agencia(idDe(cliente)));
}

Respuesta agenciaGuardar(Estado& e, const Peticion& p, const json& cliente) {
    if (p.cuerpo.size() > agenciaMaxima)
        return respuestaError(413, "demasiado_grande", "Los datos de agencia no caben en tu cuenta.");
    const auto cuerpo = objetoDelCuerpo(p);
    if (!cuerpo || !cuerpo->contains("version") || !(*cuerpo)["version"].is_number_integer()) return cuerpoNoValido();
    const json actual = e.almacen.agencia(idDe(cliente));
    const std::int64_t version = actual.value("version", std::int64_t{0});
    if ((*cuerpo)["version"].get<std::int64_t>() != version) {
        json conflicto = json::object();
        conflicto["error"] = {{"code", "conflicto"}, {"message", "Otro equipo ha guardado los datos de agencia a la vez."}};
        conflicto["servidor"] = {{"datos", actual.value("datos", json())}, {"version", version}};
        return respuestaJSON(conflicto, 409);
    }
    if (!e.almacen.guardarAgencia(idDe(cliente), {{"datos", cuerpo->value("datos", json())}, {"version", version + 1}}))
        return respuestaError(500, "almacen", "No se han podido guardar los datos.");
    return respuestaJSON({{"version", version + 1}});
}

Respuesta dominios(Estado& e, const Peticion& p, const json&) {
    const auto cuerpo = objetoDelCuerpo(p);
    if (!cuerpo || !cuerpo->contains("q") || !(*cuerpo)["q"].is_string()) return cuerpoNoValido();
    std::string tldPedido;
    const std::string etiqueta = etiquetaDe((*cuerpo)["q"], tldPedido);
    std::vector<std::string> tlds{"es", "com", "net", "org", "eu"};
    if (!tldPedido.empty() && std::find(tlds.begin(), tlds.end(), tldPedido) == tlds.end()) tlds.insert(tlds.begin(), tldPedido);
    const auto ocupados = e.almacen.dominiosOcupados();
    json lista = json::array();
    for (const auto& tld : etiqueta.empty() ? std::vector<std::string>{} : tlds) {
        const std::string dominio = etiqueta + "." + tld;
        const bool libre = std::find(ocupados.begin(), ocupados.end(), dominio) == ocupados.end();
        lista.push_back({{"dominio", dominio}, {"tld", tld}, {"libre", libre}});
    }
    return respuestaJSON({{"dominios", lista},
                          {"pack", {{"mes", 5}, {"meses", 12}, {"base", 60}, {"plan", "Hosting Web"},
                                    {"checkout", "/panel/comprar.php?producto=web"}}}});
}

Respuesta tienda(Estado& e, const Peticion&, const json&) { return respuestaJSON({{"tienda", e.almacen.tienda()}}); }

Respuesta sesion(Estado& e, const Peticion& p, const json& cliente) {
    const auto cuerpo = objetoDelCuerpo(p);
    if (!cuerpo || !cuerpo->contains("ir") || !(*cuerpo)["ir"].is_string()) return cuerpoNoValido();
    const std::string ir = (*cuerpo)["ir"];
    if (ir.rfind("/panel/", 0) != 0) return respuestaError(400, "ir_invalido", "Esa página no es del panel.");
    const std::string token = azarUrl(24);
    e.sesiones[token] = {idDe(cliente), ir, ahora() + vidaSesionPanel};
    return respuestaJSON({{"url", p.base + "/panel/entrar.php?token=" + token + "&ir=" + codificarURL(ir, true)}});
}

Respuesta desconectar(Estado& e, const Peticion& p, const json&) {
    return respuestaJSON({{"ok", p.clave && e.almacen.quitarClave(*p.clave)}});
}

}  // namespace sorvenia::cuenta_local
