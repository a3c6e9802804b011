#pragma once
// EditorModelo: the model of one open design and of its editor page, on the
// main thread. This is the face it shows the hub, the job registry and the
// navigation: the hub hands it the agents' canvas tools, the registry keeps
// it alive while its agent works and finds it by route key.
//
// Instances are shared (the window's editor view, the job registry) and
// compared by identity.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "plataforma/tarea.h"

namespace sorvenia {

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

protected:
    EditorModelo() = default;
};

}  // namespace sorvenia
