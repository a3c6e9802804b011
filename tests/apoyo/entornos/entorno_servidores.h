#pragma once
// The surroundings of the servers tests: before the first test the program
// gets a home and configuration folder of its own (so ~/.sorvenia-tarvel and
// the preferences are the test's), the test build's identity (so the ssh
// configuration may point at the test's own sshd), and that sshd. Including
// this header is what gives a test program these surroundings.

#include <filesystem>
#include <string>

#include "sshd_prueba.h"

namespace sorvenia::prueba {

inline constexpr const char* claveRoot = "contraseña de prueba";

const std::filesystem::path& raizServidores();

// The program's sshd, started once; null (the reason in `motivo`) when there
// is none.
SshdPrueba* sshd(std::string* motivo = nullptr);

// Registers the surroundings with GoogleTest, once per program, before main.
bool registrarEntornoServidores();
inline const bool entornoServidoresRegistrado = registrarEntornoServidores();

}  // namespace sorvenia::prueba
