// Autosave: the page sends the whole document after each change; the newest
// one waits in docPendiente and is uploaded a moment after the last change,
// one upload at a time, with a small thumbnail now and then. A newer save
// made elsewhere, or the design deleted elsewhere, turn the design into a
// new one; a lost connection is retried; anything else is told to the user
// and the changes stay on this computer.

#include <algorithm>
#include <cmath>

#include "cuenta/cuenta.h"
#include "editor/gui/editor_abierto.h"
#include "editor/gui/renderizador.h"
#include "editor/subidas_finales.h"
#include "plataforma/cripto.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

constexpr double esperaConId = 1.5;
constexpr double esperaSinId = 0.1;
constexpr double esperaReintento = 8.0;
constexpr auto separacionMiniaturas = std::chrono::seconds(45);
// An upload still without an answer this long after it started leaves its
// document on disk meanwhile: a server that keeps the request open must not
// keep the only copy in memory.
constexpr double limiteSinCopia = 20.0;
// The pause before the n-th save in a row caused by a conflict or a deleted
// design: none for the first, then doubling up to a minute. A server that
// refuses every save is not asked again and again at once.
double pausaTrasRechazo(int seguidos) {
    if (seguidos <= 1) return 0;
    return std::min(60.0, std::ldexp(1.0, std::min(seguidos - 1, 6)));
}

std::optional<int> entero(const Json& m, const char* clave) {
    const auto it = m.find(clave);
    if (it == m.end() || !it->is_number_integer()) return std::nullopt;
    return it->get<int>();
}

