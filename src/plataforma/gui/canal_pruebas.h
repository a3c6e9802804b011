#pragma once
// The test channel as every web-view wrapper sees it. Each wrapper registers
// its web view here under its fixed name ("conectar", "editor", "inicio"...)
// right after making it. In the application this does nothing: the channel
// runs JavaScript from a file, so only the test build compiles it in (see
// canal_pruebas/canal.h) and installs it at start.

#include <webkit/webkit.h>

#include <filesystem>
#include <functional>
#include <string>

namespace sorvenia::CanalPruebas {

// The channel's folder, where the harness writes requests and reads answers.
std::filesystem::path carpeta();

// Registers `web` under `nombre`, replacing an earlier view of that name.
// Does nothing unless the application id ends with ".pruebas" and a channel
// is installed. Main thread only.
void registrar(const std::string& nombre, WebKitWebView* web);

using Registrador = std::function<void(const std::string& nombre, WebKitWebView* web)>;

// What registrar() hands each view to; set once by the test build's main.
void instalar(Registrador registrador);

}  // namespace sorvenia::CanalPruebas
