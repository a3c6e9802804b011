// The editor canvas at rest and under edits, with 1 and with 50 mesas.
//
// - Idle CPU: the CPU time of this process and every process it started
//   (WebKit's web and network processes) over a few seconds while nobody
//   does anything, as a percentage of one core. The peer is the same 50
//   mesas' HTML and CSS as one plain page in another view of this process,
//   measured the same way after the editor's view is gone: what the engine
//   costs to show that content, without the editor.
// - Per-edit cost: the time the page takes for one `texto` tool call on one
//   element (the change, the redraw, the undo step), median over repeated
//   edits, on a design of 1 mesa and on one of 50; the ratio is what the 49
//   untouched mesas add to an edit.
// - Main-loop lateness: the editor (1 mesa) in a shown window, a 10 ms
//   timer on the main loop, and how late each of its turns comes (median and
//   95th percentile), with no agent working and with an outside agent's
//   "trabajando" indicator showing; the peer is the same window without it.
// Run under a display (bench/correr.sh uses scripts/entorno-pruebas.sh).

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtk/gtk.h>
#include <nlohmann/json.hpp>

#include "diseno_prueba.h"
#include "pagina_prueba.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const fs::path carpetaEditor = fs::path(SORVENIA_FUENTE) / "resources/editor";
constexpr int ediciones = 40;
constexpr int segundosQuieto = 5;

// Clock ticks of CPU (user + system) used so far by this process and its
// descendants still alive.
long long ticksDelArbol() {
    std::map<int, std::pair<int, long long>> procesos;  // pid → (parent, ticks)
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string nombre = e.path().filename();
        if (nombre.empty() || !std::all_of(nombre.begin(), nombre.end(), ::isdigit)) continue;
        std::ifstream f(e.path() / "stat");
        std::string linea;
        if (!std::getline(f, linea)) continue;
        const auto cierre = linea.rfind(')');
        if (cierre == std::string::npos) continue;
        std::istringstream campos(linea.substr(cierre + 2));
        std::vector<std::string> v;
        for (std::string c; campos >> c;) v.push_back(c);
        if (v.size() < 13) continue;
        procesos[std::stoi(nombre)] = {std::stoi(v[1]), std::stoll(v[11]) + std::stoll(v[12])};
    }
    long long total = 0;
    for (const auto& [pid, datos] : procesos) {
        for (int p = pid; p > 1;) {
            if (p == ::getpid()) {
                total += datos.second;
                break;
            }
            const auto it = procesos.find(p);
            if (it == procesos.end()) break;
            p = it->second.first;
        }
    }
    return total;
}

// Percentage of one core used by the process tree while the main loop runs
// for `segundos`.
double cpuEnReposo(int segundos) {
    const long long antes = ticksDelArbol();
    const auto t0 = std::chrono::steady_clock::now();
    prueba::pausa(segundos * 1000);
    const double pasado = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return 100.0 * static_cast<double>(ticksDelArbol() - antes) / static_cast<double>(::sysconf(_SC_CLK_TCK)) / pasado;
}

json disenoDe(int n) {
    json doc = prueba::disenoGuardado();
    const json modelo = doc["paginas"][0]["mesas"][0];
    json mesas = json::array();
    for (int i = 1; i <= n; ++i) {
        json m = modelo;
        const std::string id = "m" + std::to_string(i);
        m["id"] = id;
        m["nombre"] = "Mesa " + std::to_string(i);
        m["x"] = (i - 1) % 10 * 1600;
        m["y"] = (i - 1) / 10 * 1400;
        m["html"] = std::regex_replace(m["html"].get<std::string>(), std::regex("data-lid=\""), "data-lid=\"" + id + "-");
        mesas.push_back(m);
    }
    doc["paginas"][0]["mesas"] = mesas;
    doc["paginas"][0]["portada"] = "m1";
    return doc;
}

json carga(const json& doc) {
    return {{"doc", doc},          {"nombre", "Banco"},          {"ias", json::array()},
            {"chats", json::array()}, {"fuentes", json::array()}, {"tarjetaAgentes", false},
            {"integraciones", json::array()}, {"agentesConectados", json::array()}};
}

struct Medida {
    double cpu = 0;         // % of one core at rest
    double edicionMs = 0;   // median
};

Medida medirEditor(int mesas) {
    WebVista vista("tarvel", {});
    prueba::Buzon buzon(vista);
    vista.cargarPagina(carpetaEditor / "tarvel" / "index.html", carpetaEditor);
    if (!buzon.esperar("listo")) throw std::runtime_error("la página no dice «listo»");
    prueba::llamarEnPagina(vista, "window.tarvel.cargar(dato); return true;", {{"dato", carga(disenoDe(mesas))}});
    prueba::pausa(2000);
    Medida m;
    m.cpu = cpuEnReposo(segundosQuieto);
    const json tiempos = prueba::llamarEnPagina(
        vista,
        "const t = [];\n"
        "for (let i = 0; i < n; i++) {\n"
        "  const t0 = performance.now();\n"
        "  await window.tarvel.herramienta('texto', {id: 'm1-titulo', texto: 'Edición ' + i});\n"
        "  t.push(performance.now() - t0);\n"
        "}\n"
        "return t;",
        {{"n", ediciones}}, std::chrono::seconds(120));
    std::vector<double> v = tiempos.get<std::vector<double>>();
    std::sort(v.begin(), v.end());
    m.edicionMs = v[v.size() / 2];
    return m;
}

