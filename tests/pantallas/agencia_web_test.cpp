// The agency screen with a stand-in page (paginas/editor/agencia/agencia.html,
// which records every call it receives) in a real web view under Xvfb,
// against the local account service: what the page gets, what each message
// does to the local file and the account, and that no local change is lost
// to a failed upload, a conflict, or leaving the screen during an upload.

#include "pantallas/gui/agencia_web.h"

#include <gtest/gtest.h>

#include <fstream>

#include "pantalla_prueba.h"
#include "esperar_bucle.h"
#include "pantallas/gui/agencia_modelo.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/identidad.h"
#include "plataforma/navegador.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using Pantalla = Navegacion::Pantalla;
using prueba::esperarHasta;
using prueba::esperarTarea;

json datos(std::vector<std::string> clientes) {
    json c = json::array();
    for (const auto& n : clientes) c.push_back({{"id", n}, {"nombre", n}});
    return {{"clientes", c}, {"proyectos", json::array()}};
}

class AgenciaWebTest : public prueba::PantallaPrueba {
protected:
    void TearDown() override {
        cerrar();
        PantallaPrueba::TearDown();
    }

    void cerrar() {
        if (ventana) {
            gtk_window_set_child(ventana.get(), nullptr);
            gtk_window_destroy(ventana.get());
            ventana = {};
        }
        pantalla.reset();
    }

    // The screen, with the file in the test's folder; waits for "datos".
    void mostrar() {
        cerrar();
        pantalla = std::make_unique<AgenciaWeb>(cuenta, nav, FicheroAgencia(fichero()));
        ventana = Ref<GtkWindow>::compartir(comoG<GtkWindow>(gtk_window_new()));
        gtk_window_set_child(ventana.get(), pantalla->widget());
        gtk_window_present(ventana.get());
        ASSERT_TRUE(esperarHasta([&] { return !de("datos").empty(); })) << llamadas();
    }

    std::filesystem::path fichero() const { return carpeta.ruta() / "agencia.json"; }
    EntradaAgencia entrada(const std::string& clave = "ana@ana.example") const {
        return FicheroAgencia(fichero()).entrada(clave);
    }

    json pagina(const std::string& cuerpo, json args = json::object()) {
        const auto r = esperarTarea(pantalla->vista().llamar(cuerpo, std::move(args)));
        return r && r->ok() ? **r : json("sin respuesta");
    }
    json llamadas() { return pagina("return window.llamadas;"); }
    std::vector<json> de(const std::string& funcion) {
        std::vector<json> r;
        for (const json& l : llamadas())
            if (l.is_array() && l.at(0) == funcion) r.push_back(l.at(1));
        return r;
    }
    void enviar(const json& mensaje) { pagina("window.enviar(m); return 1;", {{"m", mensaje}}); }
    // The answer to the next call of `funcion` after `mensaje`.
    json respuesta(const json& mensaje, const std::string& funcion,
                   std::chrono::milliseconds limite = prueba::limitePorDefecto) {
        const auto antes = de(funcion).size();
        enviar(mensaje);
        if (!esperarHasta([&] { return de(funcion).size() > antes; }, limite)) return "sin respuesta";
        return de(funcion).back();
    }
    std::size_t subidas() const { return servicio.registroDe("agencia").size(); }

    std::unique_ptr<AgenciaWeb> pantalla;
    Ref<GtkWindow> ventana;
};

TEST_F(AgenciaWebTest, LaPaginaRecibeElEstadoGuardadoYLosGuardadosQuedanEnElArchivo) {
    mostrar();
    EXPECT_EQ(de("datos").back(), json({{"agencia", json::object()},
                                        {"disenos", json::array()},
                                        {"trabajos", json::array()},
                                        {"local", {{"base", nullptr}, {"version", 0}, {"pendiente", false}}},
                                        {"cliente", {{"nombre", "Ana Pérez"}, {"email", "ana@ana.example"}}}}));

    // Without "pendiente" the save is pending; without base or version the stored ones stay.
    EXPECT_EQ(respuesta({{"tipo", "guardar"}, {"datos", datos({"a"})}}, "guardado"), json({{"ok", true}}));
    EXPECT_EQ(entrada().datos, datos({"a"}));
    EXPECT_TRUE(entrada().pendiente);
    EXPECT_EQ(respuesta({{"tipo", "guardar"},
                         {"datos", datos({"b"})},
                         {"base", datos({"b"})},
                         {"version", 3},
                         {"pendiente", false}},
                        "guardado"),
              json({{"ok", true}}));
    EXPECT_EQ(
        respuesta({{"tipo", "guardar"}, {"datos", datos({"c"})}, {"base", nullptr}, {"version", "9"}}, "guardado"),
        json({{"ok", true}}));
    EXPECT_EQ(entrada().base, datos({"b"}));
    EXPECT_EQ(entrada().version, 3);
    EXPECT_EQ(respuesta({{"tipo", "guardar"}, {"datos", {{"clientes", json::array()}}}}, "guardado"),
              json({{"ok", false}, {"error", "Datos de agencia no válidos."}}));
    EXPECT_EQ(entrada().datos, datos({"c"}));

    // The stored state comes back on the next visit.
    mostrar();
    const json d = de("datos").back();
    EXPECT_EQ(d.at("agencia"), datos({"c"}));
    EXPECT_EQ(d.at("local"), json({{"base", datos({"b"})}, {"version", 3}, {"pendiente", true}}));
}

