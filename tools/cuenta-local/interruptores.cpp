#include "interruptores.h"

#include <sys/stat.h>

#include <charconv>

#include <nlohmann/json.hpp>

#include "utiles.h"

namespace sorvenia::cuenta_local {
namespace {

// "accion=numero", the number read without the locale.
template <class T>
std::optional<std::pair<std::string, T>> parAccion(const std::string& texto) {
    const auto igual = texto.find('=');
    if (igual == std::string::npos || igual == 0) return std::nullopt;
    T valor{};
    const char* inicio = texto.data() + igual + 1;
    const char* fin = texto.data() + texto.size();
    const auto [resto, error] = std::from_chars(inicio, fin, valor);
    if (error != std::errc{} || resto != fin) return std::nullopt;
    return std::make_pair(texto.substr(0, igual), valor);
}

std::optional<Interruptor> deJSON(const nlohmann::json& j) {
    if (!j.is_object()) return std::nullopt;
    Interruptor i;
    if (const auto s = j.find("status"); s != j.end() && s->is_number_integer()) i.status = s->get<int>();
    if (const auto c = j.find("cuerpo"); c != j.end() && c->is_string()) i.cuerpo = c->get<std::string>();
    if (const auto c = j.find("colgar"); c != j.end() && c->is_number()) i.colgar = c->get<double>();
    if (const auto g = j.find("gotear"); g != j.end() && g->is_number()) i.gotear = g->get<double>();
    if (const auto v = j.find("veces"); v != j.end() && v->is_number_integer()) i.veces = v->get<int>();
    return i;
}

}  // namespace

bool Interruptores::fallarDesdeOrden(const std::string& texto) {
    const auto par = parAccion<int>(texto);
    if (!par || par->second < 100 || par->second > 599) return false;
    deOrden_[par->first].status = par->second;
    return true;
}

bool Interruptores::colgarDesdeOrden(const std::string& texto) {
    const auto par = parAccion<double>(texto);
    if (!par || !(par->second >= 0)) return false;
    deOrden_[par->first].colgar = par->second;
    return true;
}

// What tells one version of the file from the next: a rewrite within the
// same clock tick keeps the time, not the inode or the size.
std::string huella(const std::filesystem::path& ruta) {
    struct stat datos {};
    if (stat(ruta.c_str(), &datos) != 0) return "";
    return std::to_string(datos.st_ino) + ":" + std::to_string(datos.st_size) + ":" + std::to_string(datos.st_ctim.tv_sec) +
           "." + std::to_string(datos.st_ctim.tv_nsec);
}

void Interruptores::releer() {
    const std::string ahora = huella(fichero_);
    if (ahora == visto_) return;
    visto_ = ahora;
    deFichero_.clear();
    usos_.clear();  // a changed file starts its counts again
    if (ahora.empty()) return;
    const auto j = nlohmann::json::parse(leerFichero(fichero_).value_or(""), nullptr, false);
    if (!j.is_object()) return;
    for (const auto& [accion, valor] : j.items())
        if (auto i = deJSON(valor)) deFichero_[accion] = *i;
}

std::optional<Interruptor> Interruptores::tomar(const std::string& accion) {
    std::lock_guard bloqueo(mutex_);
    releer();
    const auto enFichero = deFichero_.find(accion);
    const auto enOrden = deOrden_.find(accion);
    if (enFichero == deFichero_.end() && enOrden == deOrden_.end()) return std::nullopt;
    const Interruptor i = enFichero != deFichero_.end() ? enFichero->second : enOrden->second;
    if (i.veces) {
        if (usos_[accion] >= *i.veces) return std::nullopt;
        ++usos_[accion];
    }
    return i;
}

Respuesta respuestaForzada(const Interruptor& i, const std::string& accion) {
    const int status = i.status.value_or(200);
    if (i.cuerpo) return {status, *i.cuerpo, "application/json", {}};
    if (status >= 300) return respuestaError(status, "forzado", "Fallo forzado de «" + accion + "».");
    return respuestaJSON(nlohmann::json::object(), status);
}

}  // namespace sorvenia::cuenta_local
