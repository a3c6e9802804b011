// Filling photos through the local account service: the answer's HTML on
// success, and the caller's own text back on every failure.
#include "cuenta_prueba.h"

namespace sorvenia::prueba {
namespace {

using nlohmann::json;

const std::string html = R"(<img src="foto:surf beach"><img src="https://x.example/a.png">)";

class CuentaFotos : public CuentaPrueba {
protected:
    void SetUp() override {
        CuentaPrueba::SetUp();
        anaConectada();
        cuenta = crear();
    }
    std::shared_ptr<Cuenta> cuenta;
};

TEST_F(CuentaFotos, ElServicioRellenaLasFotos) {
    const std::string lleno = esperarEnBucle(cuenta->fotos(html));
    EXPECT_EQ(lleno.find("foto:"), std::string::npos) << lleno;
    EXPECT_NE(lleno.find(servicio.base() + "/fotos/"), std::string::npos) << lleno;
    EXPECT_NE(lleno.find(R"(src="https://x.example/a.png")"), std::string::npos) << lleno;

    const auto pedidas = servicio.registroDe("fotos");
    ASSERT_EQ(pedidas.size(), 1u);
    EXPECT_EQ(pedidas[0]["metodo"], "POST");
    EXPECT_EQ(json::parse(pedidas[0]["cuerpo"].get<std::string>()), json({{"html", html}}));
}

TEST_F(CuentaFotos, CualquierFalloDevuelveElMismoTexto) {
    const json casos[] = {
        {{"status", 500}},
        {{"status", 404}},
        {{"cuerpo", "null"}},
        {{"cuerpo", R"({"html":7})"}},
        {{"cuerpo", "{}"}},
        {{"cuerpo", "esto no es JSON"}},
    };
    for (const auto& caso : casos) {
        servicio.interruptores({{"fotos", caso}});
        EXPECT_EQ(esperarEnBucle(cuenta->fotos(html)), html) << caso;
        EXPECT_FALSE(cuenta->error()) << caso;
    }
    EXPECT_EQ(servicio.registroDe("fotos").size(), std::size(casos));
}

TEST_F(CuentaFotos, SinCuentaNoSeEnviaNada) {
    esperarEnBucle(cuenta->desconectar(false));
    EXPECT_EQ(esperarEnBucle(cuenta->fotos(html)), html);
    EXPECT_TRUE(servicio.registroDe("fotos").empty());
    EXPECT_FALSE(cuenta->error());
}

}  // namespace
}  // namespace sorvenia::prueba
