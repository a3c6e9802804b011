#pragma once
// The work folder of one AI run (a design turn or an agent run): a new
// private folder with the house design skills linked in and the same brief
// under the three file names the three tools read.

#include <filesystem>
#include <optional>
#include <string>

#include "plataforma/carpetas.h"
#include "plataforma/resultado.h"

namespace sorvenia::IAsLocales {

// The brief's fixed opening, before the skills' texts.
extern const std::string textoFijoEncargo;

// Makes the folder "tarvel-ia-XXXXXX" with mode 0700 in the application's
// private temporary place (Carpetas::crearTemporalPrivada: never readable by
// other users, as Linux's /tmp is shared), holding:
//   .claude/skills and skills   links to the shipped "skills" folder (none
//                               when the resources have no such folder)
//   CLAUDE.md AGENTS.md GEMINI.md  the brief: textoFijoEncargo, then for each
//                               of tarvel-sorvenia, nivel-agencia,
//                               territorios-visuales, sistema-visual and
//                               copy-es "\n\n---\n\n" and its SKILL.md, up to
//                               the first that cannot be read; mode 0600.
// The folder is removed with everything in it when the returned owner goes;
// on failure nothing is left.
Resultado<CarpetaTemporal> prepararCarpeta();

namespace detalle {
// prepararCarpeta with the skills folder given (tests).
Resultado<CarpetaTemporal> prepararCarpetaCon(const std::optional<std::filesystem::path>& skills);
}  // namespace detalle

}  // namespace sorvenia::IAsLocales
