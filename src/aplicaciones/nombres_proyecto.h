#pragma once
// The names an app project gets from its design's name: the folder name and,
// for a mobile app, the type name, application id and display name that the
// iOS and Android templates are personalised with.

#include <string>
#include <string_view>

namespace sorvenia::NombresProyecto {

// The folder name: accents and other marks dropped, lower case, every
// character but an ASCII letter or digit turned into "-", runs of "-" made
// one, "-" trimmed from both ends, at most 28 characters, and beginning with
// a letter ("app-" before a digit; "app" when nothing is left). Such a name
// holds no separator, no "..", and begins with neither a dot nor a dash.
std::string slug(std::string_view nombre);

// The type name: the name without accents, cut into words at every
// character that is neither a letter nor a number, each word's first
// character upper-cased, joined; "MiApp" in front when that is empty or
// begins with a number. "Mi tienda de café" gives "MiTiendaDeCafe".
std::string nombreTipo(std::string_view nombre);

// "es.sorvenia.code." followed by the type name in lower case.
std::string idAplicacion(std::string_view tipo);

// The display name without double quotes and "<", each "&" written "y".
std::string nombreLimpio(std::string_view nombre);

// The display name of a design: its name, or "Mi App" for an empty name or
// "Sin título" (a design that was never named).
std::string nombreVisible(std::string_view nombre);

}  // namespace sorvenia::NombresProyecto
