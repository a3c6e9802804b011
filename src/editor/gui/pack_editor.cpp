// The editor page's "comprarPack": the domain-and-hosting pack. The pages
// are published as a preview first, then the store window opens at the
// pack's checkout; when the purchase ends, the pages are published on the
// hosting of the bought domain as soon as the account lists it.

#include <algorithm>

#include "comun/lectura_mensajes.h"
#include "cuenta/cuenta.h"
#include "cuenta/enlace_conexion.h"
#include "editor/gui/editor_abierto.h"
#include "editor/gui/tienda_editor.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

std::optional<Json> paginasDelPack(const Json& m) {
    const auto it = m.find("paginas");
    if (it == m.end() || !it->is_array() || it->empty()) return std::nullopt;
    for (const Json& p : *it)
        if (!p.is_object()) return std::nullopt;
    return *it;
}

// The account panel's checkout of the pack for `dominio` and the design `id`.
std::string checkout(const std::string& dominio, const std::string& id) {
    return "/panel/checkout.php?pack=tarvel&pack_dominio=" + codificarConsulta(dominio) +
           "&pack_doc=" + codificarConsulta(id);
}

}  // namespace

Tarea<void> PublicacionEditor::comprarPack(Json m) {
    const auto yo = editor_.shared_from_this();
    const auto dominio = Mensaje::texto(m, "dominio");
    const auto paginas = paginasDelPack(m);
    if (!editor_.cuenta_.lock() || !dominio || !paginas) co_return;
    co_await editor_.autoguardado_.guardarAntesDePublicar();
    const auto cuenta = editor_.cuenta_.lock();
    if (!cuenta) co_return;
    if (!editor_.id_) {
        editor_.js("pack", {{"error", "Guarda el diseño antes de publicarlo."}});
        co_return;
    }
    const std::string id = *editor_.id_;
    try {
        auto archivos = co_await conEscenasSubidas(EditorModelo::archivosWeb(*paginas, editor_.nombre_), cuenta, id);
        const auto p = co_await cuenta->previa(id, editor_.nombre_, archivos);
        previa = p;
        editor_.js("publicado", {{"url", p.url}, {"caduca", p.caduca}, {"paginas", p.paginas}});
        const std::weak_ptr<EditorAbierto> debil = yo;
        const std::weak_ptr<Cuenta> cuentaDebil = cuenta;
        const bool abierta =
            abrirTienda(cuenta, "hosting", checkout(*dominio, id), [debil, cuentaDebil, id, d = *dominio, archivos] {
                const auto editor = debil.lock();
                const auto c = cuentaDebil.lock();
                if (editor && c) lanzar(publicarTrasCompra(editor, c, id, d, archivos));
            });
        if (!abierta) throw std::runtime_error("La tienda no se puede abrir ahora.");
        editor_.js("pack", {{"dominio", *dominio}, {"abierto", true}});
    } catch (...) {
        editor_.js("pack", {{"error", descripcionDe(std::current_exception())}});
    }
}

Tarea<void> PublicacionEditor::publicarTrasCompra(std::shared_ptr<EditorAbierto> editor, std::shared_ptr<Cuenta> cuenta,
                                                  std::string id, std::string dominio,
                                                  std::map<std::string, std::string> archivos) {
    for (const double espera : {primeraEsperaDestinos, segundaEsperaDestinos}) {
        try {
            co_await dormir(espera);
        } catch (...) {
            // A cut-short wait still makes its pass.
        }
        std::optional<RegistrosCuenta::Destinos> destinos;
        try {
            destinos = std::get<2>(co_await cuenta->abrir(id));
        } catch (...) {
            continue;  // the next pass tries again
        }
        const auto hosting = std::find_if(destinos->hostings.begin(), destinos->hostings.end(),
                                          [&](const RegistrosCuenta::Hosting& h) { return h.dominio == dominio; });
        if (hosting == destinos->hostings.end()) {
            editor->js("destinos", EditorAbierto::destinosJS(*destinos));
            continue;
        }
        Json mensaje{{"servicio", hosting->id}, {"carpeta", ""}};
        co_await editor->publicacion_.publicarEnHosting(std::move(mensaje), cuenta, id, std::move(archivos));
        if (auto& propios = editor->publicacion_.destinos) {
            propios->hostings = destinos->hostings;
            propios->vps = destinos->vps;
            editor->js("destinos", EditorAbierto::destinosJS(*propios));
        }
        co_return;
    }
}

}  // namespace sorvenia
