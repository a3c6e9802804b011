#include "pantallas/gui/ajustes_hoja.h"

#include "medios/gui/esquema_fuente.h"
#include "pantallas/gui/ajustes_modelo.h"
#include "pantallas/gui/elegir_fuentes.h"
#include "plataforma/gui/canal_pruebas.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/recursos.h"
#include "plataforma/ref_debil.h"

namespace sorvenia {
namespace {

std::unique_ptr<WebVista> crearVista(std::weak_ptr<AjustesModelo> modelo) {
    auto vista = std::make_unique<WebVista>("ajustes");
    vista->alMensaje([modelo](const nlohmann::json& mensaje) {
        if (const auto m = modelo.lock()) m->recibir(mensaje);
    });
    servirFuentes(*vista);
    CanalPruebas::registrar("ajustes", vista->vistaWeb());
    const GdkRGBA transparente{0.0F, 0.0F, 0.0F, 0.0F};
    webkit_web_view_set_background_color(vista->vistaWeb(), &transparente);
    return vista;
}

}  // namespace

AjustesHoja::AjustesHoja(GtkWindow* padre, std::string pestana, std::function<void()> alCerrar)
    : modelo_(std::make_shared<AjustesModelo>()),
      vista_(crearVista(modelo_)),
      ventana_(Ref<GtkWindow>::compartir(comoG<GtkWindow>(gtk_window_new()))),
      alCerrar_(std::make_shared<std::function<void()>>(std::move(alCerrar))) {
    GtkWindow* v = ventana_.get();
    gtk_window_set_title(v, "Ajustes");
    gtk_window_set_modal(v, TRUE);
    if (padre != nullptr) gtk_window_set_transient_for(v, padre);
    gtk_window_set_default_size(v, 860, 660);
    gtk_window_set_resizable(v, FALSE);
    gtk_window_set_child(v, vista_->widget());
    g_signal_connect(v, "close-request", G_CALLBACK(&AjustesHoja::alPedirCierre), alCerrar_.get());

    modelo_->fijarWeb(vista_.get());
    modelo_->fijarPestana(std::move(pestana));
    // Later than the close itself: the owner destroys the sheet in it.
    modelo_->fijarCerrar([cerrar = std::weak_ptr<std::function<void()>>(alCerrar_)] {
        enPrincipal([cerrar] {
            if (const auto c = cerrar.lock()) (*c)();
        });
    });
    modelo_->fijarElegirFuentes(
        [debil = std::make_shared<RefDebil<GtkWindow>>(v)]() { return elegirFuentes(debil->obtener().get()); });
    if (const auto editor = Recursos::ruta("editor"))
        vista_->cargarPagina(*editor / "ajustes" / "ajustes.html", *editor);
    gtk_window_present(v);
}

AjustesHoja::~AjustesHoja() {
    modelo_->fijarWeb(nullptr);
    modelo_->fijarCerrar([] {});
    gtk_window_destroy(ventana_.get());
}

gboolean AjustesHoja::alPedirCierre(GtkWindow*, gpointer datos) {
    const auto* alCerrar = static_cast<std::function<void()>*>(datos);
    auto copia = *alCerrar;
    enPrincipal([copia] { copia(); });
    return TRUE;
}

}  // namespace sorvenia
