#pragma once
// EditorModelo: the model of one open design and of its editor page, on the
// main thread. This is the face it shows the hub, the job registry and the
// navigation: the hub hands it the agents' canvas tools, the registry keeps
// it alive while its agent works and finds it by route key.
//
// Instances are shared (the window's editor view, the job registry) and
// compared by identity.

#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "plataforma/tarea.h"

namespace sorvenia {

class Proceso;

class EditorModelo {
public:
    virtual ~EditorModelo() = default;
    EditorModelo(const EditorModelo&) = delete;
    EditorModelo& operator=(const EditorModelo&) = delete;

    // The editor's route key: the last segment of the MCP address its
    // agents are given, and the key of its job. Fixed for the model's life.
    virtual const std::string& clave() const = 0;
    // The design's id in the account; empty until it is first saved.
    virtual const std::optional<std::string>& id() const = 0;
    virtual const std::string& nombre() const = 0;
    // True once the page has received the design.
    virtual bool listo() const = 0;
    // True while the page runs off-screen because its agent outlived the
    // user's visit.
    virtual bool aparcado() const = 0;

    // Carries out one canvas tool on this design and gives its result
    // items. `externo` is the display name of the outside client for calls
    // that came through the bridge, empty for the application's own agents.
    // Never throws: failures are items with "error" true.
    virtual Tarea<nlohmann::json> herramienta(std::string nombre, nlohmann::json argumentos,
                                              std::optional<std::string> externo) = 0;

    // A new name for the design; the page is told, and the name travels
    // with the next upload.
    virtual void renombrar(std::string nombre) = 0;

    // Calls `window.tarvel.<funcion>(argumento)` in the page, fire and
    // forget; nothing happens while the page is not there.
    virtual void js(std::string funcion, nlohmann::json argumento) = 0;

    // Tears the editor down; later calls do nothing.
    virtual void cerrar() = 0;

    // Whether quitting must wait for this editor: it shows its design (no
    // load error) and holds changes not yet uploaded, is uploading, or its
    // page is still there and may hold a change it has not handed over.
    virtual bool porGuardar() const = 0;
    // The flush at quit: the page hands over any change it holds, then true
    // when nothing is left unsaved; what cannot be uploaded in time stays on
    // this computer as a local copy.
    virtual Tarea<bool> guardarAhora() = 0;
    // The process of the agent working on this design, while one runs
    // (the home screen stops it from the job list); none otherwise.
    virtual std::shared_ptr<Proceso> procesoAgente() const { return nullptr; }
    // Stops the agent working on this design, as the user's stop button does
    // (the chat then says the user stopped it); nothing when none runs.
    virtual void pararAgente() {}
    // True from the moment an agent run of this design is accepted until it
    // has ended; the application's limit of agents at once counts these.
    virtual bool agenteEnMarcha() const { return false; }

    // The Spanish sentence the page shows when an upload of the design
    // failed, from the upload's error. Never throws.
    static std::string motivoNoGuardado(std::exception_ptr error);
    // The name made fit to stand as a file or folder name ("/" and ":"
    // become "-", trimmed, no leading dots, at most 120 characters), or
    // `porDefecto` when nothing is left.
    static std::string nombreSeguro(const std::optional<std::string>& nombre, std::string_view porDefecto);
    // A design's name as it is kept and uploaded: valid UTF-8, at most 80
    // characters (the name the page and the agents' nombrar allow).
    static std::string nombreDiseno(std::string_view nombre);
    // The lower-case, accent-free, dash-separated stem of a web file name,
    // at most 40 characters; empty when the text has no letter or number.
    static std::string slug(std::string_view texto);
    // The site files of the page list the editor page sends (objects with
    // "html", "nombre", "inicio"): one (file name, whole HTML document) per
    // page, in order. Only a page marked "inicio" becomes "index.html";
    // others take the slug of their name ("pagina" without one), and a
    // taken stem gets "-2" until it is free. `nombre` titles unnamed pages.
    static std::vector<std::pair<std::string, std::string>> archivosWeb(const nlohmann::json& paginas,
                                                                        const std::string& nombre);
    // Whether a GET of `url`, redirects followed, gets an answer with a
    // success status (2xx); any failure to get one is false. Resumes on the
    // main thread.
    static Tarea<bool> responde(std::string url);

    // The chat history file of a design, ~/.local/share/SorveniaTarvel/
    // chats/<id>.json, creating the folder; nothing for an id that is not 1
    // to 80 ASCII letters, digits, "_" or "-".
    static std::optional<std::filesystem::path> archivoChats(std::string_view id);
    // Replaces the design's chat file atomically with `chats` (a list of
    // objects); does nothing without a design id or when the list cannot be
    // written as JSON. Never reports failure.
    static void escribirChats(const nlohmann::json& chats, const std::optional<std::string>& diseno);
    // The list of objects in the design's chat file; an empty list when there
    // is no id, no file, it cannot be read, or it is not a list of objects.
    static nlohmann::json leerChats(const std::optional<std::string>& id);

protected:
    EditorModelo() = default;
};

}  // namespace sorvenia
