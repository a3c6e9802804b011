#pragma once
// What the tests of the real claude and codex share: the codex configuration
// that points it at the stand-in model API, and a short form of the chat an
// agent run produced.

#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia::prueba {

// The script both agents follow in the tests of a run from an open design:
// look, make a mesa "Contacto", write `seccionContacto` into it, look at it,
// finish, then the final text `textoFinalContacto` (held back 2.5 s, so the
// run can be photographed mid-way); a second run answers one text.
inline constexpr const char* seccionContacto =
    R"(<section id="contacto"><h2>Contacto</h2><p>Pide cita en el 600 123 456.</p></section>)";
inline constexpr const char* textoFinalContacto = "He añadido la sección de contacto.";
inline const std::vector<std::string> herramientasContacto = {"ver_tarvel", "crear_mesa", "escribir", "captura",
                                                              "terminar"};
nlohmann::json guionContacto();

// The text of ~/.codex/config.toml for a codex that talks to the stand-in
// at `url` and reaches nothing beyond this machine (no update check, no
// plugin or app services, no analytics).
std::string configuracionCodex(const std::string& url);

// The chat's messages in short: "tipo", or "paso <tool>", or "pasoHecho con
// error". The session ids go to `sesiones`; the agents' own searches for
// deferred tools (and their ends) are left out.
std::vector<std::string> resumenDelChat(const std::vector<nlohmann::json>& chat, std::set<std::string>& sesiones);

}  // namespace sorvenia::prueba
