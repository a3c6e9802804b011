// The video encoder writes an MP4 that FFmpeg's own programs read back with
// the size, frame rate, frame count and pictures it was given, and nothing
// shows under the destination's name before the file is whole.
#include "plataforma/codificador_video.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "esperar_bucle.h"
#include "video_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A picture of one colour, in the encoder's byte order (blue, green, red,
// alpha); rows padded to show that the row length is honoured.
Fotograma liso(int ancho, int alto, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    Fotograma f{.ancho = ancho, .alto = alto, .paso = static_cast<std::size_t>(ancho) * 4 + 16};
    f.bytes.assign(f.paso * static_cast<std::size_t>(alto), 0);
    for (int y = 0; y < alto; ++y)
        for (int x = 0; x < ancho; ++x) {
            std::uint8_t* p = f.bytes.data() + static_cast<std::size_t>(y) * f.paso + static_cast<std::size_t>(x) * 4;
            p[0] = b, p[1] = g, p[2] = r, p[3] = 255;
        }
    return f;
}

std::string leer(const fs::path& archivo) {
    std::ifstream entrada(archivo, std::ios::binary);
    return {std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

bool cerca(const std::array<int, 3>& a, const std::array<int, 3>& b) {
    for (std::size_t i = 0; i < 3; ++i)
        if (std::abs(a[i] - b[i]) > 20) return false;
    return true;
}

class CodificadorVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        carpeta_ = fs::temp_directory_path() / ("codificador-" + std::to_string(::getpid()));
        fs::remove_all(carpeta_);
        fs::create_directories(carpeta_);
    }
    void TearDown() override { fs::remove_all(carpeta_); }

    AjustesVideo ajustes(const std::string& nombre) const {
        return {.destino = carpeta_ / nombre, .ancho = 160, .alto = 90, .fps = 30, .tasaBits = 160 * 90 * 6};
    }

    // Only the named files are in the folder (no temporary left over).
    std::vector<std::string> contenido() const {
        std::vector<std::string> nombres;
        for (const auto& e : fs::directory_iterator(carpeta_)) nombres.push_back(e.path().filename().string());
        std::ranges::sort(nombres);
        return nombres;
    }

    fs::path carpeta_;
};

// 45 frames: the first 30 red, the rest blue, from pictures twice the
// video's size. More than the queue holds, so the caller waits for room.
TEST_F(CodificadorVideoTest, EscribeElMp4QueFfprobeLee) {
    auto abierto = CodificadorVideo::abrir(ajustes("rojo y azul.mp4"));
    ASSERT_TRUE(abierto) << abierto.fallo().mensaje;
    auto& codificador = **abierto;
    for (int i = 0; i < 45; ++i) {
        const auto anadido = prueba::esperarTarea(
            codificador.anadir(i < 30 ? liso(320, 180, 230, 20, 20) : liso(320, 180, 20, 20, 230)), 20s);
        ASSERT_TRUE(anadido && *anadido) << i;
    }
    // Nothing under the final name until it is closed.
    EXPECT_FALSE(fs::exists(carpeta_ / "rojo y azul.mp4"));
    const auto cerrado = prueba::esperarTarea(codificador.terminar(), 30s);
    ASSERT_TRUE(cerrado && *cerrado);
    abierto = Fallo{"soltado", ""};
    EXPECT_EQ(contenido(), std::vector<std::string>{"rojo y azul.mp4"});

    const auto video = prueba::leerVideo(carpeta_ / "rojo y azul.mp4");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->codec, "h264");
    EXPECT_NE(video->formato.find("mp4"), std::string::npos) << video->formato;
    EXPECT_EQ(video->ancho, 160);
    EXPECT_EQ(video->alto, 90);
    EXPECT_EQ(video->fps, "30/1");
    EXPECT_EQ(video->fotogramas, 45);
    EXPECT_NEAR(video->duracion, 1.5, 0.05);
    const auto rojo = prueba::colorEnVideo(carpeta_ / "rojo y azul.mp4", 0.5, 80, 45);
    const auto azul = prueba::colorEnVideo(carpeta_ / "rojo y azul.mp4", 1.2, 80, 45);
    ASSERT_TRUE(rojo && azul);
    EXPECT_TRUE(cerca(*rojo, {230, 20, 20})) << (*rojo)[0] << "," << (*rojo)[1] << "," << (*rojo)[2];
    EXPECT_TRUE(cerca(*azul, {20, 20, 230})) << (*azul)[0] << "," << (*azul)[1] << "," << (*azul)[2];
}

