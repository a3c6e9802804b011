#include "plataforma/gui/alerta.h"

#include <functional>
#include <utility>

#include "plataforma/objeto_g.h"
#include "plataforma/ref_debil.h"

namespace sorvenia {
namespace {

using Listo = std::function<void(std::optional<std::size_t>)>;

// What the dialog's handlers share; freed with the dialog's handlers.
struct Estado {
    Listo listo;
    std::size_t botones = 0;
};

void liberarEstado(gpointer datos, GClosure*) { delete static_cast<Estado*>(datos); }

// A button (its response id is its index), or a response someone else gave
// the dialog: either ends it. The coroutine resumes later, on the main
// context, whatever the order.
void alResponder(GtkDialog* dialogo, int respuesta, gpointer datos) {
    const auto* estado = static_cast<Estado*>(datos);
    std::optional<std::size_t> indice;
    if (respuesta >= 0 && static_cast<std::size_t>(respuesta) < estado->botones)
        indice = static_cast<std::size_t>(respuesta);
    estado->listo(indice);
    gtk_window_destroy(comoG<GtkWindow>(dialogo));
}

// Escape (the dialog's "close" binding), the close button and the window
// manager all ask here; the answer is no. Stops GtkDialog's own handler,
// which would answer GTK_RESPONSE_DELETE_EVENT.
gboolean alPedirCierre(GtkWindow*, gpointer) { return TRUE; }

// Destroyed without a button (its parent went, someone closed it by code),
// or after a response: then this answer comes too late and is ignored.
// gtk_window_destroy unrealizes the window at once; "destroy" comes when
// the last reference goes.
void alDestruir(GtkWidget*, gpointer datos) { static_cast<Estado*>(datos)->listo(std::nullopt); }

// The new dialog belongs to GTK's list of windows, like every window.
// GtkMessageDialog is deprecated after GTK 4.8.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
GtkWidget* crearDialogo(GtkWindow* padre, const std::string& mensaje, const std::string& informativo,
                        const std::vector<std::string>& botones) {
    auto banderas =
        static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | (padre != nullptr ? GTK_DIALOG_DESTROY_WITH_PARENT : 0));
    GtkWidget* dialogo =
        gtk_message_dialog_new(padre, banderas, GTK_MESSAGE_WARNING, GTK_BUTTONS_NONE, "%s", mensaje.c_str());
    if (!informativo.empty())
        gtk_message_dialog_format_secondary_text(comoG<GtkMessageDialog>(dialogo), "%s", informativo.c_str());
    // Added last to first, so the first stands at the trailing edge.
    for (std::size_t i = botones.size(); i-- > 0;) {
        GtkWidget* boton = gtk_dialog_add_button(comoG<GtkDialog>(dialogo), botones[i].c_str(), static_cast<int>(i));
        gtk_button_set_use_underline(comoG<GtkButton>(boton), FALSE);
    }
    gtk_dialog_set_default_response(comoG<GtkDialog>(dialogo), 0);
    gtk_window_set_deletable(comoG<GtkWindow>(dialogo), FALSE);
    return dialogo;
}
G_GNUC_END_IGNORE_DEPRECATIONS

}  // namespace

Tarea<std::optional<std::size_t>> alerta(GtkWindow* padre, std::string mensaje, std::string informativo,
                                         std::vector<std::string> botones) {
    // An alert with no buttons could never be answered; the Mac's gets "OK".
    if (botones.empty()) botones.emplace_back("Aceptar");
    GtkWidget* dialogo = crearDialogo(padre, mensaje, informativo, botones);
    // No strong reference of ours: a window that GTK destroys must go at
    // once (a transient window kept past its parent's end would disconnect
    // from a parent that is gone).
    const RefDebil<GtkWidget> debil(dialogo);
    const std::size_t cuantos = botones.size();
    try {
        co_return co_await conRetrollamada<std::optional<std::size_t>>([&](Listo listo) {
            auto* estado = new Estado{std::move(listo), cuantos};
            g_signal_connect_data(dialogo, "response", reinterpret_cast<GCallback>(&alResponder), estado,
                                  &liberarEstado, static_cast<GConnectFlags>(0));
            conectarSenal(dialogo, "close-request", &alPedirCierre, nullptr);
            conectarSenal(dialogo, "unrealize", &alDestruir, estado);
            conectarSenal(dialogo, "destroy", &alDestruir, estado);
            gtk_window_present(comoG<GtkWindow>(dialogo));
        });
    } catch (const TareaCancelada&) {
        if (const auto vivo = debil.obtener()) gtk_window_destroy(comoG<GtkWindow>(vivo.get()));
        throw;
    }
}

}  // namespace sorvenia
