#include "editor/gui/dominios_editor.h"

#include "cuenta/cuenta.h"
#include "editor/gui/editor_abierto.h"

namespace sorvenia {

nlohmann::json respuestaDominios(const std::vector<RegistrosCuenta::DominioPack>& dominios,
                                 const RegistrosCuenta::Pack& pack) {
    nlohmann::json lista = nlohmann::json::array();
    // A domain the service says nothing about is not offered as free.
    for (const auto& d : dominios)
        lista.push_back({{"dominio", d.dominio}, {"tld", d.tld}, {"libre", d.libre.value_or(false)}});
    return {{"dominios", lista},
            {"pack", {{"mes", pack.mes}, {"meses", pack.meses}, {"base", pack.base}, {"plan", pack.plan}}}};
}

Tarea<void> buscarDominios(std::shared_ptr<EditorAbierto> editor, std::weak_ptr<Cuenta> cuenta, std::string q) {
    const auto c = cuenta.lock();
    if (!c) co_return;
    nlohmann::json respuesta;
    try {
        const auto [dominios, pack] = co_await c->buscarDominios(std::move(q));
        respuesta = respuestaDominios(dominios, pack);
    } catch (...) {
        respuesta = {{"error", descripcionDe(std::current_exception())}};
    }
    editor->js("dominios", std::move(respuesta));
}

}  // namespace sorvenia
