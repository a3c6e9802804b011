#include "plataforma/imagen_acotada.h"

#include <algorithm>

namespace sorvenia {

namespace {

struct Lectura {
    std::int64_t maximoPixeles = 0;
    const MedidaImagen* medida = nullptr;
    std::int64_t ancho = 0;
    std::int64_t alto = 0;
    bool demasiado = false;
};

void alMedir(GdkPixbufLoader* cargador, gint ancho, gint alto, gpointer datos) {
    auto& l = *static_cast<Lectura*>(datos);
    l.ancho = ancho;
    l.alto = alto;
    if (ancho <= 0 || alto <= 0 || static_cast<std::int64_t>(ancho) * alto > l.maximoPixeles) {
        l.demasiado = true;
        // A size of zero makes the decoders stop here, before they allocate
        // the picture (one of one pixel would still be decoded whole first).
        gdk_pixbuf_loader_set_size(cargador, 0, 0);
        return;
    }
    if (!l.medida || !*l.medida) return;
    if (const auto tam = (*l.medida)(ancho, alto))
        gdk_pixbuf_loader_set_size(cargador, std::max(1, tam->first), std::max(1, tam->second));
}

}  // namespace

const char* tipoImagen(std::string_view b) {
    auto empieza = [&](std::string_view m, std::size_t en = 0) {
        return b.size() >= en + m.size() && b.substr(en, m.size()) == m;
    };
    if (empieza("\xFF\xD8\xFF")) return "jpeg";
    if (empieza("\x89PNG\r\n\x1A\n")) return "png";
    if (empieza("GIF87a") || empieza("GIF89a")) return "gif";
    if (empieza("RIFF") && empieza("WEBP", 8)) return "webp";
    return nullptr;
}

std::optional<ImagenAcotada> decodificarAcotada(std::string_view bytes, std::int64_t maximoPixeles,
                                                const MedidaImagen& medida) {
    const char* tipo = tipoImagen(bytes);
    if (!tipo) return std::nullopt;
    GError* error = nullptr;
    const auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new_with_type(tipo, &error));
    if (error) g_clear_error(&error);
    if (!cargador) return std::nullopt;
    Lectura lectura{.maximoPixeles = maximoPixeles, .medida = &medida};
    g_signal_connect(cargador.get(), "size-prepared", G_CALLBACK(alMedir), &lectura);
    // Fed in pieces so that a picture refused by its header gets no further
    // bytes: the decoder stops before it fills any pixels.
    constexpr std::size_t trozo = 64 * 1024;
    bool bien = true;
    for (std::size_t i = 0; i < bytes.size() && bien && !lectura.demasiado; i += trozo) {
        const std::size_t n = std::min(trozo, bytes.size() - i);
        bien = gdk_pixbuf_loader_write(cargador.get(), reinterpret_cast<const guchar*>(bytes.data() + i), n, &error);
    }
    if (error) g_clear_error(&error);
    const bool cerrado = gdk_pixbuf_loader_close(cargador.get(), &error);
    if (error) g_clear_error(&error);
    if (!bien || !cerrado || lectura.demasiado) return std::nullopt;
    auto imagen = Ref<GdkPixbuf>::compartir(gdk_pixbuf_loader_get_pixbuf(cargador.get()));
    if (!imagen) return std::nullopt;
    return ImagenAcotada{std::move(imagen), lectura.ancho, lectura.alto};
}

}  // namespace sorvenia
