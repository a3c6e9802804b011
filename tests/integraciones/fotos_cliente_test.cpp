// The photo-bank search behind photo placeholders, against stand-in banks on
// 127.0.0.1: which bank is asked, with which key and words, and which
// addresses come back. The keychain is in memory.
#include <gtest/gtest.h>

#include <memory>

#include "servicio_local_prueba.h"
#include "esperar_bucle.h"
#include "cuenta/llavero.h"
#include "fotos_prueba.h"
#include "integraciones/servicios_cliente.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;
using prueba::Proveedores;

Json pexels(const std::vector<std::string>& grandes) {
    Json fotos = Json::array();
    for (const auto& g : grandes) fotos.push_back({{"src", {{"large2x", g}, {"medium", g + "?m"}}}});
    return {{"photos", fotos}};
}

class FotosCliente : public ::testing::Test {
protected:
    void SetUp() override {
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        anterior = Llavero::usarAlmacen(llavero);
        ASSERT_TRUE(Preferencias::estandar().fijarMapaTextos("pruebas.hostsServicios",
                                                             {{"pexels", bancoP.base()}, {"unsplash", bancoU.base()}}));
    }
    void TearDown() override { Llavero::usarAlmacen(anterior); }

    std::vector<std::string> buscar(const std::string& q) {
        return prueba::esperarTarea(ServiciosCliente::buscarFotos(q)).value_or(std::vector<std::string>{"(sin fin)"});
    }

    Proveedores bancoP, bancoU;
    std::shared_ptr<prueba::LlaveroEnMemoria> llavero = std::make_shared<prueba::LlaveroEnMemoria>();
    std::shared_ptr<Llavero::Almacen> anterior;
};

TEST_F(FotosCliente, PexelsPrimeroYUnsplashSiNoDaNada) {
    EXPECT_TRUE(buscar("playa").empty());
    EXPECT_TRUE(bancoP.peticiones().empty());

    Llavero::guardar("kp", "servicio:pexels");
    Llavero::guardar("ku", "servicio:unsplash");
    const std::vector<std::string> seis = {"https://p.example/1.jpg", "https://p.example/2.jpg",
                                           "https://p.example/3.jpg", "https://p.example/4.jpg",
                                           "https://p.example/5.jpg", "https://p.example/6.jpg"};
    bancoP.fijarJson("/v1/search", pexels(seis));
    EXPECT_EQ(buscar("playa al sol"), seis);
    ASSERT_EQ(bancoP.peticiones().size(), 1u);
    EXPECT_EQ(bancoP.peticiones()[0].ruta, "/v1/search?query=playa%20al%20sol&per_page=6&orientation=landscape");
    EXPECT_EQ(bancoP.peticiones()[0].cabeceras.at("authorization"), "kp");
    EXPECT_TRUE(bancoU.peticiones().empty());

    // A photo without its large rendition, or with an address that would
    // break out of the attribute, is left out.
    Json raras = pexels({"https://p.example/a.jpg", "https://p.example/b\".jpg"});
    raras["photos"].push_back({{"src", {{"medium", "https://p.example/c.jpg"}}}});
    bancoP.fijarJson("/v1/search", raras);
    EXPECT_EQ(buscar("gato"), std::vector<std::string>{"https://p.example/a.jpg"});

    // The key is refused: the same words go to Unsplash.
    bancoP.fijarJson("/v1/search", {{"error", "Unauthorized"}}, 401);
    bancoU.fijarJson(
        "/search/photos",
        {{"results", {{{"urls", {{"raw", "https://u.example/x?i=1"}, {"small", "https://u.example/s"}}}}}}});
    EXPECT_EQ(buscar("perro"), std::vector<std::string>{"https://u.example/x?i=1&w=1800&q=80&fit=max"});
    ASSERT_EQ(bancoU.peticiones().size(), 1u);
    EXPECT_EQ(bancoU.peticiones()[0].ruta, "/search/photos?query=perro&per_page=6&orientation=landscape");
    EXPECT_EQ(bancoU.peticiones()[0].cabeceras.at("authorization"), "Client-ID ku");
    for (const auto& p : bancoU.peticiones()) EXPECT_NE(p.cabeceras.at("authorization"), "kp");
}

}  // namespace
}  // namespace sorvenia
