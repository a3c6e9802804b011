// The editor canvas at rest and under edits, the application's start, and
// memory, each beside a peer run in this same process tree.
//
// The design: 50 mesas of 200 elements each (10,000 elements), and the same
// mesa alone for the one-mesa figures.
//
// - Start: from starting the application (a fresh home: the sign-in page)
//   to its first painted page, and its idle CPU and memory (the program and
//   its WebKit processes) once shown; the peer is WebKitGTK's MiniBrowser
//   opening the same page file. The screen is sampled from outside
//   (primera_pintura.h), the same way for both.
// - The design shown: the editor with the 50 mesas in a window, the time
//   until its first painting ends (software GL here: it takes seconds),
//   then idle CPU and memory of this process and its web processes; the
//   peer is MiniBrowser showing the same 50 documents (one sandboxed frame
//   per mesa, same sizes, same place and zoom) from a plain file.
//   The same editor once more with WebKit's compositing turned off for its
//   view, and for both the time between animation frames while the canvas
//   pans and zooms (what the user feels when moving around the design).
// - Idle CPU with the view not shown: the CPU time of this process and
//   every process it started over a few seconds while nobody does
//   anything, as a percentage of one core. The peer is the same 50 mesas'
//   HTML and CSS as one plain page in another view of this process.
// - Per-edit cost: the time the page takes for one `texto` tool call on one
//   element (the change, the redraw, the undo step), median over repeated
//   edits, on a design of 1 mesa and on one of 50; the ratio is what the 49
//   untouched mesas add to an edit. Then the web processes' memory before
//   and after as many edits as the undo history keeps: a history of whole
//   documents would grow by the design's size at every edit.
// - Main-loop lateness: the editor (1 mesa) in a shown window, a 10 ms
//   timer on the main loop, and how late each of its turns comes (median and
//   95th percentile), with no agent working and with an outside agent's
//   "trabajando" indicator showing; the peer is the same window without it.
// Run under a display (bench/correr.sh uses scripts/entorno-pruebas.sh);
// the first argument, when given, is the MiniBrowser program.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtk/gtk.h>
#include <nlohmann/json.hpp>

#include "diseno_prueba.h"
#include "pagina_prueba.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"
#include "procesos_banco.h"

