#pragma once
// One local AI command-line tool (claude, codex or gemini) as the screens,
// the login flow and the design turns see it, its JSON form, and the form in
// which the pages receive a list of tools.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia {

struct IA {
    // The tools, in this order; each has a text raw value ("claude", "codex",
    // "gemini").
    enum class Tipo { claude, codex, gemini };

    Tipo tipo = Tipo::claude;
    std::string nombre;               // name shown to the user
    std::string detalle;              // one-line description under the name
    std::optional<std::string> ruta;  // the executable chosen; absent when none is known
    bool sesion = false;              // whether the user is signed in to the tool

    // Identity in lists: the raw value of `tipo`.
    std::string id() const { return std::string(texto(tipo)); }

    // The raw value of a type.
    static std::string_view texto(Tipo tipo);
    // The type whose raw value is exactly `texto` (case-sensitive); nothing
    // for any other text.
    static std::optional<Tipo> tipoDesde(std::string_view texto);

    bool operator==(const IA&) const = default;
};

// JSON form: {"tipo", "nombre", "detalle", "ruta", "sesion"}; "ruta" is left
// out when absent.
void to_json(nlohmann::json& destino, const IA& ia);

// Decoding: "tipo" (one of the three raw values), "nombre", "detalle" (texts)
// and "sesion" (a Boolean) are required; "ruta" may be missing or null, else
// a text; other keys are ignored. Nothing when the value does not fit.
std::optional<IA> iaDesdeJson(const nlohmann::json& valor);

// The same for nlohmann's conversions (`valor.get<IA>()`); throws
// nlohmann::json::other_error when the value does not fit.
void from_json(const nlohmann::json& valor, IA& destino);

namespace IAsLocales {

// The page form of a list of tools, in the same order: an array of objects
// {"id": raw value of the type, "nombre", "detalle", "sesion" (Boolean),
//  "icono": icono(tipo) or "", "modelo": modelo(id) ("" = the tool's own),
//  "modelos": [{"id", "nombre", "det"}, ...] (the first with "id" "")}.
// The path is never sent to the pages. Reads the user defaults and looks for
// the icons on disk at each call; cheap enough for the main thread.
nlohmann::json json(const std::vector<IA>& lista);

}  // namespace IAsLocales

}  // namespace sorvenia
