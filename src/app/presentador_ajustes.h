#pragma once
// Shows the settings sheet while the navigation says so: on its
// integrations tab while `ajustes` is set, on its agents tab while `agentes`
// is. Closing the sheet lowers the flag that opened it; lowering the flag
// closes the sheet. Also hands the navigation the integration cards, and
// keeps them current: the keys are read once at start, then by every sheet.

#include <gtk/gtk.h>

#include <memory>

#include "navegacion/navegacion.h"

namespace sorvenia {

class AjustesHoja;

class PresentadorAjustes {
public:
    PresentadorAjustes(std::shared_ptr<Navegacion> nav, GtkWindow* padre);
    ~PresentadorAjustes();
    PresentadorAjustes(const PresentadorAjustes&) = delete;
    PresentadorAjustes& operator=(const PresentadorAjustes&) = delete;

    const AjustesHoja* hoja() const { return hoja_.get(); }

private:
    void seguir();

    std::weak_ptr<Navegacion> nav_;
    GtkWindow* padre_;  // not owned: the main window, which owns this
    std::unique_ptr<AjustesHoja> hoja_;
    bool enAgentes_ = false;
    Navegacion::Suscripcion suscripcion_;
};

}  // namespace sorvenia
