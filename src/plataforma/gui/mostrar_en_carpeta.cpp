#include "plataforma/gui/mostrar_en_carpeta.h"

#include <gio/gio.h>

namespace sorvenia {

namespace fs = std::filesystem;

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
