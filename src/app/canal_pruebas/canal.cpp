#include "app/canal_pruebas/canal.h"

#include <glib.h>

#include <fstream>
#include <system_error>

#include "plataforma/gui/canal_pruebas.h"
#include "app/canal_pruebas/captura_canal.h"
#include "app/canal_pruebas/dialogos_canal.h"
#include "app/canal_pruebas/editor_canal.h"
#include "app/canal_pruebas/orden_script.h"
#include "app/canal_pruebas/registro_webs.h"
#include "plataforma/navegador.h"

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

void activar() {
    instalar(&registrarEnCanal);
    instalarOrdenesEditor();
    // The test build opens no browser: each address it would open is added
    // as a line to "enlaces-abiertos.txt", where the harness reads it.
    Navegador::usarAbridor([](const std::string& uri) {
        std::error_code ec;
        std::filesystem::create_directories(carpeta(), ec);
        std::ofstream(carpeta() / "enlaces-abiertos.txt", std::ios::app) << uri << "\n";
        return true;
    });
}

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
