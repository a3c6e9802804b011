#include "integraciones/hoja_contactos.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <utility>

#include "plataforma/imagen_acotada.h"

namespace sorvenia::BuscarFotos {

// The pixels as cairo draws them: premultiplied ARGB32.
struct Miniatura::Pixeles {
    cairo_surface_t* superficie = nullptr;
    explicit Pixeles(cairo_surface_t* s) : superficie(s) {}
    ~Pixeles() {
        if (superficie) cairo_surface_destroy(superficie);
    }
    Pixeles(const Pixeles&) = delete;
    Pixeles& operator=(const Pixeles&) = delete;
};

namespace {

struct LiberarObjeto {
    void operator()(gpointer p) const { g_object_unref(p); }
};
template <class T>
using Propio = std::unique_ptr<T, LiberarObjeto>;

struct LiberarSuperficie {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct LiberarContexto {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};

// A picture no larger than a cell needs.
std::optional<std::pair<int, int>> paraCelda(int ancho, int alto) {
    const double escala = std::max(double(anchoCelda) / ancho, double(altoCelda) / alto);
    if (escala >= 1.0) return std::nullopt;
    return std::pair{std::max(1, int(std::ceil(ancho * escala))), std::max(1, int(std::ceil(alto * escala)))};
}

// RGB(A) bytes to cairo's premultiplied native-endian ARGB.
cairo_surface_t* aSuperficie(GdkPixbuf* imagen) {
    const int w = gdk_pixbuf_get_width(imagen);
    const int h = gdk_pixbuf_get_height(imagen);
    const int canales = gdk_pixbuf_get_n_channels(imagen);
    const bool alfa = gdk_pixbuf_get_has_alpha(imagen);
    if (gdk_pixbuf_get_bits_per_sample(imagen) != 8 || canales < 3) return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    cairo_surface_flush(s);
    const guint8* origen = gdk_pixbuf_read_pixels(imagen);
    const int pasoOrigen = gdk_pixbuf_get_rowstride(imagen);
    unsigned char* destino = cairo_image_surface_get_data(s);
    const int pasoDestino = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        const guint8* p = origen + static_cast<std::ptrdiff_t>(y) * pasoOrigen;
        auto* fila = reinterpret_cast<std::uint32_t*>(destino + static_cast<std::ptrdiff_t>(y) * pasoDestino);
        for (int x = 0; x < w; ++x, p += canales) {
            const std::uint32_t a = alfa ? p[3] : 255u;
            auto pre = [a](std::uint32_t c) { return (c * a + 127u) / 255u; };
            fila[x] = (a << 24) | (pre(p[0]) << 16) | (pre(p[1]) << 8) | pre(p[2]);
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

// The picture fills its cell, cut equally on the sides that overflow.
void dibujarCelda(cairo_t* cr, const Miniatura& m, double x, double y) {
    cairo_surface_t* s = m.pixeles->superficie;
    const double w = cairo_image_surface_get_width(s);
    const double h = cairo_image_surface_get_height(s);
    const double escala = std::max(anchoCelda / std::max(w, 1.0), h >= 1 ? altoCelda / h : double(altoCelda));
    const double origenX = (w - anchoCelda / escala) * 0.5;
    const double origenY = (h - altoCelda / escala) * 0.5;
    cairo_save(cr);
    cairo_rectangle(cr, x, y, anchoCelda, altoCelda);
    cairo_clip(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, escala, escala);
    cairo_set_source_surface(cr, s, -origenX, -origenY);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_restore(cr);
}

void rectanguloRedondo(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    constexpr double pi = std::numbers::pi;
    cairo_arc(cr, x + w - r, y + r, r, -pi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, pi / 2);
    cairo_arc(cr, x + r, y + h - r, r, pi / 2, pi);
    cairo_arc(cr, x + r, y + r, r, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

// The number in a dark rounded badge at the cell's top-left corner.
void dibujarNumero(cairo_t* cr, int numero, double x, double y) {
    const std::string texto = std::to_string(numero);
    cairo_save(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 22);
    cairo_text_extents_t medida;
    cairo_text_extents(cr, texto.c_str(), &medida);
    cairo_font_extents_t letra;
    cairo_font_extents(cr, &letra);
    const double tw = medida.x_advance;
    const double th = letra.ascent + letra.descent;
    const double bx = x + 8;
    const double by = y + 8;
    rectanguloRedondo(cr, bx, by, tw + 16, th + 8, 8);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.72);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, bx + 8, by + 4 + letra.ascent);
    cairo_show_text(cr, texto.c_str());
    cairo_restore(cr);
}

// The finished canvas as JPEG at quality 82.
std::optional<std::string> codificar(cairo_surface_t* lienzo) {
    cairo_surface_flush(lienzo);
    const int w = cairo_image_surface_get_width(lienzo);
    const int h = cairo_image_surface_get_height(lienzo);
    Propio<GdkPixbuf> imagen(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h));
    if (!imagen) return std::nullopt;
    guint8* destino = gdk_pixbuf_get_pixels(imagen.get());
    const int pasoDestino = gdk_pixbuf_get_rowstride(imagen.get());
    const unsigned char* origen = cairo_image_surface_get_data(lienzo);
    const int pasoOrigen = cairo_image_surface_get_stride(lienzo);
    for (int y = 0; y < h; ++y) {
        const auto* fila = reinterpret_cast<const std::uint32_t*>(origen + static_cast<std::ptrdiff_t>(y) * pasoOrigen);
        guint8* p = destino + static_cast<std::ptrdiff_t>(y) * pasoDestino;
        for (int x = 0; x < w; ++x, p += 3) {
            // The canvas is opaque: its colours need no unpremultiplying.
            p[0] = static_cast<guint8>(fila[x] >> 16);
            p[1] = static_cast<guint8>(fila[x] >> 8);
            p[2] = static_cast<guint8>(fila[x]);
        }
    }
    gchar* bytes = nullptr;
    gsize largo = 0;
    GError* error = nullptr;
    if (!gdk_pixbuf_save_to_buffer(imagen.get(), &bytes, &largo, "jpeg", &error, "quality", "82", nullptr)) {
        if (error) g_error_free(error);
        return std::nullopt;
    }
    std::string jpeg(bytes, largo);
    g_free(bytes);
    return jpeg;
}

}  // namespace

std::optional<Miniatura> decodificar(std::string_view bytes) {
    const auto leida = decodificarAcotada(bytes, maximoPixeles, paraCelda);
    if (!leida) return std::nullopt;
    GdkPixbuf* imagen = leida->imagen.get();
    cairo_surface_t* superficie = aSuperficie(imagen);
    if (!superficie) return std::nullopt;
    Miniatura m;
    m.ancho = leida->ancho;
    m.alto = leida->alto;
    m.pixeles = std::make_shared<const Miniatura::Pixeles>(superficie);
    return m;
}

std::optional<std::string> dibujarHoja(const std::vector<Miniatura>& miniaturas) {
    const std::size_t n = std::min(miniaturas.size(), maximoEnHoja);
    if (n == 0) return std::nullopt;
    std::unique_ptr<cairo_surface_t, LiberarSuperficie> lienzo(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, anchoHoja(), altoHoja(n)));
    if (cairo_surface_status(lienzo.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    std::unique_ptr<cairo_t, LiberarContexto> cr(cairo_create(lienzo.get()));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    cairo_set_source_rgb(cr.get(), 0.08, 0.08, 0.08);
    cairo_paint(cr.get());
    for (std::size_t p = 0; p < n; ++p) {
        if (!miniaturas[p].pixeles) continue;
        const int columna = static_cast<int>(p % columnasHoja);
        const int fila = static_cast<int>(p / columnasHoja);
        const double x = separacionHoja + columna * (anchoCelda + separacionHoja);
        const double y = separacionHoja + fila * (altoCelda + separacionHoja);
        dibujarCelda(cr.get(), miniaturas[p], x, y);
        dibujarNumero(cr.get(), static_cast<int>(p + 1), x, y);
    }
    cr.reset();
    return codificar(lienzo.get());
}

}  // namespace sorvenia::BuscarFotos
