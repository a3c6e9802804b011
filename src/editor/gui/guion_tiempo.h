#pragma once
// The script that sets a recorded page to one frame's time.

#include <string>

namespace sorvenia {

// An async function body that pauses every animation of the document at
// `ms` milliseconds, puts the elements revealed on scroll in their revealed
// state, and returns 1. The number is written without the locale (a decimal
// comma would break the script).
std::string guionTiempo(double ms);

}  // namespace sorvenia