// The peer: the same mesas as one plain page.
double cpuPaginaSimple(int mesas) {
    const json modelo = prueba::disenoGuardado()["paginas"][0]["mesas"][0];
    std::string html = "<!doctype html><html><head><meta charset=utf-8><style>" + modelo["css"].get<std::string>() +
                       "body{margin:0;font-family:sans-serif}.mesa{width:1440px}</style></head><body>";
    for (int i = 0; i < mesas; ++i) html += "<div class=mesa>" + modelo["html"].get<std::string>() + "</div>";
    html += "</body></html>";
    WebVista vista("simple", {});
    vista.cargarHTML(html, "about:blank");
    prueba::pausa(2000);
    return cpuEnReposo(segundosQuieto);
}

// How late a 10 ms timer's turns come on the main loop over `ms`
// milliseconds, sorted.
std::vector<double> retrasosDelBucle(int ms) {
    struct Estado {
        std::vector<double> retrasos;
        std::chrono::steady_clock::time_point anterior = std::chrono::steady_clock::now();
    } estado;
    constexpr int periodo = 10;
    const guint fuente = g_timeout_add(
        periodo,
        [](gpointer datos) -> gboolean {
            auto& e = *static_cast<Estado*>(datos);
            const auto ahora = std::chrono::steady_clock::now();
            const double pasado = std::chrono::duration<double, std::milli>(ahora - e.anterior).count();
            e.retrasos.push_back(std::max(0.0, pasado - periodo));
            e.anterior = ahora;
            return G_SOURCE_CONTINUE;
        },
        &estado);
    prueba::pausa(ms);
    g_source_remove(fuente);
    std::sort(estado.retrasos.begin(), estado.retrasos.end());
    return estado.retrasos;
}

struct Retraso {
    double medianaMs = 0;
    double p95Ms = 0;
};

Retraso resumir(const std::vector<double>& v) {
    if (v.empty()) return {};
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)]};
}

// The editor in a shown window, without and then with an outside agent's
// indicator.
std::pair<Retraso, Retraso> retrasoConIndicador() {
    WebVista vista("tarvel", {});
    prueba::Buzon buzon(vista);
    GtkWidget* ventana = gtk_window_new();
    gtk_window_set_default_size(GTK_WINDOW(ventana), 1280, 800);
    gtk_window_set_child(GTK_WINDOW(ventana), vista.widget());
    gtk_window_present(GTK_WINDOW(ventana));
    vista.cargarPagina(carpetaEditor / "tarvel" / "index.html", carpetaEditor);
    if (!buzon.esperar("listo")) throw std::runtime_error("la página no dice «listo»");
    prueba::llamarEnPagina(vista, "window.tarvel.cargar(dato); return true;", {{"dato", carga(disenoDe(1))}});
    prueba::pausa(2000);
    const Retraso sin = resumir(retrasosDelBucle(segundosQuieto * 1000));
    const nlohmann::json visible = prueba::llamarEnPagina(
        vista,
        "window.tarvel.agenteExterno({nombre: 'Cursor', herramienta: 'editar', terminar: false});\n"
        "return !document.getElementById('agente-externo').hidden;");
    if (visible != true) throw std::runtime_error("el indicador del agente no se muestra");
    prueba::pausa(500);
    const Retraso con = resumir(retrasosDelBucle(segundosQuieto * 1000));
    gtk_window_set_child(GTK_WINDOW(ventana), nullptr);
    gtk_window_destroy(GTK_WINDOW(ventana));
    return {sin, con};
}

}  // namespace
}  // namespace sorvenia

int main() {
    using namespace sorvenia;
    if (!iniciarGtk()) {
        std::fprintf(stderr, "banco_lienzo: hace falta una pantalla\n");
        return 1;
    }
    const Medida una = medirEditor(1);
    const Medida cincuenta = medirEditor(50);
    const double simple = cpuPaginaSimple(50);
    const auto [sinAgente, conAgente] = retrasoConIndicador();
    std::printf("El lienzo del editor con 1 y con 50 mesas (auto alto), %d s en reposo y %d ediciones de un texto.\n\n",
                segundosQuieto, ediciones);
    std::printf("%-36s %14s %16s\n", "", "CPU en reposo", "edición (mediana)");
    std::printf("%-36s %13.1f%% %14.2f ms\n", "editor, 1 mesa", una.cpu, una.edicionMs);
    std::printf("%-36s %13.1f%% %14.2f ms\n", "editor, 50 mesas", cincuenta.cpu, cincuenta.edicionMs);
    std::printf("%-36s %13.1f%% %16s\n", "página simple con las 50 mesas", simple, "-");
    std::printf("\nedición 50 mesas / 1 mesa: %.2fx; CPU en reposo 50 mesas - página simple: %+.1f puntos de un núcleo\n",
                cincuenta.edicionMs / una.edicionMs, cincuenta.cpu - simple);
    std::printf("\nRetraso del bucle principal (temporizador de 10 ms, editor de 1 mesa en una ventana, %d s):\n",
                segundosQuieto);
    std::printf("%-36s %14s %16s\n", "", "mediana", "percentil 95");
    std::printf("%-36s %11.2f ms %13.2f ms\n", "sin agente trabajando", sinAgente.medianaMs, sinAgente.p95Ms);
    std::printf("%-36s %11.2f ms %13.2f ms\n", "con «trabajando» de un agente", conAgente.medianaMs, conAgente.p95Ms);
    std::printf("con indicador / sin indicador (percentil 95): %.2fx\n",
                conAgente.p95Ms / std::max(sinAgente.p95Ms, 0.01));
    return 0;
}
