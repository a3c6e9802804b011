#include "centro/letras.h"

#include <unicode/ubrk.h>
#include <unicode/utext.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

namespace sorvenia {
namespace {

struct CerrarTexto {
    void operator()(UText* t) const { utext_close(t); }
};
struct CerrarIterador {
    void operator()(UBreakIterator* b) const { ubrk_close(b); }
};

// Walks the cluster boundaries of the text, calling `cada` with the byte
// offset where each cluster ends, until it returns false. False when ICU
// could not walk the text at all.
template <class F>
bool recorrer(std::string_view utf8, F cada) {
    // ICU's break iterators report 32-bit offsets; nothing this server
    // handles comes near that size.
    if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return false;
    UErrorCode estado = U_ZERO_ERROR;
    std::unique_ptr<UText, CerrarTexto> texto(
        utext_openUTF8(nullptr, utf8.data(), static_cast<std::int64_t>(utf8.size()), &estado));
    std::unique_ptr<UBreakIterator, CerrarIterador> iterador(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &estado));
    if (U_FAILURE(estado)) return false;
    ubrk_setUText(iterador.get(), texto.get(), &estado);
    if (U_FAILURE(estado)) return false;
    for (std::int32_t fin = ubrk_next(iterador.get()); fin != UBRK_DONE; fin = ubrk_next(iterador.get()))
        if (!cada(static_cast<std::size_t>(fin))) break;
    return true;
}

}  // namespace

std::size_t contarLetras(std::string_view utf8) {
    std::size_t cuantas = 0;
    const bool ok = recorrer(utf8, [&](std::size_t) {
        ++cuantas;
        return true;
    });
    // Without ICU's data every byte would have to count; bytes are an upper
    // bound of the clusters, so a cut made from it never grows the text.
    return ok ? cuantas : utf8.size();
}

std::string_view primerasLetras(std::string_view utf8, std::size_t cuantas) {
    if (cuantas == 0) return utf8.substr(0, 0);
    std::size_t vistas = 0, corte = 0;
    const bool ok = recorrer(utf8, [&](std::size_t fin) {
        corte = fin;
        return ++vistas < cuantas;
    });
    if (ok) return utf8.substr(0, corte);
    // Without ICU: at most that many bytes, not ending inside a sequence.
    corte = std::min(cuantas, utf8.size());
    while (corte < utf8.size() && corte > 0 && (static_cast<unsigned char>(utf8[corte]) & 0xC0) == 0x80) --corte;
    return utf8.substr(0, corte);
}

}  // namespace sorvenia
