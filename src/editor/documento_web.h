#pragma once
// The standalone HTML document around a piece of design HTML, as the
// renderer and the HTML and website exports write it. It needs no display,
// so the website files can be built without one.

#include <string>

namespace sorvenia {

// `html` inside a complete document titled `titulo` (without any '<'),
// with the web fonts linked when `fuentesWeb`, else the local ones. With
// the web fonts, the user's own fonts the HTML names ("fuente://local/")
// are embedded as data.
std::string documentoWeb(const std::string& html, const std::string& titulo, bool fuentesWeb);

}  // namespace sorvenia
