#include "cuenta/llavero.h"

#include <mutex>
#include <utility>

#include "cuenta/llavero_sistema.h"
#include "plataforma/identidad.h"

namespace sorvenia {
namespace {

std::mutex& mutexAlmacen() {
    static std::mutex m;
    return m;
}

std::shared_ptr<Llavero::Almacen>& almacenActual() {
    static std::shared_ptr<Llavero::Almacen> almacen = almacenDelSistema();
    return almacen;
}

std::shared_ptr<Llavero::Almacen> almacen() {
    std::lock_guard bloqueo(mutexAlmacen());
    return almacenActual();
}

}  // namespace

const std::string& Llavero::servicio() {
    static const std::string valor = idAplicacion();
    return valor;
}

std::optional<std::string> Llavero::leer(const std::string& cuenta) { return almacen()->leer(servicio(), cuenta); }

bool Llavero::guardar(const std::string& valor, const std::string& cuenta) {
    return almacen()->guardar(servicio(), cuenta, valor);
}

void Llavero::borrar(const std::string& cuenta) { almacen()->borrar(servicio(), cuenta); }

std::shared_ptr<Llavero::Almacen> Llavero::usarAlmacen(std::shared_ptr<Almacen> nuevo) {
    std::lock_guard bloqueo(mutexAlmacen());
    return std::exchange(almacenActual(), std::move(nuevo));
}

}  // namespace sorvenia
