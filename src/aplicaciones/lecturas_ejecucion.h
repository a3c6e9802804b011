#pragma once
// What the local run reads in a project's "package.json".

#include <string_view>

namespace sorvenia::LecturasEjecucion {

// Whether the text asks for an install: a JSON object whose runtime
// dependencies field ("dependencies", not the development one) is an object
// with at least one entry.
bool hayDependencias(std::string_view paquete);

// Whether the text declares tests: a JSON object whose "scripts" member is an
// object with a member "test" (whatever its value).
bool hayPruebas(std::string_view paquete);

}  // namespace sorvenia::LecturasEjecucion
