#pragma once
// The keychain store of the application: the Secret Service.

#include <memory>

#include "cuenta/llavero.h"

namespace sorvenia {

std::shared_ptr<Llavero::Almacen> almacenDelSistema();

}  // namespace sorvenia
