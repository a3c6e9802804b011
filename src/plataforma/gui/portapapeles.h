#pragma once
// The desktop's clipboard.

#include <string>

namespace sorvenia {

// Replaces the clipboard's content with `texto` as plain text. Does nothing
// without a display. Main thread.
void copiarAlPortapapeles(const std::string& texto);

}  // namespace sorvenia
