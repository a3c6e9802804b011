#include "medios/figma_imagen.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "plataforma/imagen_acotada.h"

namespace sorvenia::Figma {

namespace {

// A picture that declares more pixels than this is refused before it is
// decoded: a few bytes of header can announce gigabytes of pixels.
constexpr std::int64_t maximoPixeles = 40'000'000;

// The longer side at `ladoMaximo` and the other in proportion (rounded, at
// least 1), decoded straight at that size.
std::optional<std::pair<int, int>> reducida(int ancho, int alto) {
    const int mayor = std::max(ancho, alto);
    if (mayor <= ladoMaximo) return std::nullopt;
    const double escala = double(ladoMaximo) / mayor;
    const int nuevoAncho = ancho >= alto ? ladoMaximo : std::max(1, int(std::lround(ancho * escala)));
    const int nuevoAlto = alto > ancho ? ladoMaximo : std::max(1, int(std::lround(alto * escala)));
    return std::pair{nuevoAncho, nuevoAlto};
}

std::string base64(const gchar* bytes, gsize largo) {
    gchar* texto = g_base64_encode(reinterpret_cast<const guchar*>(bytes), largo);
    std::string s(texto);
    g_free(texto);
    return s;
}

}  // namespace

std::optional<std::string> reducir(std::string_view bytes) {
    const auto leida = decodificarAcotada(bytes, maximoPixeles, reducida);
    if (!leida) return std::nullopt;
    GdkPixbuf* imagen = leida->imagen.get();
    GError* error = nullptr;
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
