#include "aplicaciones/registro_ejecucion.h"

#include "comun/utf8.h"

namespace sorvenia {

void RegistroEjecucion::anotar(std::string_view texto) {
    while (!texto.empty()) {
        const auto salto = texto.find('\n');
        const auto pieza = texto.substr(0, salto);
        if (!pieza.empty()) lineas_.emplace_back(pieza);
        if (salto == std::string_view::npos) break;
        texto.remove_prefix(salto + 1);
    }
    while (lineas_.size() > maximoLineas) lineas_.pop_front();
}

std::string RegistroEjecucion::ultimas(std::size_t n) const {
    std::string texto;
    const std::size_t desde = lineas_.size() > n ? lineas_.size() - n : 0;
    for (std::size_t i = desde; i < lineas_.size(); ++i) {
        if (i > desde) texto.push_back('\n');
        texto += lineas_[i];
    }
    return texto;
}

namespace {

// The length a UTF-8 lead byte announces, or 0 for a byte that leads no
// sequence.
std::size_t largoAnunciado(unsigned char c) {
    if (c >= 0xC2 && c <= 0xDF) return 2;
    if (c >= 0xE0 && c <= 0xEF) return 3;
    if (c >= 0xF0 && c <= 0xF4) return 4;
    return 0;
}

}  // namespace

std::string DecodificadorUtf8::anadir(std::string_view bytes) {
    pendiente_.append(bytes);
    // Look back at most three bytes for the lead byte of a sequence the
    // chunk cut short.
    std::size_t corte = pendiente_.size();
    for (std::size_t atras = 1; atras <= 3 && atras <= pendiente_.size(); ++atras) {
        const auto c = static_cast<unsigned char>(pendiente_[pendiente_.size() - atras]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: keep looking
        if (largoAnunciado(c) > atras) corte = pendiente_.size() - atras;
        break;
    }
    std::string texto = repararUtf8(std::string_view(pendiente_).substr(0, corte));
    pendiente_.erase(0, corte);
    return texto;
}

std::string DecodificadorUtf8::terminar() {
    std::string texto = repararUtf8(pendiente_);
    pendiente_.clear();
    return texto;
}

}  // namespace sorvenia
