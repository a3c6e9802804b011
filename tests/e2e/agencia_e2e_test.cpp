// The agency workspace end to end: the test build with its real agency page
// against the local account service. The home menu opens it; clients and
// projects are saved on this computer and in the account; a conflict with
// another computer's save offers the account's copy and merges; a change
// made during an upload goes up exactly once more; quitting during an upload
// keeps the change, which goes up at the next visit. Screenshots land in
// build/capturas/.

#include <gtest/gtest.h>
#include <signal.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app_e2e.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;
using prueba::leer;

constexpr const char* web = "agencia";

class AgenciaE2E : public prueba::AppE2E {
protected:
    void SetUp() override {
        AppE2E::SetUp();
        entrarComoCliente();
        guardarDiseno({{"id", "0123456789abcdef"},
                       {"nombre", "Web de la panadería"},
                       {"version", 1},
                       {"creado", "2026-01-01 10:00:00"},
                       {"modificado", "2026-01-01 10:00:00"},
                       {"doc", json::object()}});
    }

    json js(const std::string& cuerpo) { return valor(cuerpo, web); }
    bool cumple(const std::string& expresion, std::chrono::milliseconds limite = 30s) {
        return esperarQue([&] { return js("return Boolean(" + expresion + ");") == json(true); }, limite);
    }
    std::string sincronia() {
        const json e = js("return document.getElementById('sincronia').dataset.estado;");
        return e.is_string() ? e.get<std::string>() : "";
    }

    // The home screen's menu, as the user picks "Agencia" in it.
    void abrirAgencia() {
        ASSERT_TRUE(esperarQue([&] { return valor("return Boolean(window.inicio);", "inicio") == json(true); }, 60s));
        valor("document.querySelector('#cuenta-menu [data-accion=agencia]').click(); return 1;", "inicio");
        ASSERT_TRUE(cumple("window.agencia && document.getElementById('sincronia')", 30s));
    }

    void anadirCliente(const std::string& nombre, const std::string& email = "") {
        js("const f = document.getElementById('form-cliente');"
           "f.nombre.value = " +
           json(nombre).dump() + "; f.email.value = " + json(email).dump() +
           ";"
           "f.requestSubmit(); return 1;");
    }

    fs::path ficheroLocal() const { return raiz_ / "home/.local/share/SorveniaTarvel/agencia-pruebas.json"; }
    json entradaLocal() {
        const json raiz = json::parse(leer(ficheroLocal()).value_or("{}"), nullptr, false);
        return raiz.is_object() ? raiz.value("cuentas", json::object()).value("cliente@sorvenia.example", json())
                                : json();
    }
    json enLaCuenta() {
        return json::parse(leer(raiz_ / "cuenta-local/clientes/1/agencia.json").value_or("{}"), nullptr, false);
    }
    std::vector<std::string> nombresDe(const json& datos) {
        std::vector<std::string> r;
        if (datos.is_object())
            for (const json& c : datos.value("clientes", json::array())) r.push_back(c.value("nombre", ""));
        return r;
    }
    // The agency uploads cuenta-local has answered, oldest first.
    std::vector<json> subidas() {
        std::vector<json> r;
        std::istringstream lineas(leer(raiz_ / "cuenta-local/registro.jsonl").value_or(""));
        for (std::string linea; std::getline(lineas, linea);) {
            const json l = json::parse(linea, nullptr, false);
            if (l.is_object() && l.value("accion", "") == "agencia" && l.value("metodo", "") == "POST") r.push_back(l);
        }
        return r;
    }
    void interruptores(const json& valor) {
        std::ofstream(raiz_ / "cuenta-local/interruptores.json.tmp") << valor;
        fs::rename(raiz_ / "cuenta-local/interruptores.json.tmp", raiz_ / "cuenta-local/interruptores.json");
    }
};

