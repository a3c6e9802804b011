#include "ias/divisor_lineas.h"

#include "comun/utf8.h"

namespace sorvenia {

void DivisorLineas::anadir(std::string_view bytes, std::vector<std::string>& lineas) {
    for (;;) {
        const auto salto = bytes.find('\n');
        if (salto == std::string_view::npos) break;
        // Only the bytes of this read are searched: the pending ones hold no
        // line feed, so a long line costs linear time, not quadratic.
        pendiente_.append(bytes.substr(0, salto));
        if (!pendiente_.empty()) lineas.push_back(repararUtf8(pendiente_));
        pendiente_.clear();
        bytes.remove_prefix(salto + 1);
    }
    pendiente_.append(bytes);
}

std::optional<std::string> DivisorLineas::terminar() {
    if (pendiente_.empty()) return std::nullopt;
    std::string linea = repararUtf8(pendiente_);
    pendiente_.clear();
    return linea;
}

}  // namespace sorvenia
