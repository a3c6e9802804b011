#include "tarvel_mcp/reenviar.h"

#include <curl/curl.h>

#include <memory>
#include <string>

namespace sorvenia::puente {
namespace {

constexpr long tiempoLimite = 600;  // seconds: a tool call may render or wait on the user

struct LiberarCurl {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct LiberarCabeceras {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// Keeps the answer up to limiteRespuesta bytes; past that the transfer is
// aborted (a short count ends it with a write error).
std::size_t acumular(char* datos, std::size_t tamano, std::size_t cuantos, void* destino) {
    auto& cuerpo = *static_cast<std::string*>(destino);
    const std::size_t n = tamano * cuantos;
    if (n > limiteRespuesta - cuerpo.size()) return 0;
    cuerpo.append(datos, n);
    return n;
}

}  // namespace

Reenvio reenviar(std::string_view mensaje) {
    const auto conexion = ConexionTarvel::leer();
    if (!conexion) return {};
    const auto url = urlDe(*conexion);
    if (!url) return {};

    std::unique_ptr<CURL, LiberarCurl> curl(curl_easy_init());
    if (!curl) return {};
    curl_slist* lista = curl_slist_append(nullptr, "Content-Type: application/json");
    if (lista != nullptr) lista = curl_slist_append(lista, "Expect:");  // send the body at once
    std::unique_ptr<curl_slist, LiberarCabeceras> cabeceras(lista);
    if (!cabeceras) return {};

    std::string cuerpo;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url->c_str());
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, mensaje.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(mensaje.size()));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, cabeceras.get());
    curl_easy_setopt(c, CURLOPT_TIMEOUT, tiempoLimite);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    // The loopback server is reached directly, whatever proxy the client's
    // environment names.
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limiteRespuesta));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, acumular);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &cuerpo);

    if (curl_easy_perform(c) != CURLE_OK) return {};
    long codigo = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &codigo);
    return resultadoHTTP(codigo, std::move(cuerpo));
}

}  // namespace sorvenia::puente
