#include "video_prueba.h"

#include <nlohmann/json.hpp>

#include <charconv>

#include "ejecutar_prueba.h"

namespace sorvenia::prueba {

std::optional<VideoLeido> leerVideo(const std::filesystem::path& archivo) {
    const auto salida = ejecutarPrograma(
        "/usr/bin/ffprobe",
        {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
         "stream=codec_name,width,height,r_frame_rate,nb_read_frames:format=duration,format_name", "-of", "json",
         archivo.string()},
        "");
    if (salida.estado != 0) return std::nullopt;
    const auto json = nlohmann::json::parse(salida.salida, nullptr, false);
    if (!json.is_object() || !json.contains("streams") || json["streams"].empty()) return std::nullopt;
    const auto& flujo = json["streams"][0];
    VideoLeido v;
    v.codec = flujo.value("codec_name", "");
    v.ancho = flujo.value("width", 0);
    v.alto = flujo.value("height", 0);
    v.fps = flujo.value("r_frame_rate", "");
    v.fotogramas = std::stoi(flujo.value("nb_read_frames", "0"));
    v.formato = json["format"].value("format_name", "");
    v.duracion = std::stod(json["format"].value("duration", "0"));
    return v;
}

namespace {

std::string decimal(double v) {
    std::array<char, 32> texto{};
    const auto fin = std::to_chars(texto.data(), texto.data() + texto.size(), v).ptr;
    return std::string(texto.data(), fin);
}

}  // namespace

bool guardarFotogramaVideo(const std::filesystem::path& archivo, double segundos, const std::filesystem::path& png) {
    return ejecutarPrograma("/usr/bin/ffmpeg", {"-v", "error", "-y", "-ss", decimal(segundos), "-i", archivo.string(),
                                                "-frames:v", "1", png.string()},
                            "")
               .estado == 0;
}

std::optional<std::array<int, 3>> colorEnVideo(const std::filesystem::path& archivo, double segundos, int x, int y) {
    // The frame as raw RGB on standard output, cropped to the one pixel.
    const auto salida = ejecutarPrograma(
        "/usr/bin/ffmpeg",
        {"-v", "error", "-ss", decimal(segundos), "-i", archivo.string(), "-frames:v", "1", "-vf",
         "format=rgb24,crop=1:1:" + std::to_string(x) + ":" + std::to_string(y), "-f", "rawvideo", "-pix_fmt", "rgb24", "-"},
        "");
    if (salida.estado != 0 || salida.salida.size() != 3) return std::nullopt;
    return std::array<int, 3>{static_cast<unsigned char>(salida.salida[0]),
                              static_cast<unsigned char>(salida.salida[1]),
                              static_cast<unsigned char>(salida.salida[2])};
}

}  // namespace sorvenia::prueba
