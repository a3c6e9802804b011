#include "editor/recursos_generados.h"

#include <chrono>

namespace sorvenia {

std::string RecursosGenerados::nombrar(std::int64_t segundos) {
    const std::string base = "generada-" + std::to_string(((segundos % 100000) + 100000) % 100000);
    std::string nombre = base;
    for (int n = 2; usados_.contains(nombre); ++n) nombre = base + "-" + std::to_string(n);
    usados_.insert(nombre);
    return nombre;
}

std::string RecursosGenerados::nombrarAhora() {
    const auto ahora = std::chrono::system_clock::now().time_since_epoch();
    return nombrar(std::chrono::duration_cast<std::chrono::seconds>(ahora).count());
}

}  // namespace sorvenia
