#include "plataforma/gui/tema.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <gtk/gtk.h>

#include <set>
#include <system_error>

#include "plataforma/objeto_g.h"
#include "plataforma/recursos.h"

namespace sorvenia::Tema {
namespace {

constexpr GdkRGBA gris(float blanco) { return GdkRGBA{blanco, blanco, blanco, 1.0F}; }

constexpr const char* nombresFuentes[] = {"inter", "jetbrains-mono"};

}  // namespace

const GdkRGBA& fondo() {
    static constexpr GdkRGBA valor = gris(0.0F);
    return valor;
}

const GdkRGBA& panel() {
    static constexpr GdkRGBA valor = gris(0.02F);
    return valor;
}

const GdkRGBA& tinta() {
    static constexpr GdkRGBA valor{0.93F, 0.93F, 0.93F, 1.0F};
    return valor;
}

const GdkRGBA& linea2() {
    static constexpr GdkRGBA valor = gris(0.165F);
    return valor;
}

std::vector<std::filesystem::path> archivosFuentes(const std::optional<std::filesystem::path>& recursos) {
    std::vector<std::filesystem::path> archivos;
    for (const char* nombre : nombresFuentes) {
        const auto ruta = Recursos::detalle::bajo(recursos, std::string("editor/fuentes/") + nombre + ".woff2");
        std::error_code ec;
        if (ruta && std::filesystem::is_regular_file(*ruta, ec)) archivos.push_back(*ruta);
    }
    return archivos;
}

int registrarFuentes() {
    int registradas = 0;
    for (const auto& archivo : archivosFuentes(Recursos::carpeta())) {
        const auto* ruta = reinterpret_cast<const FcChar8*>(archivo.c_str());
        if (FcConfigAppFontAddFile(nullptr, ruta) == FcTrue) ++registradas;
    }
    // Pango may have read the font list already (GTK's start-up can make the
    // font map): tell it the configuration grew.
    PangoFontMap* mapa = pango_cairo_font_map_get_default();
    const bool esFc = g_type_check_instance_is_a(comoG<GTypeInstance>(mapa), pango_fc_font_map_get_type()) != FALSE;
    if (registradas > 0 && esFc) pango_fc_font_map_config_changed(comoG<PangoFcFontMap>(mapa));
    return registradas;
}

std::string css(const GdkRGBA& color) {
    const TextoG texto(gdk_rgba_to_string(&color));
    return texto.get();
}

void instalarHoja(const std::string& clave, const std::string& hoja) {
    static std::set<std::string> hechas;
    GdkDisplay* pantalla = gdk_display_get_default();
    if (pantalla == nullptr || !hechas.insert(clave).second) return;
    GtkCssProvider* proveedor = gtk_css_provider_new();
    gtk_css_provider_load_from_data(proveedor, hoja.c_str(), -1);
    gtk_style_context_add_provider_for_display(pantalla, GTK_STYLE_PROVIDER(proveedor),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(proveedor);
}

}  // namespace sorvenia::Tema
