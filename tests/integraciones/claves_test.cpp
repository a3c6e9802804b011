// The customer's service keys: how a check answer is judged, what saving a
// key stores against stand-ins of the providers on 127.0.0.1 (accepted,
// rejected, rate-limited, failing, slow, not HTTP), a keychain that refuses,
// and what the stored keys give the agents and the integration cards. Each
// program has user defaults of its own (aislado.h).
#include "integraciones/servicio_clave.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "servicio_local_prueba.h"
#include "aislado.h"
#include "esperar_bucle.h"
#include "cuenta/llavero.h"
#include "integraciones/integraciones.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"
#include "servidor_http_prueba.h"

namespace sorvenia {
namespace {

using prueba::ServidorHTTPPrueba;

TEST(JuzgarClave, RespuestasDeLosProveedores) {
    const std::string relleno(600, 'x');
    struct Caso {
        ServicioClave servicio;
        long status;
        std::string cuerpo;
        std::optional<bool> esperado;
    } casos[] = {
        {ServicioClave::openai, 200, "", true},
        {ServicioClave::openai, 204, "", true},
        {ServicioClave::openai, 401, R"({"error":"bad key"})", false},
        {ServicioClave::pexels, 403, "", false},
        // A key without permission for this one endpoint may still work.
        {ServicioClave::unsplash, 403, "Missing PERMISSION for photos", std::nullopt},
        {ServicioClave::unsplash, 403, "permission denied: Invalid key", false},
        {ServicioClave::gemini, 400, R"({"reason":"API_KEY_INVALID"})", false},
        {ServicioClave::gemini, 400, "API key NOT VALID. Please pass a valid key.", false},
        {ServicioClave::gemini, 400, "Bad request", std::nullopt},
        {ServicioClave::openai, 400, "not valid", std::nullopt},
        {ServicioClave::elevenlabs, 429, "", std::nullopt},
        {ServicioClave::elevenlabs, 500, "", std::nullopt},
        {ServicioClave::openai, 404, "", std::nullopt},
        // Only the first 600 bytes are read.
        {ServicioClave::unsplash, 403, relleno + "permission", false},
    };
    for (const auto& c : casos)
        EXPECT_EQ(Servicios::juzgar(c.servicio, c.status, c.cuerpo), c.esperado)
            << Servicios::texto(c.servicio) << " " << c.status << " " << c.cuerpo.substr(0, 40);
}

TEST(JuzgarClave, NombresExactos) {
    EXPECT_EQ(Servicios::desde("gemini"), ServicioClave::gemini);
    EXPECT_EQ(Servicios::desde("Gemini"), std::nullopt);
    EXPECT_EQ(Servicios::desde(""), std::nullopt);
    for (const auto s : todosLosServicios) EXPECT_TRUE(Servicios::dondeSacarla(s).starts_with("https://"));
}

// Each provider is a stand-in whose answer the test chooses; the keychain is
// in memory (or refuses), and the user defaults are the test build's.
class GuardarClave : public ::testing::Test {
protected:
    void SetUp() override {
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        llavero = std::make_shared<prueba::LlaveroEnMemoria>();
        anterior = Llavero::usarAlmacen(llavero);
        std::map<std::string, std::string> hosts;
        for (const auto s : todosLosServicios)
            hosts[std::string(Servicios::texto(s))] = "http://127.0.0.1:" + std::to_string(servidor.puerto());
        ASSERT_TRUE(Preferencias::estandar().fijarMapaTextos("pruebas.hostsServicios", hosts));
        for (const auto s : todosLosServicios) {
            Llavero::borrar(Servicios::cuenta(s));
            (void)Preferencias::estandar().quitar("claveComprobada." + std::string(Servicios::texto(s)));
        }
    }
    void TearDown() override { Llavero::usarAlmacen(anterior); }

    Servicios::Guardado guardar(ServicioClave s, const std::string& clave) {
        auto r = prueba::esperarTarea(Servicios::guardarComprobando(s, clave), std::chrono::seconds(20));
        EXPECT_TRUE(r.has_value());
        return r.value_or(Servicios::Guardado{});
    }
    std::optional<bool> bandera(ServicioClave s) {
        const std::string clave = "claveComprobada." + std::string(Servicios::texto(s));
        if (!Preferencias::estandar().valor(clave)) return std::nullopt;
        return Preferencias::estandar().booleano(clave);
    }

