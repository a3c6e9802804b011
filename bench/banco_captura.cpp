// The agents' `captura`: design HTML pictured by the renderer, as the tool
// asks for it (the output at most 1000 pixels wide).
//
// - Warm capture time of a 1440-wide and a 390-wide mesa, median of a few
//   after a warm-up, beside a warm headless Chromium taking a screenshot of
//   the same document in a new page per shot (bench/captura_chromium.mjs,
//   driven through the DevTools protocol).
// - The main loop's worst lateness (a 10 ms timer) while a 1440 x 12,000
//   mesa is captured, beside the time the same scaling and encoding take
//   when run on the main thread: what the interface froze for when the
//   encoding ran there.
// - The first capture of a renderer (a new view and web process), where
//   the warm capture saves its time.
// - Renderer memory: the resident size of the web processes (and of the
//   whole process tree) before, after 10 and after 100 captures, and after
//   a tall capture followed by a usual one.
// Run under a display (bench/correr.sh uses scripts/entorno-pruebas.sh).
//
//   banco_captura [CHROMIUM]

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "editor/gui/renderizador.h"
#include "esperar_bucle.h"
#include "procesos_banco.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/objeto_g.h"
#include "plataforma/pixeles_imagen.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Reloj = std::chrono::steady_clock;

constexpr int tomas = 9;
constexpr int anchoMaximoSalida = 1000;  // as the capture tool asks

