#pragma once
// The "id" of a JSON-RPC message kept as the text it came in. The JSON
// parser reads an integer beyond 64 bits as a double, so a 30-digit id read
// and written again would come back as another number; answers therefore
// echo the id's own bytes.

#include <optional>
#include <string>
#include <string_view>

namespace sorvenia {

// For the text of a valid JSON object: the text of the value of its last
// top-level member named "id" (the one the parser keeps; escaped names
// count), with the blanks between tokens removed, so that it is one line.
// Nothing when the object has no such member. Any other input gives an
// unspecified result but never reads out of bounds.
std::optional<std::string> idCrudo(std::string_view objeto);

// A JSON-RPC message: {"jsonrpc":"2.0","id":<id>, followed by the members
// of `resto`, the compact text of a JSON object (its opening brace is
// dropped). `id` is JSON text as idCrudo gives it.
std::string mensajeConId(std::string_view id, std::string_view resto);

}  // namespace sorvenia
