#include "ias/matar.h"

#include <csignal>

#include "ias/reloj.h"

namespace sorvenia::IAsLocales {

void matar(const std::shared_ptr<Proceso>& proceso) {
    if (!proceso) return;
    // The retention keeps the leader unreaped until the second stage has
    // sent its group signal; without it (already reaped) nothing is safe to
    // send.
    auto retencion = proceso->retener();
    if (!retencion) return;
    proceso->senalar(SIGTERM);
    programar(segundosHastaMatar, [proceso, retencion] { proceso->senalar(SIGKILL); });
}

}  // namespace sorvenia::IAsLocales
