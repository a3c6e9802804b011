#include "plataforma/gui/canal_pruebas.h"

#include "plataforma/carpetas.h"
#include "plataforma/identidad.h"

namespace sorvenia::CanalPruebas {
namespace {

Registrador& instalado() {
    static Registrador registrador;
    return registrador;
}

}  // namespace

std::filesystem::path carpeta() { return Carpetas::canalPruebas(); }

void registrar(const std::string& nombre, WebKitWebView* web) {
    if (!esCompilacionDePrueba() || !instalado() || web == nullptr) return;
    instalado()(nombre, web);
}

void instalar(Registrador registrador) { instalado() = std::move(registrador); }

}  // namespace sorvenia::CanalPruebas
