#include "medios/figma_imagen.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace sorvenia::Figma {

namespace {

// A picture that declares more pixels than this is refused before it is
// decoded: a few bytes of header can announce gigabytes of pixels.
constexpr std::int64_t maximoPixeles = 40'000'000;

struct LiberarObjeto {
    void operator()(gpointer p) const { g_object_unref(p); }
};
template <class T>
using Propio = std::unique_ptr<T, LiberarObjeto>;

// The loader for the kind of file the first bytes announce; only kinds
// that carry plain pixels.
const char* tipoDe(std::string_view b) {
    auto empieza = [&](std::string_view m, std::size_t en = 0) {
        return b.size() >= en + m.size() && b.substr(en, m.size()) == m;
    };
    if (empieza("\xFF\xD8\xFF")) return "jpeg";
    if (empieza("\x89PNG\r\n\x1A\n")) return "png";
    if (empieza("GIF87a") || empieza("GIF89a")) return "gif";
    if (empieza("RIFF") && empieza("WEBP", 8)) return "webp";
    return nullptr;
}

struct Medida {
    bool demasiado = false;
};

// Refuses an oversized picture before its pixels are decoded and has the
// loader decode a large one straight at the reduced size, the longer side
// at `ladoMaximo` and the other in proportion (rounded, at least 1).
void alMedir(GdkPixbufLoader* cargador, gint ancho, gint alto, gpointer datos) {
    auto& m = *static_cast<Medida*>(datos);
    if (ancho <= 0 || alto <= 0 || static_cast<std::int64_t>(ancho) * alto > maximoPixeles) {
        m.demasiado = true;
        // A size of zero makes the decoders stop before they allocate.
        gdk_pixbuf_loader_set_size(cargador, 0, 0);
        return;
    }
    const int mayor = std::max(ancho, alto);
    if (mayor <= ladoMaximo) return;
    const double escala = double(ladoMaximo) / mayor;
    const int nuevoAncho = ancho >= alto ? ladoMaximo : std::max(1, int(std::lround(ancho * escala)));
    const int nuevoAlto = alto > ancho ? ladoMaximo : std::max(1, int(std::lround(alto * escala)));
    gdk_pixbuf_loader_set_size(cargador, nuevoAncho, nuevoAlto);
}

std::string base64(const gchar* bytes, gsize largo) {
    gchar* texto = g_base64_encode(reinterpret_cast<const guchar*>(bytes), largo);
    std::string s(texto);
    g_free(texto);
    return s;
}

}  // namespace

std::optional<std::string> reducir(std::string_view bytes) {
    const char* tipo = tipoDe(bytes);
    if (!tipo) return std::nullopt;
    GError* error = nullptr;
    Propio<GdkPixbufLoader> cargador(gdk_pixbuf_loader_new_with_type(tipo, &error));
    if (!cargador) {
        if (error) g_error_free(error);
        return std::nullopt;
    }
    Medida medida;
    g_signal_connect(cargador.get(), "size-prepared", G_CALLBACK(alMedir), &medida);
    // Fed in pieces so that a picture refused by its header gets no further
    // bytes.
    constexpr std::size_t trozo = 64 * 1024;
    bool bien = true;
    for (std::size_t i = 0; i < bytes.size() && bien && !medida.demasiado; i += trozo) {
        const std::size_t n = std::min(trozo, bytes.size() - i);
        bien = gdk_pixbuf_loader_write(cargador.get(), reinterpret_cast<const guchar*>(bytes.data() + i), n, &error);
    }
    if (error) g_clear_error(&error);
    const bool cerrado = gdk_pixbuf_loader_close(cargador.get(), &error);
    if (error) g_clear_error(&error);
    if (!bien || !cerrado || medida.demasiado) return std::nullopt;
    GdkPixbuf* imagen = gdk_pixbuf_loader_get_pixbuf(cargador.get());
    if (!imagen) return std::nullopt;
    // Transparency needs PNG; a photograph without it is far smaller as JPEG.
    const bool alfa = gdk_pixbuf_get_has_alpha(imagen);
    gchar* codificado = nullptr;
    gsize largo = 0;
    const bool guardado =
        alfa ? gdk_pixbuf_save_to_buffer(imagen, &codificado, &largo, "png", &error, nullptr)
             : gdk_pixbuf_save_to_buffer(imagen, &codificado, &largo, "jpeg", &error, "quality", "85", nullptr);
    if (error) g_clear_error(&error);
    if (!guardado || !codificado) return std::nullopt;
    std::string direccion =
        std::string("data:image/") + (alfa ? "png" : "jpeg") + ";base64," + base64(codificado, largo);
    g_free(codificado);
    return direccion;
}

}  // namespace sorvenia::Figma
