#include "actualizacion/actualizacion.h"

#include "plataforma/http.h"

#ifndef SORVENIA_COMPILACION
#error "SORVENIA_COMPILACION (this program's build number) comes from the build"
#endif

namespace sorvenia::Actualizacion {
namespace {

std::optional<Nueva>& encontrada() {
    static std::optional<Nueva> valor;
    return valor;
}

bool& mirado() {
    static bool valor = false;
    return valor;
}

}  // namespace

const std::optional<Nueva>& disponible() { return encontrada(); }

std::int64_t compilacionInstalada() { return detalle::entero(SORVENIA_COMPILACION).value_or(0); }

namespace detalle {

std::string carpetaFeed(const std::string& servidor) {
    std::string base = servidor;
    if (!base.empty() && base.back() != '/') base += '/';
    return base + "descargas/sorvenia-code-linux/";
}

void olvidar() {
    mirado() = false;
    encontrada().reset();
}

}  // namespace detalle

Tarea<std::optional<Nueva>> comprobar(std::string servidor) {
    if (mirado()) co_return encontrada();
    mirado() = true;
    const std::string carpeta = detalle::carpetaFeed(servidor);
    PeticionHTTP peticion;
    peticion.url = carpeta + "ultima.json";
    const auto respuesta = co_await pedirAsync(std::move(peticion));
    if (!respuesta || respuesta->status != 200) co_return std::nullopt;
    auto nueva = detalle::leerFeed(respuesta->cuerpo, carpeta, compilacionInstalada());
    if (nueva) encontrada() = nueva;
    co_return nueva;
}

}  // namespace sorvenia::Actualizacion