TEST_F(AgenciaWebTest, CadaResultadoDeUnaSubidaYLoQueDejaEnElArchivo) {
    mostrar();
    ASSERT_EQ(respuesta({{"tipo", "guardar"}, {"datos", datos({"a"})}}, "guardado"), json({{"ok", true}}));

    EXPECT_EQ(respuesta({{"tipo", "subir"}, {"datos", datos({"a"})}, {"version", 0}}, "subido"),
              json({{"ok", true}, {"version", 1}}));
    EXPECT_EQ(entrada().base, datos({"a"}));
    EXPECT_EQ(entrada().version, 1);
    EXPECT_FALSE(entrada().pendiente);

    // A local change that fails to go up stays in the file, pending.
    ASSERT_EQ(respuesta({{"tipo", "guardar"}, {"datos", datos({"a", "b"})}}, "guardado"), json({{"ok", true}}));
    struct Caso {
        json interruptor;
        json subido;
    };
    const std::vector<Caso> casos = {
        {{{"status", 500}}, {{"ok", false}, {"sinRed", true}, {"mensaje", "Fallo forzado de «agencia»."}}},
        {{{"status", 413}, {"cuerpo", ""}},
         {{"ok", false},
          {"sinRed", false},
          {"mensaje", "Hay demasiados datos de agencia para guardarlos en tu cuenta."}}},
    };
    for (const auto& c : casos) {
        servicio.interruptores({{"agencia", c.interruptor}});
        EXPECT_EQ(respuesta({{"tipo", "subir"}, {"datos", datos({"a", "b"})}, {"version", 1}}, "subido"), c.subido);
        EXPECT_EQ(entrada().datos, datos({"a", "b"}));
        EXPECT_EQ(entrada().base, datos({"a"}));
        EXPECT_TRUE(entrada().pendiente);
    }
    servicio.interruptores(json::object());

    // Another computer saved first: the page gets the account's copy, the file stays.
    const auto otro =
        servicio.pedirComoAna("POST", "accion=agencia", json({{"datos", datos({"z"})}, {"version", 1}}).dump());
    ASSERT_EQ(otro.status, 200) << otro.cuerpo;
    EXPECT_EQ(respuesta({{"tipo", "subir"}, {"datos", datos({"a", "b"})}, {"version", 1}}, "subido"),
              json({{"conflicto", true}, {"servidor", {{"datos", datos({"z"})}, {"version", 2}}}}));
    EXPECT_EQ(entrada().datos, datos({"a", "b"}));
    EXPECT_EQ(entrada().version, 1);
    EXPECT_TRUE(entrada().pendiente);
}

TEST_F(AgenciaWebTest, UnCambioDuranteLaSubidaQuedaPendienteYSeSubeUnaVezMasAlSalir) {
    mostrar();
    ASSERT_EQ(respuesta({{"tipo", "guardar"}, {"datos", datos({"a"})}}, "guardado"), json({{"ok", true}}));
    servicio.interruptores({{"agencia", {{"colgar", 1.5}, {"veces", 1}}}});
    enviar({{"tipo", "subir"}, {"datos", datos({"a"})}, {"version", 0}});
    ASSERT_EQ(respuesta({{"tipo", "guardar"}, {"datos", datos({"a", "b"})}}, "guardado"), json({{"ok", true}}));
    EXPECT_TRUE(pantalla->modelo().subiendo());

    // Leaving while it runs: no second upload until the first has ended,
    // then exactly one, of what was stored meanwhile.
    const auto modelo = std::weak_ptr<AgenciaModelo>(pantalla->modelo().shared_from_this());
    cerrar();
    EXPECT_EQ(subidas(), 0u);
    ASSERT_TRUE(esperarHasta([&] { return modelo.expired(); }, std::chrono::seconds(10)));
    const auto registro = servicio.registroDe("agencia");
    ASSERT_EQ(registro.size(), 2u);
    EXPECT_EQ(json::parse(registro[0].at("cuerpo").get<std::string>()).at("datos"), datos({"a"}));
    EXPECT_EQ(json::parse(registro[1].at("cuerpo").get<std::string>()),
              json({{"datos", datos({"a", "b"})}, {"version", 1}}));
    EXPECT_EQ(entrada().base, datos({"a", "b"}));
    EXPECT_EQ(entrada().version, 2);
    EXPECT_FALSE(entrada().pendiente);
}

