#pragma once
// The customer's own outside services as the editor uses them: logo and
// photo placeholders in agents' HTML resolved to real image addresses.
// Static operations without state, apart from the photo search that tests
// put in place.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plataforma/tarea.h"

namespace sorvenia {

class ServiciosCliente {
public:
    // Whole HTML in, the same HTML with the photos the account's service
    // filled out.
    using Servidor = std::function<Tarea<std::string>(std::string)>;
    // Search words in, photo addresses out (possibly none); never throws.
    using Busqueda = std::function<Tarea<std::vector<std::string>>(std::string)>;

    // The public icon CDN: base + "/" + slug is the brand's icon.
    static constexpr std::string_view cdnIconos = "https://cdn.simpleicons.org";

    // Replaces every src="logo:Marca" with the brand's icon on the CDN, then
    // every other src that is no absolute web address, "data:",
    // "recurso:" or scene video (optionally "foto:"/"photo:" + words) with a
    // photo found
    // with the customer's Pexels or Unsplash key. Whatever is left goes to
    // `servidor`, awaited at most once. Never fails: what cannot be
    // resolved stays as it was written.
    static Tarea<std::string> resolver(std::string html, Servidor servidor);

    // The brand's name as the CDN names its icon: lower case, "+" "plus",
    // "." "dot", "&" "and", no diacritics, only letters and digits.
    static std::string slugLogo(std::string_view marca);

    // The photo-bank search with the customer's keys: up to six addresses
    // from Pexels, else from Unsplash; none without a key or when the banks
    // give none. Addresses that could break out of an attribute are left out.
    static Tarea<std::vector<std::string>> buscarFotos(std::string consulta);
    // One AI image with the customer's own key: fal, else OpenAI, else
    // Gemini (the first key stored; a failure never falls back to another).
    // `imagen` is an optional reference picture (an address or a "data:"
    // URL); the size only chooses the format. The result is an https
    // address (fal) or a "data:" URL, safe inside an HTML attribute. Throws
    // ErrorAPI ("sin_clave" without a key, else the provider's name as code)
    // or ErrorTransporte when no answer arrived.
    static Tarea<std::string> imagen(std::string prompt, std::optional<std::string> imagen, std::int64_t ancho,
                                     std::int64_t alto);

    // Puts another search in place (tests); empty: buscarFotos. Returns the
    // one it replaces. Main thread only.
    static Busqueda usarBusqueda(Busqueda busqueda);
};

}  // namespace sorvenia
