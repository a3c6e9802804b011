#include "app/canal_pruebas/dialogos_canal.h"

#include <string>

#include "app/canal_pruebas/archivos_canal.h"
#include "app/canal_pruebas/orden_canal.h"
#include "plataforma/objeto_g.h"

namespace sorvenia::CanalPruebas {
namespace {

bool es(gpointer objeto, GType tipo) {
    return g_type_check_instance_is_a(comoG<GTypeInstance>(objeto), tipo) != FALSE;
}

// The shown modal window; the newest when several are.
GtkWindow* ventanaModal() {
    GtkWindow* modal = nullptr;
    GListModel* ventanas = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(ventanas); ++i) {
        const auto ventana = Ref<GtkWindow>::adoptar(comoG<GtkWindow>(g_list_model_get_item(ventanas, i)));
        if (gtk_widget_get_visible(comoG<GtkWidget>(ventana.get())) && gtk_window_get_modal(ventana.get()))
            modal = ventana.get();  // the list keeps it alive
    }
    return modal;
}

bool esPanel(GtkWindow* ventana) { return es(ventana, gtk_file_chooser_get_type()) && es(ventana, gtk_dialog_get_type()); }

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
std::string rutaElegida(GtkFileChooser* panel) {
    auto archivo = Ref<GFile>::adoptar(gtk_file_chooser_get_file(panel));
    if (!archivo) archivo = Ref<GFile>::adoptar(gtk_file_chooser_get_current_folder(panel));
    const TextoG ruta(archivo ? g_file_get_path(archivo.get()) : nullptr);
    return ruta ? ruta.get() : "(sin url)";
}
G_GNUC_END_IGNORE_DEPRECATIONS

void anadir(GtkWidget* widget, ContenidoAlerta& contenido) {
    if (es(widget, gtk_button_get_type())) {
        const char* titulo = gtk_button_get_label(comoG<GtkButton>(widget));
        if (titulo != nullptr && *titulo != '\0') {
            contenido.botones.push_back(widget);
            return;
        }
    } else if (es(widget, gtk_label_get_type())) {
        const char* texto = gtk_label_get_text(comoG<GtkLabel>(widget));
        if (texto != nullptr && *texto != '\0') contenido.textos.emplace_back(texto);
    }
    for (GtkWidget* hijo = gtk_widget_get_first_child(widget); hijo != nullptr; hijo = gtk_widget_get_next_sibling(hijo))
        anadir(hijo, contenido);
}

}  // namespace

nlohmann::json ContenidoAlerta::comoJSON() const {
    nlohmann::json titulos = nlohmann::json::array();
    for (GtkWidget* boton : botones) titulos.push_back(gtk_button_get_label(comoG<GtkButton>(boton)));
    return {{"textos", textos}, {"botones", titulos}};
}

ContenidoAlerta recorrer(GtkWidget* raiz) {
    ContenidoAlerta contenido;
    if (raiz != nullptr) anadir(raiz, contenido);
    return contenido;
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
void mirarPanel() {
    const auto archivo = enCarpeta("panel.elegir");
    const auto peticion = leerPeticion(archivo);
    if (!peticion) return;
    GtkWindow* panel = ventanaModal();
    if (panel == nullptr || !esPanel(panel)) return;
    if (recortarPeticion(*peticion) == "cancelar") {
        borrar(archivo);
        gtk_dialog_response(comoG<GtkDialog>(panel), GTK_RESPONSE_CANCEL);
        escribirAtomico(enCarpeta("panel.hecho"), "cancelado\n");
        return;
    }
    // An absolute path is chosen first; the chooser selects it once it has
    // read its folder, so the request waits until then.
    const std::string pedida(recortarPeticion(*peticion));
    if (pedida.starts_with('/') && rutaElegida(comoG<GtkFileChooser>(panel)) != pedida) {
        static GtkWindow* yaPedido = nullptr;
        if (yaPedido != panel) {
            const auto elegido = Ref<GFile>::adoptar(g_file_new_for_path(pedida.c_str()));
            gtk_file_chooser_set_file(comoG<GtkFileChooser>(panel), elegido.get(), nullptr);
            yaPedido = panel;
        }
        return;
    }
    borrar(archivo);
    const std::string ruta = rutaElegida(comoG<GtkFileChooser>(panel));
    gtk_dialog_response(comoG<GtkDialog>(panel), GTK_RESPONSE_ACCEPT);
    escribirAtomico(enCarpeta("panel.hecho"), ruta + "\n");
}
G_GNUC_END_IGNORE_DEPRECATIONS

void mirarBoton() {
    const auto archivo = enCarpeta("boton.pulsar");
    const auto peticion = leerPeticion(archivo);
    if (!peticion) return;
    GtkWindow* alerta = ventanaModal();
    if (alerta == nullptr || esPanel(alerta) || gtk_window_get_child(alerta) == nullptr) return;
    borrar(archivo);
    const ContenidoAlerta contenido = recorrer(gtk_window_get_child(alerta));
    escribirDirecto(enCarpeta("boton.hecho"), contenido.comoJSON().dump());
    const std::string_view titulo = recortarPeticion(*peticion);
    if (titulo == "?") return;
    for (GtkWidget* boton : contenido.botones)
        if (titulo == gtk_button_get_label(comoG<GtkButton>(boton))) {
            gtk_widget_activate(boton);
            return;
        }
}

}  // namespace sorvenia::CanalPruebas
