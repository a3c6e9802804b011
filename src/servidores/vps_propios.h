#pragma once
// The customer's own servers, entered by hand with a name and an IPv4
// address, kept in the preference "vpsPropios" (a list of {"id", "nombre",
// "ip", "so"}, ids from 900001 up, in the order added; entries are never
// removed).

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "plataforma/resultado.h"

namespace sorvenia::PropiosVPS {

// The stored list; empty when missing or not a list of objects.
nlohmann::json vpsPropios();

// The id of the server with address `ip`: the existing entry's when there is
// one (its name is kept), else a new entry's. Refuses anything but four
// numbers 0 to 255 separated by dots: "Escribe la IP del VPS (cuatro
// números separados por puntos)." (code "ip").
Resultado<std::int64_t> anadirVPS(const std::string& nombre, const std::string& ip);

}  // namespace sorvenia::PropiosVPS
