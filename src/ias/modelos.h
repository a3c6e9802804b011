#pragma once
// The models each local AI tool offers and the one the user chose for it,
// kept in the user defaults under "modelo." followed by the tool's raw value.

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "ias/ia.h"
#include "plataforma/preferencias.h"

namespace sorvenia::IAsLocales {

// One entry of a tool's model list. The empty id means that the tool
// chooses its own model.
struct ModeloIA {
    std::string id;
    std::string nombre;
    std::string det;
    bool operator==(const ModeloIA&) const = default;
};

// {"id", "nombre", "det"}.
void to_json(nlohmann::json& destino, const ModeloIA& modelo);

// The tool's model list, the "Automático" entry (id "") first.
std::vector<ModeloIA> modelos(IA::Tipo tipo);

// The model stored for the tool whose raw value is `tipo` ("claude",
// "codex", "gemini"), or "" when none is stored (the tool's own choice).
// Safe from any thread. `preferencias` is for tests.
std::string modelo(std::string_view tipo, Preferencias& preferencias = Preferencias::estandar());

// Cleans `valor` (limpiarModelo) and stores it as the tool's model, also when
// the result is empty (back to the tool's own choice). Never fails; a value
// that cannot be written to disk is kept for this run (preferencias.h).
void fijarModelo(std::string_view tipo, std::string_view valor,
                 Preferencias& preferencias = Preferencias::estandar());

// "--model" and the stored model when one is stored for `tipo`, else no
// arguments. Callers pass "claude".
std::vector<std::string> argsModeloClaude(std::string_view tipo,
                                          Preferencias& preferencias = Preferencias::estandar());

// The user default key of a tool's model: "modelo." followed by `tipo`.
std::string claveModelo(std::string_view tipo);

// What fijarModelo stores: `valor` (ill-formed UTF-8 repaired first) trimmed
// of white space and line breaks at both ends; of that only the letters,
// marks and numbers (by Unicode general category, so letters with accents
// stay) and the five characters "-._:/"; cut to its first 80 characters
// (a combining mark counts with the character it follows).
std::string limpiarModelo(std::string_view valor);

}  // namespace sorvenia::IAsLocales
