#pragma once
// What the running app's preview inside the editor keeps to itself: its own
// pages stay in the view, the rest of the web opens in the user's browser.

#include <optional>
#include <string>

namespace sorvenia {

// The origin of the app being previewed.
struct OrigenVistaApp {
    std::string host = "127.0.0.1";
    int puerto = 0;
};

// The origin of an address about to be loaded: its host ("" when none) and
// its port (80 when it names none).
OrigenVistaApp origenDe(const std::string& url);

// The one rule for what stays in the view: "about", "blob" and "data"
// addresses (scheme compared exactly), and addresses of exactly that host
// and port (80 when none is named). No address, no host: false.
bool esLocal(const std::optional<std::string>& url, const OrigenVistaApp& origen);

enum class DestinoNavegacion {
    quedarse,    // load it in the view
    abrirFuera,  // not here; hand it to the system's default handler
    descartar,   // not here, nowhere
};

// A navigation of the view: local ones and those of a sub-frame stay; other
// main-frame ones are cancelled, and "http", "https", "mailto" and "tel"
// addresses (scheme in any case) open outside.
DestinoNavegacion decidirNavegacion(const std::optional<std::string>& url, bool marcoPrincipal,
                                    const OrigenVistaApp& origen);

// A page's request for a new window (never granted): a local address loads
// in the view itself, an "http" or "https" one opens outside, others are
// dropped.
DestinoNavegacion decidirVentana(const std::optional<std::string>& url, const OrigenVistaApp& origen);

// A page's dialog text as shown: its first 400 characters (not bytes).
std::string textoDialogo(const std::string& mensaje);

}  // namespace sorvenia
