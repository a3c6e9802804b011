// The agency page's messages. The web view hands over only objects posted by
// our own page's top frame; each "tipo" is one short handler that reads the
// keys it needs (a key of another JSON type counts as absent), ignores the
// message when one is missing, and acts.

#include <glib.h>

#include <algorithm>
#include <map>
#include <memory>

#include "comun/lectura_mensajes.h"
#include "cuenta/cuenta.h"
#include "navegacion/navegacion.h"
#include "pantallas/gui/agencia_modelo.h"
#include "plataforma/navegador.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;
using Pantalla = Navegacion::Pantalla;
using Mensaje::texto;

const Json* objetoDe(const Json& m, const char* clave) {
    const auto it = m.find(clave);
    return it != m.end() && it->is_object() ? &*it : nullptr;
}

bool esNumero(const Json& m, const char* clave) {
    const auto it = m.find(clave);
    return it != m.end() && it->is_number();
}

std::string recortado(std::string t) {
    const auto dentro = [](char c) { return c != ' ' && c != '\t'; };
    t.erase(t.begin(), std::find_if(t.begin(), t.end(), dentro));
    t.erase(std::find_if(t.rbegin(), t.rend(), dentro).base(), t.end());
    return t;
}

// Digits of any script and "+", in the order written.
std::string soloNumero(const std::string& t) {
    std::string resultado;
    const char* p = t.c_str();
    if (!g_utf8_validate(p, -1, nullptr)) return resultado;
    for (; *p != '\0'; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        const auto tipo = g_unichar_type(c);
        if (c == '+' || tipo == G_UNICODE_DECIMAL_NUMBER || tipo == G_UNICODE_LETTER_NUMBER ||
            tipo == G_UNICODE_OTHER_NUMBER)
            resultado.append(p, static_cast<std::size_t>(g_utf8_next_char(p) - p));
    }
    return resultado;
}

// `esquema` followed by the text, percent-encoded as the user part of an
// address; nothing opens for an empty text.
void abrirCon(const std::string& esquema, const std::string& t) {
    if (t.empty()) return;
    const std::unique_ptr<char, decltype(&g_free)> codificado(g_uri_escape_string(t.c_str(), "!$&'()*+,;=", FALSE),
                                                              &g_free);
    if (codificado == nullptr) return;
    (void)Navegador::abrir(esquema + codificado.get());
}

}  // namespace

void AgenciaModelo::recibir(const Json& mensaje) {
    static const std::map<std::string, Manejador, std::less<>> manejadores = {
        {"listo", &AgenciaModelo::listo},
        {"volver", &AgenciaModelo::volver},
        {"guardar", &AgenciaModelo::guardar},
        {"subir", &AgenciaModelo::subir},
        {"abrirDiseno", &AgenciaModelo::abrirDiseno},
        {"nuevoDiseno", &AgenciaModelo::nuevoDiseno},
        {"correo", &AgenciaModelo::correo},
        {"llamar", &AgenciaModelo::llamar},
    };
    if (!mensaje.is_object()) return;
    const auto tipo = texto(mensaje, "tipo");
    if (!tipo) return;
    const auto manejador = manejadores.find(*tipo);
    if (manejador == manejadores.end()) return;
    const auto yo = shared_from_this();  // a handler may end the screen
    (this->*(manejador->second))(mensaje);
}

void AgenciaModelo::listo(const Json&) {
    enviarTodo();
    // The new design list reaches the page through the screen's hook.
    if (const auto cuenta = cuenta_.lock()) lanzar(cuenta->refrescar());
}

void AgenciaModelo::volver(const Json&) {
    if (const auto nav = nav_.lock()) nav->fijarPantalla(Pantalla::inicio());
}

void AgenciaModelo::guardar(const Json& m) {
    const Json* datos = objetoDe(m, "datos");
    if (datos == nullptr) return;
    std::optional<Json> base;
    if (const Json* b = objetoDe(m, "base")) base = *b;
    std::optional<std::int64_t> version;
    if (esNumero(m, "version")) version = Mensaje::entero(m, "version");
    const auto p = m.find("pendiente");
    const bool pendiente = p == m.end() || !p->is_boolean() || p->get<bool>();
    const auto r = fichero_.guardarLocal(claveCuenta(), *datos, base, version, pendiente);
    if (r) js("guardado", {{"ok", true}});
    else js("guardado", {{"ok", false}, {"error", r.fallo().mensaje}});
}

void AgenciaModelo::subir(const Json& m) {
    const Json* datos = objetoDe(m, "datos");
    if (datos == nullptr || !esNumero(m, "version") || cuenta_.expired()) return;
    empezarSubida(*datos, Mensaje::entero(m, "version"), claveCuenta());
}

void AgenciaModelo::abrirDiseno(const Json& m) {
    const auto id = texto(m, "id");
    const auto cuenta = cuenta_.lock();
    const bool existe = id && cuenta &&
                        std::any_of(cuenta->disenos().begin(), cuenta->disenos().end(),
                                    [&](const DisenoResumen& d) { return d.id == *id; });
    if (!existe) {
        js("aviso", {{"texto", "Ese diseño ya no está en tu cuenta."}});
        return;
    }
    if (const auto nav = nav_.lock()) nav->fijarPantalla(Pantalla::editor(*id, std::nullopt));
}

void AgenciaModelo::nuevoDiseno(const Json&) {
    if (const auto nav = nav_.lock()) nav->fijarPantalla(Pantalla::editor(std::nullopt, Plantilla::web()));
}

void AgenciaModelo::correo(const Json& m) { abrirCon("mailto:", recortado(texto(m, "valor").value_or(""))); }

void AgenciaModelo::llamar(const Json& m) { abrirCon("tel:", soloNumero(recortado(texto(m, "valor").value_or("")))); }

}  // namespace sorvenia
