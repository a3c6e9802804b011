// The browser sign-in as the account object runs it: the link, and every
// kind of callback the desktop may hand back, against the local account
// service.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "cache_propia.h"
#include "cuenta_prueba.h"
#include "plataforma/carpetas.h"
#include "plataforma/http.h"
#include "plataforma/identidad.h"
#include "plataforma/navegador.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

std::string item(const std::string& url, const std::string& nombre) {
    std::smatch m;
    return std::regex_search(url, m, std::regex("[?&]" + nombre + "=([^&#]*)")) ? m[1].str() : "";
}

class CuentaNavegador : public prueba::CuentaPrueba {
protected:
    static void SetUpTestSuite() { prueba::usarCachePropia(); }
    void SetUp() override {
        CuentaPrueba::SetUp();
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        fs::remove(archivoEnlace());
        anteriorAbridor_ = Navegador::usarAbridor([this](const std::string& uri) {
            abiertos.push_back(uri);
            return abrirFunciona;
        });
        cuenta = crear();
    }
    void TearDown() override {
        Navegador::usarAbridor(anteriorAbridor_);
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        CuentaPrueba::TearDown();
    }

    static fs::path archivoEnlace() { return Carpetas::canalPruebas() / "enlace-conectar.txt"; }

    std::string error() const { return cuenta->error().value_or("(ninguno)"); }

    // The site's answer for the customer "Ana Pérez": the callback address.
    std::string autorizar(const std::string& enlace, const std::string& decision = "permitir") {
        PeticionHTTP p;
        p.metodo = "POST";
        p.url = servicio.base() + "/conectar-app/";
        p.cabeceras = {{"Content-Type", "application/x-www-form-urlencoded"}};
        p.cuerpo = "state=" + item(enlace, "state") + "&challenge=" + item(enlace, "challenge") +
                   "&cliente=1&decision=" + decision;
        const auto r = pedir(p);
        EXPECT_TRUE(r && r->status == 302);
        return r ? r->cabecera("Location").value_or("") : "";
    }

    std::shared_ptr<Cuenta> cuenta;
    std::vector<std::string> abiertos;
    bool abrirFunciona = true;

private:
    Navegador::Abridor anteriorAbridor_;
};

TEST_F(CuentaNavegador, ElEnlaceVaAlCanalEnLaCompilacionDePrueba) {
    cuenta->conectar();
    EXPECT_TRUE(cuenta->conectando());
    EXPECT_FALSE(cuenta->error());
    ASSERT_TRUE(cuenta->enlaceConexion());
    const std::string enlace = *cuenta->enlaceConexion();
    EXPECT_TRUE(abiertos.empty()) << "no browser in the test build";
    std::ifstream archivo(archivoEnlace());
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(archivo)), std::istreambuf_iterator<char>()), enlace);
    EXPECT_TRUE(std::regex_match(enlace, std::regex(std::regex_replace(servicio.base(), std::regex("\\."), "\\.") +
                                                    "/conectar-app/\\?app=tarvel&state=[A-Za-z0-9_-]{32}"
                                                    "&challenge=[A-Za-z0-9_-]{43}&equipo=[^&]+")))
        << enlace;
}

TEST_F(CuentaNavegador, LlamadasQueNoValen) {
    // Nothing pending yet.
    cuenta->recibir("sorvenia-tarvel://conectar?state=x&code=y");
    EXPECT_EQ(error(), "Ese enlace de conexión ya no vale: pulsa «Conectar» otra vez.");

    cuenta->conectar();
    const std::string state = item(*cuenta->enlaceConexion(), "state");
    const struct {
        std::string url;
        std::string error;
    } casos[] = {
        {"Sorvenia-Tarvel://conectar?state=" + state + "&code=y", "(ninguno)"},  // another scheme: ignored
        {"sorvenia-tarvel://conectar", "(ninguno)"},                              // no query: ignored
        {"sorvenia-tarvel://conectar?state=%zz", "(ninguno)"},                    // unparsable: ignored
        {"sorvenia-tarvel://conectar?state=otro&code=y", "La respuesta no corresponde a esta conexión."},
        {"sorvenia-tarvel://conectar?code=y", "La respuesta no corresponde a esta conexión."},
        {"sorvenia-tarvel://conectar?state&state=" + state + "&code=y", "La respuesta no corresponde a esta conexión."},
    };
    for (const auto& caso : casos) {
        cuenta->conectar();  // clears the error; a new attempt
        const std::string actual = item(*cuenta->enlaceConexion(), "state");
        cuenta->recibir(std::regex_replace(caso.url, std::regex(state), actual));
        EXPECT_EQ(error(), caso.error) << caso.url;
        EXPECT_TRUE(cuenta->conectando()) << caso.url << ": the attempt goes on";
        EXPECT_TRUE(cuenta->enlaceConexion()) << caso.url;
    }
    EXPECT_TRUE(servicio.registroDe("canjear").empty());
}

TEST_F(CuentaNavegador, NegativaYFaltaDeCodigo) {
    cuenta->conectar();
    const std::string negativa = autorizar(*cuenta->enlaceConexion(), "denegar");
    ASSERT_NE(negativa.find("error=denegado"), std::string::npos);
    cuenta->recibir(negativa + "&code=aunasi");
    EXPECT_EQ(error(), "Has cancelado la conexión.");
    EXPECT_FALSE(cuenta->conectando());
    EXPECT_FALSE(cuenta->enlaceConexion());
    // The attempt is over: the same callback again is stale.
    cuenta->recibir(negativa);
    EXPECT_EQ(error(), "Ese enlace de conexión ya no vale: pulsa «Conectar» otra vez.");

    cuenta->conectar();
    cuenta->recibir("sorvenia-tarvel://conectar?state=" + item(*cuenta->enlaceConexion(), "state"));
    EXPECT_EQ(error(), "Falta el código de conexión.");
    EXPECT_FALSE(cuenta->conectando());
    EXPECT_TRUE(servicio.registroDe("canjear").empty());
}

