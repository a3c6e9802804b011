#pragma once
// Once per run the application asks the account site whether a newer build
// of itself has been published, and keeps the answer for the rest of the
// run. It only finds and describes the newer build: nothing is downloaded
// or installed here. The Linux builds have their own feed,
// "<site>/descargas/sorvenia-code-linux/ultima.json":
// {"build": 120 or "120", "version": "2.1", "fichero": "SorveniaCode-2.1-120.tar.gz"}.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "actualizacion/feed_actualizacion.h"
#include "plataforma/tarea.h"

namespace sorvenia::Actualizacion {

// The newer build found in this run, if any.
const std::optional<Nueva>& disponible();

// The first call of the run fetches the feed of the site `servidor` (its
// base address); every later call, also one made while the first waits,
// gives what is known without asking again. Never fails: any problem
// (no network, a status other than 200, a feed that cannot be read, a
// build that is not newer) gives nothing. Main thread.
Tarea<std::optional<Nueva>> comprobar(std::string servidor);

// The build number of this program (the build's SORVENIA_COMPILACION).
std::int64_t compilacionInstalada();

namespace detalle {
// The feed's folder under a site's base address, with or without its
// trailing slash.
std::string carpetaFeed(const std::string& servidor);
// Forgets this run's check (tests).
void olvidar();
}  // namespace detalle

}  // namespace sorvenia::Actualizacion