TEST_F(AgenciaWebTest, AlSalirSoloSubeLoPendienteQueTieneAlgoQueSubir) {
    struct Caso {
        const char* que;
        EntradaAgencia guardada;
        std::size_t subidas;
    };
    const std::vector<Caso> casos = {
        {"not pending", {datos({"a"}), std::nullopt, 0, false}, 0},
        {"pending, empty object, no base", {json::object(), std::nullopt, 0, true}, 0},
        {"pending with data", {datos({"a"}), std::nullopt, 0, true}, 1},
        {"pending, empty object, with a base", {json::object(), datos({"x"}), 0, true}, 1},
    };
    for (const auto& c : casos) {
        std::filesystem::remove(fichero());
        ASSERT_TRUE(FicheroAgencia(fichero()).escribir("ana@ana.example", c.guardada));
        servicio.interruptores({{"agencia", {{"status", 500}}}});  // nothing changes on the account
        const auto antes = subidas();
        mostrar();
        cerrar();
        esperarHasta([&] { return subidas() > antes; }, std::chrono::milliseconds(c.subidas ? 10000 : 500));
        EXPECT_EQ(subidas() - antes, c.subidas) << c.que;
    }
}

TEST_F(AgenciaWebTest, LaSubidaEscribeEnLaCuentaQueLaEmpezo) {
    mostrar();
    ASSERT_EQ(respuesta({{"tipo", "guardar"}, {"datos", datos({"a"})}}, "guardado"), json({{"ok", true}}));
    servicio.interruptores({{"agencia", {{"colgar", 1}}}});
    const auto antes = de("subido").size();
    enviar({{"tipo", "subir"}, {"datos", datos({"a"})}, {"version", 0}});
    // Someone else signs in while the upload runs.
    cuenta->fijarCliente(Cliente{2, "Otro Cliente", "otro@otro.example"});
    ASSERT_TRUE(esperarHasta([&] { return de("subido").size() > antes; }, std::chrono::seconds(10)));
    EXPECT_EQ(entrada().version, 1);
    EXPECT_FALSE(entrada().pendiente);
    const json archivo = json::parse(std::ifstream(fichero()));
    EXPECT_EQ(archivo.at("cuentas").size(), 1u) << archivo;
}

TEST_F(AgenciaWebTest, CorreoLlamarYDisenos) {
    mostrar();
    struct Caso {
        json mensaje;
        std::optional<std::string> abre;
    };
    const std::vector<Caso> casos = {
        {{{"tipo", "llamar"}, {"valor", " +34 600-11 22 33\t"}}, "tel:+34600112233"},
        {{{"tipo", "llamar"}, {"valor", "llámame"}}, std::nullopt},
        {{{"tipo", "llamar"}, {"valor", "٦٠٠"}}, "tel:%D9%A6%D9%A0%D9%A0"},
        {{{"tipo", "correo"}, {"valor", "  ana@ana.example "}}, "mailto:ana%40ana.example"},
        {{{"tipo", "correo"}, {"valor", "   "}}, std::nullopt},
        {{{"tipo", "correo"}}, std::nullopt},
    };
    for (const auto& c : casos) {
        abiertos.clear();
        enviar(c.mensaje);
        // Messages are handled in order: a later answered one means this one ran.
        respuesta({{"tipo", "abrirDiseno"}, {"id", "no-existe"}}, "aviso");
        if (c.abre) EXPECT_EQ(abiertos, std::vector<std::string>{*c.abre}) << c.mensaje;
        else EXPECT_TRUE(abiertos.empty()) << c.mensaje;
    }

    EXPECT_EQ(respuesta({{"tipo", "abrirDiseno"}, {"id", "no-existe"}}, "aviso"),
              json({{"texto", "Ese diseño ya no está en tu cuenta."}}));
    EXPECT_EQ(nav->pantalla(), Pantalla::inicio());
    enviar({{"tipo", "nuevoDiseno"}});
    EXPECT_EQ(nav->pantalla(), Pantalla::editor(std::nullopt, Plantilla::web()));
}

}  // namespace
}  // namespace sorvenia
