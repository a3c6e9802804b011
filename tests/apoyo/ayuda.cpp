#include "ayuda.h"

namespace sorvenia::prueba {

std::string apoyo(const std::string& nombre) {
    return std::string(SORVENIA_FUENTE) + "/tests/apoyo/bin/" + nombre;
}

bool iterarHasta(const std::function<bool()>& listo, double segundos) {
    const auto fin = std::chrono::steady_clock::now() + std::chrono::duration<double>(segundos);
    const guint despertador = g_timeout_add(20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!listo() && std::chrono::steady_clock::now() < fin) g_main_context_iteration(nullptr, TRUE);
    g_source_remove(despertador);
    return listo();
}

bool vivo(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string linea;
    if (!std::getline(stat, linea)) return false;
    const auto parentesis = linea.rfind(')');
    if (parentesis == std::string::npos || parentesis + 2 >= linea.size()) return false;
    const char estado = linea[parentesis + 2];
    return estado != 'Z' && estado != 'X';
}

int hijosPropios(bool conZombis) {
    int hijos = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(e.path() / "stat");
        std::string linea;
        if (!std::getline(stat, linea)) continue;
        const auto parentesis = linea.rfind(')');
        if (parentesis == std::string::npos) continue;
        std::istringstream resto(linea.substr(parentesis + 2));
        char estado = 0;
        pid_t padre = 0;
        resto >> estado >> padre;
        if (padre == getpid() && (conZombis || (estado != 'Z' && estado != 'X'))) ++hijos;
    }
    return hijos;
}

int descriptoresAbiertos() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

}  // namespace sorvenia::prueba
