// A mesa's video: never wider than 1920 pixels, never enlarged, even sides,
// one frame per 1/fps of the duration; sizes a recording cannot make are
// refused rather than reaching the encoder.
#include "editor/medidas_video.h"

#include <gtest/gtest.h>

namespace sorvenia {
namespace {

struct Caso {
    std::int64_t ancho, alto, duracionMs, fps;
    std::optional<MedidasVideo> esperado;
};

TEST(MedidasVideo, TamanoFotogramasYTasa) {
    const Caso casos[] = {
        // Kept as it is.
        {1000, 600, 3000, 30, MedidasVideo{1000, 600, 90, 1000 * 600 * 6}},
        {1920, 1080, 10000, 30, MedidasVideo{1920, 1080, 300, 1920 * 1080 * 6}},
        // Wider than 1920: scaled down, the height truncated (640.64).
        {3000, 1001, 1000, 30, MedidasVideo{1920, 640, 30, 1920 * 640 * 6}},
        {3840, 2160, 1000, 25, MedidasVideo{1920, 1080, 25, 1920 * 1080 * 6}},
        // Odd sides lose their last pixel.
        {801, 451, 1000, 30, MedidasVideo{800, 450, 30, 800 * 450 * 6}},
        // A duration that is not a whole number of frames gets the frame
        // that starts inside it.
        {100, 100, 1001, 30, MedidasVideo{100, 100, 31, 100 * 100 * 6}},
        {100, 100, 1, 1, MedidasVideo{100, 100, 1, 100 * 100 * 6}},
        // The smallest video there is.
        {2, 2, 1000, 120, MedidasVideo{2, 2, 120, 24}},
        // Refused: sides out of 1 to 16384 or under 2 once even, frame rates
        // out of 1 to 120, durations not positive or over ten minutes.
        {1, 600, 1000, 30, std::nullopt},
        {600, 1, 1000, 30, std::nullopt},
        {0, 600, 1000, 30, std::nullopt},
        {-5, 600, 1000, 30, std::nullopt},
        {100000, 600, 1000, 30, std::nullopt},
        {16385, 600, 1000, 30, std::nullopt},
        {16384, 2, 1000, 30, std::nullopt},  // 2 x 1920 / 16384 rounds to nothing
        {600, 600, 1000, 0, std::nullopt},
        {600, 600, 1000, 121, std::nullopt},
        {600, 600, 0, 30, std::nullopt},
        {600, 600, -1000, 30, std::nullopt},
        {600, 600, 600001, 30, std::nullopt},
    };
    for (const Caso& c : casos)
        EXPECT_EQ(medidasVideo(c.ancho, c.alto, c.duracionMs, c.fps), c.esperado)
            << c.ancho << " x " << c.alto << ", " << c.duracionMs << " ms, " << c.fps << " fps";
}

}  // namespace
}  // namespace sorvenia
