// The editor in the test build, end to end: a signed-in customer starts the
// application with "--nuevo" or "--abrir", the design comes from the local
// account service into the real editor page, and what the page shows is
// read through the test channel. The screenshots stay in build/capturas/.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "diseno_prueba.h"
#include "app_e2e.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;

constexpr const char* idDiseno = "00112233445566aa";

class EditorE2E : public prueba::AppE2E {
protected:
    // The two-mesa design of the editor tests, stored in the account.
    void guardarBarberia(int version, const std::string& modificado) {
        guardarDiseno({{"id", idDiseno},
                       {"nombre", "Barbería Ercilla"},
                       {"version", version},
                       {"creado", "2026-12-01 10:00:00"},
                       {"modificado", modificado},
                       {"doc", prueba::disenoGuardado()}});
    }
    // Waits until the page has the design: its canvas is not empty.
    bool cargado(const std::string& mesa) {
        return esperarQue([&] { return herramienta("ver_tarvel").find(mesa) != std::string::npos; }, 40s);
    }
    std::string texto(const std::string& id) {
        const json r = valor("const e = document.getElementById(" + json(id).dump() + "); return e ? e.textContent : null;",
                             "editor");
        return r.is_string() ? r.get<std::string>() : "";
    }
};

TEST_F(EditorE2E, NuevoAbreUnDisenoDeLaPlantilla) {
    entrarComoCliente();
    arrancarCuentaLocal();
    arrancarAplicacion({"--nuevo", "movil"});
    ASSERT_TRUE(cargado("«Móvil» · 390 × 844")) << herramienta("ver_tarvel");
    EXPECT_EQ(texto("nombre"), "Sin título");
    EXPECT_TRUE(capturar("ventana", "editor-nuevo.png", "editor"));
}

TEST_F(EditorE2E, AbrirTraeElDisenoSusChatsYDondePublicarlo) {
    entrarComoCliente();
    guardarBarberia(3, "2026-12-02 11:30:00");
    const fs::path chats = raiz_ / "home/.local/share/SorveniaTarvel/chats";
    fs::create_directories(chats);
    std::ofstream(chats / (std::string(idDiseno) + ".json"))
        << json::array({{{"id", "c1"}, {"titulo", "Landing de la barbería"}, {"mensajes", json::array()}}});
    arrancarCuentaLocal();
    arrancarAplicacion({"--abrir", idDiseno});

    ASSERT_TRUE(cargado("m2 «Contacto» · 390 × 844")) << herramienta("ver_tarvel");
    EXPECT_NE(herramienta("ver_tarvel").find("m1 «Inicio»"), std::string::npos);
    EXPECT_EQ(texto("nombre"), "Barbería Ercilla");
    EXPECT_NE(texto("chat-lista").find("Landing de la barbería"), std::string::npos) << texto("chat-lista");
    EXPECT_TRUE(capturar("ventana", "editor-dos-mesas.png", "editor"));

    // The account's hosting is offered as a place to publish.
    valor("document.getElementById('publicar-boton').click(); return 1;", "editor");
    EXPECT_TRUE(esperarQue([&] {
        return valor("return document.body.innerText.includes('En mi-web.example');", "editor") == true;
    }));

    // A change made in the page reaches the application, which answers with
    // the save state.
    EXPECT_EQ(herramienta("texto", {{"id", "titulo"}, {"texto", "Cortes a navaja"}}).empty(), false);
    EXPECT_TRUE(esperarQue([&] { return texto("guardado") == "cambios sin guardar"; })) << texto("guardado");
}

// Asked to end right after a change, the application first uploads it.
TEST_F(EditorE2E, AlTerminarSeGuardaElUltimoCambio) {
    entrarComoCliente();
    guardarBarberia(1, "2026-12-01 10:00:00");
    arrancarCuentaLocal();
    arrancarAplicacion({"--abrir", idDiseno});
    ASSERT_TRUE(cargado("m2 «Contacto»"));
    EXPECT_FALSE(herramienta("texto", {{"id", "titulo"}, {"texto", "Último cambio antes de salir"}}).empty());
    ASSERT_TRUE(esperarQue([&] { return texto("guardado") == "cambios sin guardar"; }));
    app_->senal(SIGTERM);
    EXPECT_TRUE(app_->esperar(15s).has_value()) << "la aplicación no ha terminado";
    const json guardado =
        json::parse(prueba::leer(raiz_ / "cuenta-local/clientes/1/disenos" / (std::string(idDiseno) + ".json")).value_or("{}"));
    EXPECT_NE(guardado.value("doc", json()).dump().find("Último cambio antes de salir"), std::string::npos);
    EXPECT_EQ(guardado.value("version", 0), 2);
}

