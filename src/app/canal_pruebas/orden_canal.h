#pragma once
// Reading the test channel's request files: pure text work, no GLib, so the
// fuzz build can drive it with any bytes.

#include <string>
#include <string_view>

namespace sorvenia::CanalPruebas {

// The web view a script order names: its first non-empty line, when it
// starts with "// web:", gives the name (spaces and tabs trimmed from both
// ends; a carriage return is kept, so a CRLF file names no view); any other
// first line, or an empty file, means "editor".
std::string destinoOrden(std::string_view orden);

// A request trimmed of white space and line ends at both ends.
std::string_view recortarPeticion(std::string_view peticion);

// The web view a screenshot request names: "editor" when the trimmed
// request is empty. "ventana" means the window, not a view.
std::string destinoCaptura(std::string_view peticion);

// Whether `bytes` is well-formed UTF-8 (a request that is not is no request).
bool esUtf8(std::string_view bytes);

}  // namespace sorvenia::CanalPruebas
