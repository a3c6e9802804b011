#pragma once
// The sign-in page's web view: handler "conectar", the page
// "editor/conectar/conectar.html" from the resources, a transparent background so the
// window's backdrop shows through, inspectable in every build, and reachable
// by the test channel as "conectar".

#include <gtk/gtk.h>

#include <memory>

namespace sorvenia {

class ConectarModelo;
class WebVista;

class WebConectar {
public:
    // `modelo` receives the page's messages and is told of the view; it
    // must outlive this wrapper.
    explicit WebConectar(ConectarModelo& modelo);
    ~WebConectar();
    WebConectar(const WebConectar&) = delete;
    WebConectar& operator=(const WebConectar&) = delete;

    GtkWidget* widget() const;
    WebVista& vista() const { return *vista_; }

private:
    ConectarModelo& modelo_;
    std::unique_ptr<WebVista> vista_;
};

}  // namespace sorvenia
