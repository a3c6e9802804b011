#include "editor/gui/editor_vista.h"

#include "navegacion/navegacion.h"
#include "plataforma/gui/tema.h"
#include "centro/agente.h"
#include "centro/trabajos.h"
#include "plataforma/gui/soltar_widget.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

// The card's looks, installed once for the whole display.
void instalarEstilo() {
    const std::string hoja = ".editor-error { background-color: " + Tema::css(Tema::fondo()) +
                             "; }\n"
                             ".editor-error-tarjeta { background-color: " +
                             Tema::css(Tema::panel()) + "; border: 1px solid " + Tema::css(Tema::linea2()) +
                             "; border-radius: 4px; padding: 28px; }\n"
                             ".editor-error-texto { color: " +
                             Tema::css(Tema::tinta()) + "; font-size: 14px; font-weight: normal; }\n";
    Tema::instalarHoja("editor-error", hoja);
}

void alVolver(GtkButton*, gpointer datos) {
    const auto& nav = *static_cast<std::weak_ptr<Navegacion>*>(datos);
    if (const auto n = nav.lock()) n->fijarPantalla(Navegacion::Pantalla::inicio());
}

}  // namespace

std::string EditorVista::identidad(const std::optional<std::string>& disenoId,
                                   const std::optional<Plantilla>& plantilla) {
    if (disenoId) return *disenoId;
    return "nuevo-" + (plantilla ? plantilla->id : std::string());
}

std::shared_ptr<EditorAbierto> EditorVista::elegirModelo(const std::optional<std::string>& disenoId) {
    if (disenoId) {
        for (const auto& m : Trabajos::compartido().modelos()) {
            auto abierto = std::dynamic_pointer_cast<EditorAbierto>(m);
            if (abierto && abierto->aparcado() && abierto->id() == disenoId) {
                abierto->reservar();
                return abierto;
            }
        }
    }
    return EditorAbierto::crear(Agente::lanzar);
}

EditorVista::EditorVista(std::weak_ptr<Cuenta> cuenta, std::weak_ptr<Navegacion> nav,
                         std::optional<std::string> disenoId, std::optional<Plantilla> plantilla)
    : modelo_(elegirModelo(disenoId)),
      nav_(nav),
      capas_(Ref<GtkOverlay>::adoptar(comoG<GtkOverlay>(gtk_overlay_new()))) {
    GtkWidget* web = modelo_->webEditor().widget();
    soltarDeSuPadre(web);  // a parked page comes from the off-screen window
    gtk_overlay_set_child(capas_.get(), web);
    suscripcion_ = modelo_->observar([this] { mostrarError(); });
    modelo_->preparar(std::move(cuenta), std::move(nav), std::move(disenoId), std::move(plantilla));
    mostrarError();
}

EditorVista::~EditorVista() {
    suscripcion_.cancelar();
    if (WebVista* web = modelo_->web()) soltarDeSuPadre(web->widget());
    modelo_->alSalir();
}

void EditorVista::mostrarError() {
    const auto& error = modelo_->errorCarga();
    if (tarjeta_ != nullptr) {
        gtk_overlay_remove_overlay(capas_.get(), tarjeta_);
        tarjeta_ = nullptr;
    }
    if (!error) return;
    instalarEstilo();
    // The layer takes every click: only the card's button leads anywhere.
    GtkWidget* capa = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_add_css_class(capa, "editor-error");
    gtk_widget_set_hexpand(capa, TRUE);
    gtk_widget_set_vexpand(capa, TRUE);
    gtk_widget_set_can_target(capa, TRUE);
    GtkWidget* tarjeta = gtk_box_new(GTK_ORIENTATION_VERTICAL, 14);
    gtk_widget_add_css_class(tarjeta, "editor-error-tarjeta");
    gtk_widget_set_halign(tarjeta, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(tarjeta, GTK_ALIGN_CENTER);
    gtk_widget_set_vexpand(tarjeta, TRUE);
    GtkWidget* texto = gtk_label_new(error->c_str());
    gtk_label_set_wrap(comoG<GtkLabel>(texto), TRUE);
    gtk_label_set_max_width_chars(comoG<GtkLabel>(texto), 60);
    gtk_widget_add_css_class(texto, "editor-error-texto");
    GtkWidget* boton = gtk_button_new_with_label("Volver a tus diseños");
    gtk_widget_set_halign(boton, GTK_ALIGN_CENTER);
    g_signal_connect(boton, "clicked", G_CALLBACK(alVolver), &nav_);
    gtk_box_append(comoG<GtkBox>(tarjeta), texto);
    gtk_box_append(comoG<GtkBox>(tarjeta), boton);
    gtk_box_append(comoG<GtkBox>(capa), tarjeta);
    gtk_overlay_add_overlay(capas_.get(), capa);
    tarjeta_ = capa;
}

}  // namespace sorvenia
