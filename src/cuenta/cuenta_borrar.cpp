// Deleting a design from the account, and everything this computer keeps
// about it.

#include "cuenta/cuenta.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace {

LlamadaCuenta pedirBorrar(std::string id) { return llamadaPOST({{"accion", "borrar"}}, 30, {{"id", std::move(id)}}); }

// Removes `id` from the dictionary stored under `clave`; a setting that is
// not a dictionary, or has no such entry, is not rewritten.
void quitarEntrada(Preferencias& preferencias, std::string_view clave, const std::string& id) {
    auto valor = preferencias.valor(clave);
    if (!valor || !valor->is_object() || !valor->contains(id)) return;
    valor->erase(id);
    preferencias.fijarValor(clave, *valor);
}

}  // namespace

Tarea<void> Cuenta::borrar(std::string id) {
    auto yo = shared_from_this();
    ponerError(std::nullopt);
    try {
        // "ok" must be there, but false counts too: the user asked for the
        // deletion, and the service reports real failures with a status.
        (void)co_await llamar<RespuestaBorrar>(pedirBorrar(id));
    } catch (...) {
        ponerError(descripcionDe(std::current_exception()));
        co_return;
    }
    auto lista = disenos_;
    std::erase_if(lista, [&](const DisenoResumen& d) { return d.id == id; });
    ponerDisenos(std::move(lista));
    borrarCopiaLocal(id, std::nullopt);
    quitarEntrada(preferencias(), "vpsPublicado", id);
    quitarEntrada(preferencias(), "videoDeDiseno", id);
}

}  // namespace sorvenia
