// The editor page's "publicar": the design's pages as a website, either on
// one of the customer's hostings or as a temporary preview on the account.
// The page hears the outcome through "publicadoHosting" or "publicado".

#include "comun/lectura_mensajes.h"
#include "cuenta/cuenta.h"
#include "editor/gui/editor_abierto.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

using Mensaje::texto;

// The page list when it is a non-empty list of objects.
std::optional<Json> paginasDe(const Json& m) {
    const auto it = m.find("paginas");
    if (it == m.end() || !it->is_array() || it->empty()) return std::nullopt;
    for (const Json& p : *it)
        if (!p.is_object()) return std::nullopt;
    return *it;
}

Json errorHosting(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ErrorAPI& e) {
        return {{"error", e.mensaje}, {"codigo", e.codigo}};
    } catch (...) {
        return {{"error", descripcionDe(error)}};
    }
}

}  // namespace

Tarea<void> PublicacionEditor::publicar(Json m) {
    const auto yo = editor_.shared_from_this();
    const auto paginas = paginasDe(m);
    if (!editor_.cuenta_.lock() || !paginas) co_return;
    co_await editor_.autoguardado_.guardarAntesDePublicar();
    const auto cuenta = editor_.cuenta_.lock();
    if (!cuenta) co_return;
    if (!editor_.id_) {
        editor_.js("publicado", {{"error", "Guarda el diseño antes de publicarlo."}});
        co_return;
    }
    const std::string id = *editor_.id_;
    // The files are those of the pages the page sent, not of the saved
    // document: the page flushed its latest state into them.
    auto archivos = co_await conEscenasSubidas(EditorModelo::archivosWeb(*paginas, editor_.nombre_), cuenta, id);
    if (texto(m, "destino") == "hosting")
        co_await publicarEnHosting(m, cuenta, id, std::move(archivos));
    else
        co_await publicarPrevia(cuenta, id, std::move(archivos));
}

Tarea<void> PublicacionEditor::publicarEnHosting(Json m, std::shared_ptr<Cuenta> cuenta, std::string id,
                                                 std::map<std::string, std::string> archivos) {
    const auto servicio = m.find("servicio");
    const std::int64_t numero =
        servicio != m.end() && servicio->is_number_integer() ? servicio->get<std::int64_t>() : 0;
    const std::string carpeta = texto(m, "carpeta").value_or("");
    try {
        const auto p = co_await cuenta->publicarHosting(id, numero, carpeta, std::move(archivos));
        if (!destinos) destinos.emplace();
        const bool nueva = !destinos->publicada;
        destinos->publicada = p;
        editor_.js("publicadoHosting", {{"url", p.url},
                                        {"dominio", p.dominio},
                                        {"carpeta", p.carpeta},
                                        {"servicio", p.servicio},
                                        {"paginas", p.paginas},
                                        {"nueva", nueva}});
    } catch (...) {
        editor_.js("publicadoHosting", errorHosting(std::current_exception()));
    }
}

Tarea<void> PublicacionEditor::publicarPrevia(std::shared_ptr<Cuenta> cuenta, std::string id,
                                              std::map<std::string, std::string> archivos) {
    try {
        const auto p = co_await cuenta->previa(id, editor_.nombre_, std::move(archivos));
        const bool nueva = !previa;
        previa = p;
        editor_.js("publicado", {{"url", p.url}, {"caduca", p.caduca}, {"paginas", p.paginas}, {"nueva", nueva}});
    } catch (...) {
        editor_.js("publicado", {{"error", descripcionDe(std::current_exception())}});
    }
}

}  // namespace sorvenia
