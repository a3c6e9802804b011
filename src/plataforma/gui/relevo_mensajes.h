#pragma once
// How a page's messages reach native code. The message handler lives in an
// isolated script world, so the page's own scripts cannot post to it; a
// relay injected into that world (top frame only) listens for the DOM event
// "sorvenia-mensaje" on the document and forwards its detail, a JSON text,
// together with the address of the document it came from.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace sorvenia {

// The isolated world of the relay and of native-only scripts.
inline constexpr const char* mundoSorvenia = "sorvenia";

// The event the page dispatches on its document.
inline constexpr const char* eventoMensaje = "sorvenia-mensaje";

// The relay's source for the handler `manejador`, to inject at document
// start.
std::string guionRelevo(std::string_view manejador);

struct MensajeRelevado {
    std::string uri;      // the address of the document that dispatched it
    nlohmann::json cuerpo;  // always a JSON object
};

// Reads what the relay posted; nothing when it is malformed or the page's
// detail is not the text of a JSON object.
std::optional<MensajeRelevado> leerRelevo(std::string_view texto);

}  // namespace sorvenia
