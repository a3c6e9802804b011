// Reading a connection an agent proposes: the tool's arguments, completed
// from the catalogue, and the alert's texts that show the user what would be
// stored.
#include "comun/lectura_mensajes.h"
#include "integraciones/conexion.h"

namespace sorvenia::Conexiones {
namespace {

using Json = nlohmann::json;
using Mensaje::texto;

// The catalogue fills what the agent left out, unless the agent named its
// own place (a non-empty "url", or any "orden").
Json conCatalogo(Json a) {
    const auto fila = delCatalogo(texto(a, "nombre").value_or(""));
    if (!fila || !texto(a, "url").value_or("").empty() || a.contains("orden")) return a;
    a["nombre"] = fila->nombre;
    a["tipo"] = fila->tipo;
    if (!fila->url.empty()) a["url"] = fila->url;
    if (!fila->orden.empty()) {
        a["orden"] = fila->orden.front();
        a["argumentos"] = std::vector<std::string>(fila->orden.begin() + 1, fila->orden.end());
    }
    if (!fila->variable.empty()) a["variable"] = fila->variable;
    if (texto(a, "cabecera").value_or("").empty()) a["cabecera"] = fila->cabecera;
    if (texto(a, "para").value_or("").empty()) a["para"] = fila->para;
    return a;
}

// The first `n` characters (code points) of a UTF-8 text.
std::string primeros(const std::string& t, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t cuenta = 0; i < t.size() && cuenta < n; ++cuenta) {
        ++i;
        while (i < t.size() && (static_cast<unsigned char>(t[i]) & 0xC0U) == 0x80U) ++i;
    }
    return t.substr(0, i);
}

Conexion construir(const Json& a) {
    Conexion c;
    if (auto tipo = texto(a, "tipo")) c.tipo = *tipo;
    else c.tipo = a.contains("url") ? "mcp-http" : a.contains("orden") ? "mcp-orden" : "clave";
    c.nombre = limpiarNombre(texto(a, "nombre").value_or(""));
    c.url = texto(a, "url").value_or("");
    c.cabecera = texto(a, "cabecera").value_or("Authorization");
    c.orden = texto(a, "orden").value_or("");
    if (const auto it = a.find("argumentos"); it != a.end() && it->is_array()) {
        bool todos = true;
        for (const auto& x : *it) todos = todos && x.is_string();
        if (todos) c.argumentos = it->get<std::vector<std::string>>();
    }
    c.variable = texto(a, "variable").value_or("");
    c.para = primeros(texto(a, "para").value_or(""), 320);
    return c;
}

std::string detalle(const Conexion& c) {
    if (c.tipo == "mcp-http") return c.url;
    if (c.tipo == "mcp-orden") {
        std::string d = c.orden;
        for (const auto& x : c.argumentos) d += " " + x;
        return d;
    }
    return c.variable.empty() ? "" : "variable " + c.variable;
}

}  // namespace

Propuesta propuesta(const Json& argumentos, const std::vector<Conexion>& existentes) {
    const Json a = conCatalogo(argumentos.is_object() ? argumentos : Json::object());
    Propuesta p;
    p.conexion = construir(a);
    p.secreto = texto(a, "token");
    if (!p.secreto) p.secreto = texto(a, "clave");
    for (const auto& e : existentes)
        if (e.nombre == p.conexion.nombre) p.sustituye = e;
    const Conexion& c = p.conexion;
    p.mensaje = "¿Guardar la conexión «" + c.nombre + "»?";
    p.informativo = "Tu IA quiere guardar " + std::string(c.tipo == "clave" ? "una clave" : "el servidor MCP") +
                    " para usarlo en tus próximos encargos.\n\n" + detalle(c);
    if (!c.para.empty()) p.informativo += "\n" + c.para;
    if (p.secreto)
        p.informativo += "\n\nIncluye un secreto: se guarda en el llavero de este ordenador, no sale de aquí.";
    // Saving over an existing connection of that name must not go unseen:
    // it would keep that connection's secret.
    if (p.sustituye) p.informativo += "\n\nSustituye a la conexión «" + c.nombre + "» que ya tienes.";
    p.informativo +=
        "\n\nGuárdala sólo si te la ha dado alguien de confianza. La puedes quitar en Ajustes → Conexiones.";
    return p;
}

}  // namespace sorvenia::Conexiones
