#pragma once
// The logo and photo placeholders in agents' HTML: src attributes whose
// value names a brand ("logo:Marca") or search words ("foto:playa"). Found
// by a plain scan over the text's code points (wchar_t is 32 bits here), so
// the length limits count characters, and a text of any size is read in
// linear time without the stack growing with it. No GLib, so that the fuzz
// build can drive it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sorvenia {

// One placeholder: the whole attribute, from "src" to the closing quote,
// and the words it holds.
struct MarcadorImagen {
    std::size_t inicio;
    std::size_t largo;
    std::wstring palabras;
};

// src="logo:Marca", blanks allowed around the equals sign, letter case
// ignored: the brand is 1 to 60 characters without a double quote.
std::vector<MarcadorImagen> marcadoresLogo(std::wstring_view texto);

// Every other src value that does not start with "http:", "https:",
// "data:", "recurso:", "escenas/" or "escena:" (the design's scene videos),
// optionally "foto:" or "photo:" and blanks first;
// the words are 2 to 120 characters without a double quote, up to the
// closing quote. Letter case ignored.
std::vector<MarcadorImagen> marcadoresFoto(std::wstring_view texto);

}  // namespace sorvenia
