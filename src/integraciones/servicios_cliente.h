#pragma once
// The customer's own outside services as the editor uses them: logo and
// photo placeholders in agents' HTML resolved to real image addresses.
// Static operations without state, apart from the photo search that tests
// put in place.

#include <functional>
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
    // every other src that is no absolute web address, "data:" or
    // "recurso:" (optionally "foto:"/"photo:" + words) with a photo found
    // with the customer's Pexels or Unsplash key. Whatever is left goes to
    // `servidor`, awaited at most once. Never fails: what cannot be
    // resolved stays as it was written.
    static Tarea<std::string> resolver(std::string html, Servidor servidor);

    // The brand's name as the CDN names its icon: lower case, "+" "plus",
    // "." "dot", "&" "and", no diacritics, only letters and digits.
    static std::string slugLogo(std::string_view marca);

    // The photo-bank search with the customer's keys; the banks are not
    // reached yet, so it finds nothing.
    static Tarea<std::vector<std::string>> buscarFotos(std::string consulta);
    // Puts another search in place (tests); empty: buscarFotos. Returns the
    // one it replaces. Main thread only.
    static Busqueda usarBusqueda(Busqueda busqueda);
};

}  // namespace sorvenia
