#pragma once
// The process's launch arguments (the program path first), kept for the
// screens that read them after start-up. GApplication takes only what it
// understands; the rest stays readable here.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvenia::Argumentos {

// Called once by main(); later calls replace the list. Main thread.
void fijar(std::vector<std::string> argumentos);
const std::vector<std::string>& todos();

bool contiene(const std::vector<std::string>& argumentos, std::string_view opcion);
// The argument right after the first occurrence of `opcion`; nothing when
// the option is missing or is the last argument.
std::optional<std::string> valorTras(const std::vector<std::string>& argumentos, std::string_view opcion);

}  // namespace sorvenia::Argumentos
