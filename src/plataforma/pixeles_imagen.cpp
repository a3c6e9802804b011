#include "plataforma/pixeles_imagen.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <memory>

#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

struct LiberarSuperficie {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct LiberarContexto {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Superficie = std::unique_ptr<cairo_surface_t, LiberarSuperficie>;

Fallo falloImagen(const GError* error = nullptr) {
    std::string mensaje = "No se ha podido guardar la imagen.";
    if (error != nullptr) mensaje += std::string(" ") + error->message;
    return Fallo{mensaje, "imagen"};
}

bool coherentes(const PixelesPremultiplicados& p) {
    if (p.ancho < 1 || p.alto < 1 || p.paso < static_cast<std::size_t>(p.ancho) * 4) return false;
    return p.datos.size() >= p.paso * static_cast<std::size_t>(p.alto - 1) + static_cast<std::size_t>(p.ancho) * 4;
}

// A cairo surface over the caller's pixels (read only here) when cairo's
// row step matches theirs, else a copy row by row.
Superficie superficieDe(const PixelesPremultiplicados& p) {
    const int pasoCairo = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, p.ancho);
    auto* datos = const_cast<std::uint8_t*>(p.datos.data());
    if (static_cast<std::size_t>(pasoCairo) == p.paso)
        return Superficie(cairo_image_surface_create_for_data(datos, CAIRO_FORMAT_ARGB32, p.ancho, p.alto, pasoCairo));
    Superficie s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, p.ancho, p.alto));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return s;
    cairo_surface_flush(s.get());
    unsigned char* destino = cairo_image_surface_get_data(s.get());
    for (int y = 0; y < p.alto; ++y)
        std::copy_n(datos + p.paso * static_cast<std::size_t>(y), static_cast<std::size_t>(p.ancho) * 4,
                    destino + static_cast<std::size_t>(pasoCairo) * static_cast<std::size_t>(y));
    cairo_surface_mark_dirty(s.get());
    return s;
}

// Downscaling averages the source pixels under each output pixel (cairo's
// good filter), on premultiplied values so edges of transparent areas do
// not darken.
Superficie escalada(cairo_surface_t* origen, int ancho, int alto, int anchoSalida, int altoSalida) {
    Superficie destino(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, anchoSalida, altoSalida));
    if (cairo_surface_status(destino.get()) != CAIRO_STATUS_SUCCESS) return destino;
    std::unique_ptr<cairo_t, LiberarContexto> cr(cairo_create(destino.get()));
    cairo_scale(cr.get(), static_cast<double>(anchoSalida) / ancho, static_cast<double>(altoSalida) / alto);
    cairo_set_source_surface(cr.get(), origen, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    cairo_surface_flush(destino.get());
    return destino;
}

// Premultiplied native-endian ARGB words to the straight RGBA bytes the
// encoders take.
Ref<GdkPixbuf> aPixbuf(cairo_surface_t* s) {
    const int ancho = cairo_image_surface_get_width(s), alto = cairo_image_surface_get_height(s);
    const int paso = cairo_image_surface_get_stride(s);
    auto pixbuf = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, ancho, alto));
    if (!pixbuf) return pixbuf;
    const unsigned char* origen = cairo_image_surface_get_data(s);
    guchar* destino = gdk_pixbuf_get_pixels(pixbuf.get());
    const int pasoDestino = gdk_pixbuf_get_rowstride(pixbuf.get());
    for (std::size_t y = 0; y < static_cast<std::size_t>(alto); ++y) {
        const auto* fila = reinterpret_cast<const std::uint32_t*>(origen + static_cast<std::size_t>(paso) * y);
        guchar* d = destino + static_cast<std::size_t>(pasoDestino) * y;
        for (int x = 0; x < ancho; ++x, d += 4) {
            const std::uint32_t v = fila[x];
            const unsigned a = v >> 24;
            const auto canal = [&](unsigned c) {
                return static_cast<guchar>(a == 0 ? 0 : std::min(255u, (c * 255 + a / 2) / a));
            };
            d[0] = canal((v >> 16) & 0xFF);
            d[1] = canal((v >> 8) & 0xFF);
            d[2] = canal(v & 0xFF);
            d[3] = static_cast<guchar>(a);
        }
    }
    return pixbuf;
}

Resultado<std::vector<std::uint8_t>> guardar(GdkPixbuf* pixbuf, bool jpeg, int calidadJpeg) {
    // The quality goes as text; to_chars keeps the locale out of it.
    std::array<char, 8> texto{};
    std::to_chars(texto.data(), texto.data() + texto.size() - 1, std::clamp(calidadJpeg, 0, 100));
    std::array<char*, 2> claves{const_cast<char*>(jpeg ? "quality" : nullptr), nullptr};
    std::array<char*, 2> valores{jpeg ? texto.data() : nullptr, nullptr};
    gchar* bufer = nullptr;
    gsize tamano = 0;
    GError* crudo = nullptr;
    const bool bien = gdk_pixbuf_save_to_bufferv(pixbuf, &bufer, &tamano, jpeg ? "jpeg" : "png", claves.data(),
                                                 valores.data(), &crudo) != FALSE;
    const ErrorG error(crudo);
    const TextoG dueno(bufer);
    if (!bien) return falloImagen(error.get());
    const auto* inicio = reinterpret_cast<const std::uint8_t*>(bufer);
    return std::vector<std::uint8_t>(inicio, inicio + tamano);
}

}  // namespace

Resultado<std::vector<std::uint8_t>> escalarYCodificar(const PixelesPremultiplicados& pixeles, int anchoSalida,
                                                       bool jpeg, int calidadJpeg) {
    if (!coherentes(pixeles) || anchoSalida < 1) return falloImagen();
    const int altoSalida = std::max(
        1, static_cast<int>(std::lround(static_cast<double>(pixeles.alto) * anchoSalida / pixeles.ancho)));
    Superficie origen = superficieDe(pixeles);
    if (cairo_surface_status(origen.get()) != CAIRO_STATUS_SUCCESS) return falloImagen();
    const bool mismoTamano = anchoSalida == pixeles.ancho && altoSalida == pixeles.alto;
    Superficie salida =
        mismoTamano ? std::move(origen) : escalada(origen.get(), pixeles.ancho, pixeles.alto, anchoSalida, altoSalida);
    if (cairo_surface_status(salida.get()) != CAIRO_STATUS_SUCCESS) return falloImagen();
    const Ref<GdkPixbuf> pixbuf = aPixbuf(salida.get());
    if (!pixbuf) return falloImagen();
    return guardar(pixbuf.get(), jpeg, calidadJpeg);
}

}  // namespace sorvenia
