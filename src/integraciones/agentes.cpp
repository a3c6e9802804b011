#include "integraciones/agentes.h"

namespace sorvenia {
namespace {

struct Fila {
    Agentes agente;
    std::string_view texto;
    std::string_view nombre;
};

constexpr std::array<Fila, 7> filas = {{
    {Agentes::claudeApp, "claudeApp", "Claude (app)"},
    {Agentes::claudeCode, "claudeCode", "Claude Code"},
    {Agentes::codex, "codex", "Codex · ChatGPT"},
    {Agentes::cursor, "cursor", "Cursor"},
    {Agentes::vscode, "vscode", "VS Code"},
    {Agentes::opencode, "opencode", "OpenCode"},
    {Agentes::otros, "otros", "Otros agentes"},
}};

const Fila& filaDe(Agentes agente) {
    for (const auto& f : filas)
        if (f.agente == agente) return f;
    return filas.back();
}

}  // namespace

std::string_view texto(Agentes agente) { return filaDe(agente).texto; }

std::string_view nombreVisible(Agentes agente) { return filaDe(agente).nombre; }

std::optional<Agentes> agenteDesde(std::string_view valor) {
    for (const auto& f : filas)
        if (f.texto == valor) return f.agente;
    return std::nullopt;
}

}  // namespace sorvenia
