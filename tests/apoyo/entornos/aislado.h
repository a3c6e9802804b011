#pragma once
// Surroundings of the local AI tool tests (pruebas_ias_locales): before the
// first test the program gets a fresh folder tree of its own and points its
// environment at it, so that the login-shell PATH, the home folder, the user
// defaults and the icon folders are the test's and nothing of the user's or
// of the machine's AI tools is read or run:
//   HOME               <raiz>/casa
//   XDG_CONFIG_HOME    <raiz>/config      (the user defaults)
//   XDG_DATA_HOME      <raiz>/datos       (icons)
//   XDG_DATA_DIRS      <raiz>/datos-sistema
//   SHELL              tests/apoyo/bin/shell-login, whose login PATH is
//   SORVENIA_PATH_LOGIN  <raiz>/path-login
//   npm_config_prefix  <raiz>/npm         (npm's global bin: <raiz>/npm/bin)
// CLAUDECODE is removed. The tree is removed when the program ends.
// Including this header is what gives a test program these surroundings.

#include <filesystem>
#include <string>

namespace sorvenia::prueba {

const std::filesystem::path& raizAislada();

// tests/apoyo/bin/<nombre>.
std::string apoyoBin(const std::string& nombre);

// Registers the surroundings with GoogleTest, once per program; the variable
// below makes every program that includes this header do it before main.
bool registrarAislado();
inline const bool aisladoRegistrado = registrarAislado();

}  // namespace sorvenia::prueba
