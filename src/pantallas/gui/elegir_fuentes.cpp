#include "pantallas/gui/elegir_fuentes.h"

#include <functional>

#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

using Listo = std::function<void(std::optional<std::vector<std::string>>)>;

struct Estado {
    Listo listo;
};

void liberarEstado(gpointer datos, GClosure*) { delete static_cast<Estado*>(datos); }

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
std::vector<std::string> elegidos(GtkFileChooser* panel) {
    std::vector<std::string> rutas;
    const auto archivos = Ref<GListModel>::adoptar(gtk_file_chooser_get_files(panel));
    for (guint i = 0; archivos && i < g_list_model_get_n_items(archivos.get()); ++i) {
        const auto archivo = Ref<GFile>::adoptar(comoG<GFile>(g_list_model_get_item(archivos.get(), i)));
        if (char* ruta = g_file_get_path(archivo.get())) {
            rutas.emplace_back(ruta);
            g_free(ruta);
        }
    }
    if (rutas.empty())
        if (const auto archivo = Ref<GFile>::adoptar(gtk_file_chooser_get_file(panel)))
            if (char* ruta = g_file_get_path(archivo.get())) {
                rutas.emplace_back(ruta);
                g_free(ruta);
            }
    return rutas;
}

void alResponder(GtkDialog* dialogo, int respuesta, gpointer datos) {
    auto* estado = static_cast<Estado*>(datos);
    if (respuesta == GTK_RESPONSE_ACCEPT) estado->listo(elegidos(comoG<GtkFileChooser>(dialogo)));
    else estado->listo(std::nullopt);
    gtk_window_destroy(comoG<GtkWindow>(dialogo));
}

GtkWidget* crearPanel(GtkWindow* padre) {
    GtkWidget* panel = gtk_file_chooser_dialog_new("Añadir fuentes", padre, GTK_FILE_CHOOSER_ACTION_OPEN, "Cancelar",
                                                   GTK_RESPONSE_CANCEL, "Añadir", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_window_set_modal(comoG<GtkWindow>(panel), TRUE);
    gtk_file_chooser_set_select_multiple(comoG<GtkFileChooser>(panel), TRUE);
    GtkFileFilter* filtro = gtk_file_filter_new();
    gtk_file_filter_set_name(filtro, "Fuentes (.ttf, .otf, .woff o .woff2)");
    for (const char* patron : {"*.ttf", "*.TTF", "*.otf", "*.OTF", "*.woff", "*.WOFF", "*.woff2", "*.WOFF2"})
        gtk_file_filter_add_pattern(filtro, patron);
    gtk_file_chooser_add_filter(comoG<GtkFileChooser>(panel), filtro);
    g_object_unref(filtro);
    return panel;
}
G_GNUC_END_IGNORE_DEPRECATIONS

}  // namespace

Tarea<std::optional<std::vector<std::string>>> elegirFuentes(GtkWindow* padre) {
    GtkWidget* panel = crearPanel(padre);
    co_return co_await conRetrollamada<std::optional<std::vector<std::string>>>([&](Listo listo) {
        auto* estado = new Estado{std::move(listo)};
        g_signal_connect_data(panel, "response", reinterpret_cast<GCallback>(&alResponder), estado, &liberarEstado,
                              static_cast<GConnectFlags>(0));
        gtk_window_present(comoG<GtkWindow>(panel));
    });
}

}  // namespace sorvenia
