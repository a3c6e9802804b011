#include "editor/gui/guion_tiempo.h"

#include <array>
#include <charconv>

namespace sorvenia {

std::string guionTiempo(double ms) {
    std::array<char, 32> numero{};
    const auto [fin, error] = std::to_chars(numero.data(), numero.data() + numero.size(), ms);
    const std::string texto = error == std::errc() ? std::string(numero.data(), fin) : "0";
    return "document.getAnimations().forEach(function(a){a.pause();a.currentTime=" + texto +
           "});document.querySelectorAll('.tv-scroll').forEach(function(e){e.classList.add('tv-ya')});return 1;";
}

}  // namespace sorvenia
