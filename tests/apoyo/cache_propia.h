#pragma once
// Caches of the test process's own. ctest runs each case of a test program
// as a process of its own, side by side, and the test channel's folder
// lives under $XDG_CACHE_HOME: without this they would take each other's
// request files. Call before anything reads the folders (they are worked
// out once); the folder goes when the process ends.

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace sorvenia::prueba {

void usarCachePropia();

}  // namespace sorvenia::prueba
