#pragma once
// Some libraries (libcurl of this vintage among them) open descriptors that
// a started program would inherit. This marks them close-on-exec right after
// they appear; a program started by another thread in between could still
// inherit them, so call it where the descriptors are created once and kept.

#include <functional>

namespace sorvenia {

// Runs `abrir` and marks close-on-exec every descriptor that appeared during
// it without the flag. Descriptors the process inherited are left alone.
void sinHerencia(const std::function<void()>& abrir);

}  // namespace sorvenia
