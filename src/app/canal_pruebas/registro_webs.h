#pragma once
// The web views the test channel can reach, by name. The registry holds
// them weakly: a view that goes away keeps its entry, which then names
// nothing. Main thread only.

#include <webkit/webkit.h>

#include <string>
#include <vector>

#include "plataforma/objeto_g.h"

namespace sorvenia::CanalPruebas {

// Adds `web` under `nombre`, replacing an earlier view of that name.
void guardarWeb(const std::string& nombre, WebKitWebView* web);

// The view of that name while it exists, in a window or not.
Ref<WebKitWebView> webRegistrada(const std::string& nombre);

// The view of that name while it exists and sits in a window (shown or
// hidden): what a script may run in.
Ref<WebKitWebView> webVisible(const std::string& nombre);

// The names of every view that webVisible() would give.
std::vector<std::string> websVisibles();

}  // namespace sorvenia::CanalPruebas
