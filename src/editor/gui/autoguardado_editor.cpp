// The autosave's steps: taking a change in, the timer, one upload at a
// time with its thumbnail, and what each kind of failure leads to.

#include <algorithm>
#include <cmath>

#include "cuenta/cuenta.h"
#include "editor/gui/autoguardado_editor.h"
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
// How long publishing waits for an upload under way.
constexpr double pausaSubida = 0.1;
constexpr int sondeosSubida = 300;  // 30 s for an upload under way
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

void AutoguardadoEditor::cambio(const Json& m) {
    if (!aceptarCambio(m)) return;
    editor_.js("estado", {{"guardado", "cambios sin guardar"}});
    programarGuardado(editor_.id_ ? esperaConId : esperaSinId);
}

bool AutoguardadoEditor::aceptarCambio(const Json& m) {
    if (editor_.errorCarga_ || !m.is_object()) return false;
    const auto doc = m.find("doc");
    if (doc == m.end() || doc->is_null()) return false;
    // A document JSON cannot hold (a number that is not finite) must never
    // replace the stored design: the change is dropped.
    auto valor = JSONValor::desde(*doc);
    if (!valor || valor->cadena() == "null") return false;
    docPendiente_ = std::move(*valor);
    if (const auto nombre = m.find("nombre"); nombre != m.end() && nombre->is_string())
        editor_.nombre_ = EditorModelo::nombreDiseno(nombre->get_ref<const std::string&>());
    const auto primera = m.find("primera");
    if (primera != m.end() && primera->is_object() && primera->contains("html") && (*primera)["html"].is_string())
        primeraMesa_ = PrimeraMesa{(*primera)["html"], entero(*primera, "w").value_or(1440),
                                   entero(*primera, "h").value_or(900)};
    return true;
}

Tarea<void> AutoguardadoEditor::recogerCambio() {
    const auto yo = editor_.shared_from_this();
    if (!editor_.webRetenida_ || !editor_.listo_ || editor_.errorCarga_) co_return;
    auto llamada = editor_.webRetenida_->llamar(EditorAbierto::textoEntregarCambio);
    const auto respuesta = co_await conTiempoLimite(std::move(llamada), EditorAbierto::segundosEntregarCambio);
    if (respuesta && respuesta->ok()) cambio(**respuesta);
}

void AutoguardadoEditor::programarGuardado(double segundos) {
    pararTemporizador();
    temporizador_ = editor_.mas(segundos, [](EditorAbierto& m) { lanzar(m.guardar(false)); });
}

void AutoguardadoEditor::pararTemporizador() {
    if (temporizador_) temporizador_->cancelar();
    temporizador_.reset();
}

Tarea<void> AutoguardadoEditor::guardar(bool forzarMiniatura) {
    const auto yo = editor_.shared_from_this();
    const auto cuenta = editor_.cuenta_.lock();
    if (!cuenta || !docPendiente_) co_return;
    if (guardando_) {
        otraVez_ = true;
        co_return;
    }
    guardando_ = true;
    docEnVuelo_ = std::exchange(docPendiente_, std::nullopt);
    vigilarSubida();
    editor_.js("estado", {{"guardado", "guardando…"}});
    const auto imagen = co_await miniatura(forzarMiniatura);
    const bool eraNuevo = !editor_.id_;
    try {
        const DisenoResumen d = co_await cuenta->guardar(editor_.id_, editor_.nombre_, *docEnVuelo_, imagen,
                                                         editor_.version_, editor_.ref_);
        alGuardar(d, eraNuevo);
        borrarCopiasSuperadas(*cuenta);
    } catch (...) {
        alFallarGuardado(std::current_exception(), *docEnVuelo_);
    }
    docEnVuelo_.reset();
    guardando_ = false;
    if (std::exchange(otraVez_, false)) {
        lanzar(guardar(false));
    } else if (editor_.cerrado_ && !editor_.despidiendose_) {
        // A closed editor's last upload has ended: a newer change that came
        // meanwhile, or one that failed, stays on disk.
        if (docPendiente_) copiaDeLoPendiente();
        SubidasFinales::quitar(editor_);
    }
}

// When the upload started now still has no answer after a while, its
// document goes to disk; a later success removes the copy again.
void AutoguardadoEditor::vigilarSubida() {
    const std::uint64_t esta = ++subidas_;
    editor_.mas(limiteSinCopia, [esta](EditorAbierto& m) {
        auto& a = m.autoguardado_;
        if (a.guardando_ && a.subidas_ == esta) a.copiaDeLoPendiente();
    });
}