double ms(Reloj::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A mesa of `alto` pixels: a header, then bands of text and cards.
std::string mesa(int ancho, int alto) {
    const bool movil = ancho < 600;
    std::string html = "<div style=\"width:" + std::to_string(ancho) + "px;font-family:sans-serif;color:#1d1d1f\">";
    html += "<header style=\"height:96px;display:flex;align-items:center;padding:0 32px;"
            "background:linear-gradient(90deg,#1e3a8a,#7c3aed);color:#fff;font-size:28px;font-weight:700\">"
            "Estudio Lumbre</header>";
    for (int y = 96, i = 0; y < alto; y += 600, ++i) {
        html += "<section style=\"height:600px;box-sizing:border-box;padding:48px 32px;background:" +
                std::string(i % 2 ? "#f5f5f7" : "#fff") + "\"><h2 style=\"font-size:" + (movil ? "28" : "44") +
                "px;margin:0 0 16px\">Sección " + std::to_string(i + 1) +
                ": diseño que se entiende a la primera</h2><p style=\"font-size:18px;line-height:1.5;max-width:720px\">"
                "Creamos marcas, sitios y productos digitales con un equipo pequeño y mucho oficio. Cada proyecto "
                "empieza escuchando y termina con algo que funciona de verdad.</p><div style=\"display:flex;"
                "flex-wrap:wrap;gap:16px\">";
        for (int c = 0; c < (movil ? 2 : 4); ++c)
            html += "<div style=\"flex:1 1 200px;height:180px;border-radius:16px;background:hsl(" +
                    std::to_string((i * 40 + c * 70) % 360) +
                    " 70% 60%);box-shadow:0 8px 24px rgba(0,0,0,.15);padding:20px;color:#fff;font-weight:600\">"
                    "Tarjeta " + std::to_string(c + 1) + "</div>";
        html += "</div></section>";
    }
    return html + "</div>";
}

std::vector<std::uint8_t> capturar(Renderizador& r, const std::string& html, int ancho, int alto) {
    const auto png =
        prueba::esperarTarea(r.png(html, ancho, alto, std::min(ancho, anchoMaximoSalida), false), 60s);
    if (!png || !*png) throw std::runtime_error("la captura ha fallado");
    return **png;
}

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double nuestraMediana(Renderizador& r, const std::string& html, int ancho, int alto) {
    for (int i = 0; i < 2; ++i) capturar(r, html, ancho, alto);
    std::vector<double> t;
    for (int i = 0; i < tomas; ++i) {
        const auto t0 = Reloj::now();
        capturar(r, html, ancho, alto);
        t.push_back(ms(Reloj::now() - t0));
    }
    return mediana(t);
}

// The peer's median, or a negative number when it could not run.
double chromiumMediana(const std::string& chromium, const std::string& html, int ancho, int alto) {
    const fs::path archivo = fs::temp_directory_path() / ("banco-captura-" + std::to_string(::getpid()) + ".html");
    std::ofstream(archivo) << Renderizador::documento(html, "", false);
    const std::string orden = "node --experimental-websocket --no-warnings '" SORVENIA_FUENTE
                              "/bench/captura_chromium.mjs' '" + chromium + "' '" + archivo.string() + "' " +
                              std::to_string(ancho) + " " + std::to_string(alto) + " " + std::to_string(tomas);
    std::string salida;
    if (FILE* p = ::popen(orden.c_str(), "r")) {
        char bufer[4096];
        for (std::size_t n; (n = std::fread(bufer, 1, sizeof bufer, p)) > 0;) salida.append(bufer, n);
        ::pclose(p);
    }
    fs::remove(archivo);
    const auto tiempos = nlohmann::json::parse(salida, nullptr, false);
    if (!tiempos.is_array() || tiempos.empty()) return -1;
    return mediana(tiempos.get<std::vector<double>>());
}

// The worst lateness of a 10 ms main-loop timer while `trabajo` runs.
double peorRetraso(const std::function<void()>& trabajo) {
    struct Estado {
        double peor = 0;
        Reloj::time_point anterior = Reloj::now();
    } estado;
    constexpr int periodo = 10;
    const guint fuente = g_timeout_add(
        periodo,
        [](gpointer datos) -> gboolean {
            auto& e = *static_cast<Estado*>(datos);
            const auto ahora = Reloj::now();
            e.peor = std::max(e.peor, ms(ahora - e.anterior) - periodo);
            e.anterior = ahora;
            return G_SOURCE_CONTINUE;
        },
        &estado);
    trabajo();
    prueba::esperarHasta([] { return false; }, 30ms);  // the timer's turn after the work, if it was late
    g_source_remove(fuente);
    return estado.peor;
}

// The picture decoded back into the renderer's pixel layout, to time the
// scaling and encoding on their own.
PixelesPremultiplicados pixelesDe(const std::vector<std::uint8_t>& png) {
    auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
    gdk_pixbuf_loader_write(cargador.get(), png.data(), png.size(), nullptr);
    gdk_pixbuf_loader_close(cargador.get(), nullptr);
    GdkPixbuf* imagen = gdk_pixbuf_loader_get_pixbuf(cargador.get());
    if (imagen == nullptr) throw std::runtime_error("la captura no se puede leer");
    PixelesPremultiplicados p;
    p.ancho = gdk_pixbuf_get_width(imagen);
    p.alto = gdk_pixbuf_get_height(imagen);
    p.paso = static_cast<std::size_t>(p.ancho) * 4;
    p.datos.resize(p.paso * static_cast<std::size_t>(p.alto));
    const int canales = gdk_pixbuf_get_n_channels(imagen), paso = gdk_pixbuf_get_rowstride(imagen);
    const guchar* origen = gdk_pixbuf_read_pixels(imagen);
    auto* destino = reinterpret_cast<std::uint32_t*>(p.datos.data());
    for (int y = 0; y < p.alto; ++y)
        for (int x = 0; x < p.ancho; ++x) {
            const auto fila = static_cast<std::size_t>(y), columna = static_cast<std::size_t>(x);
            const guchar* s = origen + static_cast<std::size_t>(paso) * fila + columna * static_cast<std::size_t>(canales);
            destino[fila * static_cast<std::size_t>(p.ancho) + columna] =
                0xFF000000u | (std::uint32_t{s[0]} << 16) | (std::uint32_t{s[1]} << 8) | s[2];
        }
    return p;
}

// Resident megabytes of WebKit's web processes under this one (the
// renderer's warm page is one of them), and of the whole process tree with
// this process.
struct Memoria {
    double web = 0;    // MB
    double arbol = 0;
};

Memoria memoria() {
    Memoria m;
    for (const pid_t pid : banco::arbol(::getpid())) {
        const double mb = banco::residenteMb(pid);
        m.arbol += mb;
        // The kernel keeps 15 characters of a name: "WebKitWebProces".
        if (banco::nombreDe(pid).rfind("WebKitWebProce", 0) == 0) m.web += mb;
    }
    return m;
}

}  // namespace
}  // namespace sorvenia

