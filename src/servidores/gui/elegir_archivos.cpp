#include "servidores/gui/elegir_archivos.h"

#include <fstream>

#include <nlohmann/json.hpp>

#include "plataforma/gui/canal_pruebas.h"
#include "plataforma/gui/elegir_rutas.h"
#include "plataforma/identidad.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> elegidosEnPruebas() {
    const fs::path fichero = CanalPruebas::carpeta() / "subir.json";
    std::ifstream entrada(fichero);
    if (!entrada) return {};
    const auto lista = nlohmann::json::parse(entrada, nullptr, false);
    std::error_code ec;
    fs::remove(fichero, ec);
    std::vector<std::string> r;
    if (lista.is_array())
        for (const auto& e : lista)
            if (e.is_string()) r.push_back(e.get<std::string>());
    return r;
}

}  // namespace

Tarea<std::vector<std::string>> elegirArchivos(GtkWidget* padre, std::string mensaje) {
    if (esCompilacionDePrueba()) {
        auto elegidos = elegidosEnPruebas();
        if (!elegidos.empty()) co_return elegidos;
    }
    PeticionRutas peticion;
    peticion.titulo = std::move(mensaje);
    peticion.boton = "Subir";
    peticion.varios = true;
    const auto rutas = co_await elegirRutas(ventanaDe(padre), std::move(peticion));
    std::vector<std::string> r;
    if (rutas)
        for (const auto& ruta : *rutas) r.push_back(ruta.string());
    co_return r;
}

}  // namespace sorvenia
