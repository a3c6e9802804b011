#include "plataforma/secretos.h"

#include <glib.h>
#include <libsecret/secret.h>

#include <memory>
#include <string_view>

#include "plataforma/objeto_g.h"
#include "plataforma/tarea.h"

namespace sorvenia {
namespace {

const SecretSchema& esquema() {
    static const SecretSchema s = {
        "es.sorvenia.tarvel.Secreto",
        SECRET_SCHEMA_NONE,
        {{"servicio", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"cuenta", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return s;
}

// Reads match by the two attributes alone: a locked gnome-keyring collection
// can be searched by its items' attributes but not by their schema name, so
// a search that named the schema would find nothing there, and nothing would
// ask for the unlock. Items are still stored under the schema's name.
const SecretSchema& esquemaBusqueda() {
    static const SecretSchema s = {
        "es.sorvenia.tarvel.Secreto",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {{"servicio", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"cuenta", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return s;
}

struct LiberarTabla {
    void operator()(GHashTable* t) const { g_hash_table_unref(t); }
};
struct LiberarError {
    void operator()(GError* e) const { g_error_free(e); }
};
using Atributos = std::unique_ptr<GHashTable, LiberarTabla>;

// The attributes point into the caller's strings, which outlive the call.
Atributos atributos(const std::string& servicio, const std::string& cuenta) {
    Atributos tabla(g_hash_table_new(g_str_hash, g_str_equal));
    g_hash_table_insert(tabla.get(), const_cast<char*>("servicio"), const_cast<char*>(servicio.c_str()));
    g_hash_table_insert(tabla.get(), const_cast<char*>("cuenta"), const_cast<char*>(cuenta.c_str()));
    return tabla;
}

Fallo falloLlavero(std::string motivo) {
    while (!motivo.empty() && (motivo.back() == '.' || motivo.back() == ' ')) motivo.pop_back();
    return {"No se pudo usar el llavero del sistema: " + motivo + ".", "llavero"};
}

Fallo falloDe(GError* error) {
    const std::unique_ptr<GError, LiberarError> propio(error);
    return falloLlavero(error != nullptr && error->message != nullptr ? error->message : "error desconocido");
}

// D-Bus carries only valid UTF-8, and a NUL would cut the text short.
bool textoValido(std::string_view texto) {
    return g_utf8_validate_len(texto.data(), static_cast<gsize>(texto.size()), nullptr) != FALSE;
}

// Why the call must not go ahead, if it must not.
std::optional<Fallo> impedimento(std::initializer_list<std::string_view> textos) {
    if (esHiloPrincipal())
        return Fallo{"No se puede usar el llavero del sistema desde el hilo principal.", "hilo"};
    for (const auto texto : textos)
        if (!textoValido(texto)) return falloLlavero("el texto no es UTF-8 válido o contiene un carácter nulo");
    return std::nullopt;
}

std::string etiqueta(const std::string& servicio, const std::string& cuenta) {
    return "Sorvenia Code: " + servicio + " (" + cuenta + ")";
}

struct LiberarValor {
    void operator()(SecretValue* v) const { secret_value_unref(v); }
};
struct LiberarLista {
    void operator()(GList* l) const { g_list_free_full(l, g_object_unref); }
};

// The secret of the first item that matches. The search asks the Secret
// Service to unlock the collections that hold a match (it shows its own
// prompt for the keyring's password): a keyring that is locked at start-up,
// after a login that did not unlock it, still has the key, and only the
// user's refusal keeps it closed. An item that stays locked is a failure,
// never "no secret", so that a closed keyring does not look like a signed-out
// user.
Resultado<std::optional<std::string>> buscarConDesbloqueo(GHashTable* atributos) {
    GError* error = nullptr;
    const auto opciones = static_cast<SecretSearchFlags>(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS);
    const std::unique_ptr<GList, LiberarLista> encontrados(
        secret_password_searchv_sync(&esquemaBusqueda(), atributos, opciones, nullptr, &error));
    if (error != nullptr) return falloDe(error);
    if (!encontrados) return std::optional<std::string>();
    auto* elemento = comoG<SecretRetrievable>(encontrados->data);
    const std::unique_ptr<SecretValue, LiberarValor> valor(
        secret_retrievable_retrieve_secret_sync(elemento, nullptr, &error));
    if (error != nullptr) return falloDe(error);
    if (!valor) return falloLlavero("el llavero sigue bloqueado");
    gsize largo = 0;
    const gchar* datos = secret_value_get(valor.get(), &largo);
    return std::optional<std::string>(std::string(datos, largo));
}

}  // namespace

Resultado<std::optional<std::string>> leerSecreto(const std::string& servicio, const std::string& cuenta) {
    if (auto f = impedimento({servicio, cuenta})) return *f;
    return buscarConDesbloqueo(atributos(servicio, cuenta).get());
}

Hecho guardarSecreto(const std::string& servicio, const std::string& cuenta, const std::string& valor) {
    if (auto f = impedimento({servicio, cuenta, valor})) return *f;
    GError* error = nullptr;
    // One call: the Secret Service replaces the item with the same
    // attributes, so a refused write leaves the earlier secret in place.
    const gboolean guardado =
        secret_password_storev_sync(&esquema(), atributos(servicio, cuenta).get(), SECRET_COLLECTION_DEFAULT,
                                    etiqueta(servicio, cuenta).c_str(), valor.c_str(), nullptr, &error);
    if (error != nullptr) return falloDe(error);
    if (!guardado) return falloLlavero("no ha aceptado el secreto");
    return hecho();
}

Hecho borrarSecreto(const std::string& servicio, const std::string& cuenta) {
    if (auto f = impedimento({servicio, cuenta})) return *f;
    GError* error = nullptr;
    // False without an error means there was nothing to delete.
    secret_password_clearv_sync(&esquema(), atributos(servicio, cuenta).get(), nullptr, &error);
    if (error != nullptr) return falloDe(error);
    return hecho();
}

}  // namespace sorvenia