TEST_F(AgenciaE2E, ClientesYProyectosSeGuardanYUnConflictoUneLasDosCopias) {
    arrancarCuentaLocal();
    arrancarAplicacion();
    abrirAgencia();

    anadirCliente("Panadería Sol", "hola@panaderia.example");
    ASSERT_TRUE(esperarQue(
        [&] { return nombresDe(enLaCuenta().value("datos", json())) == std::vector<std::string>{"Panadería Sol"}; }));
    ASSERT_TRUE(cumple("document.getElementById('sincronia').dataset.estado === 'al-dia'"));
    EXPECT_EQ(entradaLocal().value("pendiente", true), false) << entradaLocal();
    EXPECT_EQ(entradaLocal().value("version", 0), 1);

    // A project for that client, with the account's design.
    js("const f = document.getElementById('form-proyecto'); f.nombre.value = 'Web nueva';"
       "f.cliente.value = f.cliente.options[1].value; f.diseno.value = '0123456789abcdef'; f.requestSubmit(); return 1;");
    ASSERT_TRUE(esperarQue([&] { return enLaCuenta().value("version", 0) == 2; }));
    const json proyecto = enLaCuenta().at("datos").at("proyectos").at(0);
    EXPECT_EQ(proyecto.at("nombre"), "Web nueva");
    EXPECT_EQ(proyecto.at("diseno"), "0123456789abcdef");
    EXPECT_EQ(proyecto.at("cliente"), enLaCuenta().at("datos").at("clientes").at(0).at("id"));

    // Another computer saves first: the next upload meets a conflict.
    json otra = enLaCuenta();
    otra["datos"]["clientes"].push_back({{"id", "otro0000"}, {"nombre", "Cliente del portátil"}});
    otra["version"] = 3;
    std::ofstream(raiz_ / "cuenta-local/clientes/1/agencia.json") << otra;
    anadirCliente("Frutería Luna");
    ASSERT_TRUE(
        cumple("document.getElementById('dialogo') && !document.getElementById('capa').hidden && "
               "document.getElementById('dialogo').dataset.tipo === 'conflicto'"));
    EXPECT_EQ(sincronia(), "conflicto");
    EXPECT_EQ(entradaLocal().value("pendiente", false), true) << "the change waits in the file";
    EXPECT_TRUE(capturar("ventana", "e2e-agencia-conflicto.png", web));

    js("[...document.querySelectorAll('#dialogo button')].find(b => b.textContent === 'Unir los cambios').click(); return 1;");
    ASSERT_TRUE(esperarQue([&] { return enLaCuenta().value("version", 0) == 4; }));
    EXPECT_EQ(nombresDe(enLaCuenta().at("datos")),
              (std::vector<std::string>{"Panadería Sol", "Frutería Luna", "Cliente del portátil"}));
    ASSERT_TRUE(cumple("document.getElementById('sincronia').dataset.estado === 'al-dia'"));
    EXPECT_TRUE(cumple("document.querySelectorAll('#clientes .ficha').length === 3"));
    EXPECT_TRUE(capturar("ventana", "e2e-agencia.png", web));
}

TEST_F(AgenciaE2E, UnCambioDuranteUnaSubidaSeSubeExactamenteUnaVezMas) {
    arrancarCuentaLocal();
    arrancarAplicacion();
    abrirAgencia();
    interruptores({{"agencia", {{"colgar", 2}, {"veces", 1}}}});
    anadirCliente("Uno");
    ASSERT_TRUE(cumple("document.getElementById('sincronia').dataset.estado === 'subiendo'"));
    anadirCliente("Dos");
    anadirCliente("Tres");
    ASSERT_TRUE(esperarQue([&] { return enLaCuenta().value("version", 0) == 2; }));
    ASSERT_TRUE(cumple("document.getElementById('sincronia').dataset.estado === 'al-dia'"));
    std::this_thread::sleep_for(1s);  // a third upload, if one were coming, would have been answered
    const auto s = subidas();
    ASSERT_EQ(s.size(), 2u);
    const json segunda = json::parse(s[1].at("cuerpo").get<std::string>());
    EXPECT_EQ(segunda.at("version"), 1);
    EXPECT_EQ(nombresDe(segunda.at("datos")), (std::vector<std::string>{"Uno", "Dos", "Tres"}));
    EXPECT_EQ(entradaLocal().value("pendiente", true), false);
}

TEST_F(AgenciaE2E, SalirDuranteUnaSubidaNoPierdeElCambio) {
    arrancarCuentaLocal();
    arrancarAplicacion();
    abrirAgencia();
    interruptores({{"agencia", {{"colgar", 60}, {"status", 500}}}});
    anadirCliente("Antes de salir");
    ASSERT_TRUE(cumple("document.getElementById('sincronia').dataset.estado === 'subiendo'"));
    ASSERT_TRUE(esperarQue([&] {
        return nombresDe(entradaLocal().value("datos", json())) == std::vector<std::string>{"Antes de salir"};
    }));
    app_->senal(SIGTERM);
    ASSERT_TRUE(app_->esperar(20s)) << "the application did not quit";
    app_.reset();
    EXPECT_EQ(entradaLocal().value("pendiente", false), true) << entradaLocal();
    EXPECT_EQ(nombresDe(enLaCuenta().value("datos", json())), std::vector<std::string>{});

    // Next run: the pending change goes up when the screen opens.
    interruptores(json::object());
    arrancarAplicacion();
    abrirAgencia();
    ASSERT_TRUE(esperarQue(
        [&] { return nombresDe(enLaCuenta().value("datos", json())) == std::vector<std::string>{"Antes de salir"}; }));
    ASSERT_TRUE(esperarQue([&] { return entradaLocal().value("pendiente", true) == false; }));
}

}  // namespace
}  // namespace sorvenia
