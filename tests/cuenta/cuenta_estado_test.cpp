// The account object's settings, restore at start and observers.
#include "cuenta_prueba.h"

namespace sorvenia::prueba {
namespace {

using CuentaEstado = CuentaPrueba;

TEST_F(CuentaEstado, ServidorYCuentasPorHost) {
    auto cuenta = crear();
    struct Caso {
        std::optional<std::string> servidor;  // the preference; nothing: removed
        const char* base;
        const char* clave;
        const char* cliente;
    };
    const Caso casos[] = {
        {std::nullopt, "https://cuenta.sorvenia.example", "clave@cuenta.sorvenia.example",
         "cliente@cuenta.sorvenia.example"},
        {"no es una url", "https://cuenta.sorvenia.example", "clave@cuenta.sorvenia.example",
         "cliente@cuenta.sorvenia.example"},
        {"http://127.0.0.1:9/", "http://127.0.0.1:9/", "clave@127.0.0.1", "cliente@127.0.0.1"},
        // Without a host the key falls back on the built-in host; the record does not.
        {"file:///srv/cuenta", "file:///srv/cuenta", "clave@cuenta.sorvenia.example", "cliente@"},
    };
    for (const auto& c : casos) {
        if (c.servidor) {
            ASSERT_TRUE(preferencias.fijarTexto("servidor", *c.servidor));
        } else {
            ASSERT_TRUE(preferencias.quitar("servidor"));
        }
        EXPECT_EQ(cuenta->servidor(), c.base);
        EXPECT_EQ(cuenta->cuentaClave(), c.clave);
        EXPECT_EQ(cuenta->claveCliente(), c.cliente);
    }
}

TEST_F(CuentaEstado, RestauraSoloConRegistroYClave) {
    EXPECT_FALSE(crear()->cliente()) << "nothing stored";

    anaConectada();
    auto cuenta = crear();
    ASSERT_TRUE(cuenta->cliente());
    EXPECT_EQ(*cuenta->cliente(), (Cliente{1, "Ana Pérez", "ana@ana.example"}));
    EXPECT_TRUE(servicio.registro().empty()) << "no request at start";

    llavero->borrar(Llavero::servicio(), "clave@127.0.0.1");
    EXPECT_FALSE(crear()->cliente()) << "a record without its key";

    anaConectada();
    ASSERT_TRUE(preferencias.quitar("cliente@127.0.0.1"));
    EXPECT_FALSE(crear()->cliente()) << "a key without its record";

    const std::string roto = R"({"id":"1","nombre":"Ana","email":"a"})";
    ASSERT_TRUE(preferencias.fijarDatos("cliente@127.0.0.1",
                                        std::span(reinterpret_cast<const std::uint8_t*>(roto.data()), roto.size())));
    EXPECT_FALSE(crear()->cliente()) << "an unreadable record";
    EXPECT_TRUE(preferencias.existe("cliente@127.0.0.1")) << "stays where it is";
}

TEST_F(CuentaEstado, OtroHostNoVeLaCuentaDelPrimero) {
    anaConectada();
    ASSERT_TRUE(preferencias.fijarTexto("servidor", "http://localhost:1/"));
    EXPECT_FALSE(crear()->cliente());
    ASSERT_TRUE(preferencias.fijarTexto("servidor", servicio.base()));
    EXPECT_TRUE(crear()->cliente());
}

TEST_F(CuentaEstado, ActualEsLaUltimaCreada) {
    auto primera = crear();
    EXPECT_EQ(Cuenta::actual(), primera);
    auto segunda = crear();
    EXPECT_EQ(Cuenta::actual(), segunda);
    segunda.reset();
    EXPECT_EQ(Cuenta::actual(), nullptr) << "held weakly";
}

TEST_F(CuentaEstado, ObservadoresOyenCadaCambioTrasHacerse) {
    anaConectada();
    auto cuenta = crear();
    std::vector<Cuenta::Cambio> cambios;
    std::vector<bool> cargandoVisto;
    auto suscripcion = cuenta->observar([&](Cuenta::Cambio c) {
        cambios.push_back(c);
        if (c == Cuenta::Cambio::cargando) cargandoVisto.push_back(cuenta->cargando());
    });
    esperarEnBucle(cuenta->refrescar());
    using C = Cuenta::Cambio;
    EXPECT_EQ(cambios, (std::vector<C>{C::cargando, C::error, C::cliente, C::disenos, C::error, C::cargando}));
    EXPECT_EQ(cargandoVisto, (std::vector<bool>{true, false})) << "observers read the new value";

    suscripcion.cancelar();
    cambios.clear();
    esperarEnBucle(cuenta->refrescar());
    EXPECT_TRUE(cambios.empty());
}

}  // namespace
}  // namespace sorvenia::prueba