// A recording given up (the encoder dropped unfinished) or failing leaves
// the user's file as it was, and no temporary file once its threads have
// stopped (a worker waits for them, not the caller).
TEST_F(CodificadorVideoTest, SinTerminarNoDejaNadaYElArchivoAnteriorSigue) {
    std::ofstream(carpeta_ / "mio.mp4") << "lo que ya había";
    {
        auto abierto = CodificadorVideo::abrir(ajustes("mio.mp4"));
        ASSERT_TRUE(abierto);
        for (int i = 0; i < 10; ++i) ASSERT_TRUE(prueba::esperarTarea((*abierto)->anadir(liso(160, 90, 0, 200, 0))));
    }
    const std::vector<std::string> soloElMio{"mio.mp4"};
    EXPECT_TRUE(prueba::esperarHasta([&] { return contenido() == soloElMio; }));
    EXPECT_EQ(leer(carpeta_ / "mio.mp4"), "lo que ya había");

    // A picture with fewer bytes than its size says fails the recording:
    // the next picture or the close reports it.
    auto abierto = CodificadorVideo::abrir(ajustes("mio.mp4"));
    ASSERT_TRUE(abierto);
    Fotograma corto = liso(160, 90, 0, 0, 0);
    corto.bytes.resize(100);
    ASSERT_TRUE(prueba::esperarTarea((*abierto)->anadir(std::move(corto))));
    const auto cerrado = prueba::esperarTarea((*abierto)->terminar(), 30s);
    ASSERT_TRUE(cerrado);
    ASSERT_FALSE(*cerrado);
    EXPECT_EQ(cerrado->fallo().mensaje, "El vídeo no se ha cerrado bien.");
    EXPECT_EQ(cerrado->fallo().codigo, "video");
    abierto = Fallo{"soltado", ""};
    EXPECT_TRUE(prueba::esperarHasta([&] { return contenido() == soloElMio; }));
    EXPECT_EQ(leer(carpeta_ / "mio.mp4"), "lo que ya había");
}

// A finished video replaces the file of its name.
TEST_F(CodificadorVideoTest, TerminadoReemplazaElArchivo) {
    std::ofstream(carpeta_ / "mio.mp4") << "lo que ya había";
    auto abierto = CodificadorVideo::abrir(ajustes("mio.mp4"));
    ASSERT_TRUE(abierto);
    ASSERT_TRUE(prueba::esperarTarea((*abierto)->anadir(liso(160, 90, 0, 200, 0))));
    const auto cerrado = prueba::esperarTarea((*abierto)->terminar(), 30s);
    ASSERT_TRUE(cerrado && *cerrado);
    const auto video = prueba::leerVideo(carpeta_ / "mio.mp4");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->fotogramas, 1);
}

// Settings no H.264 file can have, or a place that cannot be written, fail
// at once with the sentence for the user.
TEST_F(CodificadorVideoTest, AjustesImposiblesOCarpetaInexistente) {
    AjustesVideo impar = ajustes("a.mp4");
    impar.ancho = 161;
    AjustesVideo sinFps = ajustes("a.mp4");
    sinFps.fps = 0;
    AjustesVideo sinCarpeta = ajustes("a.mp4");
    sinCarpeta.destino = carpeta_ / "no existe" / "a.mp4";
    for (const AjustesVideo& a : {impar, sinFps, sinCarpeta}) {
        const auto abierto = CodificadorVideo::abrir(a);
        ASSERT_FALSE(abierto) << a.destino;
        EXPECT_EQ(abierto.fallo().mensaje, "No se puede escribir el vídeo.");
        EXPECT_EQ(abierto.fallo().codigo, "video");
    }
    EXPECT_TRUE(contenido().empty());
}

}  // namespace
}  // namespace sorvenia
