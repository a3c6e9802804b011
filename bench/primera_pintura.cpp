#include "primera_pintura.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "foto_prueba.h"

namespace sorvenia::banco {
namespace {

using Reloj = std::chrono::steady_clock;

// One pixel in four along each axis is enough to see a page arrive.
constexpr int paso = 4;
// Pictures differing in fewer sampled pixels than this are the same one (a
// caret blinks); a page differs from its window's empty backdrop in far more.
constexpr double fraccionDistinta = 0.01;
// Less than this is no new picture at all: a caret's few pixels.
constexpr double fraccionNueva = 0.0005;
// The page found must still be there, unchanged, this long at the end.
constexpr auto quieta = std::chrono::milliseconds(1000);

struct Pantalla {
    Display* d = nullptr;
    int ancho = 0;
    int alto = 0;

    Pantalla() : d(XOpenDisplay(nullptr)) {
        if (d == nullptr) throw std::runtime_error("no hay pantalla X");
        ancho = DisplayWidth(d, DefaultScreen(d));
        alto = DisplayHeight(d, DefaultScreen(d));
    }
    ~Pantalla() { XCloseDisplay(d); }
    Pantalla(const Pantalla&) = delete;
    Pantalla& operator=(const Pantalla&) = delete;

    // The screen now, one pixel in `paso` each way, as 0xRRGGBB.
    std::vector<std::uint32_t> foto() const {
        XImage* img = XGetImage(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(ancho),
                                static_cast<unsigned>(alto), AllPlanes, ZPixmap);
        if (img == nullptr) throw std::runtime_error("no se pudo leer la pantalla");
        std::vector<std::uint32_t> v;
        v.reserve(static_cast<std::size_t>((ancho / paso) * (alto / paso)));
        for (int y = 0; y + paso <= alto; y += paso)
            for (int x = 0; x + paso <= ancho; x += paso) v.push_back(XGetPixel(img, x, y) & 0xffffffu);
        XDestroyImage(img);
        return v;
    }
};

// The share of sampled pixels in which `a` and `b` differ.
double diferencia(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i] ? 1 : 0;
    return static_cast<double>(n) / static_cast<double>(std::max<std::size_t>(a.size(), 1));
}

void guardar(const std::vector<std::uint32_t>& foto, int ancho, int alto, const std::string& nombre) {
    const int w = ancho / paso;
    const int h = alto / paso;
    GdkPixbuf* imagen = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h);
    guchar* datos = gdk_pixbuf_get_pixels(imagen);
    const int fila = gdk_pixbuf_get_rowstride(imagen);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = foto[static_cast<std::size_t>(y * w + x)];
            guchar* d = datos + y * fila + x * 3;
            d[0] = static_cast<guchar>(p >> 16);
            d[1] = static_cast<guchar>(p >> 8);
            d[2] = static_cast<guchar>(p);
        }
    gdk_pixbuf_save(imagen, prueba::rutaCaptura(nombre).c_str(), "png", nullptr, nullptr);
    g_object_unref(imagen);
}

}  // namespace

PrimeraPintura medirPrimeraPintura(const std::function<void()>& lanzar, std::chrono::milliseconds duracion,
                                   const std::string& captura) {
    const Pantalla pantalla;
    const std::vector<std::uint32_t> vacia = pantalla.foto();
    // Each picture the screen showed, from when it was first seen.
    struct Cuadro {
        Reloj::time_point desde;
        std::vector<std::uint32_t> foto;
    };
    std::vector<Cuadro> cuadros;
    const auto t0 = Reloj::now();
    lanzar();
    int muestras = 0;
    for (auto ahora = t0; ahora - t0 < duracion; ++muestras) {
        auto foto = pantalla.foto();
        ahora = Reloj::now();
        const auto& ultima = cuadros.empty() ? vacia : cuadros.back().foto;
        if (diferencia(foto, ultima) > fraccionNueva) cuadros.push_back({ahora, std::move(foto)});
    }
    const auto fin = Reloj::now();
    PrimeraPintura r;
    r.muestreoMs = std::chrono::duration<double, std::milli>(fin - t0).count() / std::max(muestras, 1);
    // The page is what the screen settled on; it was first painted when the
    // screen last came within a few pixels of it and stayed there.
    if (cuadros.empty() || fin - cuadros.back().desde < quieta) return r;
    const auto& pagina = cuadros.back().foto;
    std::size_t i = cuadros.size() - 1;
    while (i > 0 && diferencia(cuadros[i - 1].foto, pagina) < fraccionDistinta) --i;
    r.ms = std::chrono::duration<double, std::milli>(cuadros[i].desde - t0).count();
    guardar(cuadros[i].foto, pantalla.ancho, pantalla.alto, captura);
    return r;
}

}  // namespace sorvenia::banco
