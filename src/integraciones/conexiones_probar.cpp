// The test of one stored connection, and the search for its logo.
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "cuenta/direccion_cuenta.h"
#include "cuenta/llavero.h"
#include "ias/deteccion.h"
#include "integraciones/conexiones.h"
#include "integraciones/texto_integraciones.h"
#include "plataforma/http.h"

namespace sorvenia::Conexiones {
namespace {

std::string minusculas(std::string t) {
    for (char& c : t)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return t;
}

// The MCP revision the application's own server announces.
constexpr const char* revisionMCP = "2025-06-18";

Tarea<Prueba> probarHTTP(Conexion c) {
    if (!direccion::esURL(c.url) || !direccion::host(c.url)) co_return Prueba{false, "Dirección no válida."};
    PeticionHTTP p;
    p.metodo = "POST";
    p.url = c.url;
    p.tiempoLimite = 12;
    p.tiempoTotal = 12;
    p.limiteBytes = 1024u * 1024u;
    p.cabeceras = {{"Content-Type", "application/json"}, {"Accept", "application/json, text/event-stream"}};
    const auto secreto = co_await enSegundoPlano([id = c.id] { return Llavero::leer("conexion:" + id); });
    if (secreto && !secreto->empty()) {
        const bool anteponer =
            minusculas(c.cabecera) == "authorization" && minusculas(secreto->substr(0, 7)) != "bearer ";
        p.cabeceras.emplace_back(c.cabecera, anteponer ? "Bearer " + *secreto : *secreto);
    }
    p.cuerpo = nlohmann::json{{"jsonrpc", "2.0"},
                              {"id", 1},
                              {"method", "initialize"},
                              {"params",
                               {{"protocolVersion", revisionMCP},
                                {"capabilities", nlohmann::json::object()},
                                {"clientInfo", {{"name", "sorvenia-code"}, {"version", "1.0"}}}}}}
                   .dump();
    const auto r = co_await pedirAsync(std::move(p));
    if (!r) co_return Prueba{false, "No responde."};
    const std::string status = std::to_string(r->status);
    if (r->status == 401 || r->status == 403)
        co_return Prueba{false, "Responde, pero rechaza el token (" + status + ")."};
    if (r->status < 200 || r->status > 299) co_return Prueba{false, "Responde con error " + status + "."};
    const std::string texto = TextoIntegraciones::extractoUtf8(r->cuerpo, 4000);
    if (texto.find("serverInfo") != std::string::npos || texto.find("protocolVersion") != std::string::npos)
        co_return Prueba{true, "Funciona: es un servidor MCP y acepta la conexión."};
    co_return Prueba{false, "Responde (no he podido confirmar que sea MCP)."};
}

bool instalada(const std::string& orden) {
    // A command given by its path is that file; only a bare name is looked
    // up in the search path.
    if (orden.find('/') != std::string::npos) {
        std::error_code ec;
        return std::filesystem::is_regular_file(orden, ec) && ::access(orden.c_str(), X_OK) == 0;
    }
    return IAsLocales::buscar(orden).has_value();
}

// The kind of picture the bytes hold, as the logo's extension.
std::optional<std::string> extensionImagen(const std::string& b) {
    if (b.starts_with("\x89PNG\r\n\x1a\n")) return "png";
    if (b.size() > 4 && b.compare(0, 4, std::string("\0\0\1\0", 4)) == 0) return "ico";
    const std::string inicio = minusculas(b.substr(0, 256));
    if (inicio.find("<svg") != std::string::npos) return "svg";
    return std::nullopt;
}

}  // namespace

Tarea<Prueba> probar(std::string id) {
    const auto todas = co_await enSegundoPlano([] { return lista(); });
    const auto it = std::find_if(todas.begin(), todas.end(), [&](const Conexion& c) { return c.id == id; });
    if (it == todas.end()) co_return Prueba{false, "No existe."};
    const Conexion c = *it;
    if (c.tipo == "mcp-http") co_return co_await probarHTTP(c);
    if (c.tipo == "mcp-orden") {
        const bool hay = co_await enSegundoPlano([orden = c.orden] { return instalada(orden); });
        if (hay) co_return Prueba{true, "La orden «" + c.orden + "» está instalada en este ordenador."};
        co_return Prueba{false, "No encuentro «" + c.orden + "» en este ordenador (¿está instalado?)."};
    }
    const auto secreto = co_await enSegundoPlano([id] { return Llavero::leer("conexion:" + id); });
    if (secreto && !secreto->empty()) co_return Prueba{true, "Clave guardada en el llavero."};
    co_return Prueba{false, "No hay clave guardada."};
}

Tarea<void> buscarLogo(Conexion c) {
    // The site's own icon: the favicon at the root of the server's host.
    if (c.tipo != "mcp-http" || !direccion::host(c.url)) co_return;
    const auto host = *direccion::host(c.url);
    const auto desdeHost = c.url.find(host);
    const auto finHost = c.url.find('/', desdeHost + host.size());
    PeticionHTTP p;
    p.url = c.url.substr(0, finHost) + "/favicon.ico";
    p.tiempoLimite = 5;
    p.tiempoTotal = 8;
    p.limiteBytes = 256u * 1024u;
    p.seguirRedirecciones = true;
    const auto r = co_await pedirAsync(std::move(p));
    if (!r || r->status < 200 || r->status > 299) co_return;
    const auto extension = extensionImagen(r->cuerpo);
    if (!extension) co_return;
    co_await enSegundoPlano([id = c.id, ext = *extension, bytes = r->cuerpo] {
        std::ofstream(carpetaLogos() / (id + "." + ext), std::ios::binary) << bytes;
    });
}

}  // namespace sorvenia::Conexiones
