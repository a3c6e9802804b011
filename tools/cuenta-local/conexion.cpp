#include "conexion.h"

#include <algorithm>

#include "acciones.h"
#include "utiles.h"

namespace sorvenia::cuenta_local {
namespace {

using nlohmann::json;

constexpr std::int64_t vidaCodigo = 600;

std::string item(const std::map<std::string, std::string>& m, const char* clave) {
    const auto it = m.find(clave);
    return it == m.end() ? "" : it->second;
}

bool esReto(const std::string& reto) {
    return reto.size() == 43 && std::all_of(reto.begin(), reto.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
           });
}

std::string opcionesDeClientes(const Almacen& almacen) {
    std::string html;
    bool primero = true;
    for (const auto& c : almacen.clientes()) {
        html += "<label><input type=\"radio\" name=\"cliente\" value=\"" + std::to_string(idDe(c)) + "\"" +
                (primero ? " checked" : "") + "> " + escaparHTML(c.value("nombre", "")) + " &lt;" +
                escaparHTML(c.value("email", "")) + "&gt;</label><br>\n";
        primero = false;
    }
    return html;
}

std::string vuelta(const std::string& state, const std::string& resto) {
    return "sorvenia-tarvel://conectar?state=" + codificarURL(state) + "&" + resto;
}

Respuesta enlaceNoValido() {
    return respuestaHTML("<!doctype html><meta charset=\"utf-8\"><p>Este enlace de conexión no es válido.</p>", 400);
}

}  // namespace

Respuesta paginaConectar(Estado& e, const Peticion& p) {
    const std::string state = item(p.consulta, "state");
    const std::string reto = item(p.consulta, "challenge");
    if (item(p.consulta, "app") != "tarvel" || state.empty() || !esReto(reto)) return enlaceNoValido();
    const std::string equipo = item(p.consulta, "equipo");
    return respuestaHTML(
        "<!doctype html><html lang=\"es\"><meta charset=\"utf-8\"><title>Conectar Sorvenia Code</title>\n"
        "<h1>Conectar Sorvenia Code</h1>\n<p>El equipo «" + escaparHTML(equipo) +
        "» pide acceso a tu cuenta.</p>\n<form method=\"post\" action=\"/conectar-app/\">\n"
        "<input type=\"hidden\" name=\"state\" value=\"" + escaparHTML(state) + "\">\n"
        "<input type=\"hidden\" name=\"challenge\" value=\"" + escaparHTML(reto) + "\">\n" +
        opcionesDeClientes(e.almacen) +
        "<button name=\"decision\" value=\"permitir\">Permitir</button>\n"
        "<button name=\"decision\" value=\"denegar\">Cancelar</button>\n</form></html>\n");
}

Respuesta decidirConexion(Estado& e, const Peticion& p) {
    const std::string state = item(p.formulario, "state");
    const std::string reto = item(p.formulario, "challenge");
    if (state.empty() || !esReto(reto)) return enlaceNoValido();
    if (item(p.formulario, "decision") != "permitir") return redireccion(vuelta(state, "error=denegado"));
    std::int64_t cliente = 0;
    try {
        cliente = std::stoll(item(p.formulario, "cliente"));
    } catch (const std::exception&) {
        return enlaceNoValido();
    }
    if (!e.almacen.cliente(cliente)) return enlaceNoValido();
    const std::string codigo = azarUrl(24);
    e.codigos[codigo] = {cliente, reto, ahora() + vidaCodigo};
    return redireccion(vuelta(state, "code=" + codigo));
}

Respuesta canjear(Estado& e, const Peticion& p) {
    const auto cuerpo = objetoDelCuerpo(p);
    const auto texto = [&](const char* clave) {
        return cuerpo && cuerpo->contains(clave) && cuerpo->at(clave).is_string();
    };
    if (!texto("code") || !texto("verificador")) return cuerpoNoValido();
    const auto it = e.codigos.find(cuerpo->at("code").get<std::string>());
    const auto rechazo = respuestaError(400, "codigo_invalido", "El código de conexión no vale o ha caducado.");
    if (it == e.codigos.end()) return rechazo;
    const CodigoConexion codigo = it->second;
    e.codigos.erase(it);  // one try: a wrong verifier spends the code too
    if (codigo.caduca < ahora() || retoDe(cuerpo->at("verificador").get<std::string>()) != codigo.reto) return rechazo;
    const auto cliente = e.almacen.cliente(codigo.cliente);
    const auto clave = cliente ? e.almacen.nuevaClave(codigo.cliente) : std::nullopt;
    if (!clave) return respuestaError(500, "almacen", "No se ha podido crear la clave.");
    return respuestaJSON({{"clave", *clave},
                          {"cliente", {{"id", codigo.cliente}, {"nombre", cliente->value("nombre", "")}, {"email", cliente->value("email", "")}}}});
}

}  // namespace sorvenia::cuenta_local
