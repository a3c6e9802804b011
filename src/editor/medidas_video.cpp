#include "editor/medidas_video.h"

namespace sorvenia {
namespace {

constexpr std::int64_t ladoMaximo = 16384;
constexpr std::int64_t anchoVideoMaximo = 1920;
constexpr std::int64_t fpsMaximo = 120;
constexpr std::int64_t duracionMaxima = 10 * 60 * 1000;

bool entre(std::int64_t v, std::int64_t minimo, std::int64_t maximo) { return v >= minimo && v <= maximo; }

// Truncated, then rounded toward zero to a multiple of two.
std::int64_t par(std::int64_t v) { return v - v % 2; }

}  // namespace

std::optional<MedidasVideo> medidasVideo(std::int64_t ancho, std::int64_t alto, std::int64_t duracionMs,
                                         std::int64_t fps) {
    if (!entre(ancho, 1, ladoMaximo) || !entre(alto, 1, ladoMaximo) || !entre(fps, 1, fpsMaximo) ||
        !entre(duracionMs, 1, duracionMaxima))
        return std::nullopt;
    // Scale min(1920 / ancho, 1), in whole numbers so that 3000 x 1001
    // gives exactly 1920 x 640 (640.64 truncated).
    const bool reducir = ancho > anchoVideoMaximo;
    const std::int64_t w = par(reducir ? anchoVideoMaximo : ancho);
    const std::int64_t h = par(reducir ? alto * anchoVideoMaximo / ancho : alto);
    if (w < 2 || h < 2) return std::nullopt;
    // Every frame whose time falls inside the duration, the first at zero.
    const std::int64_t fotogramas = (duracionMs * fps + 999) / 1000;
    return MedidasVideo{static_cast<int>(w), static_cast<int>(h), static_cast<int>(fotogramas), w * h * 6};
}

}  // namespace sorvenia
