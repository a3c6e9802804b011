// An agent run with the app target in the test build, with the real claude
// (pinned in tests/apoyo/agentes) against the scripted stand-in of its model
// API and the real node and npm of tests/apoyo/node_apps: the editor asks for
// the app, the project is made, the design's pages are written into it, the
// agent writes a small server there, and once it finishes the app runs on a
// free port and shows in the preview inside the editor. The conversation is
// kept in the project and the next app run resumes it.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <optional>

#include "agentes_prueba.h"
#include "app_e2e.h"
#include "diseno_prueba.h"
#include "modelo_falso.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;

constexpr const char* idDiseno = "00112233445566dd";

constexpr const char* servidorJs = R"(const http = require('http');
http.createServer((req, res) => {
  if (req.url === '/salud') return res.end('ok');
  res.setHeader('content-type', 'text/html; charset=utf-8');
  res.end('<h1 style="font-family:sans-serif;padding:24px">Reservas de la Barbería Ercilla</h1>');
}).listen(Number(process.env.PORT), process.env.HOST);
)";

class AgentesAppE2E : public prueba::AppE2E {
protected:
    fs::path carpeta() const { return raiz_ / "home/Sites/Sorvenia Code/barberia-ercilla"; }

    void prepararAgente() {
        const std::string c = carpeta().string();
        modelo_.emplace(json{
            {"pasos",
             {{{"texto", "Escribo el servidor."},
               {"herramienta", "Write"},
               {"argumentos", {{"file_path", c + "/server.js"}, {"content", servidorJs}}}},
              {{"herramienta", "Write"},
               {"argumentos",
                {{"file_path", c + "/package.json"},
                 {"content", R"({"name": "barberia", "private": true, "scripts": {"start": "node server.js"}})"}}}},
              {{"texto", "La aplicación está lista."}},
              {{"texto", "Sigo con la aplicación."}}}}});
        darClaudeDePrueba(modelo_->url(), {{"claude", CLAUDE_BIN},
                                           {"node", fs::path(NODE_APPS_BIN) / "node"},
                                           {"npm", fs::path(NODE_APPS_BIN) / "npm"}});
    }

    void escuchar() {
        valor("window.__chat = []; window.__app = [];\n"
              "for (const [f, lista] of [['chat', window.__chat], ['app', window.__app]]) {\n"
              "  const o = window.tarvel[f]; window.tarvel[f] = d => { lista.push(d); return o.call(window.tarvel, d); }; }\n"
              "return true;",
              "editor");
    }
    json lista(const std::string& nombre) {
        const json l = valor("return window." + nombre + " || [];", "editor");
        return l.is_array() ? l : json::array();
    }
    std::size_t terminados() {
        std::size_t n = 0;
        for (const auto& m : lista("__chat")) n += m.is_object() && m.value("tipo", "") == "termina";
        return n;
    }
    std::string urlEnMarcha() {
        for (const auto& m : lista("__app"))
            if (m.is_object() && m.value("vista", "") == "enMarcha") return m.value("url", "");
        return "";
    }
    // The request typed into the app panel and sent with its button.
    void pedirApp(const std::string& texto) {
        valor("document.getElementById('app-peticion').value = " + json(texto).dump() +
                  "; document.getElementById('app-construir').click(); return 1;",
              "editor");
    }

    std::optional<prueba::ModeloFalso> modelo_;
};

TEST_F(AgentesAppE2E, ElAgenteEscribeElServidorYLaAppSeVeEnElEditor) {
    entrarComoCliente();
    guardarDiseno({{"id", idDiseno},
                   {"nombre", "Barbería Ercilla"},
                   {"version", 1},
                   {"creado", "2026-12-01 10:00:00"},
                   {"modificado", "2026-12-01 10:00:00"},
                   {"doc", prueba::disenoGuardado()}});
    arrancarCuentaLocal();
    prepararAgente();
    arrancarAplicacion({"--abrir", idDiseno});
    ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find("«Contacto»") != std::string::npos; }, 40s));
    escuchar();

    // The project first, then its run panel from the app menu.
    valor("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify("
          "{tipo: 'app', accion: 'crear'})})); return 1;",
          "editor");
    ASSERT_TRUE(esperarQue([&] { return fs::exists(carpeta() / ".git"); }, 30s));
    ASSERT_TRUE(esperarQue([&] {
        return valor("document.getElementById('app-boton').click();"
                     " const b = [...document.querySelectorAll('#app-menu .opcion')]"
                     ".find(b => b.textContent.includes('Probar y construir'));"
                     " if (!b) { document.getElementById('app-boton').click(); return false; }"
                     " b.click(); return !document.getElementById('panel-app').hidden;",
                     "editor") == json(true);
    }, 30s));
    pedirApp("Construye la aplicación de reservas.");
    ASSERT_TRUE(esperarQue([&] { return terminados() == 1; }, 180s)) << lista("__chat").dump();
    EXPECT_EQ(lista("__chat").back(), json({{"tipo", "termina"}, {"codigo", 0}, {"parado", false}}));
    // The agent worked in the project, from the design's pages written there.
    EXPECT_TRUE(fs::exists(carpeta() / "server.js"));
    EXPECT_NE(prueba::leer(carpeta() / "diseno/index.html").value_or("").find("<html"), std::string::npos);

    // After the run the app starts by itself and shows in the editor.
    ASSERT_TRUE(esperarQue([&] { return !urlEnMarcha().empty(); }, 120s)) << lista("__app").dump();
    ASSERT_TRUE(esperarQue([&] {
        const json t = valor("return document.body ? document.body.innerText : '';", "vistaApp");
        return t.is_string() && t.get<std::string>().find("Reservas de la Barbería Ercilla") != std::string::npos;
    }, 30s));
    EXPECT_TRUE(capturar("ventana", "app-agente-vista-previa.png", "editor"));

    // The conversation is the project's, and the next app run resumes it.
    std::string sesion;
    for (const auto& m : lista("__chat"))
        if (m.is_object() && m.value("tipo", "") == "sesion") sesion = m.value("sesion", "");
    ASSERT_FALSE(sesion.empty());
    const json estado = json::parse(prueba::leer(carpeta() / ".sorvenia-code.json").value_or("{}"), nullptr, false);
    EXPECT_EQ(estado.value("sesion", ""), sesion);
    const std::size_t antes = modelo_->peticiones().size();
    pedirApp("Añade la página de precios.");
    ASSERT_TRUE(esperarQue([&] { return terminados() == 2; }, 180s)) << lista("__chat").dump();
    const auto peticiones = modelo_->peticiones();
    ASSERT_GT(peticiones.size(), antes);
    EXPECT_NE(peticiones.back().cuerpo.find("Construye la aplicación de reservas."), std::string::npos);
    EXPECT_NE(peticiones.back().cuerpo.find("Añade la página de precios."), std::string::npos);
}

}  // namespace
}  // namespace sorvenia
