#pragma once
// Reading a video file back with the real FFmpeg programs: ffprobe for its
// stream, ffmpeg for the colour of one pixel of one frame.

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace sorvenia::prueba {

struct VideoLeido {
    std::string codec;      // "h264"
    std::string formato;    // ffprobe's format names ("mov,mp4,m4a,3gp,3g2,mj2")
    int ancho = 0;
    int alto = 0;
    std::string fps;        // the stream's frame rate as ffprobe writes it ("30/1")
    int fotogramas = 0;     // frames counted by decoding
    double duracion = 0;    // the container's duration, seconds
};

// Nothing when ffprobe cannot read the file.
std::optional<VideoLeido> leerVideo(const std::filesystem::path& archivo);

// Red, green and blue of pixel (x, y) of the frame shown at `segundos`.
std::optional<std::array<int, 3>> colorEnVideo(const std::filesystem::path& archivo, double segundos, int x, int y);

// The frame shown at `segundos` written as a PNG file (for a person to
// look at).
bool guardarFotogramaVideo(const std::filesystem::path& archivo, double segundos, const std::filesystem::path& png);

}  // namespace sorvenia::prueba
