#include "app/canal_pruebas/registro_webs.h"

#include <map>
#include <memory>

#include "plataforma/ref_debil.h"

namespace sorvenia::CanalPruebas {
namespace {

std::map<std::string, std::unique_ptr<RefDebil<WebKitWebView>>>& webs() {
    static std::map<std::string, std::unique_ptr<RefDebil<WebKitWebView>>> registro;
    return registro;
}

bool enVentana(WebKitWebView* web) { return gtk_widget_get_root(comoG<GtkWidget>(web)) != nullptr; }

}  // namespace

void guardarWeb(const std::string& nombre, WebKitWebView* web) {
    webs()[nombre] = std::make_unique<RefDebil<WebKitWebView>>(web);
}

Ref<WebKitWebView> webRegistrada(const std::string& nombre) {
    const auto it = webs().find(nombre);
    return it == webs().end() ? Ref<WebKitWebView>() : it->second->obtener();
}

Ref<WebKitWebView> webVisible(const std::string& nombre) {
    Ref<WebKitWebView> web = webRegistrada(nombre);
    return web && enVentana(web.get()) ? web : Ref<WebKitWebView>();
}

std::vector<std::string> websVisibles() {
    std::vector<std::string> nombres;
    for (const auto& [nombre, debil] : webs())
        if (const auto web = debil->obtener(); web && enVentana(web.get())) nombres.push_back(nombre);
    return nombres;
}

}  // namespace sorvenia::CanalPruebas
