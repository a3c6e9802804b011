#pragma once
// Reading the bytes of the agency file (see fichero_agencia.h): whether this
// build can read them, and one account's entry in them. Pure: no files, no
// platform; the file's bytes are outside input (other programs and newer
// builds may have written them).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace sorvenia {

// One account's entry in memory.
struct EntradaAgencia {
    nlohmann::json datos = nlohmann::json::object();  // as last saved locally
    std::optional<nlohmann::json> base;               // as last uploaded (an object)
    std::int64_t version = 0;                         // the account's version of base
    bool pendiente = false;                           // local changes not uploaded yet
};

namespace LecturaAgencia {

// The layout number this build writes.
inline constexpr int formato = 2;

// What the bytes of the file are to this reader.
enum class Estado { valido, ilegible, posterior };

// ilegible: not JSON, not an object, or "cuentas" not an object; posterior:
// a layout number above ours at the root or in the entry of `clave`.
Estado estadoDe(std::string_view texto, const std::string& clave);
// The entry of `clave`: empty unless the state is valido; a field missing or
// of another type takes its default; an entry without "formato" is the
// earlier layout, whose object is the data itself.
EntradaAgencia entradaDe(std::string_view texto, const std::string& clave);

// A JSON number as an integer (fraction dropped); nothing when it is not a
// number or does not fit.
std::optional<std::int64_t> enteroDe(const nlohmann::json& v);

}  // namespace LecturaAgencia

}  // namespace sorvenia