// True when `texto` is in the account's copy of the design or in a local
// copy of unsent changes.
bool guardadoEnAlgunSitio(const fs::path& raiz, const std::string& texto) {
    const auto contiene = [&](const fs::path& archivo) {
        return prueba::leer(archivo).value_or("").find(texto) != std::string::npos;
    };
    if (contiene(raiz / "cuenta-local/clientes/1/disenos" / (std::string(idDiseno) + ".json"))) return true;
    std::error_code error;
    for (fs::recursive_directory_iterator i(raiz / "home", error), fin; !error && i != fin; i.increment(error))
        if (i->path().parent_path().filename() == "sin-subir" && contiene(i->path())) return true;
    return false;
}

// The page holds a change for a moment before handing it over. A request
// to end that comes at once (SIGTERM takes the road of Control+Q and of
// closing the window) still finds it: it is uploaded, or kept as a copy.
TEST_F(EditorE2E, AlTerminarEnseguidaNoSePierdeElCambioDeLaPagina) {
    entrarComoCliente();
    guardarBarberia(1, "2026-12-01 10:00:00");
    arrancarCuentaLocal();
    for (const auto pausa : {0ms, 100ms}) {
        SCOPED_TRACE(std::to_string(pausa.count()) + " ms");
        arrancarAplicacion({"--abrir", idDiseno});
        ASSERT_TRUE(cargado("m2 «Contacto»"));
        const std::string cambio = "Cambio " + std::to_string(pausa.count()) + " ms antes de salir";
        ASSERT_FALSE(herramienta("texto", {{"id", "titulo"}, {"texto", cambio}}).empty());
        std::this_thread::sleep_for(pausa);
        app_->senal(SIGTERM);
        ASSERT_TRUE(app_->esperar(15s).has_value()) << "la aplicación no ha terminado";
        EXPECT_TRUE(guardadoEnAlgunSitio(raiz_, cambio));
    }
}

// Signed in, the window opens on the home screen with the account's designs;
// a design opens in the editor, and the editor's back button returns home.
TEST_F(EditorE2E, DeInicioAlEditorYVuelta) {
    entrarComoCliente();
    guardarBarberia(1, "2026-12-01 10:00:00");
    arrancarCuentaLocal();
    arrancarAplicacion();
    const std::string tarjeta = std::string("document.querySelector('article.diseno[data-id=\"") + idDiseno + "\"]')";
    ASSERT_TRUE(esperarQue([&] {
        return valor("const t = " + tarjeta + "; return t ? t.querySelector('.diseno-nombre').textContent : null;",
                     "inicio") == "Barbería Ercilla";
    }, 30s)) << "el inicio no muestra el diseño";
    EXPECT_TRUE(capturar("ventana", "inicio-ventana.png", "inicio"));

    valor(tarjeta + ".querySelector('.diseno-abrir').click(); return 1;", "inicio");
    ASSERT_TRUE(cargado("m2 «Contacto»"));
    EXPECT_EQ(texto("nombre"), "Barbería Ercilla");

    valor("document.getElementById('volver').click(); return 1;", "editor");
    EXPECT_TRUE(esperarQue([&] { return valor("return " + tarjeta + " !== null;", "inicio") == true; }, 20s));
}

TEST_F(EditorE2E, UnDisenoQueNoExisteMuestraLaTarjetaDeError) {
    entrarComoCliente();
    arrancarCuentaLocal();
    arrancarAplicacion({"--abrir", "ffffffffffffffff"});
    // The page never gets the design; the native card covers it.
    ASSERT_TRUE(esperarQue([&] { return !valor("return 1;", "editor").is_null(); }, 30s));
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(herramienta("ver_tarvel").find("«"), std::string::npos);
    EXPECT_TRUE(capturar("ventana", "editor-error.png", "editor"));
}

}  // namespace
}  // namespace sorvenia
