// The settings sheet in the test build, driven through its test channel:
// opened from the home page's menu on "integraciones", a key rejected and
// then accepted by a stand-in provider (the keychain holds only the good
// one, the home page's card turns active); a connection proposed by an agent
// through the bridge, refused and then saved from the alert, and tested from
// the sheet against the official SDK's reference MCP server. Screenshots in
// build/capturas/.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <future>

#include "puertos_prueba.h"
#include "app_e2e.h"
#include "cliente_mcp.h"
#include "plataforma/secretos.h"
#include "servidor_http_prueba.h"

namespace sorvenia {
namespace {

using prueba::puertoLibre;

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;
using prueba::ServidorHTTPPrueba;

std::optional<std::string> enLlavero(const std::string& cuenta) {
    return std::async(std::launch::async,
                      [cuenta] {
                          const auto r = leerSecreto(prueba::idPruebas, cuenta);
                          return r ? *r : std::nullopt;
                      })
        .get();
}

class AjustesE2E : public prueba::AppE2E {
protected:
    void TearDown() override {
        for (const char* cuenta : {"servicio:openai"})
            std::async(std::launch::async, [cuenta] { (void)borrarSecreto(prueba::idPruebas, cuenta); }).get();
        AppE2E::TearDown();
    }

    // The customer signed in, the providers' checks sent to the stand-in,
    // the application on its home screen.
    void arrancar() {
        entrarComoCliente();
        arrancarCuentaLocal();
        const fs::path prefs = raiz_ / "config/SorveniaTarvel/preferencias-pruebas.json";
        json p = json::parse(prueba::leer(prefs).value_or("{}"));
        json hosts;
        for (const char* s : {"gemini", "openai", "elevenlabs", "pexels", "unsplash"})
            hosts[s] = "http://127.0.0.1:" + std::to_string(proveedor.puerto());
        p["pruebas.hostsServicios"] = hosts;
        p["bienvenidaCreada"] = true;
        std::ofstream(prefs) << p;
        arrancarAplicacion();
        ASSERT_TRUE(esperarQue(
            [&] {
                return valor("return !!document.querySelector('[data-integracion=\"openai\"]');", "inicio") == true;
            },
            40s))
            << "la pantalla de inicio no ha llegado";
    }
    void abrirAjustes(const std::string& accion = "ajustes") {
        valor(
            "document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify({tipo: 'menu', "
            "accion: '" +
                accion + "'})})); return 1;",
            "inicio");
        ASSERT_TRUE(esperarQue([&] {
            return valor("return document.querySelectorAll('#servicios li').length;", "ajustes") == 7;
        })) << "la hoja de ajustes no ha llegado";
    }
    std::string aviso() {
        const json v = valor("return document.getElementById('aviso').textContent;", "ajustes");
        return v.is_string() ? v.get<std::string>() : "";
    }
    void guardarClave(const std::string& servicio, const std::string& clave) {
        valor("const li = document.querySelector('#servicios li[data-id=\"" + servicio +
                  "\"]'); document.getElementById('aviso').textContent = '';"
                  "li.querySelector('input').value = " +
                  json(clave).dump() + "; li.querySelector('button.principal').click(); return 1;",
              "ajustes");
        EXPECT_TRUE(esperarQue([&] { return !aviso().empty(); }));
    }

