#include "app/canal_pruebas/captura_canal.h"

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <string>

#include "app/canal_pruebas/archivos_canal.h"
#include "app/canal_pruebas/orden_canal.h"
#include "app/canal_pruebas/registro_webs.h"
#include "plataforma/gui/codificar_imagen.h"
#include "plataforma/objeto_g.h"

namespace sorvenia::CanalPruebas {
namespace {

void guardarPng(GdkTexture* textura) {
    if (textura == nullptr) return;
    const auto png = codificarTextura(textura, FormatoImagen::png);
    if (!png) return;
    escribirAtomico(enCarpeta("captura.png"),
                    std::string_view(reinterpret_cast<const char*>(png->data()), png->size()));
}

// The focused window of the application, else the first shown window that
// has content.
GtkWindow* ventanaPrincipal() {
    GApplication* app = g_application_get_default();
    if (app != nullptr && g_type_check_instance_is_a(comoG<GTypeInstance>(app), gtk_application_get_type())) {
        GtkWindow* activa = gtk_application_get_active_window(comoG<GtkApplication>(app));
        if (activa != nullptr && gtk_window_get_child(activa) != nullptr) return activa;
    }
    GListModel* ventanas = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(ventanas); ++i) {
        const auto ventana = Ref<GtkWindow>::adoptar(comoG<GtkWindow>(g_list_model_get_item(ventanas, i)));
        if (gtk_widget_get_visible(comoG<GtkWidget>(ventana.get())) && gtk_window_get_child(ventana.get()) != nullptr)
            return ventana.get();  // the list keeps it alive
    }
    return nullptr;
}

// The window holding a registered web view, with its native bars too.
GtkWindow* ventanaDeWeb(const std::string& nombre) {
    const auto web = webRegistrada(nombre);
    if (!web) return nullptr;
    GtkRoot* raiz = gtk_widget_get_root(comoG<GtkWidget>(web.get()));
    return raiz != nullptr && GTK_IS_WINDOW(raiz) ? comoG<GtkWindow>(raiz) : nullptr;
}

void capturarVentana(GtkWindow* ventana) {
    if (ventana == nullptr) return;
    GtkWidget* contenido = gtk_window_get_child(ventana);
    const int ancho = gtk_widget_get_width(contenido);
    const int alto = gtk_widget_get_height(contenido);
    GskRenderer* pintor = gtk_native_get_renderer(gtk_widget_get_native(contenido));
    if (ancho <= 0 || alto <= 0 || pintor == nullptr) return;
    const auto pintable = Ref<GdkPaintable>::adoptar(gtk_widget_paintable_new(contenido));
    GtkSnapshot* foto = gtk_snapshot_new();
    gdk_paintable_snapshot(pintable.get(), comoG<GdkSnapshot>(foto), ancho, alto);
    GskRenderNode* nodo = gtk_snapshot_free_to_node(foto);
    if (nodo == nullptr) return;
    graphene_rect_t marco;
    graphene_rect_init(&marco, 0.0F, 0.0F, static_cast<float>(ancho), static_cast<float>(alto));
    const auto textura = Ref<GdkTexture>::adoptar(gsk_renderer_render_texture(pintor, nodo, &marco));
    gsk_render_node_unref(nodo);
    guardarPng(textura.get());
}

void alInstantanea(GObject* fuente, GAsyncResult* resultado, gpointer) {
    const auto textura = Ref<GdkTexture>::adoptar(
        webkit_web_view_get_snapshot_finish(comoG<WebKitWebView>(fuente), resultado, nullptr));
    guardarPng(textura.get());
}

}  // namespace

Captura mirarCaptura() {
    const auto archivo = enCarpeta("captura.pedir");
    const auto peticion = leerPeticion(archivo);
    if (!peticion) return Captura::ninguna;
    borrar(archivo);
    borrar(enCarpeta("captura.png"));
    // "ventana": the main window; "ventana:<web>": the window that holds
    // that web view (the store window, say).
    const std::string_view pedida = recortarPeticion(*peticion);
    if (pedida == "ventana" || pedida.starts_with("ventana:")) {
        capturarVentana(pedida == "ventana" ? ventanaPrincipal() : ventanaDeWeb(std::string(pedida.substr(8))));
        return Captura::ventana;
    }
    if (const auto web = webRegistrada(destinoCaptura(*peticion)))
        webkit_web_view_get_snapshot(web.get(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
                                     &alInstantanea, nullptr);
    return Captura::web;
}

}  // namespace sorvenia::CanalPruebas
