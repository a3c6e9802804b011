// The "disenos" tool: the user's designs, and opening or creating one in
// the window for an outside client.
#include <algorithm>
#include <functional>

#include "navegacion/navegacion.h"
#include "centro/centro.h"
#include "centro/items_centro.h"
#include "centro/trabajos.h"
#include "cuenta/cuenta.h"
#include "centro/editor_modelo.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

constexpr std::size_t maximoListado = 50;
constexpr int esperasMaximas = 40;  // of 0.25 s: 10 s for an editor to get ready

// The argument when it is a text that is not empty.
std::optional<std::string> textoLleno(const Json& argumentos, const char* nombre) {
    if (!argumentos.is_object()) return std::nullopt;
    const auto valor = argumentos.find(nombre);
    if (valor == argumentos.end() || !valor->is_string() || valor->get_ref<const std::string&>().empty())
        return std::nullopt;
    return valor->get<std::string>();
}

// Tests `listo` now and after each of up to 40 sleeps of 0.25 s. A sleep
// that a cancellation cuts short still counts.
Tarea<bool> esperarEditor(std::function<bool()> listo) {
    for (int esperas = 0;; ++esperas) {
        if (listo()) co_return true;
        if (esperas == esperasMaximas) co_return false;
        try {
            co_await dormir(0.25);
        } catch (const TareaCancelada&) {
        }
    }
}

bool mismoObjeto(const std::weak_ptr<EditorModelo>& a, const std::weak_ptr<EditorModelo>& b) {
    // Ownership, not addresses: a new model may be made where a freed one was.
    return !a.owner_before(b) && !b.owner_before(a);
}

// An agent working inside a design stays in it.
Json rechazo(const std::string& clave, const std::optional<std::string>& abrir) {
    const auto modelo = Trabajos::compartido().modelo(clave);
    if (abrir && modelo && modelo->id() && *modelo->id() == *abrir)
        return unTexto("Ya estás trabajando en ese diseño. Llama a ver_tarvel.");
    const std::string cual = modelo ? "«" + modelo->nombre() + "»" : "el tuyo";
    const std::string aparte =
        modelo && modelo->aparcado() ? " (el usuario está ahora en otra cosa: no le cambies la pantalla)" : "";
    return unError("Trabajas dentro del diseño " + cual + " y tus herramientas van siempre a él" + aparte +
                   ". No abras ni crees otro: si hace falta otro diseño, díselo al usuario para que lo abra él y te lo "
                   "pida allí.");
}

}  // namespace

Tarea<Json> Centro::disenos(Json argumentos, std::optional<std::string> clave) {
    auto miCuenta = cuenta.lock();
    auto miNav = nav.lock();
    if (!miCuenta || !miNav) co_return unError("La app no está lista.");

    const auto abrir = textoLleno(argumentos, "abrir");
    const auto nuevo = abrir ? std::nullopt : textoLleno(argumentos, "nuevo");
    if (!abrir && !nuevo) co_return co_await listarDisenos(std::move(miCuenta));
    if (clave) co_return rechazo(*clave, abrir);
    if (abrir) co_return co_await abrirDiseno(std::move(miNav), *abrir);
    co_return co_await crearDiseno(std::move(miNav), *nuevo);
}

Tarea<Json> Centro::listarDisenos(std::shared_ptr<Cuenta> miCuenta) {
    // A failed refresh still answers with whatever list the account holds;
    // with none, "no designs yet" would be a guess: the agent hears that the
    // account could not be reached, and why.
    co_await miCuenta->refrescar();
    const auto& lista = miCuenta->disenos();
    if (lista.empty() && miCuenta->error())
        co_return unError("No se ha podido consultar tu cuenta de Sorvenia, así que no sé qué diseños hay. " +
                          *miCuenta->error() + " Vuelve a intentarlo en un momento.");
    if (lista.empty()) co_return unTexto("No hay diseños todavía. Crea uno con nuevo=nombre.");
    std::string texto = "Diseños (id · nombre · última edición):";
    const auto cuantos = std::min(lista.size(), maximoListado);
    for (std::size_t i = 0; i < cuantos; ++i)
        texto += "\n" + lista[i].id + " · " + lista[i].nombre + " · " + lista[i].modificado;
    co_return unTexto(std::move(texto));
}

Tarea<Json> Centro::abrirDiseno(std::shared_ptr<Navegacion> miNav, std::string id) {
    miNav->fijarPantalla(Navegacion::Pantalla::editor(id, std::nullopt));
    auto listo = [this, id] {
        const auto e = editor.lock();
        return e && e->listo() && e->id() == id;
    };
    const bool abierto = co_await esperarEditor(std::move(listo));
    if (abierto) co_return unMarcado("Abierto. Llama a ver_tarvel.", false);
    co_return unError("No se ha podido abrir ese diseño.");
}

Tarea<Json> Centro::crearDiseno(std::shared_ptr<Navegacion> miNav, std::string nombre) {
    const std::weak_ptr<EditorModelo> anterior = editor;
    miNav->fijarPantalla(Navegacion::Pantalla::editor(std::nullopt, Plantilla::web()));
    auto listo = [this, anterior] {
        const auto e = editor.lock();
        return e && !mismoObjeto(editor, anterior) && e->listo();
    };
    const bool creado = co_await esperarEditor(std::move(listo));
    const auto nuevo = editor.lock();
    if (!creado || !nuevo) co_return unError("No se ha podido crear el diseño nuevo.");
    nuevo->renombrar(nombre);
    co_return unTexto("Diseño nuevo «" + nombre + "» abierto con una página web vacía. Llama a ver_tarvel.");
}

}  // namespace sorvenia
