#pragma once
// The secret path segment of the local MCP endpoint.

#include <cstddef>
#include <functional>
#include <string>

#include "plataforma/resultado.h"

namespace sorvenia {

// Fills the bytes with secure random data; false when it cannot.
using FuenteAzar = std::function<bool(unsigned char* bytes, std::size_t cuantos)>;

// The system's secure random generator (OpenSSL).
bool azarSeguro(unsigned char* bytes, std::size_t cuantos);

// A new random (version 4) UUID as 32 lower-case hexadecimal characters,
// without dashes. A failed draw is a failure, never a predictable token.
Resultado<std::string> tokenMCP(const FuenteAzar& azar = azarSeguro);

}  // namespace sorvenia
