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

// tests/apoyo/bin/<nombre>.
std::string apoyo(const std::string& nombre);

// Runs the main loop until `listo` holds or `segundos` have passed.
bool iterarHasta(const std::function<bool()>& listo, double segundos);

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
bool vivo(pid_t pid);

// Processes whose parent is this test process, zombies included unless
// `conZombis` is false (a stopped child stays unreaped until it is waited for).
int hijosPropios(bool conZombis = true);

// Descriptors open in this process. GLib opens one of its own (the main
// context's wake-up) on first use, so count only after some run.
int descriptoresAbiertos();

}  // namespace sorvenia::prueba
