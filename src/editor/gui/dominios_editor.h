#pragma once
// The editor page's domain search: the account's answer for the words the
// user typed, as the page's "dominios" call (each domain with whether it is
// free, and the hosting pack offered with them), or the reason it failed.

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cuenta/registros.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class Cuenta;
class EditorAbierto;

// The "dominios" answer for a search's result.
nlohmann::json respuestaDominios(const std::vector<RegistrosCuenta::DominioPack>& dominios,
                                 const RegistrosCuenta::Pack& pack);

// Searches `q` ("" included) and answers the page; nothing without an account.
Tarea<void> buscarDominios(std::shared_ptr<EditorAbierto> editor, std::weak_ptr<Cuenta> cuenta, std::string q);

}  // namespace sorvenia
