#include "plataforma/secretos.h"

#include <glib.h>
#include <libsecret/secret.h>

#include <memory>
#include <string_view>

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

struct LiberarTabla {
    void operator()(GHashTable* t) const { g_hash_table_unref(t); }
};
struct LiberarError {
    void operator()(GError* e) const { g_error_free(e); }
};
struct LiberarSecreto {
    void operator()(gchar* s) const { secret_password_free(s); }  // wipes it first
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

}  // namespace

Resultado<std::optional<std::string>> leerSecreto(const std::string& servicio, const std::string& cuenta) {
    if (auto f = impedimento({servicio, cuenta})) return *f;
    GError* error = nullptr;
    const std::unique_ptr<gchar, LiberarSecreto> secreto(
        secret_password_lookupv_sync(&esquema(), atributos(servicio, cuenta).get(), nullptr, &error));
    if (error != nullptr) return falloDe(error);
    if (!secreto) return std::optional<std::string>();
    return std::optional<std::string>(secreto.get());
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
