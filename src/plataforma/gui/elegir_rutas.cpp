#include "plataforma/gui/elegir_rutas.h"

#include <functional>
#include <memory>

#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using Eleccion = std::optional<std::vector<fs::path>>;
using Listo = std::function<void(Eleccion)>;

// Shared by the chooser's two signals: whichever comes first answers.
struct Espera {
    Listo listo;
    bool respondido = false;
    void responder(Eleccion e) {
        if (respondido) return;
        respondido = true;
        listo(std::move(e));
    }
};

std::optional<fs::path> rutaDe(GFile* archivo) {
    if (archivo == nullptr) return std::nullopt;
    const TextoG ruta(g_file_get_path(archivo));
    if (!ruta) return std::nullopt;
    return fs::path(ruta.get());
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
std::vector<fs::path> elegidas(GtkFileChooser* panel) {
    std::vector<fs::path> rutas;
    const auto archivos = Ref<GListModel>::adoptar(gtk_file_chooser_get_files(panel));
    for (guint i = 0; archivos && i < g_list_model_get_n_items(archivos.get()); ++i) {
        const auto archivo = Ref<GFile>::adoptar(comoG<GFile>(g_list_model_get_item(archivos.get(), i)));
        if (auto ruta = rutaDe(archivo.get())) rutas.push_back(std::move(*ruta));
    }
    if (rutas.empty())
        if (auto ruta = rutaDe(Ref<GFile>::adoptar(gtk_file_chooser_get_file(panel)).get()))
            rutas.push_back(std::move(*ruta));
    if (rutas.empty() && gtk_file_chooser_get_action(panel) == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER)
        if (auto ruta = rutaDe(Ref<GFile>::adoptar(gtk_file_chooser_get_current_folder(panel)).get()))
            rutas.push_back(std::move(*ruta));
    return rutas;
}

void alResponder(GtkDialog* dialogo, int respuesta, gpointer datos) {
    auto espera = *static_cast<std::shared_ptr<Espera>*>(datos);
    Eleccion eleccion;
    if (respuesta == GTK_RESPONSE_ACCEPT)
        if (auto rutas = elegidas(comoG<GtkFileChooser>(dialogo)); !rutas.empty()) eleccion = std::move(rutas);
    espera->responder(std::move(eleccion));
    gtk_window_destroy(comoG<GtkWindow>(dialogo));
}

void alDestruir(GtkWidget*, gpointer datos) {
    (*static_cast<std::shared_ptr<Espera>*>(datos))->responder(std::nullopt);
}

void liberar(gpointer datos, GClosure*) { delete static_cast<std::shared_ptr<Espera>*>(datos); }

void conectar(GtkWidget* panel, const char* senal, GCallback funcion, const std::shared_ptr<Espera>& espera) {
    g_signal_connect_data(panel, senal, funcion, new std::shared_ptr<Espera>(espera), &liberar,
                          static_cast<GConnectFlags>(0));
}

GtkFileChooserAction accion(ModoEleccion modo) {
    switch (modo) {
        case ModoEleccion::carpeta: return GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
        case ModoEleccion::guardar: return GTK_FILE_CHOOSER_ACTION_SAVE;
        case ModoEleccion::abrir: break;
    }
    return GTK_FILE_CHOOSER_ACTION_OPEN;
}

GtkWidget* crearPanel(GtkWindow* padre, const PeticionRutas& p) {
    GtkWidget* panel = gtk_file_chooser_dialog_new(p.titulo.c_str(), padre, accion(p.modo), "Cancelar",
                                                   GTK_RESPONSE_CANCEL, p.boton.c_str(), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_window_set_modal(comoG<GtkWindow>(panel), TRUE);
    auto* chooser = comoG<GtkFileChooser>(panel);
    if (p.modo == ModoEleccion::abrir) gtk_file_chooser_set_select_multiple(chooser, p.varios ? TRUE : FALSE);
    if (p.modo == ModoEleccion::abrir && !p.patrones.empty()) {
        GtkFileFilter* filtro = gtk_file_filter_new();
        gtk_file_filter_set_name(filtro, p.nombreFiltro.c_str());
        for (const std::string& patron : p.patrones) gtk_file_filter_add_pattern(filtro, patron.c_str());
        gtk_file_chooser_add_filter(chooser, filtro);
        g_object_unref(filtro);
    }
    if (p.carpetaInicial) {
        const auto carpeta = Ref<GFile>::adoptar(g_file_new_for_path(p.carpetaInicial->c_str()));
        gtk_file_chooser_set_current_folder(chooser, carpeta.get(), nullptr);
    }
    if (p.modo == ModoEleccion::guardar) gtk_file_chooser_set_current_name(chooser, p.nombreSugerido.c_str());
    return panel;
}
G_GNUC_END_IGNORE_DEPRECATIONS

}  // namespace

GtkWindow* ventanaDe(GtkWidget* widget) {
    if (widget == nullptr) return nullptr;
    GtkRoot* raiz = gtk_widget_get_root(widget);
    return raiz != nullptr && GTK_IS_WINDOW(raiz) ? GTK_WINDOW(raiz) : nullptr;
}

Tarea<std::optional<std::vector<fs::path>>> elegirRutas(GtkWindow* padre, PeticionRutas peticion) {
    // Held here so that a cancelled wait closes the chooser it leaves.
    auto panel = Ref<GtkWidget>::compartir(crearPanel(padre, peticion));
    struct Cerrar {
        Ref<GtkWidget> panel;
        ~Cerrar() {
            if (gtk_widget_get_realized(panel.get()) || gtk_widget_get_visible(panel.get()))
                gtk_window_destroy(comoG<GtkWindow>(panel.get()));
        }
    } cerrar{panel};
    co_return co_await conRetrollamada<Eleccion>([&panel](Listo listo) {
        auto espera = std::make_shared<Espera>();
        espera->listo = std::move(listo);
        conectar(panel.get(), "response", G_CALLBACK(alResponder), espera);
        conectar(panel.get(), "destroy", G_CALLBACK(alDestruir), espera);
        gtk_window_present(comoG<GtkWindow>(panel.get()));
    });
}

}  // namespace sorvenia
