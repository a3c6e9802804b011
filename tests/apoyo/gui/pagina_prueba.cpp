#include "pagina_prueba.h"

namespace sorvenia::prueba {

void pausa(int ms) {
    esperarHasta([] { return false; }, std::chrono::milliseconds(ms));
}

Buzon::Buzon(WebVista& vista) {
    vista.alMensaje([this](const nlohmann::json& m) { mensajes.push_back(m); });
}

std::vector<nlohmann::json> Buzon::de(const std::string& tipo) const {
    std::vector<nlohmann::json> r;
    for (const nlohmann::json& m : mensajes)
        if (m.value("tipo", "") == tipo) r.push_back(m);
    return r;
}

const nlohmann::json* Buzon::ultimo(const std::string& tipo) const {
    for (auto it = mensajes.rbegin(); it != mensajes.rend(); ++it)
        if (it->value("tipo", "") == tipo) return &*it;
    return nullptr;
}

const nlohmann::json* Buzon::esperar(const std::string& tipo, std::size_t cuantos) {
    esperarHasta([&] { return de(tipo).size() >= cuantos; });
    return de(tipo).size() >= cuantos ? ultimo(tipo) : nullptr;
}

nlohmann::json llamarEnPagina(WebVista& vista, const std::string& cuerpo, nlohmann::json argumentos,
                              std::chrono::milliseconds limite) {
    auto r = esperarTarea(vista.llamar(cuerpo, std::move(argumentos)), limite);
    if (!r) {
        ADD_FAILURE() << "Sin respuesta: " << cuerpo;
        return nullptr;
    }
    if (!r->ok()) {
        ADD_FAILURE() << "Fallo en la página: " << r->fallo().mensaje << "\n" << cuerpo;
        return nullptr;
    }
    return **r;
}

std::array<int, 3> Foto::color(int x, int y) const {
    const guchar* p = gdk_pixbuf_read_pixels(imagen.get()) +
                      static_cast<std::ptrdiff_t>(y) * gdk_pixbuf_get_rowstride(imagen.get()) +
                      x * gdk_pixbuf_get_n_channels(imagen.get());
    return {p[0], p[1], p[2]};
}

std::optional<Foto> guardarFoto(const std::vector<std::uint8_t>& png, const std::string& nombre) {
    if (!guardarCaptura(nombre, png)) ADD_FAILURE() << "No se pudo guardar " << rutaCaptura(nombre);
    const auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
    if (!gdk_pixbuf_loader_write(cargador.get(), png.data(), png.size(), nullptr) ||
        !gdk_pixbuf_loader_close(cargador.get(), nullptr))
        return std::nullopt;
    GdkPixbuf* imagen = gdk_pixbuf_loader_get_pixbuf(cargador.get());
    if (imagen == nullptr) return std::nullopt;
    return Foto{Ref<GdkPixbuf>::compartir(imagen), gdk_pixbuf_get_width(imagen), gdk_pixbuf_get_height(imagen)};
}

}  // namespace sorvenia::prueba