    std::string respuesta = ServidorHTTPPrueba::respuesta(200, "{}");
    ServidorHTTPPrueba servidor{[this](const prueba::PeticionHTTP&) { return respuesta; }};
    std::shared_ptr<prueba::LlaveroEnMemoria> llavero;
    std::shared_ptr<Llavero::Almacen> anterior;
};

TEST_F(GuardarClave, AceptadaSeGuardaRecortadaYComprobada) {
    const auto r = guardar(ServicioClave::openai, "  sk-buena\n");
    EXPECT_EQ(r.texto, "OpenAI conectado: la clave funciona");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(Llavero::leer("servicio:openai"), "sk-buena");
    EXPECT_EQ(bandera(ServicioClave::openai), true);
    const auto peticiones = servidor.peticiones();
    ASSERT_EQ(peticiones.size(), 1u);
    EXPECT_EQ(peticiones[0].ruta, "/v1/models");
    EXPECT_EQ(peticiones[0].cabeceras.at("authorization"), "Bearer sk-buena");
}

TEST_F(GuardarClave, RechazadaNoTocaLaAnterior) {
    ASSERT_TRUE(guardar(ServicioClave::pexels, "vieja").ok);
    respuesta = ServidorHTTPPrueba::respuesta(401, R"({"error":"Unauthorized"})");
    const auto r = guardar(ServicioClave::pexels, "nueva");
    EXPECT_EQ(r.texto, "Pexels no acepta esa clave. Cópiala otra vez de su web (sin espacios) y vuelve a pegarla.");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(Llavero::leer("servicio:pexels"), "vieja");
    EXPECT_EQ(bandera(ServicioClave::pexels), true);
    EXPECT_EQ(servidor.peticiones().back().cabeceras.at("authorization"), "nueva");
}

TEST_F(GuardarClave, SinDecidirSeGuardaSinComprobar) {
    // Rate limit, server error and an answer that is not HTTP at all.
    for (const std::string& r : {ServidorHTTPPrueba::respuesta(429, ""), ServidorHTTPPrueba::respuesta(500, "boom"),
                                 std::string("\x01\x02 esto no es HTTP\r\n\r\n")}) {
        respuesta = r;
        const auto g = guardar(ServicioClave::unsplash, "u-clave");
        EXPECT_EQ(g.texto, "Clave de Unsplash guardada (se comprobará la primera vez que se use)") << r;
        EXPECT_TRUE(g.ok);
        EXPECT_EQ(Llavero::leer("servicio:unsplash"), "u-clave");
        EXPECT_EQ(bandera(ServicioClave::unsplash), false);
        EXPECT_EQ(servidor.peticiones().back().cabeceras.at("authorization"), "Client-ID u-clave");
    }
}

TEST_F(GuardarClave, UnProveedorLentoNoPierdeLaClave) {
    servidor.retrasar(std::chrono::seconds(12));
    const auto inicio = std::chrono::steady_clock::now();
    const auto r = guardar(ServicioClave::gemini, "g-clave");
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(12));
    EXPECT_EQ(r.texto, "Clave de Gemini (Google) guardada (se comprobará la primera vez que se use)");
    EXPECT_EQ(Llavero::leer("servicio:gemini"), "g-clave");
    EXPECT_EQ(servidor.peticiones().at(0).cabeceras.at("x-goog-api-key"), "g-clave");
}

TEST_F(GuardarClave, SinComprobacionYVacia) {
    const auto fal = guardar(ServicioClave::fal, "fal-clave");
    EXPECT_EQ(fal.texto, "Clave de fal.ai guardada (se comprobará la primera vez que se use)");
    EXPECT_TRUE(servidor.peticiones().empty());
    const auto quitada = guardar(ServicioClave::fal, " \n ");
    EXPECT_EQ(quitada.texto, "fal.ai desconectado");
    EXPECT_TRUE(quitada.ok);
    EXPECT_EQ(Llavero::leer("servicio:fal"), std::nullopt);
    EXPECT_EQ(bandera(ServicioClave::fal), std::nullopt);
}

TEST_F(GuardarClave, SinLlaveroNoSeGuardaNada) {
    llavero->rechazarEscrituras(true);
    const auto r = guardar(ServicioClave::openai, "sk-x");
    EXPECT_EQ(r.texto, Servicios::sinLlavero);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(llavero->contenido().empty());
    EXPECT_EQ(bandera(ServicioClave::openai), std::nullopt);
}

TEST_F(GuardarClave, EntornoYTarjetas) {
    EXPECT_TRUE(Integraciones::entorno().empty());
    ASSERT_TRUE(guardar(ServicioClave::gemini, "g-1").ok);
    EXPECT_EQ(Integraciones::entorno(), (Entorno{{"GEMINI_API_KEY", "g-1"}, {"GOOGLE_API_KEY", "g-1"}}));

    Integraciones::Lectura lectura;
    lectura.conClave = {ServicioClave::gemini};
    lectura.nodo = true;
    const auto sinVideo = Integraciones::estado(lectura, false);
    ASSERT_EQ(sinVideo.size(), 9u);
    std::vector<std::string> ids, estados;
    for (const auto& t : sinVideo) {
        ids.push_back(t["id"]);
        estados.push_back(t["estado"]);
        EXPECT_EQ(t.size(), 7u);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"remotion", "hyperframes", "higgsfield", "elevenlabs", "gemini", "fal",
                                             "openai", "pexels", "unsplash"}));
    EXPECT_EQ(estados, (std::vector<std::string>{"conectar", "conectar", "conectar", "conectar", "activo", "conectar",
                                                 "conectar", "conectar", "conectar"}));
    EXPECT_EQ(sinVideo[4]["nombre"], "Nano Banana");
    EXPECT_EQ(sinVideo[4]["accion"], "clave");
    EXPECT_EQ(sinVideo[0]["accion"], "video");
    EXPECT_EQ(Integraciones::estado(lectura, true)[0]["estado"], "activo");
    lectura.nodo = false;
    EXPECT_EQ(Integraciones::estado(lectura, true)[1]["estado"], "conectar");
}

}  // namespace
}  // namespace sorvenia
