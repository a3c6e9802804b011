#include "tarvel_mcp/puente.h"

#include <charconv>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "comun/herramientas_tarvel.h"
#include "comun/id_jsonrpc.h"
#include "comun/utf8.h"

namespace sorvenia::puente {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view textoCerrada =
    "Sorvenia Code no está abierto. Pide al usuario que abra la app (y un diseño) y vuelve a intentarlo.";
constexpr std::string_view textoGrande =
    "La petición es demasiado grande para Sorvenia Code (más de 16 MB). Mándala en trozos más pequeños.";
constexpr std::string_view instrucciones =
    "Sorvenia Code: diseña webs y piezas en un tarvel de HTML/CSS. Antes de usar las herramientas, el usuario tiene "
    "que tener abierta la app Sorvenia Code en su ordenador (si no, pídeselo). Llama primero a ver_tarvel y a guia(tema: "
    "\"encargo\").";
constexpr std::string_view versionProtocolo = "2025-06-18";

// Tab and the Unicode space separators (general category Zs).
bool esEspacio(char32_t c) {
    return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

char32_t decodificar(std::string_view s, std::size_t n) {
    const auto b = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[i])); };
    if (n == 1) return b(0);
    if (n == 2) return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    if (n == 3) return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
}

bool esBlanca(std::string_view linea) {
    for (std::size_t i = 0; i < linea.size();) {
        const std::size_t n = longitudSecuencia(linea.substr(i));
        if (n == 0 || !esEspacio(decodificar(linea.substr(i), n))) return false;
        i += n;
    }
    return true;
}

Json resultadoError(std::string_view texto) {
    return Json{{"content", Json::array({Json{{"type", "text"}, {"text", texto}}})}, {"isError", true}};
}

Json resultadoInitialize(const Json& mensaje) {
    std::string version(versionProtocolo);
    if (auto params = mensaje.find("params"); params != mensaje.end() && params->is_object())
        if (auto v = params->find("protocolVersion"); v != params->end() && v->is_string()) version = v->get<std::string>();
    return Json{{"protocolVersion", version},
                {"capabilities", Json{{"tools", Json::object()}}},
                {"serverInfo", Json{{"name", "sorvenia-tarvel"}, {"version", "1.0"}}},
                {"instructions", instrucciones}};
}

std::string textoRechazo(long codigo) {
    if (codigo == 413) return std::string(textoGrande);
    return "Sorvenia Code ha rechazado la petición (HTTP " + std::to_string(codigo) +
           "). Si acabas de abrir o reiniciar la app, vuelve a intentarlo.";
}

Json resultadoLocal(const Json& mensaje, long ultimoCodigo) {
    const auto metodo = mensaje.find("method");
    const std::string nombre = (metodo != mensaje.end() && metodo->is_string()) ? metodo->get<std::string>() : "";
    if (ultimoCodigo != 0 && nombre == "tools/call") return resultadoError(textoRechazo(ultimoCodigo));
    if (nombre == "initialize") return resultadoInitialize(mensaje);
    if (nombre == "tools/list") return Json{{"tools", HerramientasTarvel::lista()}};
    if (nombre == "ping") return Json::object();
    return resultadoError(textoCerrada);
}

// The answer of id `id` (its JSON text as received) as compact JSON plus a
// line feed; nothing when it cannot be written.
std::optional<std::string> escribir(std::string_view id, const Json& resultado) {
    try {
        return mensajeConId(id, Json{{"result", resultado}}.dump()) + "\n";
    } catch (const Json::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<std::string> atender(std::string_view lineaCruda, const Reenviador& reenviar) {
    // Outside bytes that are not UTF-8 are repaired, as any text read from a
    // stream would be; the repaired line is what is parsed and forwarded.
    const std::string linea = repararUtf8(lineaCruda);
    if (esBlanca(linea)) return std::nullopt;
    const Json mensaje = Json::parse(linea, nullptr, false);
    if (mensaje.is_discarded() || !mensaje.is_object()) return std::nullopt;

    Reenvio reenvio = reenviar(linea);
    if (reenvio.cuerpo) {
        if (reenvio.cuerpo->empty()) return std::nullopt;
        return *reenvio.cuerpo + "\n";
    }
    if (!mensaje.contains("id")) return std::nullopt;
    // The id's own text: read as a number, a 30-digit id would come back as
    // a float.
    const auto id = idCrudo(linea);
    if (!id) return std::nullopt;
    return escribir(*id, resultadoLocal(mensaje, reenvio.codigo));
}

std::optional<std::string> rutaDe(const ConexionTarvel::Conexion& conexion) {
    for (char c : conexion.token) {
        const auto codigo = static_cast<unsigned char>(c);
        const bool prohibido = codigo <= 0x20 || codigo >= 0x7F || std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos;
        if (prohibido) return std::nullopt;
    }
    return "/mcp/" + conexion.token;
}

Reenvio resultadoHTTP(long codigo, std::string cuerpo) {
    if (codigo == 200 && cuerpo.empty()) return {std::move(cuerpo), codigo};
    if (codigo == 200) {
        // Checked without building the value, so a large answer costs no
        // more than its bytes.
        if (cuerpo.size() > limiteRespuesta || !Json::accept(cuerpo)) return {};
        // Line breaks in valid JSON can only be blanks between tokens:
        // dropping them leaves the same value, and one line to write.
        std::erase_if(cuerpo, [](char c) { return c == '\n' || c == '\r'; });
        return {std::move(cuerpo), codigo};
    }
    if (codigo == 202) return {std::string(), codigo};
    return {std::nullopt, codigo};
}

}  // namespace sorvenia::puente
