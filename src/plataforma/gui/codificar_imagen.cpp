#include "plataforma/gui/codificar_imagen.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <array>
#include <charconv>

#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

Fallo falloCodificar(const GError* error) {
    std::string mensaje = "No se ha podido guardar la imagen.";
    if (error != nullptr) mensaje += std::string(" ") + error->message;
    return Fallo{mensaje, "imagen"};
}

std::vector<std::uint8_t> copiar(const std::uint8_t* datos, std::size_t tamano) {
    return std::vector<std::uint8_t>(datos, datos + tamano);
}

Resultado<std::vector<std::uint8_t>> comoPng(GdkTexture* textura) {
    BytesG bytes(gdk_texture_save_to_png_bytes(textura));
    if (!bytes) return falloCodificar(nullptr);
    gsize tamano = 0;
    const auto* datos = static_cast<const std::uint8_t*>(g_bytes_get_data(bytes.get(), &tamano));
    return copiar(datos, tamano);
}

Resultado<std::vector<std::uint8_t>> comoJpeg(GdkTexture* textura, int calidad) {
    const Ref<GdkPixbuf> pixbuf = Ref<GdkPixbuf>::adoptar(gdk_pixbuf_get_from_texture(textura));
    if (!pixbuf) return falloCodificar(nullptr);
    // The quality goes as text; to_chars keeps the locale out of it.
    std::array<char, 8> texto{};
    std::to_chars(texto.data(), texto.data() + texto.size() - 1, std::clamp(calidad, 0, 100));
    std::array<char*, 2> claves{const_cast<char*>("quality"), nullptr};
    std::array<char*, 2> valores{texto.data(), nullptr};
    gchar* bufer = nullptr;
    gsize tamano = 0;
    GError* crudo = nullptr;
    const bool bien = gdk_pixbuf_save_to_bufferv(pixbuf.get(), &bufer, &tamano, "jpeg", claves.data(),
                                                 valores.data(), &crudo) != FALSE;
    const ErrorG error(crudo);
    const TextoG dueno(bufer);
    if (!bien) return falloCodificar(error.get());
    return copiar(reinterpret_cast<const std::uint8_t*>(bufer), tamano);
}

}  // namespace

PixelesPremultiplicados descargarTextura(GdkTexture* textura) {
    PixelesPremultiplicados p;
    p.ancho = gdk_texture_get_width(textura);
    p.alto = gdk_texture_get_height(textura);
    p.paso = static_cast<std::size_t>(p.ancho) * 4;
    p.datos.resize(p.paso * static_cast<std::size_t>(p.alto));
    // The default memory format is cairo's ARGB32: premultiplied,
    // native-endian 32-bit words.
    gdk_texture_download(textura, p.datos.data(), p.paso);
    return p;
}

bool descargaLibre(GdkTexture* textura) { return GDK_IS_MEMORY_TEXTURE(textura); }

Resultado<std::vector<std::uint8_t>> codificarTextura(GdkTexture* textura, FormatoImagen formato, int calidadJpeg) {
    if (textura == nullptr) return falloCodificar(nullptr);
    return formato == FormatoImagen::png ? comoPng(textura) : comoJpeg(textura, calidadJpeg);
}

}  // namespace sorvenia
