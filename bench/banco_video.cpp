// MP4 export speed: a 1920 x 1080 design animated for 10 s, recorded at
// 30 fps by the renderer (every frame seeked, photographed and encoded),
// against the ffmpeg program encoding the same 300 frames from PNG files to
// H.264 with the same preset and bit rate, in the same run. Prints the
// frames per second of each, ours as a ratio to real time (above 1: faster
// than the video plays) and to ffmpeg. Needs a display.
//
// First, where a frame's time goes, one stage at a time on one page: the
// seek (every animation set to the frame's time), the snapshot, the copy
// out of the texture, the colour conversion to YUV 4:2:0; and the encoder
// on its own (copy, conversion and H.264, its worker threads included) fed
// with pictures already in memory.
//
// The machine is shared, so the load average is printed, and the CPU time
// each side spent per frame (ours: this process and the web processes it
// starts; ffmpeg's: the child process) says what the run cost whatever the
// other builds took.
//
// Usage: banco_video [ffmpeg]   (default: /usr/bin/ffmpeg)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "editor/gui/guion_tiempo.h"
#include "procesos_banco.h"
#include "editor/gui/pagina_render.h"
#include "editor/gui/renderizador.h"
#include "plataforma/codificador_video.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"

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

double ms(Reloj::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double mediana(std::vector<double> v) {
    std::ranges::sort(v);
    return v.empty() ? 0 : v[v.size() / 2];
}

// Milliseconds per frame of each stage, and the pictures the page gave.
struct Etapas {
    std::vector<double> tiempo, foto, copia, color;
    std::vector<std::vector<std::uint8_t>> pixeles;
    std::string tipoTextura;
};

constexpr int muestras = 60;

void convertir(const std::vector<std::uint8_t>& bgra, SwsContext* sws, AVFrame* yuv) {
    const std::uint8_t* origen[1] = {bgra.data()};
    const int pasos[1] = {ancho * 4};
    sws_scale(sws, origen, pasos, 0, alto, yuv->data, yuv->linesize);
}

sorvenia::Tarea<std::optional<Etapas>> medirEtapas(std::string html) {
    using namespace sorvenia;
    PaginaRender pagina(std::nullopt, ancho, alto);
    if (!co_await pagina.cargar(html, LimitesRender{})) co_return std::nullopt;
    SwsContext* sws = sws_getContext(ancho, alto, AV_PIX_FMT_BGRA, ancho, alto, AV_PIX_FMT_YUV420P, SWS_BILINEAR,
                                     nullptr, nullptr, nullptr);
    AVFrame* yuv = av_frame_alloc();
    yuv->format = AV_PIX_FMT_YUV420P;
    yuv->width = ancho;
    yuv->height = alto;
    av_frame_get_buffer(yuv, 0);
    Etapas e;
    for (int i = 0; i < muestras; ++i) {
        const auto t0 = Reloj::now();
        const auto r = co_await pagina.web().llamar(guionTiempo(1000.0 * i * (fotogramas / muestras) / fps));
        const auto t1 = Reloj::now();
        auto foto = co_await pagina.capturar(10);
        const auto t2 = Reloj::now();
        if (!r || !foto) break;
        e.tipoTextura = G_OBJECT_TYPE_NAME(foto->get());
        std::vector<std::uint8_t> bytes(std::size_t{ancho} * alto * 4);
        gdk_texture_download(foto->get(), bytes.data(), std::size_t{ancho} * 4);
        const auto t3 = Reloj::now();
        convertir(bytes, sws, yuv);
        const auto t4 = Reloj::now();
        e.tiempo.push_back(ms(t1 - t0));
        e.foto.push_back(ms(t2 - t1));
        e.copia.push_back(ms(t3 - t2));
        e.color.push_back(ms(t4 - t3));
        e.pixeles.push_back(std::move(bytes));
    }
    av_frame_free(&yuv);
    sws_freeContext(sws);
    if (e.pixeles.size() != muestras) co_return std::nullopt;
    co_return e;
}

// The encoder alone: all the frames of the video, from pictures in memory.
sorvenia::Tarea<double> medirCodificador(fs::path destino, const Etapas* e) {
    using namespace sorvenia;
    auto codificador = CodificadorVideo::abrir(
        {.destino = destino, .ancho = ancho, .alto = alto, .fps = fps, .tasaBits = std::int64_t{ancho} * alto * 6});
    if (!codificador) co_return 0.0;
    const auto inicio = Reloj::now();
    for (int i = 0; i < fotogramas; ++i) {
        Fotograma f{.bytes = e->pixeles[static_cast<std::size_t>(i * muestras / fotogramas)],
                    .ancho = ancho,
                    .alto = alto,
                    .paso = std::size_t{ancho} * 4};
        if (!co_await (*codificador)->anadir(std::move(f))) co_return 0.0;
    }
    if (!co_await (*codificador)->terminar()) co_return 0.0;
    co_return fotogramas / std::chrono::duration<double>(Reloj::now() - inicio).count();
}

double segundos(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

double cpu(int quien) {
    rusage uso{};
    getrusage(quien, &uso);
    return segundos(uso.ru_utime) + segundos(uso.ru_stime);
}

// CPU seconds of the processes under this one (the web processes), read
// from /proc every 250 ms while a recording runs: each process's last
// reading before it ends counts.
class CpuHijos {
public:
    CpuHijos() { fuente_ = g_timeout_add(250, leer, this); }
    ~CpuHijos() { g_source_remove(fuente_); }
    double total() {
        leer(this);
        double t = 0;
        for (const auto& [pid, s] : visto_) t += s;
        return t;
    }

private:
    static gboolean leer(gpointer datos) {
        auto* yo = static_cast<CpuHijos*>(datos);
        const double tic = static_cast<double>(sysconf(_SC_CLK_TCK));
        for (const auto& [pid, ticks] : sorvenia::banco::ticksBajo(::getpid()))
            yo->visto_[pid] = static_cast<double>(ticks) / tic;
        return G_SOURCE_CONTINUE;
    }

    guint fuente_ = 0;
    std::map<int, double> visto_;
};

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

    const auto etapas = esperarEnBucle(medirEtapas(animacion()));
    if (!etapas) {
        std::fprintf(stderr, "banco_video: the page did not answer\n");
        return 1;
    }
    const double codificador = esperarEnBucle(medirCodificador(carpeta / "solo.mp4", &*etapas));
    std::printf(
        "stages, one page, median of %d frames (ms): seek %.1f, snapshot %.1f (%s), copy %.1f, "
        "to YUV %.1f\n",
        muestras, mediana(etapas->tiempo), mediana(etapas->foto), etapas->tipoTextura.c_str(), mediana(etapas->copia),
        mediana(etapas->color));
    std::printf("  one page in turn: %.1f frames/s; the encoder alone from memory: %.1f frames/s\n",
                1000.0 / (mediana(etapas->tiempo) + mediana(etapas->foto)), codificador);

    double carga[3] = {};
    getloadavg(carga, 3);
    Renderizador renderizador;
    std::optional<CpuHijos> hijos(std::in_place);
    const double cpuAntes = cpu(RUSAGE_SELF), hijosAntes = hijos->total();
    const auto inicio = Reloj::now();
    const Hecho grabado = esperarEnBucle(renderizador.video(animacion(), ancho, alto, duracionMs, fps,
                                                            carpeta / "nuestro.mp4", nullptr, std::nullopt));
    const double nuestro = std::chrono::duration<double>(Reloj::now() - inicio).count();
    const double cpuProceso = cpu(RUSAGE_SELF) - cpuAntes, cpuWeb = hijos->total() - hijosAntes;
    hijos.reset();
    if (!grabado) {
        std::fprintf(stderr, "banco_video: %s\n", grabado.fallo().mensaje.c_str());
        return 1;
    }

    // The same frames as PNG files (from our recording, untimed), then
    // ffmpeg encodes them the way we do.
    if (ejecutar({ffmpeg, "-v", "error", "-i", (carpeta / "nuestro.mp4").string(), (carpeta / "png/%04d.png").string()}) != 0)
        return 1;
    const double cpuHijoAntes = cpu(RUSAGE_CHILDREN);
    const auto desde = Reloj::now();
    const int r = ejecutar({ffmpeg, "-v", "error", "-framerate", std::to_string(fps), "-i",
                            (carpeta / "png/%04d.png").string(), "-c:v", "libx264", "-preset", "veryfast", "-b:v",
                            std::to_string(tasa), "-pix_fmt", "yuv420p", "-movflags", "+faststart",
                            (carpeta / "ffmpeg.mp4").string()});
    const double suyo = std::chrono::duration<double>(Reloj::now() - desde).count();
    const double cpuSuyo = cpu(RUSAGE_CHILDREN) - cpuHijoAntes;
    fs::remove_all(carpeta);
    if (r != 0) return 1;

    const double fpsNuestro = fotogramas / nuestro, fpsSuyo = fotogramas / suyo;
    std::printf("mp4 1920x1080 10 s 30 fps (%d frames), load average %.1f %.1f %.1f on %ld cores\n", fotogramas,
                carga[0], carga[1], carga[2], sysconf(_SC_NPROCESSORS_ONLN));
    std::printf(
        "  ours:   %.2f s, %.1f frames/s, %.2f x real time; CPU %.1f ms a frame (%.1f this process, "
        "%.1f web processes), %.1f cores busy\n",
        nuestro, fpsNuestro, fpsNuestro / fps, 1000 * (cpuProceso + cpuWeb) / fotogramas,
        1000 * cpuProceso / fotogramas, 1000 * cpuWeb / fotogramas, (cpuProceso + cpuWeb) / nuestro);
    std::printf("  ffmpeg: %.2f s from PNG files, %.1f frames/s; CPU %.1f ms a frame, %.1f cores busy\n", suyo, fpsSuyo,
                1000 * cpuSuyo / fotogramas, cpuSuyo / suyo);
    std::printf("  ours / ffmpeg (frames/s): %.2f\n", fpsNuestro / fpsSuyo);
    return 0;
}
