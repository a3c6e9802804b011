// The settings sheet in the test build, driven through its test channel:
// opened from the home page's menu on "integraciones", a key rejected and
// then accepted by a stand-in provider (the keychain holds only the good
// one, the home page's card turns active); a connection proposed by an agent
// through the bridge, refused and then saved from the alert, and tested from
// the sheet against the official SDK's reference MCP server; a font chosen
// in the real file chooser that the editor lists and its page loads through
// "fuente". Screenshots in build/capturas/.
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
        json hosts;
        for (const char* s : {"gemini", "openai", "elevenlabs", "pexels", "unsplash"})
            hosts[s] = "http://127.0.0.1:" + std::to_string(proveedor.puerto());
        cambiarPreferencias({{"pruebas.hostsServicios", hosts}, {"bienvenidaCreada", true}});
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
    ASSERT_TRUE(prueba::esperarEscucha(puerto));
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

TEST_F(AjustesE2E, UnaFuenteElegidaEnElPanelSeCargaEnElEditor) {
    entrarComoCliente();
    arrancarCuentaLocal();
    arrancarAplicacion({"--nuevo", "movil"});
    ASSERT_TRUE(esperarQue([&] { return !herramienta("ver_tarvel").empty(); }, 40s)) << "el editor no ha llegado";
    const std::string creada = herramienta("crear_mesa", {{"nombre", "Tipos"}, {"ancho", 900}, {"web", true}});
    const auto hueco = creada.find(' ', std::string_view("Mesa creada: ").size());
    ASSERT_TRUE(creada.starts_with("Mesa creada: ") && hueco != std::string::npos) << creada;
    const std::string mesa = creada.substr(13, hueco - 13);

    // The editor's "ajustes" opens the sheet; its button opens the real
    // file chooser, which the test channel answers with a DejaVu face.
    valor(
        "document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify({tipo: 'ajustes'})}));"
        " return 1;",
        "editor");
    ASSERT_TRUE(esperarQue([&] {
        return valor("return document.querySelectorAll('#servicios li').length;", "ajustes") == 7;
    })) << "la hoja de ajustes no ha llegado";
    valor("document.getElementById('anadir-fuentes').click(); return 1;", "ajustes");
    const std::string dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";
    std::ofstream(canal_ / "panel.elegir") << dejavu;
    ASSERT_TRUE(esperarQue([&] { return prueba::leer(canal_ / "panel.hecho") == dejavu + "\n"; }, 30s))
        << prueba::leer(canal_ / "panel.hecho").value_or("(el panel no ha contestado)");
    EXPECT_TRUE(esperarQue([&] {
        return valor("return document.getElementById('fuentes').textContent.includes('DejaVu Serif');", "ajustes") ==
               true;
    })) << "la hoja no lista la fuente";

    // The editor's list has it, for the agents too.
    EXPECT_TRUE(esperarQue([&] {
        return herramienta("ver_tarvel")
                   .find("Fuentes del cliente (ya cargadas; úsalas por su nombre en font-family): DejaVu Serif.") !=
               std::string::npos;
    })) << herramienta("ver_tarvel");
    valor("document.getElementById('cerrar').click(); return 1;", "ajustes");

    // Text in that family: the mesa's document loads the face through
    // "fuente" (a failed load would leave its status "error").
    EXPECT_FALSE(herramienta("escribir", {{"id", mesa},
                                          {"modo", "dentro"},
                                          {"html",
                                           "<h1 style=\"font-family:'DejaVu Serif',monospace;font-size:72px;"
                                           "margin:40px\">Tipografía propia</h1>"}})
                     .empty());
    const std::string medir =
        "const d = document.querySelector('.mesa-marco[data-mesa=\"" + mesa +
        "\"] iframe').contentDocument;"
        "await d.fonts.load('700 72px \"DejaVu Serif\"');"
        "const caras = [...d.fonts].filter(f => f.family.replace(/[\"']/g, '') === 'DejaVu Serif');"
        "return {estados: caras.map(f => f.status), origen: caras.length ? caras[0].family : '',"
        " familia: getComputedStyle(d.querySelector('h1')).fontFamily};";
    json medido;
    EXPECT_TRUE(esperarQue([&] {
        medido = valor(medir, "editor");
        return medido.is_object() && medido["estados"] == json({"loaded"});
    })) << medido.dump();
    EXPECT_NE(medido.value("familia", "").find("DejaVu Serif"), std::string::npos) << medido.dump();
    // The face comes from the page's own rule, which names the file.
    EXPECT_EQ(valor("return [...document.querySelectorAll('.mesa-marco[data-mesa=\"" + mesa +
                        "\"] iframe')].some(i => [...i.contentDocument.querySelectorAll('style')].some(s => "
                        "s.textContent.includes('fuente://local/')));",
                    "editor"),
              true);
    valor("document.querySelector('.mesa-marco[data-mesa=\"" + mesa +
              "\"]').scrollIntoView({block: 'center', inline: 'center'}); return 1;",
          "editor");
    EXPECT_TRUE(capturar("ventana", "e2e-fuente-editor.png", "editor"));
}

}  // namespace
}  // namespace sorvenia
