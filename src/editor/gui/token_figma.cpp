#include "editor/gui/token_figma.h"

#include <functional>
#include <utility>

#include "integraciones/conexiones.h"
#include "integraciones/texto_integraciones.h"
#include "plataforma/objeto_g.h"
#include "plataforma/ref_debil.h"

namespace sorvenia {
namespace {

constexpr const char* titulo = "Conecta tu cuenta de Figma";
constexpr const char* informativo =
    "Pega tu token personal de Figma (en Figma: menú de tu cuenta → Ajustes → Seguridad → «Tokens de acceso "
    "personal», con permiso de lectura de archivos). Se guarda en el llavero de este ordenador como la conexión "
    "«figma»; Sorvenia no lo ve.";
constexpr const char* ayuda = "https://help.figma.com/hc/es/articles/8085703771159";
constexpr const char* web = "https://www.figma.com/";

using Listo = std::function<void(std::optional<std::string>)>;

// What the dialog's handlers share; freed with the "response" handler.
struct Estado {
    Listo listo;
    GtkEditable* campo = nullptr;
};

void liberarEstado(gpointer datos, GClosure*) { delete static_cast<Estado*>(datos); }

// Button 0 saves what the field holds; anything else is a no.
void alResponder(GtkDialog* dialogo, int respuesta, gpointer datos) {
    auto* estado = static_cast<Estado*>(datos);
    std::optional<std::string> token;
    if (respuesta == 0) token = TextoIntegraciones::recortar(gtk_editable_get_text(estado->campo));
    estado->listo(token && !token->empty() ? token : std::nullopt);
    gtk_window_destroy(comoG<GtkWindow>(dialogo));
}

void alDestruir(GtkWidget*, gpointer datos) { static_cast<Estado*>(datos)->listo(std::nullopt); }

// GtkMessageDialog is deprecated after GTK 4.8; the application's alerts
// use it too, so this one looks like them.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
GtkWidget* crearDialogo(GtkWindow* padre, GtkWidget** campo) {
    auto banderas =
        static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | (padre != nullptr ? GTK_DIALOG_DESTROY_WITH_PARENT : 0));
    GtkWidget* dialogo = gtk_message_dialog_new(padre, banderas, GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE, "%s", titulo);
    gtk_message_dialog_format_secondary_text(comoG<GtkMessageDialog>(dialogo), "%s", informativo);
    GtkWidget* zona = gtk_message_dialog_get_message_area(comoG<GtkMessageDialog>(dialogo));
    *campo = gtk_password_entry_new();
    gtk_password_entry_set_show_peek_icon(comoG<GtkPasswordEntry>(*campo), TRUE);
    gtk_widget_set_name(*campo, "token-figma");
    gtk_box_append(comoG<GtkBox>(zona), *campo);
    GtkWidget* enlaces = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_box_append(comoG<GtkBox>(enlaces), gtk_link_button_new_with_label(ayuda, "Cómo se crea un token"));
    gtk_box_append(comoG<GtkBox>(enlaces), gtk_link_button_new_with_label(web, "Abrir Figma"));
    gtk_box_append(comoG<GtkBox>(zona), enlaces);
    for (const auto& [texto, indice] : {std::pair{"Cancelar", 1}, std::pair{"Guardar y seguir", 0}}) {
        GtkWidget* boton = gtk_dialog_add_button(comoG<GtkDialog>(dialogo), texto, indice);
        gtk_button_set_use_underline(comoG<GtkButton>(boton), FALSE);
    }
    gtk_dialog_set_default_response(comoG<GtkDialog>(dialogo), 0);
    g_object_set(*campo, "activates-default", TRUE, nullptr);
    return dialogo;
}
G_GNUC_END_IGNORE_DEPRECATIONS

}  // namespace

std::optional<std::string> guardarTokenFigma(const std::string& token) {
    Conexiones::Conexion c;
    c.id = "figma";
    c.nombre = "figma";
    c.tipo = "clave";
    c.variable = "FIGMA_TOKEN";
    c.para = "Leer e importar tus diseños de Figma";
    return Conexiones::guardar(std::move(c), token);
}

Tarea<std::optional<std::string>> pedirTokenFigma(GtkWindow* padre, std::function<void(const std::string&)> aviso) {
    GtkWidget* campo = nullptr;
    GtkWidget* dialogo = crearDialogo(padre, &campo);
    const RefDebil<GtkWidget> debil(dialogo);
    std::optional<std::string> token;
    try {
        token = co_await conRetrollamada<std::optional<std::string>>([&](Listo listo) {
            auto* estado = new Estado{std::move(listo), comoG<GtkEditable>(campo)};
            g_signal_connect_data(dialogo, "response", reinterpret_cast<GCallback>(&alResponder), estado,
                                  &liberarEstado, static_cast<GConnectFlags>(0));
            conectarSenal(dialogo, "destroy", &alDestruir, estado);
            gtk_window_present(comoG<GtkWindow>(dialogo));
        });
    } catch (const TareaCancelada&) {
        if (const auto vivo = debil.obtener()) gtk_window_destroy(comoG<GtkWindow>(vivo.get()));
        throw;
    }
    if (!token) co_return std::nullopt;
    if (const auto error = co_await enSegundoPlano([t = *token] { return guardarTokenFigma(t); })) aviso(*error);
    co_return token;
}

}  // namespace sorvenia
