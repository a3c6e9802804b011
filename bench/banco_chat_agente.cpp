// The time from an agent writing an event line to the chat message
// reaching the editor page: median and p99 over 1,000 events, printed with
// the ratio to a peer, the same lines read straight from a pipe by this
// process (the floor any relay stands on).
//
// The agent is agente_eventos (claude's stream JSON, one text piece per
// line, each carrying the wall-clock time it was written); it runs through
// the application's line runner and claude's line reader, and the events go
// through the open editor to the real editor page in a WebKitGTK view, where
// the page's chat function notes when each arrived. Run under a display
// (bench/correr.sh uses scripts/entorno-pruebas.sh).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cuenta_prueba.h"
#include "diseno_prueba.h"
#include "esperar_bucle.h"
#include "navegacion/navegacion.h"
#include "centro/agente_lineas.h"
#include "centro/trabajos.h"
#include "editor/gui/editor_abierto.h"
#include "ias/ejecutar_por_lineas.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int eventos = 1000;
constexpr int intervaloMicro = 2000;

struct Cifras {
    double mediana = 0, p99 = 0;  // milliseconds
};

Cifras cifras(std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    const auto en = [&](double q) {
        return micros[static_cast<std::size_t>(std::ceil(q * static_cast<double>(micros.size()))) - 1] / 1000.0;
    };
    return {en(0.5), en(0.99)};
}

double ahoraMicro() {
    return static_cast<double>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

// The peer: the same agent's lines read from a pipe as they come.
std::vector<double> porTuberia() {
    const std::string orden = std::string(AGENTE_EVENTOS) + " " + std::to_string(eventos) + " " +
                              std::to_string(intervaloMicro);
    FILE* tuberia = popen(orden.c_str(), "r");
    std::vector<double> r;
    if (!tuberia) return r;
    char linea[4096];
    while (std::fgets(linea, sizeof linea, tuberia)) {
        const double llegada = ahoraMicro();
        const std::string texto(linea);
        const auto t = texto.find("\"text\":\"t");
        if (t != std::string::npos) r.push_back(llegada - std::stod(texto.substr(t + 9)));
    }
    pclose(tuberia);
    return r;
}

// The agent through the application's line runner and claude's reader.
Tarea<Resultado<std::int32_t>> correr(fs::path trabajo, std::function<void(std::shared_ptr<Proceso>)> proceso,
                                      EventosAgente avisar) {
    const auto fin = co_await IAsLocales::ejecutarPorLineas(
        AGENTE_EVENTOS, {std::to_string(eventos), std::to_string(intervaloMicro)}, "", trabajo, 120.0,
        std::move(proceso), {}, [avisar](std::string l) { Agente::leerLineaClaude(l, avisar); });
    if (!fin) co_return fin.fallo();
    co_return fin->estado;
}

class BancoChatAgente : public prueba::CuentaPrueba {
protected:
    static void SetUpTestSuite() {
        static prueba::CarpetaTemporal raiz;
        const fs::path r = raiz.ruta();
        for (const char* c : {"casa", "config", "datos", "path-login", "npm"}) fs::create_directories(r / c);
        fs::create_symlink(fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/claude", r / "path-login/claude");
        ::setenv("HOME", (r / "casa").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (r / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (r / "datos").c_str(), 1);
        ::setenv("SHELL", (fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/shell-login").c_str(), 1);
        ::setenv("SORVENIA_PATH_LOGIN", ((r / "path-login").string() + ":/usr/bin:/bin").c_str(), 1);
        ::setenv("npm_config_prefix", (r / "npm").c_str(), 1);
        ASSERT_TRUE(iniciarGtk());
    }
};

TEST_F(BancoChatAgente, DeLaLineaAlChat) {
    anaConectada();
    auto cuenta = crear();
    ASSERT_TRUE(cuenta->cliente());
    const auto r = servicio.pedirComoAna("POST", "accion=guardar",
                                         json({{"nombre", "Banco"}, {"doc", prueba::disenoGuardado()}}).dump());
    ASSERT_EQ(r.status, 200) << r.cuerpo;
    const std::string id = json::parse(r.cuerpo).at("diseno").at("id").get<std::string>();
    cuenta->usarCarpetaCopias(carpeta.ruta() / "copias");

    const fs::path trabajo = carpeta.ruta() / "trabajo";
    fs::create_directories(trabajo);
    auto editor = EditorAbierto::crear([trabajo](Agente::PeticionAgente, auto proceso, EventosAgente avisar) {
        return correr(trabajo, std::move(proceso), std::move(avisar));
    });
    editor->webEditor();
    auto nav = std::make_shared<Navegacion>();
    editor->preparar(cuenta, nav, id, std::nullopt);
    ASSERT_TRUE(esperarHasta([&] { return editor->listo() || editor->errorCarga(); }, 30s));
    ASSERT_FALSE(editor->errorCarga());
    const auto pagina = [&](const std::string& cuerpo, json args = json::object()) {
        const auto respuesta = esperarTarea(editor->web()->llamar(cuerpo, std::move(args)));
        return respuesta && respuesta->ok() ? **respuesta : json();
    };
    // Each text's arrival at the page's chat function, before the chat draws it.
    pagina("window.__lat = []; window.__fin = false; const o = window.tarvel.chat;\n"
           "window.tarvel.chat = d => {\n"
           "  if (d && d.tipo === 'texto' && d.texto.startsWith('t'))\n"
           "    window.__lat.push((performance.timeOrigin + performance.now()) * 1000 - Number(d.texto.slice(1)));\n"
           "  if (d && d.tipo === 'termina') window.__fin = true;\n"
           "  return o.call(window.tarvel, d); };\n"
           "return true;");
    pagina("window.tarvel.pedir({texto: 'banco', ia: 'claude'}); return 1;");
    ASSERT_TRUE(esperarHasta([&] { return pagina("return window.__fin;") == json(true); }, 120s));
    const json lat = pagina("return window.__lat;");
    ASSERT_TRUE(lat.is_array());
    ASSERT_EQ(lat.size(), static_cast<std::size_t>(eventos)) << "every event reaches the page";
    const Cifras chat = cifras(lat.get<std::vector<double>>());
    const auto crudo = porTuberia();
    ASSERT_EQ(crudo.size(), static_cast<std::size_t>(eventos));
    const Cifras tuberia = cifras(crudo);
    std::printf("Línea del agente → mensaje en la página (%d eventos, uno cada %d µs)\n", eventos, intervaloMicro);
    std::printf("  chat:     mediana %.3f ms, p99 %.3f ms\n", chat.mediana, chat.p99);
    std::printf("  tubería:  mediana %.3f ms, p99 %.3f ms\n", tuberia.mediana, tuberia.p99);
    std::printf("  razón chat/tubería: mediana %.1f×, p99 %.1f×\n", chat.mediana / tuberia.mediana,
                chat.p99 / tuberia.p99);
    editor->cerrar();
    esperarHasta([&] { return !editor->agenteEnMarcha(); });
    Trabajos::compartido().visto(editor->clave());
}

}  // namespace
}  // namespace sorvenia
