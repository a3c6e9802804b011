#pragma once
// Reading the application's HTTP/1.1 answer to one of the bridge's posts.
// The bytes come from whatever listens on the loopback port, so they are
// treated as hostile: the header block and the body are bounded, and
// anything that is not a plain HTTP/1.1 response is refused.
//
// Accepted: a status line "HTTP/1.x NNN ...", header lines, a blank line,
// then a body of exactly Content-Length bytes, or, without that header, the
// bytes up to the end of the connection. Chunked or otherwise encoded
// bodies, a Content-Length that is not a decimal number, or two that
// differ, are refused: the application never sends them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorvenia::puente {

// The largest header block taken, blank line included.
inline constexpr std::size_t limiteCabeceraRespuesta = 64 * 1024;

class LectorRespuesta {
public:
    enum class Estado { incompleta, completa, invalida };

    // At most `limiteCuerpo` bytes of body; a longer body is refused while
    // it arrives.
    explicit LectorRespuesta(std::size_t limiteCuerpo);

    // Feed what each receive gives until the answer is not `incompleta`.
    Estado agregar(std::string_view trozo);
    // The connection ended: an answer without Content-Length is complete
    // now; any other still incomplete answer is refused.
    Estado terminar();

    // Once complete.
    long codigo() const { return codigo_; }
    std::string& cuerpo() { return cuerpo_; }

private:
    Estado examinarCabecera();
    Estado agregarCuerpo(std::string_view trozo);

    std::size_t limiteCuerpo_;
    std::string cabecera_;
    std::string cuerpo_;
    std::optional<std::uint64_t> longitud_;  // nothing: up to the end of the connection
    long codigo_ = 0;
    Estado estado_ = Estado::incompleta;
    bool enCuerpo_ = false;
};

}  // namespace sorvenia::puente
