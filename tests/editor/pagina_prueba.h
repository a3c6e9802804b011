#pragma once
// Driving one of our pages in a web view from a GUI test.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <string>

#include "../plataforma/esperar_bucle.h"
#include "plataforma/web_vista.h"

namespace sorvenia::prueba {

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

}  // namespace sorvenia::prueba
