#pragma once
// Surroundings of the agent runner tests (pruebas_agente), on top of
// ias/aislado.h: a private XDG_RUNTIME_DIR where work folders go, and a
// resources tree of the test's own (SORVENIA_RECURSOS) with five skills,
// the house brief and a "plugins/superpowers" folder.

#include <filesystem>
#include <string>

namespace sorvenia::prueba {

// <raiz>/runtime, mode 0700.
std::filesystem::path runtimeAislado();
// <raiz>/recursos.
std::filesystem::path recursosAislados();
// The text of the test's house brief (skills/tarvel-sorvenia/encargo.md).
inline const std::string encargoDePrueba = "ENCARGO DE PRUEBA";

}  // namespace sorvenia::prueba
