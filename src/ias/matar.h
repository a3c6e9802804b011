#pragma once
// The stop sequence for any running child.

#include <memory>

#include "ias/proceso.h"

namespace sorvenia::IAsLocales {

// SIGTERM to the child (while it runs) and to its process group now; five
// seconds later SIGKILL to the child if it still runs and to its group.
// Returns at once. A null process, or one already reaped, gets nothing.
void matar(const std::shared_ptr<Proceso>& proceso);

// Seconds between the two stages.
inline constexpr double segundosHastaMatar = 5.0;

}  // namespace sorvenia::IAsLocales
