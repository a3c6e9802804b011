#pragma once
// Writing a child's standard input.

#include <string_view>

#include "ias/descriptor.h"

namespace sorvenia::IAsLocales {

// Writes all of `bytes` into the pipe's write end, blocking while the child
// does not read; then closes it when `cerrar`. A child that has closed its
// input makes the write fail quietly (no SIGPIPE reaches the application,
// whatever its disposition). Never fails.
void escribir(std::string_view bytes, Descriptor& tuberia, bool cerrar);

}  // namespace sorvenia::IAsLocales
