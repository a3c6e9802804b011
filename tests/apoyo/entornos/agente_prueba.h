#pragma once
// Surroundings of the agent runner tests (pruebas_agente), on top of
// aislado.h: a private XDG_RUNTIME_DIR where work folders go, and a
// resources tree of the test's own (SORVENIA_RECURSOS) with five skills,
// the house brief and a "plugins/superpowers" folder. Including this header
// is what gives a test program these surroundings.

#include <filesystem>
#include <string>

#include "aislado.h"

namespace sorvenia::prueba {

// <raiz>/runtime, mode 0700.
std::filesystem::path runtimeAislado();
// <raiz>/recursos.
std::filesystem::path recursosAislados();
// The text of the test's house brief (skills/tarvel-sorvenia/encargo.md).
inline const std::string encargoDePrueba = "ENCARGO DE PRUEBA";

// Registers the surroundings with GoogleTest, once per program, before main.
bool registrarAgente();
inline const bool agenteRegistrado = registrarAgente();

}  // namespace sorvenia::prueba
