#include "cuenta_prueba.h"

namespace sorvenia::prueba {

void CuentaPrueba::SetUp() {
    anterior_ = Llavero::usarAlmacen(llavero);
    ASSERT_TRUE(preferencias.fijarTexto("servidor", servicio.base()));
}

void CuentaPrueba::TearDown() { Llavero::usarAlmacen(anterior_); }

std::shared_ptr<Cuenta> CuentaPrueba::crear() {
    return esperarEnBucle(Cuenta::crear(Cuenta::Entorno{&preferencias, ""}));
}

void CuentaPrueba::anaConectada() {
    ASSERT_TRUE(llavero->guardar(Llavero::servicio(), "clave@127.0.0.1", "clave-ana"));
    const std::string registro = R"({"id":1,"nombre":"Ana Pérez","email":"ana@ana.example"})";
    ASSERT_TRUE(preferencias.fijarDatos(
        "cliente@127.0.0.1", std::span(reinterpret_cast<const std::uint8_t*>(registro.data()), registro.size())));
}

std::optional<std::string> CuentaPrueba::claveGuardada() const {
    const auto c = llavero->contenido();
    const auto it = c.find({Llavero::servicio(), "clave@127.0.0.1"});
    return it == c.end() ? std::nullopt : std::optional(it->second);
}

}  // namespace sorvenia::prueba
