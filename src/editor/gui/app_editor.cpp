// The app panel's local run, its tests and the running app's preview, on
// the editor's side: each action goes to the design's app project, whose
// messages reach the page's "app" through the callback the editor gave it.

#include <filesystem>

#include "aplicaciones/gui/vista_app.h"
#include "editor/gui/editor_abierto.h"
#include "plataforma/gui/mostrar_en_carpeta.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/navegador.h"

namespace sorvenia {

Tarea<void> EditorAbierto::probarApp() {
    const auto yo = shared_from_this();
    if (const auto proyecto = proyecto_) co_await proyecto->arrancar();
}

void EditorAbierto::pararApp() {
    if (!proyecto_) return;
    proyecto_->parar();
    js("app", {{"vista", "parada"}});
}

Tarea<void> EditorAbierto::comprobarApp() {
    const auto yo = shared_from_this();
    const auto proyecto = proyecto_;
    if (!proyecto) co_return;
    (void)co_await proyecto->comprobar();
    js("app", {{"proyecto", proyecto->resumen()}});
}

void EditorAbierto::abrirAppEnNavegador() {
    if (proyecto_ && proyecto_->puerto() > 0)
        Navegador::abrir("http://127.0.0.1:" + std::to_string(proyecto_->puerto()) + "/");
}

void EditorAbierto::mostrarCarpetaApp() {
    if (proyecto_) mostrarEnCarpeta(proyecto_->carpeta());
}

Tarea<void> EditorAbierto::trasAgenteApp() {
    const auto yo = shared_from_this();
    const auto proyecto = proyecto_;
    if (!proyecto || cerrado_) co_return;
    js("app", {{"proyecto", proyecto->resumen()}});
    std::error_code ec;
    if (!std::filesystem::exists(proyecto->carpeta() / "package.json", ec) || aparcado_) co_return;
    co_await proyecto->arrancar();
    js("app", {{"proyecto", proyecto->resumen()}});
}

namespace {

std::optional<int> coordenada(const nlohmann::json& rect, const char* clave) {
    const auto it = rect.find(clave);
    if (it == rect.end() || !it->is_number()) return std::nullopt;
    const double v = it->get<double>();
    if (!(v >= -100000 && v <= 100000)) return std::nullopt;
    return static_cast<int>(v);
}

}  // namespace

void EditorAbierto::colocarVistaApp(const nlohmann::json& mensaje) {
    const auto rect = mensaje.find("rect");
    if (rect == mensaje.end()) return;
    std::optional<std::string> url;
    if (const auto u = mensaje.find("url"); u != mensaje.end()) {
        if (!u->is_string()) return;
        url = u->get<std::string>();
    }
    std::optional<VistaApp::Rect> caja;
    if (!rect->is_null()) {
        if (!rect->is_object()) return;
        const auto x = coordenada(*rect, "x"), y = coordenada(*rect, "y");
        const auto w = coordenada(*rect, "w"), h = coordenada(*rect, "h");
        if (!x || !y || !w || !h) return;
        caja = VistaApp::Rect{*x, *y, *w, *h};
    }
    if (!caja && !vistaApp_) return;
    if (!webRetenida_) return;
    if (!vistaApp_) vistaApp_ = std::make_unique<VistaApp>();
    vistaApp_->colocar(webRetenida_->widget(), caja, url);
}

}  // namespace sorvenia
