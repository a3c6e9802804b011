#pragma once
// The customer's own keys for seven outside services: where to get one, where
// it is kept (the keychain, "servicio:" + name, never a file), whether it
// passed a live check (user default "claveComprobada." + name), and the live
// check itself: one small authenticated request whose answer says accepted,
// rejected or undecided. Only a rejected key is not stored, so a slow or
// failing network never loses the customer's key.
//
// The keychain calls block: valor, comprobada, guardar and borrar run on
// worker threads only (guardarComprobando takes care of that itself).

#include <optional>
#include <string>
#include <string_view>

#include "integraciones/juicio_clave.h"
#include "plataforma/tarea.h"

namespace sorvenia {

namespace Servicios {

// The raw name ("gemini", ...).
std::string_view texto(ServicioClave s);
// The case of exactly that raw name (case-sensitive); nothing otherwise.
std::optional<ServicioClave> desde(std::string_view texto);
// The name shown to the customer ("Gemini (Google)", ...).
std::string_view nombre(ServicioClave s);
// The provider's page where a key is made.
std::string dondeSacarla(ServicioClave s);
// The keychain account of the key.
std::string cuenta(ServicioClave s);

// Where the live check goes: the provider's API host, or in a test build the
// stand-in named by the user default "pruebas.hostsServicios" (service →
// base URL).
std::string baseAPI(ServicioClave s);

// Blocking keychain reads and writes (worker threads).
std::optional<std::string> valor(ServicioClave s);
bool comprobada(ServicioClave s);
// Stores the trimmed key, or deletes the item for an empty one. False when
// the keychain refused (nothing changed then).
bool guardar(ServicioClave s, std::string_view clave);

// The live check; never fails (a transport failure is undecided).
Tarea<std::optional<bool>> comprobar(ServicioClave s, std::string clave);

struct Guardado {
    std::string texto;
    bool ok = false;
};
// Checks, stores or removes the key and sets the checked flag; the answer
// for the customer.
Tarea<Guardado> guardarComprobando(ServicioClave s, std::string clave);

// The sentence when the keychain cannot be reached: nothing was stored.
inline constexpr std::string_view sinLlavero =
    "No se ha podido guardar la clave: el llavero del ordenador (el servicio de secretos) no está disponible. "
    "No se ha guardado nada.";

}  // namespace Servicios

}  // namespace sorvenia
