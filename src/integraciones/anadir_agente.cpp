// ConexionAgente::anadir: the writes into each client's configuration.
#include <glib.h>

#include <filesystem>

#include "comun/conexion_tarvel.h"
#include "cuenta/error_api.h"
#include "ias/correr_corto.h"
#include "ias/deteccion.h"
#include "ias/path_terminal.h"
#include "integraciones/conexion_agente.h"
#include "integraciones/escritura_cliente.h"

namespace sorvenia::ConexionAgente {
namespace {

using nlohmann::json;

constexpr std::string_view yaEstaba = "Ya estaba conectado.";
constexpr std::string_view tablaCodex = "[mcp_servers.sorvenia-tarvel]";
// A claude that hangs must not keep the settings page waiting for ever.
constexpr double limiteClaude = 60.0;

ErrorAPI noLaToco(const std::string& ruta, std::string_view que) {
    return ErrorAPI("config",
                    "La configuración de " + ruta + " " + std::string(que) + ": no la toco. Usa la instalación manual.",
                    0);
}

bool esUtf8(const std::string& texto) {
    return g_utf8_validate(texto.data(), static_cast<gssize>(texto.size()), nullptr);
}

bool existe(const std::string& ruta) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(ruta, ec));
}

// The file's object; an empty object for a missing or empty file. A file
// that exists but cannot be read or parsed is never replaced.
json objetoDe(const std::string& ruta) {
    const auto texto = EscrituraCliente::leer(ruta);
    if (!texto) {
        if (existe(ruta)) throw noLaToco(ruta, "no se puede leer");
        return json::object();
    }
    if (texto->empty()) return json::object();
    json valor = json::parse(*texto, nullptr, false);
    if (valor.is_discarded() || !valor.is_object()) throw noLaToco(ruta, "no es un JSON válido");
    return valor;
}

bool yaRegistrado(const std::string& ruta, const std::string& clave, const json& valor) {
    const auto texto = EscrituraCliente::leer(ruta);
    if (!texto) return false;
    const json objeto = json::parse(*texto, nullptr, false);
    if (objeto.is_discarded() || !objeto.is_object() || !objeto.contains(clave)) return false;
    const json& servidores = objeto[clave];
    return servidores.is_object() && servidores.contains("sorvenia-tarvel") && servidores["sorvenia-tarvel"] == valor;
}

Tarea<std::string> anadirClaudeCode() {
    const std::string ruta = ConexionTarvel::casa().string() + "/.claude.json";
    auto [clave, valor] = *detalle::entradaJson(Agentes::claudeCode);
    if (yaRegistrado(ruta, clave, valor)) co_return std::string(yaEstaba);
    const std::string puente = ConexionTarvel::puente().string();
    const auto [ok, salida] = co_await enSegundoPlano([puente] { return detalle::registrarConClaude(puente); });
    if (ok) co_return "Conectado.";
    co_return detalle::jsonConServidor(ruta, clave, valor);
}

}  // namespace

std::string detalle::jsonConServidor(const std::string& ruta, const std::string& clave, const json& valor) {
    json objeto = objetoDe(ruta);
    json servidores = objeto.contains(clave) && objeto[clave].is_object() ? objeto[clave] : json::object();
    if (servidores.contains("sorvenia-tarvel") && servidores["sorvenia-tarvel"] == valor) return std::string(yaEstaba);
    servidores["sorvenia-tarvel"] = valor;
    objeto[clave] = std::move(servidores);
    EscrituraCliente::copia(ruta);
    EscrituraCliente::escribir(ruta, objeto.dump(2) + "\n");
    return "Conectado.";
}

std::string detalle::tomlCodex(const std::string& ruta) {
    std::string texto;
    if (auto leido = EscrituraCliente::leer(ruta)) {
        // Appending to bytes that are not text could corrupt the user's file.
        if (!esUtf8(*leido)) throw noLaToco(ruta, "no es texto UTF-8");
        texto = std::move(*leido);
    } else if (existe(ruta)) {
        throw noLaToco(ruta, "no se puede leer");
    }
    if (texto.find(tablaCodex) != std::string::npos) return std::string(yaEstaba);
    EscrituraCliente::copia(ruta);
    const std::string separador = texto.empty() || texto.back() == '\n' ? "" : "\n";
    texto += separador + "\n" + std::string(tablaCodex) + "\ncommand = \"" + ConexionTarvel::puente().string() + "\"\n";
    EscrituraCliente::escribir(ruta, texto);
    return "Añadido a Codex.";
}

std::pair<bool, std::string> detalle::registrarConClaude(const std::string& puente) {
    const auto candidatas = IAsLocales::candidatas(IA::Tipo::claude);
    if (candidatas.empty()) return {false, "sin CLI"};
    // The user's terminal PATH: claude is a script that needs its
    // interpreter, which a desktop-started application may not see.
    const Entorno entorno = IAsLocales::detalle::entornoDeSonda(IAsLocales::pathDeTerminal());
    const auto& claude = candidatas.front();
    (void)IAsLocales::correrCorto(claude, {"mcp", "remove", "--scope", "user", "sorvenia-tarvel"}, entorno,
                                  limiteClaude);
    const auto salida = IAsLocales::correrCorto(
        claude, {"mcp", "add", "--scope", "user", "sorvenia-tarvel", "--", puente}, entorno, limiteClaude);
    if (!salida) return {false, "no arranca"};
    return {salida->estado == 0, salida->texto};
}

Tarea<std::string> anadir(Agentes agente) {
    switch (agente) {
        case Agentes::claudeApp: co_return std::string(detalle::sinClaudeApp);
        case Agentes::claudeCode: co_return co_await anadirClaudeCode();
        case Agentes::codex: co_return detalle::tomlCodex(*ruta(Agentes::codex));
        case Agentes::cursor:
        case Agentes::vscode:
        case Agentes::opencode: {
            auto [clave, valor] = *detalle::entradaJson(agente);
            co_return detalle::jsonConServidor(*ruta(agente), clave, valor);
        }
        case Agentes::otros: break;
    }
    co_return "Copia la configuración de abajo.";
}

}  // namespace sorvenia::ConexionAgente
