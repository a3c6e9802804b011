// Deleting a design against the local account service: what is sent, what
// a success removes on this computer, and what every failure leaves alone.
#include "cuenta_prueba.h"

namespace sorvenia::prueba {
namespace {

using nlohmann::json;

class CuentaBorrar : public CuentaPrueba {
protected:
    void SetUp() override {
        CuentaPrueba::SetUp();
        anaConectada();
        cuenta = crear();
        cuenta->usarCarpetaCopias(carpeta.ruta() / "sin-subir");
        a = disenoGuardado("Uno");
        b = disenoGuardado("Dos");
        esperarEnBucle(cuenta->refrescar());
        ASSERT_EQ(ids(), (std::set<std::string>{a, b}));
        cuenta->guardarCopiaLocal(a, "Uno", JSONValor::decodificar(R"({"n":1})").value(), std::nullopt);
        cuenta->guardarCopiaLocal(b, "Dos", JSONValor::decodificar(R"({"n":2})").value(), std::nullopt);
        ASSERT_TRUE(preferencias.fijarValor("vpsPublicado", {{a, {{"ip", "192.0.2.1"}}}, {b, {{"ip", "192.0.2.2"}}}}));
        ASSERT_TRUE(preferencias.fijarValor("videoDeDiseno", {{b, "/videos/b"}}));
    }

    std::string disenoGuardado(const std::string& nombre) {
        const auto r = servicio.pedirComoAna("POST", "accion=guardar", json{{"nombre", nombre}, {"doc", {{"n", 0}}}}.dump());
        EXPECT_EQ(r.status, 200) << r.cuerpo;
        return json::parse(r.cuerpo)["diseno"]["id"];
    }

    std::set<std::string> ids() const {
        std::set<std::string> r;
        for (const auto& d : cuenta->disenos()) r.insert(d.id);
        return r;
    }

    // Nothing of `a` was touched.
    void todoSigue() const {
        EXPECT_EQ(ids(), (std::set<std::string>{a, b}));
        EXPECT_TRUE(cuenta->copiaLocal(a, std::nullopt));
        EXPECT_EQ(preferencias.valor("vpsPublicado")->size(), 2u);
    }

    std::shared_ptr<Cuenta> cuenta;
    std::string a, b;
};

TEST_F(CuentaBorrar, QuitaElDisenoYTodoLoQueEsteEquipoGuardaDeEl) {
    esperarEnBucle(cuenta->borrar(a));
    EXPECT_FALSE(cuenta->error());

    const auto pedidas = servicio.registroDe("borrar");
    ASSERT_EQ(pedidas.size(), 1u);
    EXPECT_EQ(pedidas[0]["metodo"], "POST");
    EXPECT_EQ(json::parse(pedidas[0]["cuerpo"].get<std::string>()), json({{"id", a}}));

    EXPECT_EQ(ids(), std::set<std::string>{b});
    EXPECT_FALSE(cuenta->copiaLocal(a, std::nullopt));
    EXPECT_TRUE(cuenta->copiaLocal(b, std::nullopt));
    EXPECT_EQ(preferencias.valor("vpsPublicado"), json({{b, {{"ip", "192.0.2.2"}}}}));
    EXPECT_EQ(preferencias.valor("videoDeDiseno"), json({{b, "/videos/b"}}));
    // The account no longer has it either.
    esperarEnBucle(cuenta->refrescar());
    EXPECT_EQ(ids(), std::set<std::string>{b});
}

TEST_F(CuentaBorrar, UnOkFalsoTambienEsBorrado) {
    servicio.interruptores({{"borrar", {{"cuerpo", R"({"ok":false})"}}}});
    esperarEnBucle(cuenta->borrar(b));
    EXPECT_FALSE(cuenta->error());
    EXPECT_EQ(ids(), std::set<std::string>{a});
    EXPECT_EQ(preferencias.valor("videoDeDiseno"), json::object());
}

TEST_F(CuentaBorrar, UnFalloSoloDejaSuTexto) {
    const struct {
        json interruptor;
        std::string error;
    } casos[] = {
        {{{"status", 404}}, "Fallo forzado de «borrar»."},
        {{{"cuerpo", R"({"ok":"sí"})"}}, "El servidor ha devuelto algo que no se entiende."},
        {{{"cuerpo", "{}"}}, "El servidor ha devuelto algo que no se entiende."},
    };
    for (const auto& caso : casos) {
        servicio.interruptores({{"borrar", caso.interruptor}});
        // A deletion clears the last error at once, before its answer.
        std::vector<std::optional<std::string>> errores;
        auto s = cuenta->observar([&](Cuenta::Cambio c) {
            if (c == Cuenta::Cambio::error) errores.push_back(cuenta->error());
        });
        esperarEnBucle(cuenta->borrar(a));
        EXPECT_EQ(cuenta->error(), caso.error) << caso.interruptor;
        ASSERT_EQ(errores.size(), 2u);
        EXPECT_EQ(errores[0], std::nullopt);
        todoSigue();
    }
}

TEST_F(CuentaBorrar, SinCuentaNoSeEnviaNada) {
    esperarEnBucle(cuenta->desconectar(false));
    esperarEnBucle(cuenta->borrar(a));
    EXPECT_EQ(cuenta->error(), "No hay cuenta conectada.");
    EXPECT_TRUE(servicio.registroDe("borrar").empty());
    EXPECT_TRUE(cuenta->copiaLocal(a, std::nullopt));
    EXPECT_EQ(preferencias.valor("vpsPublicado")->size(), 2u);
}

}  // namespace
}  // namespace sorvenia::prueba
