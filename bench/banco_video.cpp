// MP4 export speed: a 1920 x 1080 design animated for 10 s, recorded at
// 30 fps by the renderer (every frame seeked, photographed and encoded),
// against the ffmpeg program encoding the same 300 frames from PNG files to
// H.264 with the same preset and bit rate, in the same run. Prints the
// frames per second of each, ours as a ratio to real time (above 1: faster
// than the video plays) and to ffmpeg. Needs a display.
//
// Usage: banco_video [ffmpeg]   (default: /usr/bin/ffmpeg)
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "editor/gui/renderizador.h"
#include "plataforma/gui/iniciar_gtk.h"

namespace {

namespace fs = std::filesystem;
using Reloj = std::chrono::steady_clock;

constexpr int ancho = 1920, alto = 1080, duracionMs = 10000, fps = 30;
constexpr int fotogramas = duracionMs * fps / 1000;

// A landing page's hero in motion: a sliding gradient band, a heading and
// cards fading and rising in turn, a pulsing button.
std::string animacion() {
    std::string html =
        "<style>body{background:#0b1020;color:#fff;overflow:hidden}"
        ".banda{position:absolute;left:0;top:0;width:3840px;height:1080px;"
        "background:linear-gradient(90deg,#203a8f,#8f2060,#20708f,#203a8f);animation:correr 10s linear both}"
        "@keyframes correr{from{transform:translateX(0)}to{transform:translateX(-1920px)}}"
        "h1{position:absolute;left:160px;top:180px;font-size:120px;animation:subir 1.2s ease-out .3s both}"
        "@keyframes subir{from{opacity:0;transform:translateY(60px)}to{opacity:1;transform:none}}"
        ".tarjeta{position:absolute;top:520px;width:480px;height:320px;border-radius:24px;background:#ffffffdd;"
        "color:#111;padding:32px;font-size:40px;animation:subir 1s ease-out both}"
        ".boton{position:absolute;left:160px;top:400px;padding:24px 48px;border-radius:48px;background:#ffb020;"
        "color:#111;font-size:40px;animation:latir 1.5s ease-in-out infinite alternate}"
        "@keyframes latir{from{transform:scale(1)}to{transform:scale(1.12)}}</style>"
        "<div class=\"banda\"></div><h1>Hola, mundo en movimiento</h1><div class=\"boton\">Empezar</div>";
    for (int i = 0; i < 3; ++i)
        html += "<div class=\"tarjeta\" style=\"left:" + std::to_string(160 + i * 560) + "px;animation-delay:" +
                std::to_string(1 + i) + "s\">Tarjeta " + std::to_string(i + 1) + "</div>";
    return html;
}

int ejecutar(const std::vector<std::string>& orden) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& a : orden) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int estado = 0;
    waitpid(pid, &estado, 0);
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace sorvenia;
    const std::string ffmpeg = argc > 1 ? argv[1] : "/usr/bin/ffmpeg";
    if (!iniciarGtk()) {
        std::fprintf(stderr, "banco_video: no display\n");
        return 1;
    }
    const fs::path carpeta = fs::temp_directory_path() / ("banco-video-" + std::to_string(getpid()));
    fs::create_directories(carpeta / "png");
    const std::int64_t tasa = std::int64_t{ancho} * alto * 6;

    Renderizador renderizador;
    const auto inicio = Reloj::now();
    const Hecho grabado = esperarEnBucle(renderizador.video(animacion(), ancho, alto, duracionMs, fps,
                                                            carpeta / "nuestro.mp4", nullptr, std::nullopt));
    const double nuestro = std::chrono::duration<double>(Reloj::now() - inicio).count();
    if (!grabado) {
        std::fprintf(stderr, "banco_video: %s\n", grabado.fallo().mensaje.c_str());
        return 1;
    }

    // The same frames as PNG files (from our recording, untimed), then
    // ffmpeg encodes them the way we do.
    if (ejecutar({ffmpeg, "-v", "error", "-i", (carpeta / "nuestro.mp4").string(), (carpeta / "png/%04d.png").string()}) != 0)
        return 1;
    const auto desde = Reloj::now();
    const int r = ejecutar({ffmpeg, "-v", "error", "-framerate", std::to_string(fps), "-i",
                            (carpeta / "png/%04d.png").string(), "-c:v", "libx264", "-preset", "veryfast", "-b:v",
                            std::to_string(tasa), "-pix_fmt", "yuv420p", "-movflags", "+faststart",
                            (carpeta / "ffmpeg.mp4").string()});
    const double suyo = std::chrono::duration<double>(Reloj::now() - desde).count();
    fs::remove_all(carpeta);
    if (r != 0) return 1;

    const double fpsNuestro = fotogramas / nuestro, fpsSuyo = fotogramas / suyo;
    std::printf("mp4 1920x1080 10 s 30 fps (%d frames)\n", fotogramas);
    std::printf("  ours:   %.2f s, %.1f frames/s, %.2f x real time\n", nuestro, fpsNuestro, fpsNuestro / fps);
    std::printf("  ffmpeg: %.2f s from PNG files, %.1f frames/s\n", suyo, fpsSuyo);
    std::printf("  ours / ffmpeg (frames/s): %.2f\n", fpsNuestro / fpsSuyo);
    return 0;
}
