#include "centro/token_mcp.h"

#include <openssl/rand.h>

#include <array>
#include <climits>

namespace sorvenia {

bool azarSeguro(unsigned char* bytes, std::size_t cuantos) {
    return cuantos <= INT_MAX && RAND_bytes(bytes, static_cast<int>(cuantos)) == 1;
}

Resultado<std::string> tokenMCP(const FuenteAzar& azar) {
    std::array<unsigned char, 16> uuid{};
    if (!azar || !azar(uuid.data(), uuid.size()))
        return Fallo{"No se ha podido abrir el servidor del tarvel.", "azar"};
    uuid[6] = static_cast<unsigned char>((uuid[6] & 0x0F) | 0x40);  // version 4
    uuid[8] = static_cast<unsigned char>((uuid[8] & 0x3F) | 0x80);  // RFC 4122 variant
    constexpr char cifras[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : uuid) {
        token.push_back(cifras[b >> 4]);
        token.push_back(cifras[b & 0x0F]);
    }
    return token;
}

}  // namespace sorvenia
