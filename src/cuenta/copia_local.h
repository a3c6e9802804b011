#pragma once
// A design kept on this computer because its upload failed (Cuenta::CopiaLocal),
// its file format, and the date coding the format uses.
//
// One compact JSON object per file, keys in the order of the fields:
// "id"?, "nombre", "doc", "fecha", "servidor"?, "cliente"?, "ref"?, "base"?
// ({"version"?, "modificado"?}). Absent
// optional fields leave their key out. "fecha" is a number: seconds, with
// fraction, since 2001-01-01 00:00:00 UTC. Reading requires "nombre" (a
// text), "doc" (any JSON value, null included) and "fecha" (a number); the
// optional keys may be missing or null; other keys are ignored.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cuenta/json_valor.h"

namespace sorvenia {

struct CopiaLocal {
    using Fecha = std::chrono::system_clock::time_point;

    std::optional<std::string> id;        // the design's id in the account; none if never uploaded
    std::string nombre;                   // the design's name
    JSONValor doc;                        // the whole design document
    Fecha fecha{};                        // when the copy was written
    std::optional<std::string> servidor;  // host of the account site the design belongs to
    std::optional<std::int64_t> cliente;  // the customer signed in when it was written
    std::optional<std::string> ref;       // the editor's own identity; only when `id` is absent

    // The account's version of the design that the copy's changes were made
    // on: as the account gave it when the design was opened or last saved.
    // It is the account's own word, never this computer's clock.
    struct Base {
        std::optional<std::int64_t> version;
        std::optional<std::string> modificado;  // the account's "yyyy-MM-dd HH:mm:ss"
        bool operator==(const Base&) const = default;
    };
    std::optional<Base> base;
};

namespace copias {

// The instant 2001-01-01 00:00:00 UTC, origin of the JSON dates.
inline constexpr std::chrono::sys_seconds origen2001{std::chrono::seconds{978307200}};

// Seconds, with fraction, since 2001-01-01 00:00:00 UTC.
double segundosDesde2001(CopiaLocal::Fecha fecha);
// The instant that many seconds after 2001-01-01 UTC (rounded to the
// clock's tick); nothing when it is not finite or lies outside the range
// the clock can hold (about the years 1684 to 2254).
std::optional<CopiaLocal::Fecha> fechaDesde2001(double segundos);

// The file's text; nothing when the document holds a number that is not
// finite (JSON cannot write it).
std::optional<std::string> codificar(const CopiaLocal& copia);
// The copy a file's bytes hold; nothing when they break the rules above.
std::optional<CopiaLocal> decodificar(std::string_view bytes);

// A modification time as the account service writes it, "yyyy-MM-dd
// HH:mm:ss" in UTC (fields of one or two digits, the year of up to four,
// the whole text, valid calendar values); nothing otherwise. Independent of
// the process locale.
std::optional<CopiaLocal::Fecha> fechaDelServicio(std::string_view texto);

}  // namespace copias
}  // namespace sorvenia
