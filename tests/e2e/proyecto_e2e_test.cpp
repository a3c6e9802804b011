// Turning a design into an app in the test build, end to end: the editor
// page asks for the project, the application makes its folder under the
// user's Sites with the real git, and the page receives its summary; the
// next time the design opens, the project is found again.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "app_e2e.h"
#include "diseno_prueba.h"
#include "ias/publicar_vps_correr.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;

constexpr const char* idDiseno = "00112233445566bb";

class ProyectoE2E : public prueba::AppE2E {
protected:
    void abrirDiseno() {
        guardarDiseno({{"id", idDiseno},
                       {"nombre", "Barbería Ercilla"},
                       {"version", 1},
                       {"creado", "2026-12-01 10:00:00"},
                       {"modificado", "2026-12-01 10:00:00"},
                       {"doc", prueba::disenoGuardado()}});
        arrancarAplicacion({"--abrir", idDiseno});
        ASSERT_TRUE(
            esperarQue([&] { return herramienta("ver_tarvel").find("m2 «Contacto»") != std::string::npos; }, 40s));
    }
    // Keeps every message the page's app panel receives from now on.
    void escucharApp() {
        valor(
            "if (!window.__app) { const o = window.tarvel.app; window.__app = [];"
            " window.tarvel.app = (d) => { window.__app.push(d); return o(d); }; } return 1;",
            "editor");
    }
    json recibidos() { return valor("return window.__app || [];", "editor"); }
    void enviarApp(const json& mensaje) {
        json m = mensaje;
        m["tipo"] = "app";
        valor("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: " + json(m.dump()).dump() +
                  "})); return 1;",
              "editor");
    }
    // The first message carrying a summary, or null.
    json resumen() {
        for (const auto& m : recibidos())
            if (m.is_object() && m.contains("proyecto")) return m["proyecto"];
        return nullptr;
    }
    // Opens the app panel and presses the option whose text holds `texto`.
    bool pulsarOpcionApp(const std::string& texto) {
        return valor(
                   "document.getElementById('app-boton').click();"
                   " const b = [...document.querySelectorAll('#app-menu .opcion')].find(o => o.textContent.includes(" +
                       json(texto).dump() +
                       "));"
                       " if (!b) return false; b.click(); return true;",
                   "editor") == true;
    }
    fs::path sitios() const { return raiz_ / "home/Sites/Sorvenia Code"; }
};

TEST_F(ProyectoE2E, CrearHaceElProyectoConSuPrimerCommitYSeEncuentraAlVolver) {
    entrarComoCliente();
    arrancarCuentaLocal();
    abrirDiseno();
    escucharApp();
    enviarApp({{"accion", "estado"}});
    enviarApp({{"accion", "crear"}, {"movil", "no"}});  // malformed: ignored
    // The panel offers to turn the design into an app; choosing the web app
    // sends "crear".
    valor("document.getElementById('app-boton').click(); return 1;", "editor");
    EXPECT_TRUE(capturar("ventana", "app-panel-sin-proyecto.png", "editor"));
    valor("document.getElementById('app-boton').click(); return 1;", "editor");
    EXPECT_TRUE(pulsarOpcionApp("Convertir en app web"));
    ASSERT_TRUE(esperarQue([&] { return !resumen().is_null(); }, 30s)) << recibidos().dump();

    const fs::path carpeta = sitios() / "barberia-ercilla";
    const json r = resumen();
    EXPECT_EQ(r["carpeta"], carpeta.string());
    EXPECT_EQ(r["nombre"], "barberia-ercilla");
    EXPECT_EQ(r["fase"], "inicio");
    EXPECT_EQ(r["hayAplicacion"], false);
    EXPECT_EQ(r["vista"], nullptr);
    EXPECT_FALSE(r.contains("movil"));
    // Only the one summary: the "estado" before there was a project and
    // the malformed request got no answer.
    EXPECT_EQ(recibidos().size(), 1u) << recibidos().dump();

    const auto log =
        PublicarVPS::correr("/usr/bin/git", {"-C", carpeta.string(), "log", "--format=%s"}, {}, std::nullopt);
    EXPECT_TRUE(log.first) << log.second;
    EXPECT_EQ(log.second, "Proyecto nuevo de Sorvenia Code\n");
    EXPECT_TRUE(fs::exists(carpeta / "CLAUDE.md"));
    EXPECT_TRUE(fs::exists(carpeta / "AGENTS.md"));
    EXPECT_EQ(preferencias()["appDeDiseno"][idDiseno], "barberia-ercilla");

    // A second "crear" finds the project: nothing new on disk, no answer;
    // "estado" answers with the summary.
    enviarApp({{"accion", "crear"}});
    enviarApp({{"accion", "estado"}});
    ASSERT_TRUE(esperarQue([&] { return recibidos().size() >= 2; }));
    EXPECT_EQ(recibidos()[1]["proyecto"]["carpeta"], carpeta.string());
    EXPECT_FALSE(fs::exists(sitios() / "barberia-ercilla-2"));

    // An agent's plan appears: the page gets a new summary by itself.
    fs::create_directories(carpeta / "docs/superpowers/specs");
    fs::create_directories(carpeta / "docs/superpowers/plans");
    std::ofstream(carpeta / "docs/superpowers/specs/barberia.md") << "# Reservas de la barbería\n";
    std::ofstream(carpeta / "docs/superpowers/plans/plan.md") << "- [x] Portada\n- [ ] Reservas\n";
    // (The two files may arrive in one tick or in two.)
    const auto ultimo = [&] {
        const json r = recibidos();
        return r.empty() ? json() : r.back();
    };
    ASSERT_TRUE(esperarQue([&] { return recibidos().size() >= 3 && ultimo()["proyecto"]["total"] == 2; }, 10s))
        << recibidos().dump();
    EXPECT_LE(recibidos().size(), 4u);
    EXPECT_EQ(ultimo()["proyecto"]["hechas"], 1);
    EXPECT_EQ(ultimo()["proyecto"]["fase"], "construccion");
    EXPECT_EQ(valor("return document.getElementById('app-boton').textContent;", "editor"), "App · 1/2");
    valor("document.getElementById('app-boton').click(); return 1;", "editor");
    EXPECT_NE(
        valor("return document.getElementById('app-menu').innerText;", "editor").dump().find("1 de 2 tareas hechas"),
        std::string::npos);
    EXPECT_TRUE(capturar("ventana", "app-proyecto-creado.png", "editor"));

    // Opened again, the design finds its project ("estado" answers only
    // for a design that has one).
    app_->senal(SIGTERM);
    ASSERT_TRUE(app_->esperar(15s).has_value());
    arrancarAplicacion({"--abrir", idDiseno});
    ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find("m2 «Contacto»") != std::string::npos; }, 40s));
    escucharApp();
    enviarApp({{"accion", "estado"}});
    ASSERT_TRUE(esperarQue([&] { return !resumen().is_null(); })) << recibidos().dump();
    EXPECT_EQ(resumen()["carpeta"], carpeta.string());
    EXPECT_EQ(resumen()["fase"], "construccion");
    EXPECT_EQ(resumen()["plan"], "- [x] Portada\n- [ ] Reservas\n");
}

}  // namespace
}  // namespace sorvenia