    std::string respuesta = ServidorHTTPPrueba::respuesta(401, R"({"error":"invalid_api_key"})");
    ServidorHTTPPrueba proveedor{[this](const prueba::PeticionHTTP&) { return respuesta; }};
};

TEST_F(AjustesE2E, UnaClaveRechazadaNoSeGuardaYUnaBuenaEnciendeLaTarjeta) {
    arrancar();
    abrirAjustes();
    EXPECT_EQ(valor("return document.getElementById('integraciones').hidden;", "ajustes"), false);

    guardarClave("openai", "sk-mala");
    EXPECT_EQ(aviso(), "OpenAI no acepta esa clave. Cópiala otra vez de su web (sin espacios) y vuelve a pegarla.");
    EXPECT_EQ(enLlavero("servicio:openai"), std::nullopt);

    respuesta = ServidorHTTPPrueba::respuesta(200, "{}");
    guardarClave("openai", "sk-buena");
    EXPECT_EQ(aviso(), "OpenAI conectado: la clave funciona");
    EXPECT_EQ(enLlavero("servicio:openai"), "sk-buena");
    EXPECT_EQ(proveedor.peticiones().back().cabeceras.at("authorization"), "Bearer sk-buena");
    // No file of the test home holds the key.
    for (const auto& e : fs::recursive_directory_iterator(raiz_))
        if (e.is_regular_file())
            EXPECT_EQ(prueba::leer(e.path()).value_or("").find("sk-buena"), std::string::npos) << e.path();
    EXPECT_TRUE(capturar("ajustes", "e2e-ajustes-integraciones.png", "ajustes"));

    valor("document.getElementById('cerrar').click(); return 1;", "ajustes");
    EXPECT_TRUE(esperarQue([&] {
        return valor("return document.querySelector('[data-integracion=\"openai\"]').classList.contains('activa');",
                     "inicio") == true;
    })) << "la tarjeta de OpenAI no se ha encendido en la pantalla de inicio";
}

TEST_F(AjustesE2E, UnaConexionPropuestaPorElPuenteSeGuardaSoloConGuardar) {
    const auto puerto = puertoLibre();
    prueba::Proceso referencia(MCP_REFERENCIA, {"streamableHttp"},
                               prueba::entornoCon({{"PORT", std::to_string(puerto)}}));
    arrancar();
    const fs::path puente = raiz_ / "home/.sorvenia-tarvel/bin/tarvel";
    ASSERT_TRUE(esperarQue([&] { return fs::exists(raiz_ / "home/.local/share/SorveniaTarvel/mcp.json"); }));
    prueba::ClienteMCP mcp(puente.string(), entorno_);
    ASSERT_TRUE(mcp.pedir("initialize", {{"protocolVersion", "2025-06-18"},
                                         {"capabilities", json::object()},
                                         {"clientInfo", {{"name", "claude-code"}, {"version", "1.0"}}}}));
    const fs::path conexiones = raiz_ / "home/.local/share/SorveniaTarvel/conexiones.json";
    const json propuesta = {{"nombre", "Referencia"},
                            {"url", "http://127.0.0.1:" + std::to_string(puerto) + "/mcp"},
                            {"para", "Herramientas de prueba"}};

    // The user answers "No": nothing is written.
    auto llamada = std::async(std::launch::async, [&] { return mcp.herramienta("proponer_conexion", propuesta); });
    std::ofstream(canal_ / "boton.pulsar") << "No";
    ASSERT_EQ(llamada.wait_for(60s), std::future_status::ready);
    EXPECT_EQ(prueba::textoDe(llamada.get()),
              "El usuario NO ha querido guardar esta conexión. No insistas; sigue sin ella.");
    const json alerta = json::parse(prueba::leer(canal_ / "boton.hecho").value_or("{}"));
    EXPECT_NE(alerta.dump().find("¿Guardar la conexión «referencia»?"), std::string::npos) << alerta.dump();
    // In the window the default "Guardar" stands last, at the trailing edge.
    EXPECT_EQ(alerta["botones"], json({"No", "Guardar"}));
    EXPECT_FALSE(fs::exists(conexiones));

    // "Guardar": saved for the next jobs.
    fs::remove(canal_ / "boton.hecho");
    llamada = std::async(std::launch::async, [&] { return mcp.herramienta("proponer_conexion", propuesta); });
    std::ofstream(canal_ / "boton.pulsar") << "Guardar";
    ASSERT_EQ(llamada.wait_for(60s), std::future_status::ready);
    EXPECT_EQ(prueba::textoDe(llamada.get()),
              "Guardada «referencia». Estará disponible desde el PRÓXIMO encargo (en este todavía no: díselo al "
              "usuario).");
    const json guardadas = json::parse(prueba::leer(conexiones).value_or("[]"));
    ASSERT_EQ(guardadas.size(), 1u);
    EXPECT_EQ(guardadas[0]["nombre"], "referencia");

    // The sheet lists it and its test speaks MCP to the reference server.
    abrirAjustes();
    valor("document.querySelector('#conexiones li[data-id] button').click(); return 1;", "ajustes");
    EXPECT_TRUE(esperarQue([&] {
        return valor("return document.querySelector('[data-prueba]').textContent;", "ajustes") ==
               "Funciona: es un servidor MCP y acepta la conexión.";
    }));
    // The picture shows the connection and its test.
    valor("document.querySelector('#conexiones li[data-id]').scrollIntoView({block: 'center'}); return 1;",
          "ajustes");
    EXPECT_TRUE(capturar("ajustes", "e2e-ajustes-conexion.png", "ajustes"));
}

}  // namespace
}  // namespace sorvenia
