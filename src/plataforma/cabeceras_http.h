#pragma once
// The header block of an HTTP response, read line by line as the transfer
// hands the lines over. Only the last response's block is kept: interim
// answers (100 Continue) and redirects each start with a status line, which
// clears what came before.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sorvenia {

using CabecerasHTTP = std::vector<std::pair<std::string, std::string>>;

class LectorCabeceras {
public:
    // One line as received, with or without its line ending. Malformed lines
    // are dropped; lines after the block's empty line (trailers) too, until
    // the next status line.
    void linea(std::string_view texto);

    const CabecerasHTTP& cabeceras() const& { return cabeceras_; }
    CabecerasHTTP cabeceras() && { return std::move(cabeceras_); }

private:
    CabecerasHTTP cabeceras_;
    bool dentroDelBloque_ = false;
};

// Whether the text can be sent as a method or header name (an HTTP token),
// and as a header value (no control characters other than tabs).
bool esTokenHTTP(std::string_view texto);
bool esValorCabecera(std::string_view texto);

// The value of a header, the name compared without regard to case. A header
// that came more than once gives its values joined with ", ".
std::optional<std::string> buscarCabecera(const CabecerasHTTP& cabeceras, std::string_view nombre);

}  // namespace sorvenia