// The first mesa as a small JPEG, at most every 45 s unless forced. A
// render that fails only means no thumbnail this time.
Tarea<std::optional<std::string>> AutoguardadoEditor::miniatura(bool forzar) {
    const auto ahora = std::chrono::steady_clock::now();
    const bool toca = forzar || !ultimaMiniatura_ || ahora - *ultimaMiniatura_ > separacionMiniaturas;
    if (!primeraMesa_ || !toca) co_return std::nullopt;
    const PrimeraMesa mesa = *primeraMesa_;
    const double alto = std::trunc(mesa.w * 0.625);
    const auto bytes = co_await Renderizador::compartido().png(mesa.html, mesa.w, alto, 640, true, editor_.id_);
    if (!bytes) co_return std::nullopt;
    ultimaMiniatura_ = std::chrono::steady_clock::now();
    co_return "data:image/jpeg;base64," + base64(*bytes);
}

void AutoguardadoEditor::alGuardar(const DisenoResumen& d, bool eraNuevo) {
    editor_.id_ = d.id;
    editor_.version_ = d.version;
    modificado_ = d.modificado;
    ultimoFallido_ = false;
    rechazosSeguidos_ = 0;
    if (eraNuevo && !editor_.chats_.empty()) EditorModelo::escribirChats(Json(editor_.chats_), editor_.id_);
    editor_.js("estado", {{"guardado", "guardado"}});
}

void AutoguardadoEditor::alFallarGuardado(std::exception_ptr error, JSONValor doc) {
    const auto codigo = codigoAPI(error);
    ultimoFallido_ = true;
    // A newer document that came in meanwhile is the one to keep.
    if (!docPendiente_) docPendiente_ = std::move(doc);
    // Nothing will try again for a closed editor: what failed stays on disk
    // (a conflict writes no copy by itself).
    if (editor_.cerrado_) copiaDeLoPendiente();
    if (codigo == "conflicto" || codigo == "no_existe") {
        comoDisenoNuevo(codigo == "conflicto");
        reintentarTrasRechazo();
    } else if (Cuenta::reintentable(error)) {
        editor_.js("estado", {{"guardado", "sin conexión: reintento"}, {"error", true}});
        if (!editor_.cerrado_) programarGuardado(esperaReintento);
    } else {
        editor_.js("estado", {{"guardado", "no guardado"}, {"error", true}});
        editor_.js("aviso", {{"texto", EditorModelo::motivoNoGuardado(error)}});
    }
}

// Only a design the account knows can conflict or be deleted elsewhere: one
// that is already a new design keeps its name and ref, so that a server
// refusing every save neither lengthens the name with " (copia)" again and
// again nor leaves a local copy under a new ref at every attempt.
void AutoguardadoEditor::comoDisenoNuevo(bool conflicto) {
    if (!editor_.id_) return;
    nombresAnteriores_.emplace_back(editor_.id_, std::nullopt);
    nombresAnteriores_.emplace_back(std::nullopt, editor_.ref_);
    editor_.id_.reset();
    editor_.version_.reset();
    modificado_.reset();
    editor_.ref_ = EditorAbierto::refNueva();
    if (conflicto) {
        editor_.nombre_ += " (copia)";
        editor_.js("estado",
                   {{"guardado", "cambiado en otro ordenador: guardo una copia"}, {"nombre", editor_.nombre_}});
    } else {
        editor_.js("estado", {{"guardado", "borrado en otro sitio: lo guardo como diseño nuevo"}});
    }
}

void AutoguardadoEditor::reintentarTrasRechazo() {
    const double pausa = pausaTrasRechazo(++rechazosSeguidos_);
    if (pausa <= 0) {
        otraVez_ = true;
    } else if (!editor_.cerrado_) {
        programarGuardado(pausa);
    }
}

// The copies written under the names the design had before it became a new
// one hold changes this upload now holds too. Only copies written since this
// editor was made are its own: an older one may hold changes of another
// session that nobody has looked at yet.
void AutoguardadoEditor::borrarCopiasSuperadas(Cuenta& cuenta) {
    for (const auto& [id, ref] : std::exchange(nombresAnteriores_, {})) {
        const auto copia = cuenta.copiaLocal(id, ref);
        if (copia && copia->fecha >= creado_) cuenta.borrarCopiaLocal(id, ref);
    }
}

Tarea<void> AutoguardadoEditor::guardarAntesDePublicar() {
    // A new design's first upload may still be running: its id comes with
    // it, so telling the user to save first would be wrong.
    for (int i = 0; guardando_ && i < sondeosSubida; ++i) co_await dormir(pausaSubida);
    if (editor_.id_ && !docPendiente_) co_return;
    pararTemporizador();
    co_await guardar(false);
}

Tarea<bool> AutoguardadoEditor::guardarAhora() {
    const auto yo = editor_.shared_from_this();
    if (editor_.errorCarga_) co_return true;
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

void AutoguardadoEditor::copiaDeLoPendiente() {
    const auto cuenta = editor_.cuenta_.lock();
    const auto& doc = docPendiente_ ? docPendiente_ : docEnVuelo_;
    if (cuenta && doc)
        cuenta->guardarCopiaLocal(editor_.id_, editor_.nombre_, *doc, editor_.ref_,
                                  CopiaLocal::Base{editor_.version_, modificado_});
}

}  // namespace sorvenia
