#pragma once
// Loopback ports for tests that start their own servers.

#include <cstdint>

namespace sorvenia::prueba {

// A port of 127.0.0.1 that nothing listens on right now.
std::uint16_t puertoLibre();

// True when something accepts connections on that port of 127.0.0.1.
bool escucha(std::uint16_t puerto);

}  // namespace sorvenia::prueba
