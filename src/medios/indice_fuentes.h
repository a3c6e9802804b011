#pragma once
// The font library's index, "fuentes.json": one entry per font file, and the
// rules for the files' names and types. Pure, so that whatever bytes the
// index holds (it is a file on the user's disk) can be driven through it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvenia::Fuentes {

struct Fuente {
    std::string familia;
    std::string peso = "400";
    std::string estilo = "normal";
    std::string archivo;
    std::string formato = "truetype";
    bool operator==(const Fuente&) const = default;
};

// 1 to 121 of [A-Za-z0-9._-], starting with a letter or digit, and no "..".
bool nombreValido(std::string_view archivo);
// The text after the last ".", in lower case ("" without one).
std::string extensionEnMinusculas(std::string_view archivo);
// By extension, in lower case: "font/woff2", "font/woff", "font/otf", else "font/ttf".
std::string mime(std::string_view archivo);
// By extension, in lower case: "woff2", "woff", "opentype", else "truetype".
std::string formato(std::string_view extension);

// The entries of the index's text, in order (whether their files exist is
// the caller's to check). Text that is not an array of objects whose values
// are all strings is an empty index; an entry without "familia" or with no
// valid "archivo" is left out; the others take the defaults.
std::vector<Fuente> leerIndice(std::string_view texto);
// The index's text for these fonts.
std::string textoIndice(const std::vector<Fuente>& fuentes);

// The file a "fuente:" URL names: its last path component, when that is a
// valid name.
std::optional<std::string> nombreDeUrl(std::string_view url);

}  // namespace sorvenia::Fuentes