int main(int argc, char** argv) {
    using namespace sorvenia;
    if (!iniciarGtk()) {
        std::fprintf(stderr, "banco_captura: hace falta una pantalla\n");
        return 1;
    }
    const std::string chromium = argc > 1 ? argv[1] : "chromium";
    const struct {
        const char* nombre;
        int ancho, alto;
    } mesas[] = {{"mesa de 1440 x 900", 1440, 900}, {"mesa de 390 x 844", 390, 844}};

    std::printf("captura en caliente: mediana de %d tras 2 de calentamiento (salida como la pide la herramienta, "
                "como mucho %d px de ancho)\n\n", tomas, anchoMaximoSalida);
    std::printf("%-24s %14s %22s %10s %26s\n", "", "renderizador", "Chromium sin ventana", "relación",
                "en frío (vista nueva)");
    for (const auto& m : mesas) {
        const std::string html = mesa(m.ancho, m.alto);
        double nuestra = 0;
        {
            Renderizador r;
            nuestra = nuestraMediana(r, html, m.ancho, m.alto);
        }
        // The first render of a renderer: a new view and web process.
        std::vector<double> frias;
        for (int i = 0; i < 5; ++i) {
            Renderizador r;
            const auto t0 = Reloj::now();
            capturar(r, html, m.ancho, m.alto);
            frias.push_back(ms(Reloj::now() - t0));
        }
        const double fria = mediana(frias);
        const double par = chromiumMediana(chromium, html, m.ancho, m.alto);
        if (par > 0)
            std::printf("%-24s %11.1f ms %19.1f ms %9.2fx %23.1f ms\n", m.nombre, nuestra, par, nuestra / par, fria);
        else
            std::printf("%-24s %11.1f ms %22s %10s %23.1f ms\n", m.nombre, nuestra, "(no se pudo ejecutar)", "-", fria);
        std::fflush(stdout);
    }

    {
        Renderizador r;
        const std::string alta = mesa(1440, 12000);
        capturar(r, alta, 1440, 12000);  // warm-up
        std::vector<std::uint8_t> png;
        const auto t0 = Reloj::now();
        const double retraso = peorRetraso([&] { png = capturar(r, alta, 1440, 12000); });
        const double total = ms(Reloj::now() - t0);
        // The same scaling and encoding timed on the main thread, from the
        // tall mesa's pixels at full size.
        const auto entera = prueba::esperarTarea(r.png(alta, 1440, 12000, 1440, false), 60s);
        if (!entera || !*entera) throw std::runtime_error("la captura entera ha fallado");
        const PixelesPremultiplicados pixeles = pixelesDe(**entera);
        const auto t1 = Reloj::now();
        const auto bytes = escalarYCodificar(pixeles, anchoMaximoSalida, false, 70);
        const double enPrincipal = ms(Reloj::now() - t1);
        if (!bytes) throw std::runtime_error("la codificación ha fallado");
        std::printf("\nmesa de 1440 x 12.000 (salida %zu bytes, captura entera %.0f ms):\n", png.size(), total);
        std::printf("  peor retraso del bucle principal (temporizador de 10 ms): %.1f ms\n", retraso);
        std::printf("  la misma escala y codificación en el hilo principal:      %.1f ms\n", enPrincipal);
        std::printf("  relación: %.2fx (un fotograma son 16,7 ms)\n", retraso / enPrincipal);
        std::fflush(stdout);
    }

    // A renderer of its own, after the others have ended their pages.
    prueba::esperarHasta([] { return false; }, 1000ms);
    const Memoria antes = memoria();
    Renderizador r;
    const std::string corriente = mesa(1440, 900);
    for (int i = 0; i < 10; ++i) capturar(r, corriente, 1440, 900);
    prueba::esperarHasta([] { return false; }, 1000ms);
    const Memoria tras10 = memoria();
    for (int i = 10; i < 100; ++i) capturar(r, corriente, 1440, 900);
    prueba::esperarHasta([] { return false; }, 1000ms);
    const Memoria tras100 = memoria();
    capturar(r, mesa(1440, 12000), 1440, 12000);
    capturar(r, corriente, 1440, 900);
    prueba::esperarHasta([] { return false; }, 1000ms);
    const Memoria trasAlta = memoria();
    std::printf(
        "\nmemoria residente antes, tras 10 y tras 100 capturas de la mesa de 1440 x 900, y tras una de "
        "1440 x 12.000 y otra de 1440 x 900:\n");
    std::printf("  procesos web:  %8.1f MB -> %8.1f MB -> %8.1f MB (%.2fx) -> %8.1f MB\n", antes.web, tras10.web,
                tras100.web, tras10.web > 0 ? tras100.web / tras10.web : 0.0, trasAlta.web);
    std::printf("  árbol entero:  %8.1f MB -> %8.1f MB -> %8.1f MB (%.2fx) -> %8.1f MB\n", antes.arbol, tras10.arbol,
                tras100.arbol, tras100.arbol / std::max(1.0, tras10.arbol), trasAlta.arbol);
    return 0;
}
