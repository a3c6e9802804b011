#include "servidores/gui/elegir_archivos.h"

#include <fstream>
#include <memory>

#include <nlohmann/json.hpp>

#include "plataforma/gui/canal_pruebas.h"
#include "plataforma/identidad.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> elegidosEnPruebas() {
    const fs::path fichero = CanalPruebas::carpeta() / "subir.json";
    std::ifstream entrada(fichero);
    if (!entrada) return {};
    const auto lista = nlohmann::json::parse(entrada, nullptr, false);
    std::error_code ec;
    fs::remove(fichero, ec);
    std::vector<std::string> r;
    if (lista.is_array())
        for (const auto& e : lista)
            if (e.is_string()) r.push_back(e.get<std::string>());
    return r;
}

using Entrega = std::function<void(std::vector<std::string>)>;

void alResponder(GtkNativeDialog* dialogo, int respuesta, gpointer datos) {
    std::unique_ptr<Entrega> entregar(static_cast<Entrega*>(datos));
    std::vector<std::string> rutas;
    if (respuesta == GTK_RESPONSE_ACCEPT) {
        GListModel* ficheros = gtk_file_chooser_get_files(GTK_FILE_CHOOSER(dialogo));
        for (guint i = 0; i < g_list_model_get_n_items(ficheros); ++i) {
            auto* f = static_cast<GFile*>(g_list_model_get_item(ficheros, i));
            if (char* ruta = g_file_get_path(f)) {
                rutas.emplace_back(ruta);
                g_free(ruta);
            }
            g_object_unref(f);
        }
        g_object_unref(ficheros);
    }
    g_object_unref(dialogo);
    (*entregar)(std::move(rutas));
}

}  // namespace

Tarea<std::vector<std::string>> elegirArchivos(GtkWidget* padre, std::string mensaje) {
    if (esCompilacionDePrueba()) {
        auto elegidos = elegidosEnPruebas();
        if (!elegidos.empty()) co_return elegidos;
    }
    GtkWindow* ventana = nullptr;
    if (padre != nullptr)
        if (GtkRoot* raiz = gtk_widget_get_root(padre); raiz != nullptr && GTK_IS_WINDOW(raiz))
            ventana = GTK_WINDOW(raiz);
    co_return co_await conRetrollamada<std::vector<std::string>>([ventana, mensaje](Entrega listo) {
        GtkFileChooserNative* d =
            gtk_file_chooser_native_new(mensaje.c_str(), ventana, GTK_FILE_CHOOSER_ACTION_OPEN, "Subir", "Cancelar");
        gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(d), TRUE);
        gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(d), TRUE);
        g_signal_connect(d, "response", G_CALLBACK(alResponder), new Entrega(std::move(listo)));
        gtk_native_dialog_show(GTK_NATIVE_DIALOG(d));
    });
}

void mostrarEnCarpeta(const fs::path& ruta) {
    GFile* f = g_file_new_for_path(ruta.c_str());
    char* uri = g_file_get_uri(f);
    g_object_unref(f);
    GVariantBuilder uris;
    g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
    g_variant_builder_add(&uris, "s", uri);
    g_free(uri);
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr) return;
    g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                           "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(ass)", &uris, ""), nullptr,
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, nullptr, nullptr);
    g_object_unref(bus);
}

}  // namespace sorvenia