TEST_F(CuentaNavegador, ConexionCompletaConElCodigoYElVerificador) {
    cuenta->conectar();
    const std::string primero = *cuenta->enlaceConexion();
    cuenta->conectar();  // a second attempt replaces the first
    const std::string segundo = *cuenta->enlaceConexion();
    ASSERT_NE(item(primero, "state"), item(segundo, "state"));

    cuenta->recibir(autorizar(primero));
    EXPECT_EQ(error(), "La respuesta no corresponde a esta conexión.");

    // Another "error" value does not stop the redeem; the site checks the
    // verifier against the challenge of the link.
    cuenta->recibir(autorizar(segundo) + "&error=otra-cosa");
    EXPECT_FALSE(cuenta->enlaceConexion());
    EXPECT_TRUE(cuenta->conectando()) << "until the redeem ends";
    ASSERT_TRUE(bombearHasta([&] { return !cuenta->conectando(); }, std::chrono::seconds(15)));
    ASSERT_TRUE(cuenta->cliente()) << error();
    EXPECT_EQ(cuenta->cliente()->nombre, "Ana Pérez");
    EXPECT_TRUE(claveGuardada());
    EXPECT_EQ(servicio.registroDe("canjear").size(), 1U);
}

TEST_F(CuentaNavegador, SinAzarNoHayConexion) {
    const auto sinAzar = cuenta;
    sinAzar->usarAzar([](std::size_t) -> Resultado<std::vector<std::uint8_t>> { return Fallo{"Sin azar.", "azar"}; });
    sinAzar->conectar();
    EXPECT_EQ(sinAzar->error(), "No se ha podido iniciar la conexión.");
    EXPECT_FALSE(sinAzar->conectando());
    EXPECT_FALSE(sinAzar->enlaceConexion());
    EXPECT_FALSE(fs::exists(archivoEnlace()));
    sinAzar->recibir("sorvenia-tarvel://c?state=&code=x");
    EXPECT_EQ(sinAzar->error(), "Ese enlace de conexión ya no vale: pulsa «Conectar» otra vez.");
}

// Without a browser the attempt stays under way: the link, opened by hand in
// a browser elsewhere, still signs the customer in.
TEST_F(CuentaNavegador, SinNavegadorElEnlaceAbiertoAManoConecta) {
    fijarIdAplicacion("es.sorvenia.tarvel");
    abrirFunciona = false;
    cuenta->conectar();
    EXPECT_EQ(error(), "No se ha podido abrir el navegador.");
    EXPECT_TRUE(cuenta->conectando());
    EXPECT_TRUE(cuenta->sinNavegador());
    ASSERT_EQ(abiertos.size(), 1U);
    ASSERT_TRUE(cuenta->enlaceConexion());
    EXPECT_EQ(abiertos[0], *cuenta->enlaceConexion());
    EXPECT_FALSE(fs::exists(archivoEnlace()));

    cuenta->recibir(autorizar(*cuenta->enlaceConexion()));
    ASSERT_TRUE(bombearHasta([&] { return !cuenta->conectando(); }, std::chrono::seconds(15)));
    ASSERT_TRUE(cuenta->cliente()) << error();
    EXPECT_FALSE(cuenta->sinNavegador());
    EXPECT_FALSE(cuenta->error());
}

TEST_F(CuentaNavegador, NavegadorQueNoAbreYCancelar) {
    fijarIdAplicacion("es.sorvenia.tarvel");
    abrirFunciona = false;
    cuenta->conectar();
    EXPECT_TRUE(cuenta->sinNavegador());
    cuenta->reabrirNavegador();
    EXPECT_TRUE(cuenta->sinNavegador()) << "still no browser";
    EXPECT_EQ(error(), "No se ha podido abrir el navegador.");

    // A browser that opens now: the message goes, the attempt goes on.
    abrirFunciona = true;
    cuenta->reabrirNavegador();
    EXPECT_FALSE(cuenta->sinNavegador());
    EXPECT_FALSE(cuenta->error());
    EXPECT_TRUE(cuenta->conectando());
    ASSERT_EQ(abiertos.size(), 3U);
    EXPECT_EQ(abiertos[2], abiertos[0]);

    cuenta->conectar();
    EXPECT_FALSE(cuenta->error());
    EXPECT_TRUE(cuenta->conectando());
    cuenta->reabrirNavegador();
    ASSERT_EQ(abiertos.size(), 5U);
    EXPECT_EQ(abiertos[4], abiertos[3]);

    cuenta->recibir("sorvenia-tarvel://c?state=otro");
    cuenta->cancelarConexion();
    EXPECT_FALSE(cuenta->conectando());
    EXPECT_FALSE(cuenta->enlaceConexion());
    EXPECT_EQ(error(), "La respuesta no corresponde a esta conexión.") << "cancelling keeps the message";
    cuenta->reabrirNavegador();
    EXPECT_EQ(abiertos.size(), 5U) << "no link, nothing opened";
}

}  // namespace
}  // namespace sorvenia
