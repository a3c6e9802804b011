#include "app/menus.h"

#include "navegacion/navegacion.h"
#include "navegacion/plantilla.h"
#include "plataforma/gui/alerta.h"
#include "plataforma/navegador.h"
#include "plataforma/objeto_g.h"

#ifndef SORVENIA_WEB_PUBLICA
#error "SORVENIA_WEB_PUBLICA (the service's public site) comes from the build"
#endif

namespace sorvenia {
namespace {

struct Entrada {
    const char* titulo;
    const char* accion;
};

GMenu* seccion(std::initializer_list<Entrada> entradas) {
    GMenu* menu = g_menu_new();
    for (const auto& e : entradas) g_menu_append(menu, e.titulo, (std::string("app.") + e.accion).c_str());
    return menu;
}

void anadirSeccion(GMenu* menu, GMenu* parte) {
    g_menu_append_section(menu, nullptr, comoG<GMenuModel>(parte));
    g_object_unref(parte);
}

GMenu* submenu(GMenu* barra, const char* titulo) {
    GMenu* menu = g_menu_new();
    g_menu_append_submenu(barra, titulo, comoG<GMenuModel>(menu));
    g_object_unref(menu);
    return menu;
}

GMenuModel* barraDeMenus() {
    GMenu* barra = g_menu_new();
    GMenu* app = submenu(barra, "Sorvenia Code");
    anadirSeccion(app, seccion({{"Acerca de Sorvenia Code", "acerca"}}));
    anadirSeccion(app, seccion({{"Ajustes…", "ajustes"}, {"Conectar agentes…", "conectar-agentes"}}));
    anadirSeccion(app, seccion({{"Cerrar sesión de Sorvenia…", "cerrar-sesion"}}));
    anadirSeccion(app, seccion({{"Salir", "salir"}}));
    anadirSeccion(submenu(barra, "Archivo"),
                  seccion({{"Nueva página web", "nueva-web"}, {"Nuevo diseño en blanco", "nuevo-blanco"}}));
    anadirSeccion(submenu(barra, "Ir"),
                  seccion({{"Tus diseños", "ir-disenos"}, {"Servidores", "ir-servidores"}, {"Agencia", "ir-agencia"}}));
    GMenu* ayuda = submenu(barra, "Ayuda");
    anadirSeccion(ayuda, seccion({{"Tutorial de Sorvenia Code", "tutorial"}, {"Guías de Sorvenia", "guias"}}));
    anadirSeccion(ayuda, seccion({{"Contactar con soporte…", "soporte"}}));
    return comoG<GMenuModel>(barra);
}

// The Mac's Command shortcuts, with Control.
void atajos(GtkApplication* app) {
    const std::pair<const char*, const char*> lista[] = {
        {"app.ajustes", "<Control>comma"},    {"app.nueva-web", "<Control>n"},
        {"app.nuevo-blanco", "<Shift><Control>n"}, {"app.ir-disenos", "<Control>1"},
        {"app.ir-servidores", "<Control>2"},  {"app.ir-agencia", "<Control>3"},
        {"app.salir", "<Control>q"},
    };
    for (const auto& [accion, atajo] : lista) {
        const char* uno[] = {atajo, nullptr};
        gtk_application_set_accels_for_action(app, accion, uno);
    }
}

void mostrarAcercaDe(GtkWindow* padre) {
    const std::string web = webPublica();
    const std::string dominio = web.substr(web.find("://") + 3);
    gtk_show_about_dialog(padre, "program-name", "Sorvenia Code", "comments",
                          "Diseña tu web con tu propia IA.\nHTML real, en directo, con el método de diseño de Sorvenia.",
                          "website", web.c_str(), "website-label", dominio.c_str(), "logo-icon-name",
                          "es.sorvenia.tarvel", nullptr);
}

}  // namespace

std::string webPublica() { return SORVENIA_WEB_PUBLICA; }

struct Menus::Accion {
    Ref<GSimpleAction> accion;
    bool conCuenta = false;
    std::function<void()> hacer;
};

Menus::Menus(GtkApplication* app, std::shared_ptr<Cuenta> cuenta, std::shared_ptr<Navegacion> nav,
             std::function<GtkWindow*()> ventana, std::function<void()> salir)
    : app_(app), cuenta_(std::move(cuenta)), nav_(std::move(nav)), ventana_(std::move(ventana)) {
    const auto editorNuevo = [this](const char* plantilla) {
        nav_->fijarPantalla(Navegacion::Pantalla::editor(std::nullopt, Plantilla::conId(plantilla)));
    };
    agregar("acerca", false, [this] { mostrarAcercaDe(ventana_()); });
    agregar("ajustes", false, [this] { nav_->fijarAjustes(true); });
    agregar("conectar-agentes", false, [this] { nav_->fijarAgentes(true); });
    agregar("cerrar-sesion", true, [this] { lanzar(cerrarSesion()); });
    agregar("salir", false, std::move(salir));
    agregar("nueva-web", true, [editorNuevo] { editorNuevo("web"); });
    agregar("nuevo-blanco", true, [editorNuevo] { editorNuevo("escritorio"); });
    agregar("ir-disenos", true, [this] { nav_->fijarPantalla(Navegacion::Pantalla::inicio()); });
    agregar("ir-servidores", true, [this] { nav_->fijarPantalla(Navegacion::Pantalla::servidores()); });
    agregar("ir-agencia", true, [this] { nav_->fijarPantalla(Navegacion::Pantalla::agencia()); });
    agregar("tutorial", true, [this] { nav_->tutorial(cuenta_->disenos()); });
    agregar("guias", false, [] { Navegador::abrir(webPublica() + "/panel/guias.php"); });
    agregar("soporte", false, [] { Navegador::abrir(webPublica() + "/panel/soporte.php"); });
    atajos(app_);
    const auto barra = Ref<GMenuModel>::adoptar(barraDeMenus());
    gtk_application_set_menubar(app_, barra.get());
    suscripcion_ = cuenta_->observar([this](Cuenta::Cambio cambio) {
        if (cambio == Cuenta::Cambio::cliente) seguirCuenta();
    });
    seguirCuenta();
}

Menus::~Menus() {
    for (const auto& a : acciones_) g_action_map_remove_action(comoG<GActionMap>(app_), g_action_get_name(comoG<GAction>(a->accion.get())));
}

void Menus::agregar(const char* nombre, bool conCuenta, std::function<void()> hacer) {
    auto a = std::make_unique<Accion>(Accion{Ref<GSimpleAction>::adoptar(g_simple_action_new(nombre, nullptr)), conCuenta,
                                             std::move(hacer)});
    g_signal_connect(a->accion.get(), "activate", G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer datos) {
                         static_cast<Accion*>(datos)->hacer();
                     }),
                     a.get());
    g_action_map_add_action(comoG<GActionMap>(app_), comoG<GAction>(a->accion.get()));
    acciones_.push_back(std::move(a));
}

void Menus::seguirCuenta() {
    const bool conectado = cuenta_->cliente().has_value();
    for (const auto& a : acciones_)
        if (a->conCuenta) g_simple_action_set_enabled(a->accion.get(), conectado);
}

bool Menus::activa(const std::string& nombre) const {
    return g_action_group_get_action_enabled(comoG<GActionGroup>(app_), nombre.c_str()) != FALSE;
}

// Only "Cerrar sesión" signs out; the key is revoked on the site too.
Tarea<void> Menus::cerrarSesion() {
    const auto respuesta = co_await alerta(ventana_(), "¿Cerrar la sesión de Sorvenia en este ordenador?",
                                           "Tus diseños siguen en tu cuenta. Para volver a usarlos tendrás que conectar otra vez.",
                                           {"Cerrar sesión", "Cancelar"});
    if (respuesta != std::optional<std::size_t>(0)) co_return;
    co_await cuenta_->desconectar(true);
    nav_->fijarPantalla(Navegacion::Pantalla::inicio());
}

}  // namespace sorvenia
