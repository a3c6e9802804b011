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

#include "esperar_bucle.h"
#include "foto_prueba.h"
#include "plataforma/objeto_g.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia::prueba {

// Lets the main loop run for `ms` milliseconds.
void pausa(int ms);

// Every message the page posted, in order.
struct Buzon {
    std::vector<nlohmann::json> mensajes;

    explicit Buzon(WebVista& vista);
    std::vector<nlohmann::json> de(const std::string& tipo) const;
    const nlohmann::json* ultimo(const std::string& tipo) const;
    // The last message of that kind once `cuantos` have come; nothing when
    // they do not come in time.
    const nlohmann::json* esperar(const std::string& tipo, std::size_t cuantos = 1);
};

// Runs `cuerpo` as an async function in the page and gives its JSON; null,
// and a failed expectation, when the page throws or never answers.
nlohmann::json llamarEnPagina(WebVista& vista, const std::string& cuerpo,
                              nlohmann::json argumentos = nlohmann::json::object(),
                              std::chrono::milliseconds limite = limitePorDefecto);

// A picture of a page: kept as build/capturas/<nombre> for a person to look
// at (foto_prueba.h), and decoded for the test to look at its pixels.
struct Foto {
    Ref<GdkPixbuf> imagen;
    int ancho = 0;
    int alto = 0;
    std::array<int, 3> color(int x, int y) const;
};

std::optional<Foto> guardarFoto(const std::vector<std::uint8_t>& png, const std::string& nombre);

}  // namespace sorvenia::prueba
