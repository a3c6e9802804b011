#pragma once
// Driving one of our pages in a web view from a GUI test.

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "../plataforma/esperar_bucle.h"
#include "plataforma/objeto_g.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia::prueba {

// Lets the main loop run for `ms` milliseconds.
inline void pausa(int ms) {
    esperarHasta([] { return false; }, std::chrono::milliseconds(ms));
}

// Every message the page posted, in order.
struct Buzon {
    std::vector<nlohmann::json> mensajes;

    explicit Buzon(WebVista& vista) {
        vista.alMensaje([this](const nlohmann::json& m) { mensajes.push_back(m); });
    }
    std::vector<nlohmann::json> de(const std::string& tipo) const {
        std::vector<nlohmann::json> r;
        for (const nlohmann::json& m : mensajes)
            if (m.value("tipo", "") == tipo) r.push_back(m);
        return r;
    }
    const nlohmann::json* ultimo(const std::string& tipo) const {
        for (auto it = mensajes.rbegin(); it != mensajes.rend(); ++it)
            if (it->value("tipo", "") == tipo) return &*it;
        return nullptr;
    }
    // The last message of that kind once `cuantos` have come; nothing when
    // they do not come in time.
    const nlohmann::json* esperar(const std::string& tipo, std::size_t cuantos = 1) {
        esperarHasta([&] { return de(tipo).size() >= cuantos; });
        return de(tipo).size() >= cuantos ? ultimo(tipo) : nullptr;
    }
};

// Runs `cuerpo` as an async function in the page and gives its JSON; null,
// and a failed expectation, when the page throws or never answers.
inline nlohmann::json llamarEnPagina(WebVista& vista, const std::string& cuerpo,
                                     nlohmann::json argumentos = nlohmann::json::object(),
                                     std::chrono::milliseconds limite = limitePorDefecto) {
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

// A picture of a page: written to `archivo` for a person to look at, and
// decoded for the test to look at its pixels.
struct Foto {
    Ref<GdkPixbuf> imagen;
    int ancho = 0;
    int alto = 0;
    std::array<int, 3> color(int x, int y) const {
        const guchar* p = gdk_pixbuf_read_pixels(imagen.get()) +
                          static_cast<std::ptrdiff_t>(y) * gdk_pixbuf_get_rowstride(imagen.get()) +
                          x * gdk_pixbuf_get_n_channels(imagen.get());
        return {p[0], p[1], p[2]};
    }
};

inline std::optional<Foto> guardarFoto(const std::vector<std::uint8_t>& png, const std::filesystem::path& archivo) {
    std::filesystem::create_directories(archivo.parent_path());
    std::ofstream(archivo, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    const auto cargador = Ref<GdkPixbufLoader>::adoptar(gdk_pixbuf_loader_new());
    if (!gdk_pixbuf_loader_write(cargador.get(), png.data(), png.size(), nullptr) ||
        !gdk_pixbuf_loader_close(cargador.get(), nullptr))
        return std::nullopt;
    GdkPixbuf* imagen = gdk_pixbuf_loader_get_pixbuf(cargador.get());
    if (imagen == nullptr) return std::nullopt;
    return Foto{Ref<GdkPixbuf>::compartir(imagen), gdk_pixbuf_get_width(imagen), gdk_pixbuf_get_height(imagen)};
}

}  // namespace sorvenia::prueba
