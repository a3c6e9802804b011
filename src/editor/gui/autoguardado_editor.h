#pragma once
// AutoguardadoEditor: the open design's autosave (autoguardado_editor.cpp).
// The page sends the whole document after each change; the newest one waits
// as the pending document and is uploaded a moment after the last change,
// one upload at a time, with a small thumbnail now and then. A newer save
// made elsewhere, or the design deleted elsewhere, turn the design into a
// new one; a lost connection is retried; anything else is told to the user
// and the changes stay on this computer as a local copy.
//
// Part of one EditorAbierto, which owns it, keeps the design's identity
// (id, version, ref, name) it uploads under, and offers its calls to the
// outside. Main thread only; each asynchronous call holds the editor.

#include <chrono>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "cuenta/json_valor.h"
#include "cuenta/registros.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class Cuenta;
class EditorAbierto;

class AutoguardadoEditor {
public:
    explicit AutoguardadoEditor(EditorAbierto& editor) : editor_(editor) {}
    AutoguardadoEditor(const AutoguardadoEditor&) = delete;
    AutoguardadoEditor& operator=(const AutoguardadoEditor&) = delete;

    // The first mesa of the last posted document: the thumbnail's source.
    struct PrimeraMesa {
        std::string html;
        int w = 1440;
        int h = 900;
    };

    // The document last posted by the page and not yet saved.
    const std::optional<JSONValor>& docPendiente() const { return docPendiente_; }
    bool guardando() const { return guardando_; }
    const std::optional<PrimeraMesa>& primeraMesa() const { return primeraMesa_; }

    // See EditorAbierto's calls of the same names.
    void cambio(const nlohmann::json& mensaje);
    Tarea<void> recogerCambio();
    Tarea<void> guardar(bool forzarMiniatura);
    Tarea<bool> guardarAhora();
    // Saves before publishing: waits for an upload under way, then uploads
    // what is pending or a design never uploaded.
    Tarea<void> guardarAntesDePublicar();

private:
    friend class EditorAbierto;

    void programarGuardado(double segundos);
    void pararTemporizador();
    Tarea<std::optional<std::string>> miniatura(bool forzar);
    // Takes the page's change in: false when the message is ignored.
    bool aceptarCambio(const nlohmann::json& mensaje);
    void alGuardar(const DisenoResumen& d, bool eraNuevo);
    void alFallarGuardado(std::exception_ptr error, JSONValor doc);
    // A conflict or a deleted design: the design becomes a new one (once)
    // and is saved again, at once the first time, later after a growing
    // pause.
    void comoDisenoNuevo(bool conflicto);
    void reintentarTrasRechazo();
    // The copies this editor's earlier names (id or ref) left behind, once
    // a later upload holds their changes.
    void borrarCopiasSuperadas(Cuenta& cuenta);
    void vigilarSubida();
    void copiaDeLoPendiente();

    EditorAbierto& editor_;
    std::optional<JSONValor> docPendiente_;
    // The document of the upload under way: kept until it ends, so that a
    // quit in the middle can still leave it on disk.
    std::optional<JSONValor> docEnVuelo_;
    // The account's modification time of the version last opened or saved:
    // what a local copy of this editor's changes is based on.
    std::optional<std::string> modificado_;
    // Set when the last upload attempt failed (cleared by a success).
    bool ultimoFallido_ = false;
    // Conflicts and deleted-design answers in a row, for the pause between
    // the saves they cause.
    int rechazosSeguidos_ = 0;
    // Numbers each upload, so that a late check knows whether the upload it
    // was started for still runs.
    std::uint64_t subidas_ = 0;
    // The names (id, ref) this editor's design had before a conflict or a
    // deleted design made it a new one, and when the editor was made.
    std::vector<std::pair<std::optional<std::string>, std::optional<std::string>>> nombresAnteriores_;
    std::chrono::system_clock::time_point creado_ = std::chrono::system_clock::now();
    std::optional<TareaLanzada> temporizador_;
    bool guardando_ = false;
    bool otraVez_ = false;
    // When the last thumbnail was drawn; none yet is as good as long ago.
    std::optional<std::chrono::steady_clock::time_point> ultimaMiniatura_;
    std::optional<PrimeraMesa> primeraMesa_;
};

}  // namespace sorvenia
