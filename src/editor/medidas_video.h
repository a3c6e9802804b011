#pragma once
// The size, frame count and bit rate of a mesa's video. A video is never
// wider than 1920 pixels and never enlarged; both sides are even (H.264 in
// 4:2:0 needs it). Sizes come from the page and from mesas that agents
// write, so anything a recording cannot sensibly make is refused here.

#include <cstdint>
#include <optional>

namespace sorvenia {

struct MedidasVideo {
    int ancho = 0;  // output pixels
    int alto = 0;
    int fotogramas = 0;
    std::int64_t tasaBits = 0;  // average bits per second: six per pixel
    bool operator==(const MedidasVideo&) const = default;
};

// For a design laid out `ancho` x `alto` points, `duracionMs` long at `fps`
// frames per second. Nothing when a side is outside 1 to 16384, the output
// would be under 2 pixels on a side, `fps` is outside 1 to 120 or the
// duration is not positive or longer than ten minutes.
std::optional<MedidasVideo> medidasVideo(std::int64_t ancho, std::int64_t alto, std::int64_t duracionMs,
                                         std::int64_t fps);

}  // namespace sorvenia
