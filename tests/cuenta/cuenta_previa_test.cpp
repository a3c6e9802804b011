// Publishing a preview through the local account service: what is sent, the
// record that comes back, and every way it fails.
#include "cuenta/llavero.h"
#include "cuenta_prueba.h"

namespace sorvenia::prueba {
namespace {

using nlohmann::json;

class CuentaPrevia : public CuentaPrueba {
protected:
    void SetUp() override {
        CuentaPrueba::SetUp();
        anaConectada();
        cuenta = crear();
        const auto r = servicio.pedirComoAna("POST", "accion=guardar", json{{"nombre", "Web"}, {"doc", {{"n", 1}}}}.dump());
        ASSERT_EQ(r.status, 200) << r.cuerpo;
        id = json::parse(r.cuerpo)["diseno"]["id"];
    }

    std::shared_ptr<Cuenta> cuenta;
    std::string id;
    const std::map<std::string, std::string> archivos{{"index.html", "<h1>Hola</h1>"}, {"contacto.html", "<p>ñ</p>"}};
};

TEST_F(CuentaPrevia, PublicaTodosLosArchivosEnUnaPeticion) {
    const auto previa = esperarEnBucle(cuenta->previa(id, "Mi web", archivos));
    EXPECT_EQ(previa.paginas, 2);
    EXPECT_FALSE(previa.slug.empty());
    EXPECT_FALSE(previa.caduca.empty());
    EXPECT_EQ(previa.url, servicio.base() + "/p/" + previa.slug + "/");
    EXPECT_EQ(obtener(previa.url + "index.html").cuerpo, "<h1>Hola</h1>");
    EXPECT_EQ(obtener(previa.url + "contacto.html").cuerpo, "<p>ñ</p>");

    const auto pedidas = servicio.registroDe("previa");
    ASSERT_EQ(pedidas.size(), 1u);
    EXPECT_EQ(pedidas[0]["metodo"], "POST");
    EXPECT_EQ(json::parse(pedidas[0]["cuerpo"].get<std::string>()),
              json({{"id", id}, {"nombre", "Mi web"}, {"archivos", archivos}}));

    // Opening the design now brings the same preview.
    const auto [diseno, abierta, destinos] = esperarEnBucle(cuenta->abrir(id));
    ASSERT_TRUE(abierta);
    EXPECT_EQ(*abierta, previa);
}

TEST_F(CuentaPrevia, LasRespuestasQueNoSonUnaPrevia) {
    const struct {
        json interruptor;
        std::string codigo;
        int status;
    } casos[] = {
        {{{"cuerpo", R"({"previa":{"url":"u","slug":"s","caduca":"c","paginas":"2"}})"}}, "respuesta_rara", 502},
        {{{"cuerpo", R"({"previa":{"url":"u","slug":"s","paginas":2}})"}}, "respuesta_rara", 502},
        {{{"cuerpo", R"({"otra":1})"}}, "respuesta_rara", 502},
        {{{"status", 500}}, "forzado", 500},
        {{{"status", 413}, {"cuerpo", R"({"error":{"code":"grande","message":"Demasiado."}})"}}, "grande", 413},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.interruptor.dump());
        servicio.interruptores({{"previa", caso.interruptor}});
        const auto e = errorAPIDe(cuenta->previa(id, "Mi web", archivos));
        EXPECT_EQ(e.codigo, caso.codigo);
        EXPECT_EQ(e.status, caso.status);
    }
    // The same record with an integer count decodes; unknown keys are ignored.
    servicio.interruptores(
        {{"previa", {{"cuerpo", R"({"previa":{"url":"u","slug":"s","caduca":"c","paginas":2,"x":1},"y":2})"}}}});
    EXPECT_EQ(esperarEnBucle(cuenta->previa(id, "Mi web", archivos)), (Cuenta::Previa{"u", "s", "c", 2}));
}

TEST_F(CuentaPrevia, UnDisenoQueNoEstaEnLaCuenta) {
    EXPECT_EQ(errorAPIDe(cuenta->previa("0123456789abcdef", "Mi web", archivos)).codigo, "no_existe");
}

TEST_F(CuentaPrevia, SinCuentaNoSeEnviaNada) {
    esperarEnBucle(cuenta->desconectar(false));
    const auto e = errorAPIDe(cuenta->previa(id, "Mi web", archivos));
    EXPECT_EQ(e.codigo, "clave_invalida");
    EXPECT_EQ(e.mensaje, "No hay cuenta conectada.");
    EXPECT_EQ(e.status, 0);
    EXPECT_TRUE(servicio.registroDe("previa").empty());
}

TEST_F(CuentaPrevia, UnFalloDeTransporteLlegaTalCual) {
    Preferencias otras(carpeta.ruta() / "otras.json");
    ASSERT_TRUE(otras.fijarTexto("servidor", "http://127.0.0.1:1/"));
    ASSERT_TRUE(Llavero::guardar("clave-ana", "clave@127.0.0.1"));
    auto aislada = esperarEnBucle(Cuenta::crear(Cuenta::Entorno{&otras, ""}));
    EXPECT_THROW(esperarEnBucle(aislada->previa(id, "Mi web", archivos)), ErrorTransporte);
}

}  // namespace
}  // namespace sorvenia::prueba
