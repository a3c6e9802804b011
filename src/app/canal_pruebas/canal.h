#pragma once
// The file-driven test channel of the test build. A harness writes request
// files into CanalPruebas::carpeta(); four times a second the application
// carries them out on the main thread and writes the answers beside them:
// script orders ("orden.js" → "respuesta.json"), screenshots
// ("captura.pedir" → "captura.png"), file-chooser answers ("panel.elegir"
// → "panel.hecho") and alert buttons ("boton.pulsar" → "boton.hecho").
//
// The channel starts with the first web view registered; it is never
// stopped. Only the test build links this: it runs JavaScript from a file.

#include <string>

#include <webkit/webkit.h>

namespace sorvenia::CanalPruebas {

// Makes CanalPruebas::registrar() feed this channel and installs the test
// build's launch orders (editor_canal.h). Called once by the test build's
// main.
void activar();

// Stores the view and starts the channel.
void registrarEnCanal(const std::string& nombre, WebKitWebView* web);

// Starts the channel once: makes its folder and the 0.25 s timer on the
// main context. Later calls do nothing.
void arrancar();

// One tick: the screenshot, then the script order (unless the window was
// photographed: that order waits for the next tick), the file chooser and
// the alert.
void mirarTodo();

}  // namespace sorvenia::CanalPruebas
