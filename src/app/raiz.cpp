#include "app/raiz.h"

#include "app/fondo.h"
#include "app/pantalla_pendiente.h"
#include "cuenta/gui/conectar_web.h"
#include "editor/gui/editor_vista.h"
#include "pantallas/gui/agencia_web.h"
#include "pantallas/gui/inicio_web.h"
#include "servidores/gui/servidores_web.h"

namespace sorvenia {
namespace {

std::string nombreDe(Navegacion::Pantalla::Caso caso) {
    switch (caso) {
        case Navegacion::Pantalla::Caso::servidores: return "pantalla-servidores";
        case Navegacion::Pantalla::Caso::agencia: return "pantalla-agencia";
        default: return "pantalla-inicio";
    }
}

}  // namespace

Raiz::Raiz(std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav)
    : cuenta_(std::move(cuenta)),
      nav_(std::move(nav)),
      capas_(Ref<GtkOverlay>::adoptar(comoG<GtkOverlay>(gtk_overlay_new()))) {
    gtk_overlay_set_child(capas_.get(), crearFondo());
    suscripcion_ = cuenta_->observar([this](Cuenta::Cambio cambio) {
        if (cambio == Cuenta::Cambio::cliente) mostrarPantalla();
    });
    suscripcionNav_ = nav_->observar([this](Navegacion::Cambio cambio) {
        if (cambio == Navegacion::Cambio::pantalla) mostrarPantalla();
    });
    mostrarPantalla();
}

Raiz::~Raiz() { quitarPantalla(); }

std::string Raiz::pantallaDeseada() const {
    if (!cuenta_->cliente()) return "conectar";
    const auto& p = nav_->pantalla();
    if (p.esEditor()) return "editor:" + EditorVista::identidad(p.id(), p.plantilla());
    return nombreDe(p.caso());
}

void Raiz::quitarPantalla() {
    if (pantalla_ != nullptr) gtk_overlay_remove_overlay(capas_.get(), pantalla_);
    pantalla_ = nullptr;
    conectar_.reset();
    editor_.reset();
    inicio_.reset();
    agencia_.reset();
    servidores_.reset();
}

void Raiz::mostrarPantalla() {
    const std::string deseada = pantallaDeseada();
    if (pantalla_ != nullptr && deseada == mostrada_) return;  // already the right one
    quitarPantalla();
    mostrada_ = deseada;
    if (deseada == "conectar") {
        conectar_ = std::make_unique<ConectarWeb>(cuenta_);
        pantalla_ = conectar_->widget();
    } else if (const auto& p = nav_->pantalla(); p.esEditor()) {
        editor_ = std::make_unique<EditorVista>(cuenta_, nav_, p.id(), p.plantilla());
        pantalla_ = editor_->widget();
    } else if (p.caso() == Navegacion::Pantalla::Caso::inicio) {
        inicio_ = std::make_unique<InicioWeb>(cuenta_, nav_);
        pantalla_ = inicio_->widget();
    } else if (p.caso() == Navegacion::Pantalla::Caso::servidores) {
        servidores_ = std::make_unique<ServidoresWeb>(cuenta_, nav_);
        pantalla_ = servidores_->widget();
    } else if (p.caso() == Navegacion::Pantalla::Caso::agencia) {
        agencia_ = std::make_unique<AgenciaWeb>(cuenta_, nav_);
        pantalla_ = agencia_->widget();
    } else {
        pantalla_ = pantallaPendiente(p.caso(), nav_);
    }
    gtk_overlay_add_overlay(capas_.get(), pantalla_);
}

}  // namespace sorvenia
