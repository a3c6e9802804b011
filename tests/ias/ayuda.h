#pragma once
// Helpers shared by the runner tests: driving tasks on the main loop, and
// looking at processes and descriptors through /proc.

#include <glib.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "plataforma/tarea.h"

namespace sorvenia::prueba {

inline std::string apoyo(const std::string& nombre) {
    return std::string(SORVENIA_FUENTE) + "/tests/apoyo/bin/" + nombre;
}

// Runs the main loop until `listo` holds or `segundos` have passed.
inline bool iterarHasta(const std::function<bool()>& listo, double segundos) {
    const auto fin = std::chrono::steady_clock::now() + std::chrono::duration<double>(segundos);
    const guint despertador = g_timeout_add(20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!listo() && std::chrono::steady_clock::now() < fin) g_main_context_iteration(nullptr, TRUE);
    g_source_remove(despertador);
    return listo();
}

// A launched task whose result the test can wait for and whose launch the
// test can cancel.
template <class T>
struct EnCurso {
    std::shared_ptr<std::optional<T>> resultado = std::make_shared<std::optional<T>>();
    TareaLanzada tarea;
    bool terminada() const { return resultado->has_value(); }
    bool esperar(double segundos) const {
        return iterarHasta([r = resultado] { return r->has_value(); }, segundos);
    }
};

template <class T>
Tarea<void> guardarEn(Tarea<T> tarea, std::shared_ptr<std::optional<T>> destino) {
    destino->emplace(co_await std::move(tarea));
}

template <class T>
EnCurso<T> lanzarPrueba(Tarea<T> tarea) {
    EnCurso<T> enCurso;
    enCurso.tarea = lanzar(guardarEn(std::move(tarea), enCurso.resultado));
    return enCurso;
}

// Running or stopped, not a zombie and not gone.
inline bool vivo(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string linea;
    if (!std::getline(stat, linea)) return false;
    const auto parentesis = linea.rfind(')');
    if (parentesis == std::string::npos || parentesis + 2 >= linea.size()) return false;
    const char estado = linea[parentesis + 2];
    return estado != 'Z' && estado != 'X';
}

// Processes whose parent is this test process, zombies included unless
// `conZombis` is false (a stopped child stays unreaped until it is waited for).
inline int hijosPropios(bool conZombis = true) {
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

// Descriptors open in this process. GLib opens one of its own (the main
// context's wake-up) on first use, so count only after some run.
inline int descriptoresAbiertos() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

}  // namespace sorvenia::prueba
