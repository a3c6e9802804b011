// The store page's messages. The view hands over only objects posted by our
// own store page's top frame, never by a panel page; each "tipo" is one
// short handler that reads the keys it needs and ignores the message when
// one is missing.

#include <map>

#include "comun/lectura_mensajes.h"
#include "cuenta/cuenta.h"
#include "cuenta/enlace_conexion.h"
#include "navegacion/navegacion.h"
#include "pantallas/gui/tienda_ventana.h"
#include "pantallas/politica_tienda.h"
#include "plataforma/navegador.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;
using Mensaje::texto;

// The application's other windows come forward: the main one shows the
// screen the store sent the user to.
void traerVentanaPrincipal(GtkWindow* tienda) {
    GApplication* app = g_application_get_default();
    if (app == nullptr) return;
    for (GList* l = gtk_application_get_windows(comoG<GtkApplication>(app)); l != nullptr; l = l->next)
        if (l->data != tienda) {
            gtk_window_present(comoG<GtkWindow>(l->data));
            return;
        }
}

}  // namespace

void TiendaVentana::recibir(const Json& m) {
    using Manejador = void (*)(TiendaVentana&, const Json&);
    static const std::map<std::string, Manejador, std::less<>> manejadores = {
        {"listo",
         [](TiendaVentana& v, const Json&) {
             if (v.cuenta_.expired()) return;
             lanzar(mandarDatos(v.shared_from_this()));
             if (auto e = std::exchange(v.errorPendiente_, std::nullopt)) v.js("error", *e);
         }},
        {"ir",
         [](TiendaVentana& v, const Json& m) {
             const auto ir = texto(m, "ir");
             if (ir && PoliticaTienda::esRutaPanel(*ir) && !v.cuenta_.expired())
                 lanzar(irAlPanel(v.shared_from_this(), *ir));
         }},
        {"seccion",
         [](TiendaVentana& v, const Json& m) {
             if (auto s = texto(m, "seccion")) v.seccion_ = std::move(*s);
         }},
        {"navegador",
         [](TiendaVentana& v, const Json& m) {
             const auto ir = texto(m, "ir");
             const auto cuenta = v.cuenta_.lock();
             if (ir && PoliticaTienda::esRutaPanel(*ir) && cuenta)
                 (void)Navegador::abrir(anadirRuta(cuenta->servidor(), ir->substr(1)));
         }},
        {"cerrar", [](TiendaVentana& v, const Json&) { v.cerrar(); }},
        {"servidores",
         [](TiendaVentana& v, const Json&) {
             if (const auto nav = v.nav_.lock()) nav->fijarPantalla(Navegacion::Pantalla::servidores());
             traerVentanaPrincipal(v.ventana());
         }},
        {"web",
         [](TiendaVentana&, const Json& m) {
             const auto dominio = texto(m, "dominio");
             if (dominio && PoliticaTienda::esDominio(*dominio)) (void)Navegador::abrir("https://" + *dominio);
         }},
    };
    if (!m.is_object()) return;
    const auto tipo = texto(m, "tipo");
    if (!tipo) return;
    const auto manejador = manejadores.find(*tipo);
    if (manejador == manejadores.end()) return;
    const auto yo = shared_from_this();
    manejador->second(*this, m);
}

}  // namespace sorvenia
