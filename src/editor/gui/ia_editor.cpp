// One-shot AI designs from the editor and signing the AI tools in. The
// page's "ia" asks the chosen local tool for one piece of HTML: its status
// lines ("iaProgreso") and the page as it grows ("iaParcial") reach the
// page while it works, then "respuestaIA" with the cleaned HTML or the
// error. The sign-in runs the tool's login in a terminal of ours and asks
// the page for the code the browser gives ("elegirIA").

#include <algorithm>
#include <utility>

#include "editor/gui/editor_abierto.h"
#include "editor/gui/renderizador.h"
#include "ias/deteccion.h"
#include "ias/disenar.h"
#include "ias/inicio_sesion.h"
#include "ias/matar.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

std::optional<std::string> textoDe(const Json& m, const char* clave) {
    const auto it = m.find(clave);
    if (it == m.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

int enteroDe(const Json& m, const char* clave, int porDefecto) {
    const auto it = m.find(clave);
    if (it == m.end() || !it->is_number()) return porDefecto;
    const double v = it->get<double>();
    if (!(v >= 1 && v <= 100000)) return porDefecto;
    return static_cast<int>(v);
}

bool booleanoDe(const Json& m, const char* clave, bool porDefecto) {
    const auto it = m.find(clave);
    return it != m.end() && it->is_boolean() ? it->get<bool>() : porDefecto;
}

std::vector<std::pair<std::string, std::string>> recursosDe(const Json& m) {
    std::vector<std::pair<std::string, std::string>> recursos;
    const auto it = m.find("recursos");
    if (it == m.end() || !it->is_array()) return recursos;
    for (const Json& r : *it) {
        const auto nombre = textoDe(r, "nombre");
        const auto src = textoDe(r, "src");
        if (r.is_object() && nombre && src) recursos.emplace_back(*nombre, *src);
    }
    return recursos;
}

}  // namespace

Tarea<void> EditorAbierto::ia(Json m) {
    const auto yo = shared_from_this();
    const Json req = m.contains("req") && m["req"].is_number() ? m["req"] : Json(0);
    const auto nombre = textoDe(m, "ia");
    const auto elegida = iaPedida(ias_, nombre);
    if (!elegida) {
        js("respuestaIA", {{"req", req}, {"error", textoSinIA(ias_, nombre)}});
        co_return;
    }
    IAsLocales::PedidoDiseno pedido;
    pedido.peticion = textoDe(m, "peticion").value_or("");
    pedido.html = textoDe(m, "html");
    pedido.ancho = enteroDe(m, "ancho", 1440);
    pedido.alto = enteroDe(m, "alto", 900);
    pedido.web = booleanoDe(m, "web", false);
    pedido.cambio = booleanoDe(m, "cambio", false);
    pedido.recursos = recursosDe(m);

    // The page's calls hold the editor weakly: a turn's last reports may
    // arrive after it has been closed.
    const std::weak_ptr<EditorAbierto> debil = yo;
    IAsLocales::AvisosTurno avisos{
        [debil, req](std::string texto) {
            if (auto e = debil.lock()) e->js("iaProgreso", {{"req", req}, {"texto", std::move(texto)}});
        },
        [debil, req](std::string html) {
            if (auto e = debil.lock()) e->js("iaParcial", {{"req", req}, {"html", std::move(html)}});
        }};
    std::optional<IAsLocales::Capturar> capturar;
    if (booleanoDe(m, "revisar", true)) {
        const int ancho = std::min(pedido.ancho, 1440);
        const int alto = pedido.alto;
        capturar = [ancho, alto, id = id_](std::string html) -> Tarea<std::optional<std::vector<std::uint8_t>>> {
            co_return co_await Renderizador::compartido().png(std::move(html), ancho, alto, ancho, false, id);
        };
    }
    auto respuesta = co_await IAsLocales::disenar(*elegida, std::move(pedido), std::move(avisos), std::move(capturar));
    if (cerrado_) co_return;
    if (respuesta) js("respuestaIA", {{"req", req}, {"html", std::move(*respuesta)}});
    else js("respuestaIA", {{"req", req}, {"error", respuesta.fallo().mensaje}});
}

void EditorAbierto::empezarIA(const Json& m) {
    // Kept so that closing the editor stops the turn (and its tool) too.
    std::erase_if(turnosIA_, [](const TareaLanzada& t) { return t.terminada(); });
    turnosIA_.push_back(lanzar(ia(m)));
}

void EditorAbierto::pararTurnosIA() {
    for (const TareaLanzada& t : turnosIA_) t.cancelar();
    turnosIA_.clear();
}

void EditorAbierto::iniciarSesionIA(const Json& m) {
    const auto id = textoDe(m, "ia");
    if (!id) return;
    const auto it = std::ranges::find_if(ias_, [&](const IA& ia) { return ia.id() == *id; });
    if (it == ias_.end()) return;
    cancelarSesionIA();
    const std::weak_ptr<EditorAbierto> debil = shared_from_this();
    const std::string ia = *id;
    // Each login reports only while it is still this editor's current one.
    auto propio = std::make_shared<std::shared_ptr<IAsLocales::Inicio>>();
    const auto vigente = [debil, propio]() -> std::shared_ptr<EditorAbierto> {
        auto e = debil.lock();
        return e && !e->cerrado_ && e->inicioSesion_ == *propio ? e : nullptr;
    };
    *propio = IAsLocales::iniciarSesion(
        *it,
        [vigente, ia] {
            if (auto e = vigente()) e->js("elegirIA", {{"ia", ia}, {"estado", "pideCodigo"}});
        },
        [vigente, ia] {
            if (auto e = vigente()) e->js("elegirIA", {{"ia", ia}, {"estado", "codigoMalo"}});
        },
        [debil, propio, ia](bool sesion) {
            auto e = debil.lock();
            if (!e || e->cerrado_) return;
            if (e->inicioSesion_ == *propio) e->inicioSesion_.reset();
            lanzar(e->finDeSesionIA(ia, sesion));
        });
    inicioSesion_ = *propio;
    if (!inicioSesion_) js("elegirIA", {{"ia", ia}, {"estado", "fin"}, {"sesion", false}});
}

Tarea<void> EditorAbierto::finDeSesionIA(std::string ia, bool sesion) {
    const auto yo = shared_from_this();
    ias_ = co_await IAsLocales::detectar();
    if (cerrado_) co_return;
    js("ias", IAsLocales::json(ias_));
    js("elegirIA", {{"ia", ia}, {"estado", "fin"}, {"sesion", sesion}});
}

void EditorAbierto::codigoIA(const Json& m) {
    const auto codigo = textoDe(m, "codigo");
    if (codigo && inicioSesion_) inicioSesion_->enviar(*codigo);
}

void EditorAbierto::cancelarSesionIA() {
    if (inicioSesion_ && inicioSesion_->proceso()->enMarcha()) IAsLocales::matar(inicioSesion_->proceso());
}

}  // namespace sorvenia
