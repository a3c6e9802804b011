#include "integraciones/integraciones.h"

#include <unistd.h>

#include <mutex>
#include <utility>

#include "ias/path_terminal.h"
#include "plataforma/preferencias.h"

namespace sorvenia::Integraciones {
namespace {

bool ejecutable(const std::string& ruta) { return ::access(ruta.c_str(), X_OK) == 0; }

std::mutex& mutexLectura() {
    static std::mutex m;
    return m;
}

Lectura& lecturaGuardada() {
    static Lectura l;
    return l;
}

struct Tarjeta {
    const char* id;
    const char* nombre;
    const char* para;
    const char* grupo;
    std::optional<ServicioClave> servicio;  // none: a video card
};

}  // namespace

Entorno entorno() {
    const std::pair<ServicioClave, std::vector<const char*>> tabla[] = {
        {ServicioClave::fal, {"FAL_KEY"}},
        {ServicioClave::openai, {"OPENAI_API_KEY"}},
        {ServicioClave::gemini, {"GEMINI_API_KEY", "GOOGLE_API_KEY"}},
        {ServicioClave::elevenlabs, {"ELEVENLABS_API_KEY"}},
        {ServicioClave::higgsfield, {"HIGGSFIELD_API_KEY"}},
        {ServicioClave::pexels, {"PEXELS_API_KEY"}},
        {ServicioClave::unsplash, {"UNSPLASH_ACCESS_KEY"}},
    };
    Entorno e;
    for (const auto& [servicio, variables] : tabla)
        if (const auto clave = Servicios::valor(servicio))
            for (const char* variable : variables) e[variable] = *clave;
    return e;
}

bool nodo() {
    if (ejecutable("/opt/homebrew/bin/npx") || ejecutable("/usr/local/bin/npx")) return true;
    for (const auto& carpeta : IAsLocales::carpetasDelPath(IAsLocales::pathDeTerminal()))
        if (ejecutable(carpeta + "/npx")) return true;
    return false;
}

Lectura leer() {
    Lectura l;
    for (const auto s : todosLosServicios)
        if (Servicios::valor(s)) l.conClave.insert(s);
    l.nodo = nodo();
    return l;
}

nlohmann::json estado(const Lectura& lectura, bool videos) {
    static const Tarjeta tarjetas[] = {
        {"remotion", "Remotion", "Vídeos programados", "Vídeo", std::nullopt},
        {"hyperframes", "HyperFrames", "Vídeos desde HTML", "Vídeo", std::nullopt},
        {"higgsfield", "Higgsfield", "Vídeo con IA", "Vídeo", ServicioClave::higgsfield},
        {"elevenlabs", "ElevenLabs", "Voces en off", "Voz", ServicioClave::elevenlabs},
        {"gemini", "Nano Banana", "Imágenes con Gemini", "Imagen", ServicioClave::gemini},
        {"fal", "fal.ai", "Flux y Kontext", "Imagen", ServicioClave::fal},
        {"openai", "GPT-image", "Imágenes de OpenAI", "Imagen", ServicioClave::openai},
        {"pexels", "Pexels", "Fotos de stock", "Fotos", ServicioClave::pexels},
        {"unsplash", "Unsplash", "Fotos de stock", "Fotos", ServicioClave::unsplash},
    };
    auto lista = nlohmann::json::array();
    for (const auto& t : tarjetas) {
        const bool activo = t.servicio ? lectura.conClave.contains(*t.servicio) : (videos && lectura.nodo);
        lista.push_back({{"id", t.id},
                         {"nombre", t.nombre},
                         {"para", t.para},
                         {"grupo", t.grupo},
                         {"estado", activo ? "activo" : "conectar"},
                         {"accion", t.servicio ? "clave" : "video"},
                         {"logo", std::string("logos/") + t.id + ".png"}});
    }
    return lista;
}

Lectura ultimaLectura() {
    std::lock_guard bloqueo(mutexLectura());
    return lecturaGuardada();
}

void recordar(Lectura lectura) {
    std::lock_guard bloqueo(mutexLectura());
    lecturaGuardada() = std::move(lectura);
}

Tarea<Lectura> releer() {
    Lectura l = co_await enSegundoPlano([] { return leer(); });
    recordar(l);
    co_return l;
}

nlohmann::json estadoActual() { return estado(ultimaLectura(), Preferencias::estandar().booleano("videosIA")); }

}  // namespace sorvenia::Integraciones
