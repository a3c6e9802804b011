#pragma once
// What a local AI tool answers is untrusted text: these functions take the
// one HTML fragment out of it and make sure no script of the tool's travels
// with it.

#include <string>
#include <string_view>

namespace sorvenia::IAsLocales {

// The HTML fragment of an answer: the first fenced code block (``` or
// ```html) when there is one, without its fences, then from the first "<"
// through the last ">". Empty when there is no "<" before a ">".
std::string limpiar(std::string_view texto);

// The fragment without <script> elements (an unclosed one runs to the end)
// and without event-handler attributes ("on..." in a tag). The pages show
// designs where nothing runs anyway; this keeps the stored design from
// carrying code that would run wherever it is published.
std::string sinGuiones(std::string_view html);

// Both, as every turn's answer and partial page is handed on.
inline std::string limpiarSeguro(std::string_view texto) { return sinGuiones(limpiar(texto)); }

}  // namespace sorvenia::IAsLocales
