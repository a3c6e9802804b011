#include "plataforma/navegador.h"

#include <gio/gio.h>

#include <utility>

#include "plataforma/objeto_g.h"

namespace sorvenia::Navegador {
namespace {

bool abrirConElSistema(const std::string& uri) {
    GError* crudo = nullptr;
    const gboolean abierto = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &crudo);
    const ErrorG error(crudo);
    return abierto != FALSE;
}

Abridor& actual() {
    static Abridor abridor;
    return abridor;
}

}  // namespace

bool abrir(const std::string& uri) { return actual() ? actual()(uri) : abrirConElSistema(uri); }

Abridor usarAbridor(Abridor abridor) { return std::exchange(actual(), std::move(abridor)); }

}  // namespace sorvenia::Navegador
