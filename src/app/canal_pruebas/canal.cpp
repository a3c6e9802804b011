#include "app/canal_pruebas/canal.h"

#include <glib.h>

#include <system_error>

#include "plataforma/gui/canal_pruebas.h"
#include "app/canal_pruebas/captura_canal.h"
#include "app/canal_pruebas/dialogos_canal.h"
#include "app/canal_pruebas/orden_script.h"
#include "app/canal_pruebas/registro_webs.h"

namespace sorvenia::CanalPruebas {
namespace {

constexpr guint intervaloMs = 250;

gboolean tic(gpointer) {
    mirarTodo();
    return G_SOURCE_CONTINUE;
}

}  // namespace

void arrancar() {
    static guint temporizador = 0;
    if (temporizador != 0) return;
    std::error_code ec;
    std::filesystem::create_directories(carpeta(), ec);
    temporizador = g_timeout_add(intervaloMs, &tic, nullptr);
}

void activar() { instalar(&registrarEnCanal); }

void registrarEnCanal(const std::string& nombre, WebKitWebView* web) {
    guardarWeb(nombre, web);
    arrancar();
}

void mirarTodo() {
    if (mirarCaptura() != Captura::ventana) mirarOrden();
    mirarPanel();
    mirarBoton();
}

}  // namespace sorvenia::CanalPruebas