std::optional<std::string> codigoAPI(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ErrorAPI& e) {
        return e.codigo;
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

void EditorAbierto::cambio(const Json& m) {
    if (!aceptarCambio(m)) return;
    js("estado", {{"guardado", "cambios sin guardar"}});
    programarGuardado(id_ ? esperaConId : esperaSinId);
}

bool EditorAbierto::aceptarCambio(const Json& m) {
    if (errorCarga_ || !m.is_object()) return false;
    const auto doc = m.find("doc");
    if (doc == m.end() || doc->is_null()) return false;
    // A document JSON cannot hold (a number that is not finite) must never
    // replace the stored design: the change is dropped.
    auto valor = JSONValor::desde(*doc);
    if (!valor || valor->cadena() == "null") return false;
    docPendiente_ = std::move(*valor);
    if (const auto nombre = m.find("nombre"); nombre != m.end() && nombre->is_string())
        nombre_ = nombreDiseno(nombre->get_ref<const std::string&>());
    const auto primera = m.find("primera");
    if (primera != m.end() && primera->is_object() && primera->contains("html") && (*primera)["html"].is_string())
        primeraMesa_ = PrimeraMesa{(*primera)["html"], entero(*primera, "w").value_or(1440),
                                   entero(*primera, "h").value_or(900)};
    return true;
}

Tarea<void> EditorAbierto::recogerCambio() {
    const auto yo = shared_from_this();
    if (!webRetenida_ || !listo_ || errorCarga_) co_return;
    auto llamada = webRetenida_->llamar(textoEntregarCambio);
    const auto respuesta = co_await conTiempoLimite(std::move(llamada), segundosEntregarCambio);
    if (respuesta && respuesta->ok()) cambio(**respuesta);
}

void EditorAbierto::programarGuardado(double segundos) {
    pararTemporizador();
    temporizador_ = mas(segundos, [](EditorAbierto& m) { lanzar(m.guardar(false)); });
}

void EditorAbierto::pararTemporizador() {
    if (temporizador_) temporizador_->cancelar();
    temporizador_.reset();
}

Tarea<void> EditorAbierto::guardar(bool forzarMiniatura) {
    const auto yo = shared_from_this();
    const auto cuenta = cuenta_.lock();
    if (!cuenta || !docPendiente_) co_return;
    if (guardando_) {
        otraVez_ = true;
        co_return;
    }
    guardando_ = true;
    docEnVuelo_ = std::exchange(docPendiente_, std::nullopt);
    vigilarSubida();
    js("estado", {{"guardado", "guardando…"}});
    const auto imagen = co_await miniatura(forzarMiniatura);
    const bool eraNuevo = !id_;
    try {
        const DisenoResumen d = co_await cuenta->guardar(id_, nombre_, *docEnVuelo_, imagen, version_, ref_);
        alGuardar(d, eraNuevo);
        borrarCopiasSuperadas(*cuenta);
    } catch (...) {
        alFallarGuardado(std::current_exception(), *docEnVuelo_);
    }
    docEnVuelo_.reset();
    guardando_ = false;
    if (std::exchange(otraVez_, false)) {
        lanzar(guardar(false));
    } else if (cerrado_ && !despidiendose_) {
        // A closed editor's last upload has ended: a newer change that came
        // meanwhile, or one that failed, stays on disk.
        if (docPendiente_) copiaDeLoPendiente();
        SubidasFinales::quitar(*this);
    }
}

// When the upload started now still has no answer after a while, its
// document goes to disk; a later success removes the copy again.
void EditorAbierto::vigilarSubida() {
    const std::uint64_t esta = ++subidas_;
    mas(limiteSinCopia, [esta](EditorAbierto& m) {
        if (m.guardando_ && m.subidas_ == esta) m.copiaDeLoPendiente();
    });
}

// The first mesa as a small JPEG, at most every 45 s unless forced. A
// render that fails only means no thumbnail this time.
Tarea<std::optional<std::string>> EditorAbierto::miniatura(bool forzar) {
    const auto ahora = std::chrono::steady_clock::now();
    const bool toca = forzar || !ultimaMiniatura_ || ahora - *ultimaMiniatura_ > separacionMiniaturas;
    if (!primeraMesa_ || !toca) co_return std::nullopt;
    const PrimeraMesa mesa = *primeraMesa_;
    const double alto = std::trunc(mesa.w * 0.625);
    const auto bytes = co_await Renderizador::compartido().png(mesa.html, mesa.w, alto, 640, true, id_);
    if (!bytes) co_return std::nullopt;
    ultimaMiniatura_ = std::chrono::steady_clock::now();
    co_return "data:image/jpeg;base64," + base64(*bytes);
}

void EditorAbierto::alGuardar(const DisenoResumen& d, bool eraNuevo) {
    id_ = d.id;
    version_ = d.version;
    modificado_ = d.modificado;
    ultimoFallido_ = false;
    rechazosSeguidos_ = 0;
    if (eraNuevo && !chats_.empty()) escribirChats(Json(chats_), id_);
    js("estado", {{"guardado", "guardado"}});
}

void EditorAbierto::alFallarGuardado(std::exception_ptr error, JSONValor doc) {
    const auto codigo = codigoAPI(error);
    ultimoFallido_ = true;
    // A newer document that came in meanwhile is the one to keep.
    if (!docPendiente_) docPendiente_ = std::move(doc);
    // Nothing will try again for a closed editor: what failed stays on disk
    // (a conflict writes no copy by itself).
    if (cerrado_) copiaDeLoPendiente();
    if (codigo == "conflicto" || codigo == "no_existe") {
        comoDisenoNuevo(codigo == "conflicto");
        reintentarTrasRechazo();
    } else if (Cuenta::reintentable(error)) {
        js("estado", {{"guardado", "sin conexión: reintento"}, {"error", true}});
        if (!cerrado_) programarGuardado(esperaReintento);
    } else {
        js("estado", {{"guardado", "no guardado"}, {"error", true}});
        js("aviso", {{"texto", motivoNoGuardado(error)}});
    }
}

// Only a design the account knows can conflict or be deleted elsewhere: one
// that is already a new design keeps its name and ref, so that a server
// refusing every save neither lengthens the name with " (copia)" again and
// again nor leaves a local copy under a new ref at every attempt.
void EditorAbierto::comoDisenoNuevo(bool conflicto) {
    if (!id_) return;
    nombresAnteriores_.emplace_back(id_, std::nullopt);
    nombresAnteriores_.emplace_back(std::nullopt, ref_);
    id_.reset();
    version_.reset();
    modificado_.reset();
    ref_ = refNueva();
    if (conflicto) {
        nombre_ += " (copia)";
        js("estado", {{"guardado", "cambiado en otro ordenador: guardo una copia"}, {"nombre", nombre_}});
    } else {
        js("estado", {{"guardado", "borrado en otro sitio: lo guardo como diseño nuevo"}});
    }
}

void EditorAbierto::reintentarTrasRechazo() {
    const double pausa = pausaTrasRechazo(++rechazosSeguidos_);
    if (pausa <= 0) {
        otraVez_ = true;
    } else if (!cerrado_) {
        programarGuardado(pausa);
    }
}

// The copies written under the names the design had before it became a new
// one hold changes this upload now holds too. Only copies written since this
// editor was made are its own: an older one may hold changes of another
// session that nobody has looked at yet.
void EditorAbierto::borrarCopiasSuperadas(Cuenta& cuenta) {
    for (const auto& [id, ref] : std::exchange(nombresAnteriores_, {})) {
        const auto copia = cuenta.copiaLocal(id, ref);
        if (copia && copia->fecha >= creado_) cuenta.borrarCopiaLocal(id, ref);
    }
}

Tarea<bool> EditorAbierto::guardarAhora() {
    const auto yo = shared_from_this();
    if (errorCarga_) co_return true;
    co_await recogerCambio();
    pararTemporizador();
    // Whatever happens next, the newest changes are already on disk.
    copiaDeLoPendiente();
    for (int i = 0; i < 30 && guardando_; ++i) co_await dormir(0.1);
    if (docPendiente_ && !guardando_) co_await guardar(false);
    pararTemporizador();
    if (!docPendiente_ && !guardando_) co_return true;
    // Still in flight, or failed: the newest document stays as a local copy
    // (a later upload removes it).
    copiaDeLoPendiente();
    co_return false;
}

void EditorAbierto::copiaDeLoPendiente() {
    const auto cuenta = cuenta_.lock();
    const auto& doc = docPendiente_ ? docPendiente_ : docEnVuelo_;
    if (cuenta && doc) cuenta->guardarCopiaLocal(id_, nombre_, *doc, ref_, CopiaLocal::Base{version_, modificado_});
}

}  // namespace sorvenia
