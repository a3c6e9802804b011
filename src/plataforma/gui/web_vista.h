#pragma once
// One of our HTML pages in a WebKit web view, with the two roads between
// it and its native model:
//
//   page → native: the page dispatches
//     document.dispatchEvent(new CustomEvent("sorvenia-mensaje", {detail: JSON.stringify({tipo: ...})}))
//   and the model's callback receives the object, but only while the view
//   shows the page it was told to load (see relevo_mensajes.h for why the
//   page cannot post to the handler itself).
//
//   native → page: evaluar() fires a script and forgets it; llamar() awaits
//   an async function body and gives its result as JSON.
//
// The view can also serve custom URI schemes to its page and photograph the
// whole document at a chosen width without ever being shown.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plataforma/gui/anfitrion_oculto.h"
#include "plataforma/gui/codificar_imagen.h"
#include "plataforma/gui/esquemas_web.h"
#include "plataforma/objeto_g.h"
#include "plataforma/gui/origen_permitido.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

struct OpcionesWebVista {
    // Developer extras (the inspector). The test build always turns them on.
    bool inspeccionable = false;
    // Not owned. Null: the process's default context, shared by every view
    // (schemes are registered per context, so sharing one is cheap).
    WebKitWebContext* contexto = nullptr;
    // Not owned. Null: the default network session.
    WebKitNetworkSession* sesion = nullptr;
};

class WebVista {
public:
    using AlMensaje = std::function<void(const nlohmann::json&)>;

    // `manejador` is the page's handler name ("conectar", "tarvel"...).
    explicit WebVista(std::string manejador, OpcionesWebVista opciones = {});
    ~WebVista();
    WebVista(const WebVista&) = delete;
    WebVista& operator=(const WebVista&) = delete;

    // Receives each accepted message: always a JSON object. The callback may
    // destroy this view.
    void alMensaje(AlMensaje callback);

    // Loads `archivo` as a file URI. Its scripts, styles and fonts come from
    // its folder by relative path (file pages may read file URLs), and
    // messages are accepted while the view shows a file inside
    // `carpetaPermitida`. A load that fails leaves the view blank.
    void cargarPagina(const std::filesystem::path& archivo, const std::filesystem::path& carpetaPermitida);

    // Shows `html` as if it came from `uriBase`; messages are accepted while
    // the view shows exactly that URI (none when it is empty).
    void cargarHTML(const std::string& html, const std::string& uriBase);

    // Runs `js` in the page; its result and its errors are ignored.
    void evaluar(const std::string& js);

    // Runs `cuerpoFuncion` as the body of an async function in the page,
    // with the keys of `argumentos` as its parameters, and gives the JSON of
    // what it returns (undefined reads as null). A thrown exception is a
    // Fallo with its message. The view may be destroyed while it waits.
    Tarea<Resultado<nlohmann::json>> llamar(std::string cuerpoFuncion,
                                            nlohmann::json argumentos = nlohmann::json::object());

    // Runs `guion` at document end in every frame of each page loaded from
    // now on, nested ones included, in the frame's own world (the frame's
    // scripts see what it defines). An empty text injects nothing.
    void inyectarEnTodosLosMarcos(const std::string& guion);

    // Serves `esquema` ("escena", "fuente"...) to this view's pages.
    void registrarEsquema(const std::string& esquema, ManejadorEsquema manejador);

    // The whole document laid out at `ancho` pixels, as PNG or JPEG bytes.
    // Only for a view that is not in a window of its own: it is put in a
    // hidden window, which it keeps until soltarDelAnfitrion(). One at a
    // time per view.
    Tarea<Resultado<std::vector<std::uint8_t>>> instantanea(int ancho, FormatoImagen formato,
                                                            int calidadJpeg = 90);

    // Takes the view out of the hidden window of instantanea(), so that it
    // can be put in a window that is shown.
    void soltarDelAnfitrion();

    GtkWidget* widget() const { return comoG<GtkWidget>(vista_.get()); }
    WebKitWebView* vistaWeb() const { return vista_.get(); }
    const std::string& manejador() const { return manejador_; }

private:
    static void alRecibir(WebKitUserContentManager* gestor, JSCValue* valor, gpointer datos);
    void recibir(JSCValue* valor);

    std::string manejador_;
    Ref<WebKitUserContentManager> gestor_;
    Ref<WebKitWebView> vista_;
    gulong senalMensaje_ = 0;
    gulong senalFalloCarga_ = 0;
    AlMensaje alMensaje_;
    OrigenPermitido origen_;
    // Shared with a snapshot in progress, which keeps it until it ends.
    std::shared_ptr<AnfitrionOculto> anfitrion_;
};

}  // namespace sorvenia
