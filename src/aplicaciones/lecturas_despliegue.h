#pragma once
// What the deployment reads from outside: the deploy script's answer line
// and the messages of a failed ssh command. Pure, for the fuzz build.

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace sorvenia::LecturasDespliegue {

// The prefix of the deploy script's answer line: the word and one space.
inline constexpr std::string_view prefijoResultado = "RESULTADO ";

// The object of the last non-empty output line that starts with the prefix;
// nothing when there is none, or when the rest of that line is not a JSON
// object (an earlier answer line never stands in for a broken last one).
std::optional<nlohmann::json> resultado(std::string_view salida);

// The sentence the user reads for a failed ssh command, from its output.
std::string motivoSSH(std::string_view salida);

// The last `n` characters (whole UTF-8 sequences) of `texto`.
std::string ultimosCaracteres(std::string_view texto, std::size_t n);

}  // namespace sorvenia::LecturasDespliegue