namespace sorvenia {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const fs::path carpetaEditor = fs::path(SORVENIA_FUENTE) / "resources/editor";
constexpr int ediciones = 40;            // samples, each the mean of a batch
constexpr int porMuestra = 10;           // the page's clock is coarsened to whole milliseconds
constexpr int edicionesHistorial = 200;  // the undo history's length
constexpr int segundosQuieto = 5;
constexpr int elementosPorMesa = 200;
constexpr int anchoVentana = 1280;
constexpr int altoVentana = 800;
constexpr int limiteAsentarse = 120;  // seconds

// Lets the main loop run for `ms` milliseconds, waking only at the end (a
// wait that polls would show in the idle figures).
void reposar(int ms) {
    bool fin = false;
    g_timeout_add(
        static_cast<guint>(ms),
        [](gpointer p) -> gboolean {
            *static_cast<bool*>(p) = true;
            return G_SOURCE_REMOVE;
        },
        &fin);
    while (!fin) g_main_context_iteration(nullptr, TRUE);
}

// Percentage of one core used by this process and its web processes.
banco::Cpu cpuPropia(int segundos) {
    return banco::cpuEnReposo([] { return banco::arbol(::getpid()); }, reposar, segundos);
}

// The stored design's first mesa, grown to `elementosPorMesa` elements by a
// grid of cards, with ids of its own.
json mesaGrande() {
    json m = prueba::disenoGuardado()["paginas"][0]["mesas"][0];
    const std::string html = m["html"];
    const std::regex etiqueta("<[a-z]");
    const auto base = std::distance(std::sregex_iterator(html.begin(), html.end(), etiqueta), std::sregex_iterator());
    std::string lista = "<section class=\"lista\" data-lid=\"lista\">";
    int n = static_cast<int>(base) + 1;
    for (int i = 1; n + 3 <= elementosPorMesa; ++i, n += 3) {
        const std::string k = std::to_string(i);
        lista += "<div class=\"item\" data-lid=\"i" + k + "\"><h3 data-lid=\"i" + k + "t\">Servicio " + k +
                 "</h3><p data-lid=\"i" + k + "p\">Descripción breve del servicio número " + k + ".</p></div>";
    }
    for (; n < elementosPorMesa; ++n) lista += "<span data-lid=\"s" + std::to_string(n) + "\">·</span>";
    m["html"] = html + lista + "</section>";
    m["css"] = m["css"].get<std::string>() +
               ".lista{padding:48px 96px;display:grid;grid-template-columns:repeat(4,1fr);gap:16px}"
               ".item{padding:16px;border-radius:12px;background:#f1f1f4}.item h3{font-size:18px}.item p{color:#555}";
    return m;
}

json disenoDe(int n) {
    json doc = prueba::disenoGuardado();
    const json modelo = mesaGrande();
    json mesas = json::array();
    for (int i = 1; i <= n; ++i) {
        json m = modelo;
        const std::string id = "m" + std::to_string(i);
        m["id"] = id;
        m["nombre"] = "Mesa " + std::to_string(i);
        m["x"] = (i - 1) % 10 * 1600;
        m["y"] = (i - 1) / 10 * 3000;  // taller than a mesa of 200 elements: none overlaps
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

// The editor page with a design of `mesas` mesas, loaded and settled.
void abrirEditor(WebVista& vista, int mesas) {
    prueba::Buzon buzon(vista);
    vista.cargarPagina(carpetaEditor / "tarvel" / "index.html", carpetaEditor);
    if (!buzon.esperar("listo")) throw std::runtime_error("la página no dice «listo»");
    prueba::llamarEnPagina(vista, "window.tarvel.cargar(dato); return true;", {{"dato", carga(disenoDe(mesas))}});
    vista.alMensaje({});  // the mailbox ends here
    reposar(2000);
}

struct Medida {
    banco::Cpu cpu;            // % of one core at rest
    double edicionMs = 0;      // median
    double mediaMs = 0;        // all the edits' time over their number
    double crecimientoMb = 0;  // PSS of the tree after the history's length of edits, minus before
};

// Runs `n` batches of `lote` one-text edits in the page; the mean time of
// an edit in each batch, sorted.
std::vector<double> editar(WebVista& vista, int n, int lote, int desde) {
    const json tiempos = prueba::llamarEnPagina(
        vista,
        "const t = [];\n"
        "for (let i = 0; i < n; i++) {\n"
        "  const t0 = performance.now();\n"
        "  for (let k = 0; k < lote; k++)\n"
        "    await window.tarvel.herramienta('texto', {id: 'm1-titulo', texto: 'Edición ' + (desde + i * lote + k)});\n"
        "  t.push((performance.now() - t0) / lote);\n"
        "}\n"
        "return t;",
        {{"n", n}, {"lote", lote}, {"desde", desde}}, std::chrono::seconds(300));
    std::vector<double> v = tiempos.get<std::vector<double>>();
    std::sort(v.begin(), v.end());
    return v;
}

Medida medirEditor(int mesas) {
    WebVista vista("tarvel", {});
    abrirEditor(vista, mesas);
    Medida m;
    m.cpu = cpuPropia(segundosQuieto);
    const std::vector<double> v = editar(vista, ediciones, porMuestra, 0);
    m.edicionMs = v[v.size() / 2];
    for (double t : v) m.mediaMs += t / static_cast<double>(v.size());
    reposar(1000);
    const double antes = banco::memoria(::getpid()).pss;
    editar(vista, edicionesHistorial, 1, ediciones * porMuestra);
    reposar(1000);
    m.crecimientoMb = banco::memoria(::getpid()).pss - antes;
    return m;
}

// The peer of the hidden figures: the same mesas as one plain page.
double cpuPaginaSimple(int mesas) {
    const json modelo = mesaGrande();
    std::string html = "<!doctype html><html><head><meta charset=utf-8><style>" + modelo["css"].get<std::string>() +
                       "body{margin:0;font-family:sans-serif}.mesa{width:1440px}</style></head><body>";
    for (int i = 0; i < mesas; ++i) html += "<div class=mesa>" + modelo["html"].get<std::string>() + "</div>";
    html += "</body></html>";
    WebVista vista("simple", {});
    vista.cargarHTML(html, "about:blank");
    reposar(2000);
    return cpuPropia(segundosQuieto).total;
}

std::string escaparAtributo(const std::string& texto) {
    std::string r;
    for (char c : texto) {
        if (c == '&') r += "&amp;";
        else if (c == '"') r += "&quot;";
        else r += c;
    }
    return r;
}

// A plain file showing what the editor shows: every mesa's document in a
// sandboxed frame of the same size, at the same place and zoom. `marco` is
// the world's transform and each mesa's box as the editor page has them.
fs::path paginaPar(const json& doc, const json& marco, const fs::path& carpeta) {
    const std::string base =
        "@font-face{font-family:Inter;src:url(" + (carpetaEditor / "fuentes/inter.woff2").string() +
        ") format('woff2');font-weight:100 900}*{box-sizing:border-box}html,body{margin:0;height:auto}"
        "body{font-family:Inter,system-ui,sans-serif;-webkit-font-smoothing:antialiased}"
        "h1,h2,h3,h4,h5,h6,p,ul,ol{margin:0}img{display:block;max-width:100%}html{overflow:hidden}"
        ":root{--marca:#e4572e}";
    std::string html =
        "<!doctype html><html><head><meta charset=utf-8><style>body{margin:0;background:#e9e9ee;"
        "overflow:hidden}.mundo{position:absolute;left:0;top:0;transform-origin:0 0}"
        "iframe{position:absolute;border:0;background:#fff}</style></head><body><div class=mundo "
        "style=\"transform:" +
        marco["transform"].get<std::string>() + "\">";
    const json& mesas = doc["paginas"][0]["mesas"];
    for (std::size_t i = 0; i < mesas.size() && i < marco["cajas"].size(); ++i) {
        const json& caja = marco["cajas"][i];
        const std::string documento = "<!doctype html><html><head><meta charset=utf-8><style>" + base +
                                      mesas[i]["css"].get<std::string>() + "</style></head><body>" +
                                      mesas[i]["html"].get<std::string>() + "</body></html>";
        html += "<iframe sandbox=\"allow-same-origin\" style=\"left:" + caja["x"].dump() +
                "px;top:" + caja["y"].dump() + "px;width:" + caja["w"].dump() + "px;height:" + caja["h"].dump() +
                "px\" srcdoc=\"" + escaparAtributo(documento) + "\"></iframe>";
    }
    html += "</div></body></html>";
    const fs::path archivo = carpeta / "par.html";
    std::ofstream(archivo) << html;
    return archivo;
}

struct Mostrada {
    double asentadaS = 0;  // from the design's load to the end of its painting
    banco::Cpu cpu;
    banco::Memoria memoria;
    // Between animation frames while the canvas pans, then zooms (ms).
    double panMediana = 0, panP95 = 0, zoomMediana = 0, zoomP95 = 0;
};

// Moves the canvas one step per animation frame, `pasos` times, panning or
// zooming around its place; the sorted times between frames.
std::vector<double> moverLienzo(WebVista& vista, bool zoom, int pasos) {
    const json t = prueba::llamarEnPagina(
        vista,
        "const mundo = document.getElementById('mundo');\n"
        "const base = mundo.style.transform;\n"
        "const m = /translate\\(([-\\d.e]+)px, ([-\\d.e]+)px\\) scale\\(([-\\d.e]+)\\)/.exec(base);\n"
        "const [x, y, k] = [Number(m[1]), Number(m[2]), Number(m[3])];\n"
        "const t = [];\n"
        "let antes = performance.now();\n"
        "for (let i = 0; i < pasos; i++) {\n"
        "  const d = (i % 10) - 5;\n"
        "  mundo.style.transform = zoom ? `translate(${x}px, ${y}px) scale(${k * (1 + d / 50)})`\n"
        "                              : `translate(${x + 8 * d}px, ${y + 4 * d}px) scale(${k})`;\n"
        "  await new Promise((r) => requestAnimationFrame(r));\n"
        "  const ahora = performance.now();\n"
        "  t.push(ahora - antes);\n"
        "  antes = ahora;\n"
        "}\n"
        "mundo.style.transform = base;\n"
        "return t;",
        {{"zoom", zoom}, {"pasos", pasos}}, std::chrono::seconds(300));
    std::vector<double> v = t.get<std::vector<double>>();
    std::sort(v.begin(), v.end());
    return v;
}

// The editor with the 50 mesas in a shown window; also gives the peer's file.
Mostrada disenoMostrado(int mesas, const fs::path& carpeta, fs::path& par, bool composicion = true) {
    WebVista vista("tarvel", {});
    if (!composicion)
        webkit_settings_set_hardware_acceleration_policy(webkit_web_view_get_settings(WEBKIT_WEB_VIEW(vista.widget())),
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    GtkWidget* ventana = gtk_window_new();
    gtk_window_set_default_size(GTK_WINDOW(ventana), anchoVentana, altoVentana);
    gtk_window_set_child(GTK_WINDOW(ventana), vista.widget());
    gtk_window_present(GTK_WINDOW(ventana));
    const auto t0 = std::chrono::steady_clock::now();
    abrirEditor(vista, mesas);
    Mostrada m;
    if (banco::asentarse([] { return banco::arbol(::getpid()); }, reposar, limiteAsentarse) >= 0)
        m.asentadaS = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    else m.asentadaS = -1;
    m.cpu = cpuPropia(segundosQuieto);
    m.memoria = banco::memoria(::getpid());
    constexpr int pasos = 60;
    const std::vector<double> pan = moverLienzo(vista, false, pasos);
    const std::vector<double> zoom = moverLienzo(vista, true, pasos);
    m.panMediana = pan[pasos / 2];
    m.panP95 = pan[pasos * 95 / 100];
    m.zoomMediana = zoom[pasos / 2];
    m.zoomP95 = zoom[pasos * 95 / 100];
    const json marco = prueba::llamarEnPagina(
        vista,
        "const mundo = document.getElementById('mundo');\n"
        "const lienzo = document.getElementById('lienzo').getBoundingClientRect();\n"
        "const m = /translate\\(([-\\d.e]+)px, ([-\\d.e]+)px\\) scale\\(([-\\d.e]+)\\)/.exec(mundo.style.transform);\n"
        "const t = `translate(${lienzo.left + Number(m[1])}px, ${lienzo.top + Number(m[2])}px) scale(${m[3]})`;\n"
        "return {transform: t, cajas: [...document.querySelectorAll('.capa-pagina .mesa')].map((e) => ({\n"
        "  x: parseFloat(e.style.left), y: parseFloat(e.style.top),\n"
        "  w: parseFloat(e.querySelector('iframe').style.width), h: parseFloat(e.querySelector('iframe').style.height)}))};");
    par = paginaPar(disenoDe(mesas), marco, carpeta);
    gtk_window_set_child(GTK_WINDOW(ventana), nullptr);
    gtk_window_destroy(GTK_WINDOW(ventana));
    return m;
}

// MiniBrowser showing `pagina`, settled, measured the same way.
Mostrada parMostrado(const std::string& miniBrowser, const fs::path& pagina, const fs::path& carpeta) {
    const std::string casa = (carpeta / "casa-par").string();
    fs::create_directories(casa);
    banco::Hijo par({miniBrowser, "file://" + pagina.string()},
                    {"HOME=" + casa, "XDG_CONFIG_HOME=" + casa + "/config", "XDG_DATA_HOME=" + casa + "/data",
                     "XDG_CACHE_HOME=" + casa + "/cache"});
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = par.pid();
    Mostrada m;
    reposar(2000);  // the program's own start
    if (banco::asentarse([pid] { return banco::arbol(pid); }, reposar, limiteAsentarse) >= 0)
        m.asentadaS = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    else m.asentadaS = -1;
    m.cpu = banco::cpuEnReposo([pid] { return banco::arbol(pid); }, reposar, segundosQuieto);
    m.memoria = banco::memoria(pid);
    return m;
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
    reposar(ms);
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
    GtkWidget* ventana = gtk_window_new();
    gtk_window_set_default_size(GTK_WINDOW(ventana), anchoVentana, altoVentana);
    gtk_window_set_child(GTK_WINDOW(ventana), vista.widget());
    gtk_window_present(GTK_WINDOW(ventana));
    abrirEditor(vista, 1);
    const Retraso sin = resumir(retrasosDelBucle(segundosQuieto * 1000));
    const nlohmann::json visible = prueba::llamarEnPagina(
        vista,
        "window.tarvel.agenteExterno({nombre: 'Cursor', herramienta: 'editar', terminar: false});\n"
        "return !document.getElementById('agente-externo').hidden;");
    if (visible != true) throw std::runtime_error("el indicador del agente no se muestra");
    reposar(500);
    const Retraso con = resumir(retrasosDelBucle(segundosQuieto * 1000));
    gtk_window_set_child(GTK_WINDOW(ventana), nullptr);
    gtk_window_destroy(GTK_WINDOW(ventana));
    return {sin, con};
}

void imprimirSinComposicion(const Mostrada& editor, const Mostrada& sin, const Mostrada& par) {
    std::printf("\nEl mismo editor sin la composición de WebKit (todo se pinta por software en su vista), y el "
                "tiempo entre fotogramas mientras el lienzo se desplaza y se acerca (60 pasos, uno por fotograma):\n");
    std::printf("%-36s %12s %12s %14s %14s %14s %14s\n", "", "PSS", "RSS", "desplazar med.", "desplazar p95",
                "acercar med.", "acercar p95");
    const auto fila = [](const char* nombre, const Mostrada& m) {
        std::printf("%-36s %9.1f MB %9.1f MB %11.1f ms %11.1f ms %11.1f ms %11.1f ms\n", nombre, m.memoria.pss,
                    m.memoria.rss, m.panMediana, m.panP95, m.zoomMediana, m.zoomP95);
    };
    fila("editor, con composición", editor);
    fila("editor, sin composición", sin);
    std::printf("sin composición / MiniBrowser: memoria (PSS) %.2fx; sin / con composición: fotogramas al "
                "desplazar (p95) %.2fx, al acercar (p95) %.2fx\n\n",
                sin.memoria.pss / std::max(par.memoria.pss, 1.0), sin.panP95 / std::max(editor.panP95, 0.1),
                sin.zoomP95 / std::max(editor.zoomP95, 0.1));
}

void imprimirMostrado(const Mostrada& editor, const Mostrada& par, int mesas) {
    std::printf("El diseño de %d mesas y %d elementos mostrado en una ventana de %d × %d, %d s en reposo:\n", mesas,
                mesas * elementosPorMesa, anchoVentana, altoVentana, segundosQuieto);
    std::printf("%-36s %12s %14s %12s %12s %9s\n", "", "pintado en", "CPU en reposo", "PSS", "RSS", "procesos");
    const auto fila = [](const char* nombre, const Mostrada& m) {
        std::printf("%-36s %10.1f s %13.1f%% %9.1f MB %9.1f MB %9d\n", nombre, m.asentadaS, m.cpu.total, m.memoria.pss,
                    m.memoria.rss, m.memoria.procesos);
        std::printf("    CPU por proceso: %s\n    memoria (PSS) por proceso: %s\n", m.cpu.detalle().c_str(),
                    m.memoria.detalle.c_str());
    };
    fila("editor (este proceso y los suyos)", editor);
    fila("MiniBrowser, los mismos documentos", par);
    std::printf(
        "editor / MiniBrowser: memoria (PSS) %.2fx, (RSS) %.2fx; pintado %.2fx; CPU en reposo %+.1f puntos "
        "de un núcleo\n",
        editor.memoria.pss / std::max(par.memoria.pss, 1.0), editor.memoria.rss / std::max(par.memoria.rss, 1.0),
        editor.asentadaS / std::max(par.asentadaS, 0.1), editor.cpu.total - par.cpu.total);
    std::printf(
        "(«pintado en»: desde cargar hasta que el árbol de procesos gasta menos del 3%% de un núcleo dos "
        "segundos seguidos; -1 si no llega en %d s)\n\n",
        limiteAsentarse);
}

}  // namespace
}  // namespace sorvenia

int main(int argc, char** argv) {
    using namespace sorvenia;
    if (!iniciarGtk()) {
        std::fprintf(stderr, "banco_lienzo: hace falta una pantalla\n");
        return 1;
    }
    const std::string miniBrowser = argc > 1 ? argv[1] : banco::miniBrowserDebian;
    char plantilla[] = "/tmp/banco_lienzo-XXXXXX";
    if (::mkdtemp(plantilla) == nullptr) return 1;
    const fs::path carpeta = plantilla;

    // Shown first, while no other view of this process has lived.
    fs::path par;
    const Mostrada editorMostrado = disenoMostrado(50, carpeta, par);
    const Mostrada parMostrada = parMostrado(miniBrowser, par, carpeta);
    imprimirMostrado(editorMostrado, parMostrada, 50);
    fs::path parSin;
    const Mostrada sinComposicion = disenoMostrado(50, carpeta, parSin, false);
    imprimirSinComposicion(editorMostrado, sinComposicion, parMostrada);

    const Medida una = medirEditor(1);
    const Medida cincuenta = medirEditor(50);
    const double simple = cpuPaginaSimple(50);
    const auto [sinAgente, conAgente] = retrasoConIndicador();
    std::error_code ec;
    fs::remove_all(carpeta, ec);

    std::printf(
        "El lienzo del editor con 1 y con 50 mesas (%d elementos cada una, auto alto) sin mostrar, %d s en "
        "reposo, %d tandas de %d ediciones de un texto (la media de cada tanda) y luego %d más:\n\n",
        elementosPorMesa, segundosQuieto, ediciones, porMuestra, edicionesHistorial);
    std::printf("%-36s %14s %18s %12s %22s\n", "", "CPU en reposo", "edición (mediana)", "(media)",
                "PSS tras las ediciones");
    std::printf("%-36s %13.1f%% %15.2f ms %9.2f ms %+19.1f MB\n", "editor, 1 mesa", una.cpu.total, una.edicionMs,
                una.mediaMs, una.crecimientoMb);
    std::printf("%-36s %13.1f%% %15.2f ms %9.2f ms %+19.1f MB\n", "editor, 50 mesas", cincuenta.cpu.total,
                cincuenta.edicionMs, cincuenta.mediaMs, cincuenta.crecimientoMb);
    std::printf("%-36s %13.1f%% %16s\n", "página simple con las 50 mesas", simple, "-");
    std::printf(
        "\nedición 50 mesas / 1 mesa: %.2fx (medias %.2fx); CPU en reposo 50 mesas - página simple: %+.1f puntos "
        "de un núcleo\n",
        cincuenta.edicionMs / std::max(una.edicionMs, 0.01), cincuenta.mediaMs / std::max(una.mediaMs, 0.01),
        cincuenta.cpu.total - simple);
    std::printf("CPU por proceso, 1 mesa: %s\nCPU por proceso, 50 mesas: %s\n", una.cpu.detalle().c_str(),
                cincuenta.cpu.detalle().c_str());
    std::printf("\nRetraso del bucle principal (temporizador de 10 ms, editor de 1 mesa en una ventana, %d s):\n",
                segundosQuieto);
    std::printf("%-36s %14s %16s\n", "", "mediana", "percentil 95");
    std::printf("%-36s %11.2f ms %13.2f ms\n", "sin agente trabajando", sinAgente.medianaMs, sinAgente.p95Ms);
    std::printf("%-36s %11.2f ms %13.2f ms\n", "con «trabajando» de un agente", conAgente.medianaMs, conAgente.p95Ms);
    std::printf("con indicador / sin indicador (percentil 95): %.2fx\n",
                conAgente.p95Ms / std::max(sinAgente.p95Ms, 0.01));
    return 0;
}
