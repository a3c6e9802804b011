#pragma once
// Secrets (keys, tokens, passwords) in the system keyring, through the Secret
// Service (gnome-keyring, KWallet): one secret per service and account,
// under the schema "es.sorvenia.tarvel.Secreto" with the string attributes
// "servicio" and "cuenta".
//
// Every call blocks on D-Bus and may wait for the user to unlock the keyring,
// so none may run on the main thread (its window would freeze): there they
// refuse at once with a Fallo of code "hilo". Callers go through
// enSegundoPlano. A keyring that cannot be reached or refuses is a Fallo of
// code "llavero", never an empty answer or a pretended success.

#include <optional>
#include <string>

#include "plataforma/resultado.h"

namespace sorvenia {

// The secret, or nothing when none is stored for the service and account.
Resultado<std::optional<std::string>> leerSecreto(const std::string& servicio, const std::string& cuenta);

// Stores the secret, replacing the one stored for the service and account in
// the same step: when the keyring refuses, the earlier secret stays.
Hecho guardarSecreto(const std::string& servicio, const std::string& cuenta, const std::string& valor);

// Deletes the secret; one that is not there is already deleted.
Hecho borrarSecreto(const std::string& servicio, const std::string& cuenta);

}  // namespace sorvenia
