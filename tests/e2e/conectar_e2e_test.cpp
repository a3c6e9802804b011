// The whole browser sign-in, end to end: the test build under the test's
// display and bus, with a fresh home, against the local account service.
// The test drives the sign-in page through the test channel, plays the
// browser (opens the link, answers the site's page) and hands the callback
// back as the desktop would: by starting the program a second time with the
// address. Screenshots land in build/capturas/ for a person to look at.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>

#include "app_e2e.h"
#include "plataforma/http.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;
using prueba::leer;

// A query item of a URL, still percent-encoded.
std::string item(const std::string& url, const std::string& nombre) {
    const std::regex patron("[?&]" + nombre + "=([^&#]*)");
    std::smatch m;
    return std::regex_search(url, m, patron) ? m[1].str() : "";
}

class ConectarE2E : public prueba::AppE2E {
protected:
    // What the sign-in page shows: {"estado": "reposo" | "espera", "error": text}.
    json pagina() {
        const auto r = orden(
            "return {estado: document.body.dataset.estado || '', "
            "error: document.getElementById('error').hidden ? '' : document.getElementById('error').textContent};");
        return r && r->value("ok", false) ? r->at("valor") : json();
    }

    bool paginaEs(const std::string& estado, const std::string& error) {
        return esperarQue([&] { return pagina() == json({{"estado", estado}, {"error", error}}); });
    }

    void pulsar(const std::string& id) {
        const auto r = orden("document.getElementById('" + id + "').click(); return true;");
        ASSERT_TRUE(r && r->value("ok", false)) << (r ? r->dump() : "sin respuesta");
    }

    // The sign-in link the test build wrote instead of opening a browser.
    std::string enlace() {
        std::string texto;
        esperarQue([&] {
            texto = leer(canal_ / "enlace-conectar.txt").value_or("");
            return !texto.empty();
        });
        fs::remove(canal_ / "enlace-conectar.txt");
        return texto;
    }

    // Plays the browser: opens the link, answers the site's page, and gives
    // the address the site sends the browser back to.
    std::string navegar(const std::string& enlace, const std::string& decision) {
        PeticionHTTP abrir;
        abrir.url = enlace;
        const auto pagina = pedir(abrir);
        EXPECT_TRUE(pagina && pagina->status == 200) << enlace;
        if (!pagina) return {};
        std::smatch m;
        std::regex_search(pagina->cuerpo, m, std::regex("name=\"cliente\" value=\"([0-9]+)\""));
        PeticionHTTP decidir;
        decidir.metodo = "POST";
        decidir.url = servidor_ + "/conectar-app/";
        decidir.cabeceras = {{"Content-Type", "application/x-www-form-urlencoded"}};
        decidir.cuerpo = "state=" + item(enlace, "state") + "&challenge=" + item(enlace, "challenge") +
                         "&cliente=" + m[1].str() + "&decision=" + decision;
        const auto vuelta = pedir(decidir);
        EXPECT_TRUE(vuelta && vuelta->status / 100 == 3);
        return vuelta ? vuelta->cabecera("Location").value_or("") : "";
    }

    // Hands a URL over as the desktop would: a second start of the program,
    // which passes it to the running one and ends.
    void entregar(const std::string& url) {
        prueba::Proceso segundo(APLICACION_PRUEBAS, {url}, entorno_);
        EXPECT_EQ(segundo.esperar(20s), 0) << url;
    }
};

TEST_F(ConectarE2E, ConectaConElNavegadorYCambiaDePantalla) {
    arrancarCuentaLocal();
    arrancarAplicacion();
    ASSERT_TRUE(paginaEs("reposo", "")) << pagina();
    EXPECT_TRUE(capturar("conectar", "conectar.png"));
    EXPECT_TRUE(capturar("ventana", "ventana-conectar.png"));

    pulsar("conectar");
    ASSERT_TRUE(paginaEs("espera", ""));
    const std::string primero = enlace();
    EXPECT_TRUE(primero.starts_with(servidor_ + "/conectar-app/?app=tarvel&state=")) << primero;
    EXPECT_TRUE(std::regex_match(primero, std::regex(".*\\?app=tarvel&state=[A-Za-z0-9_-]{32}&challenge=[A-Za-z0-9_-]{43}&equipo=[^&]+")))
        << primero;
    EXPECT_TRUE(capturar("conectar", "conectar-espera.png"));
    EXPECT_TRUE(capturar("ventana", "ventana-espera.png"));

    // Not ours, or broken: ignored. Another sign-in's state: refused, and the
    // attempt goes on.
    entregar("sorvenia-tarvel://conectar?state=%ZZ&code=x");
    entregar("otro-esquema://conectar?state=" + item(primero, "state") + "&code=x");
    EXPECT_TRUE(paginaEs("espera", ""));
    entregar("sorvenia-tarvel://conectar?state=otro&code=x");
    EXPECT_TRUE(paginaEs("espera", "La respuesta no corresponde a esta conexión."));

    // The user says no on the site.
    const std::string negativa = navegar(primero, "denegar");
    EXPECT_NE(negativa.find("error=denegado"), std::string::npos) << negativa;
    entregar(negativa);
    ASSERT_TRUE(paginaEs("reposo", "Has cancelado la conexión."));
    EXPECT_FALSE(claveGuardada());

    // Again, and yes: the key goes to the keychain, the customer to the
    // preferences, and the window leaves the sign-in page.
    pulsar("conectar");
    ASSERT_TRUE(paginaEs("espera", ""));
    const std::string segundo = enlace();
    EXPECT_NE(item(segundo, "state"), item(primero, "state"));
    const std::string vuelta = navegar(segundo, "permitir");
    ASSERT_NE(vuelta.find("code="), std::string::npos) << vuelta;
    entregar(vuelta);

    ASSERT_TRUE(esperarQue([&] { return claveGuardada().has_value(); }))
        << "no hay clave en el llavero; la página: " << pagina() << "; registro: "
        << leer(raiz_ / "cuenta-local/registro.jsonl").value_or("");
    const auto cuentas = json::parse(*leer(raiz_ / "cuenta-local/cuentas.json"));
    const auto claves = cuentas.at("clientes").at(0).at("claves");
    EXPECT_NE(std::find(claves.begin(), claves.end(), *claveGuardada()), claves.end()) << claves;
    ASSERT_TRUE(esperarQue([&] { return preferencias().contains("cliente@127.0.0.1"); })) << preferencias();

    std::optional<json> ultima;
    ASSERT_TRUE(esperarQue([&] {
        ultima = orden("return 1;");
        return ultima && ultima->value("error", "") == "no hay web «conectar» visible";
    })) << (ultima ? ultima->dump() : "sin respuesta");
    EXPECT_TRUE(capturar("ventana", "ventana-conectado.png"));

    // The same callback again finds nothing pending: the customer stays
    // signed in with the same key.
    const auto clave = claveGuardada();
    entregar(vuelta);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(claveGuardada(), clave);
    EXPECT_TRUE(preferencias().contains("cliente@127.0.0.1"));
}

