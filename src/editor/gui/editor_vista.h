#pragma once
// EditorVista: the screen of one open design. It owns (with the job
// registry) the design's editor model, shows its page over the whole window,
// and covers it with a card when the design cannot be loaded. Going away, it
// lets the model leave.

#include <gtk/gtk.h>

#include <memory>
#include <optional>
#include <string>

#include "navegacion/plantilla.h"
#include "editor/gui/editor_abierto.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {

class Cuenta;
class Navegacion;

class EditorVista {
public:
    EditorVista(std::weak_ptr<Cuenta> cuenta, std::weak_ptr<Navegacion> nav, std::optional<std::string> disenoId,
                std::optional<Plantilla> plantilla);
    ~EditorVista();
    EditorVista(const EditorVista&) = delete;
    EditorVista& operator=(const EditorVista&) = delete;

    GtkWidget* widget() const { return comoG<GtkWidget>(capas_.get()); }
    const std::shared_ptr<EditorAbierto>& modelo() const { return modelo_; }
    // Whether the load-error card covers the page.
    bool muestraError() const { return tarjeta_ != nullptr; }

    // The screen's identity: a new value replaces the screen (and its model)
    // only when it differs. The design's id, else "nuevo-" and the template.
    static std::string identidad(const std::optional<std::string>& disenoId, const std::optional<Plantilla>& plantilla);

private:
    // A parked editor of the same design is taken back; otherwise a new one.
    static std::shared_ptr<EditorAbierto> elegirModelo(const std::optional<std::string>& disenoId);
    void mostrarError();

    std::shared_ptr<EditorAbierto> modelo_;
    std::weak_ptr<Navegacion> nav_;
    Ref<GtkOverlay> capas_;
    GtkWidget* tarjeta_ = nullptr;  // the overlay owns it
    EditorAbierto::Suscripcion suscripcion_;
};

}  // namespace sorvenia
