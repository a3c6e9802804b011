#include "esperar_bucle.h"

#include <glib.h>

namespace sorvenia::prueba {

bool esperarHasta(const std::function<bool()>& condicion, std::chrono::milliseconds limite) {
    const auto fin = std::chrono::steady_clock::now() + limite;
    // Wakes the blocking iteration now and then to look at the clock.
    const guint reloj = g_timeout_add(10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!condicion() && std::chrono::steady_clock::now() < fin) g_main_context_iteration(nullptr, TRUE);
    g_source_remove(reloj);
    return condicion();
}

}  // namespace sorvenia::prueba
