#include "integraciones/servicio_clave.h"

#include <utility>

#include "cuenta/llavero.h"
#include "integraciones/texto_integraciones.h"
#include "plataforma/http.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"

namespace sorvenia::Servicios {
namespace {

struct Ficha {
    std::string_view texto;
    std::string_view nombre;
    std::string_view pagina;  // where the customer makes a key
    std::string_view api;     // the check's host; empty: no live check
    std::string_view ruta;    // the check's path and query
    std::string_view cabecera;
    std::string_view prefijo;  // put before the key in the header
};

const Ficha& ficha(ServicioClave s) {
    static const std::array<Ficha, 7> fichas = {{
        {"gemini", "Gemini (Google)", "https://aistudio.google.com/apikey", "https://generativelanguage.googleapis.com",
         "/v1beta/models?pageSize=1", "x-goog-api-key", ""},
        {"fal", "fal.ai", "https://fal.ai/dashboard/keys", "", "", "", ""},
        {"openai", "OpenAI", "https://platform.openai.com/api-keys", "https://api.openai.com", "/v1/models",
         "Authorization", "Bearer "},
        {"higgsfield", "Higgsfield", "https://higgsfield.ai/", "", "", "", ""},
        {"elevenlabs", "ElevenLabs", "https://elevenlabs.io/app/settings/api-keys", "https://api.elevenlabs.io",
         "/v1/models", "xi-api-key", ""},
        {"pexels", "Pexels", "https://www.pexels.com/api/new/", "https://api.pexels.com",
         "/v1/search?query=pan&per_page=1", "Authorization", ""},
        {"unsplash", "Unsplash", "https://unsplash.com/oauth/applications", "https://api.unsplash.com",
         "/photos?per_page=1", "Authorization", "Client-ID "},
    }};
    return fichas.at(static_cast<std::size_t>(s));
}

std::string flag(ServicioClave s) { return "claveComprobada." + std::string(texto(s)); }

}  // namespace

std::string_view texto(ServicioClave s) { return ficha(s).texto; }

std::optional<ServicioClave> desde(std::string_view t) {
    for (const auto s : todosLosServicios)
        if (ficha(s).texto == t) return s;
    return std::nullopt;
}

std::string_view nombre(ServicioClave s) { return ficha(s).nombre; }
std::string dondeSacarla(ServicioClave s) { return std::string(ficha(s).pagina); }
std::string cuenta(ServicioClave s) { return "servicio:" + std::string(texto(s)); }

std::string baseAPI(ServicioClave s) {
    // Only the test build may send a key anywhere but to its provider.
    if (esCompilacionDePrueba()) {
        const auto hosts = Preferencias::estandar().mapaTextos("pruebas.hostsServicios");
        if (const auto it = hosts.find(std::string(texto(s))); it != hosts.end()) return it->second;
    }
    return std::string(ficha(s).api);
}

std::optional<std::string> valor(ServicioClave s) {
    auto v = Llavero::leer(cuenta(s));
    if (!v || v->empty()) return std::nullopt;
    return v;
}

bool comprobada(ServicioClave s) { return valor(s) && Preferencias::estandar().booleano(flag(s)); }

bool guardar(ServicioClave s, std::string_view clave) {
    const std::string limpia = TextoIntegraciones::recortar(clave);
    if (limpia.empty()) {
        Llavero::borrar(cuenta(s));
        return true;
    }
    return Llavero::guardar(limpia, cuenta(s));
}

Tarea<std::optional<bool>> comprobar(ServicioClave s, std::string clave) {
    const std::string limpia = TextoIntegraciones::recortar(clave);
    const Ficha& f = ficha(s);
    if (limpia.empty() || f.api.empty()) co_return std::nullopt;
    PeticionHTTP peticion;
    peticion.url = baseAPI(s) + std::string(f.ruta);
    peticion.cabeceras = {{std::string(f.cabecera), std::string(f.prefijo) + limpia}};
    peticion.tiempoLimite = 10;
    peticion.tiempoTotal = 10;
    peticion.limiteBytes = 1024u * 1024u;
    const auto respuesta = co_await pedirAsync(std::move(peticion));
    if (!respuesta) co_return std::nullopt;
    co_return juzgar(s, respuesta->status, respuesta->cuerpo);
}

Tarea<Guardado> guardarComprobando(ServicioClave s, std::string clave) {
    const std::string limpia = TextoIntegraciones::recortar(clave);
    const std::string visible(nombre(s));
    if (limpia.empty()) {
        co_await enSegundoPlano([s] { guardar(s, ""); });
        Preferencias::estandar().quitar(flag(s));
        co_return Guardado{visible + " desconectado", true};
    }
    const auto resultado = co_await comprobar(s, limpia);
    if (resultado == false)
        co_return Guardado{
            visible + " no acepta esa clave. Cópiala otra vez de su web (sin espacios) y vuelve a pegarla.", false};
    // Without a keychain nothing is stored, not even the checked flag.
    const bool guardada = co_await enSegundoPlano([s, limpia] { return guardar(s, limpia); });
    if (!guardada) co_return Guardado{std::string(sinLlavero), false};
    Preferencias::estandar().fijarBooleano(flag(s), resultado.has_value());
    if (resultado) co_return Guardado{visible + " conectado: la clave funciona", true};
    co_return Guardado{"Clave de " + visible + " guardada (se comprobará la primera vez que se use)", true};
}

}  // namespace sorvenia::Servicios
