#include "plataforma/identidad.h"

#include <atomic>
#include <deque>
#include <mutex>

namespace sorvenia {
namespace {

// Every id ever set stays in this list (a deque never moves its elements),
// so a reference returned by idAplicacion() never dangles and reading needs
// no lock. Null means the default.
std::atomic<const std::string*> actual{nullptr};

const std::string& porDefecto() {
    static const std::string valor = idAplicacionPorDefecto;
    return valor;
}

}  // namespace

void fijarIdAplicacion(std::string id) {
    static std::mutex cerrojo;
    static std::deque<std::string> fijados;
    std::lock_guard bloqueo(cerrojo);
    actual.store(&fijados.emplace_back(std::move(id)), std::memory_order_release);
}

const std::string& idAplicacion() {
    const std::string* id = actual.load(std::memory_order_acquire);
    return id != nullptr ? *id : porDefecto();
}

bool esCompilacionDePrueba() { return idAplicacion().ends_with(".pruebas"); }

}  // namespace sorvenia