TEST_F(ConectarE2E, UnArranqueEnFrioPorUnEnlaceViejo) {
    arrancarCuentaLocal();
    arrancarAplicacion({"sorvenia-tarvel://conectar?state=viejo&code=antiguo"});
    EXPECT_TRUE(paginaEs("reposo", "Ese enlace de conexión ya no vale: pulsa «Conectar» otra vez."));
    EXPECT_FALSE(claveGuardada());
}

// A redeem the site refuses, or one that never answers: the page says why,
// nothing is stored, and the user can try again.
TEST_F(ConectarE2E, UnCanjeQueFallaNoGuardaNadaYSePuedeReintentar) {
    const struct {
        std::vector<std::string> opciones;
        std::string mensaje;
    } casos[] = {
        {{"--fallar", "canjear=500"}, "Fallo forzado de «canjear»."},  // the site's own message
        {{"--colgar", "canjear=40"}, "El servidor ha tardado demasiado en contestar."},  // 30 s time-out
    };
    for (const auto& caso : casos) {
        arrancarCuentaLocal(caso.opciones);
        arrancarAplicacion();
        ASSERT_TRUE(paginaEs("reposo", ""));
        pulsar("conectar");
        entregar(navegar(enlace(), "permitir"));
        EXPECT_TRUE(esperarQue([&] { return pagina() == json({{"estado", "reposo"}, {"error", caso.mensaje}}); }, 45s))
            << pagina();
        EXPECT_FALSE(claveGuardada());
        EXPECT_FALSE(preferencias().contains("cliente@127.0.0.1"));
        pulsar("conectar");
        EXPECT_TRUE(paginaEs("espera", ""));
        app_.reset();
        cuentaLocal_.reset();
    }
}

}  // namespace
}  // namespace sorvenia

namespace sorvenia {
namespace {

// With its window on screen the application is reachable by outside AI
// clients: the hub's server answers through the bridge it installed.
TEST_F(ConectarE2E, ElCentroArrancaEInstalaElPuente) {
    arrancarAplicacion();
    const fs::path conexion = raiz_ / "home/.local/share/SorveniaTarvel/mcp.json";
    const fs::path puente = raiz_ / "home/.sorvenia-tarvel/bin/tarvel";
    ASSERT_TRUE(esperarQue([&] { return fs::exists(conexion) && fs::exists(puente); })) << "sin conexión o sin puente";
    EXPECT_EQ(fs::status(conexion).permissions() & fs::perms::all, fs::perms(0600));
    EXPECT_EQ(fs::status(puente).permissions() & fs::perms::all, fs::perms(0755));
    EXPECT_EQ(leer(puente), leer(fs::path(APLICACION_PRUEBAS).parent_path() / "tarvel-mcp"));

    const fs::path entrada = raiz_ / "entrada.jsonl", salida = raiz_ / "salida.jsonl";
    std::ofstream(entrada) << R"({"jsonrpc":"2.0","id":1,"method":"initialize"})" "\n";
    const std::string orden = puente.string() + " < " + entrada.string() + " > " + salida.string();
    prueba::Proceso bridge("/bin/sh", {"-c", orden}, entorno_);
    ASSERT_EQ(bridge.esperar(20s), std::optional<int>(0));
    const json respuesta = json::parse(leer(salida).value_or("{}"), nullptr, false);
    ASSERT_FALSE(respuesta.is_discarded());
    const std::string instrucciones = respuesta["result"].value("instructions", "");
    EXPECT_EQ(instrucciones.rfind("MODO AGENTE", 0), 0u) << instrucciones.substr(0, 80);
}

}  // namespace
}  // namespace sorvenia
