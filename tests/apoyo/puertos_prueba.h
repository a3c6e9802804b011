#pragma once
// Loopback ports for tests that start their own servers.

#include <chrono>
#include <cstdint>

namespace sorvenia::prueba {

// A port of 127.0.0.1 that nothing listens on right now.
std::uint16_t puertoLibre();

// True when something accepts connections on that port of 127.0.0.1.
bool escucha(std::uint16_t puerto);

// Waits until something accepts connections on that port (a server the test
// started): true once it does, false when `limite` passed first.
bool esperarEscucha(std::uint16_t puerto, std::chrono::milliseconds limite = std::chrono::seconds(10));

}  // namespace sorvenia::prueba
