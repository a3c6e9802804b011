// What a server sends back to the servers screen: the status script's
// output and a folder listing. Any bytes must give a well-formed answer:
// the status has its fixed keys or the one error, CPU use stays within
// 0 to 100, rates are never negative, and every listing entry has its five
// keys with a name that holds no line feed.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "servidores/archivos_remotos.h"
#include "servidores/estado_servidor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    using namespace sorvenia;
    const std::string_view texto(reinterpret_cast<const char*>(datos), largo);

    const EstadoServidor::Muestra anterior{{1, 2, 3, 4, 5}, 100, 200, 1.0};
    const auto lectura = EstadoServidor::leer(5, texto, &anterior, 2.0);
    const auto& r = lectura.respuesta;
    if (r.at("servidor") != 5) __builtin_trap();
    if (!r.contains("error")) {
        for (const char* clave : {"carga", "nucleos", "arriba", "so", "caidos", "procesos"})
            if (!r.contains(clave)) __builtin_trap();
        if (r["carga"].size() > 3) __builtin_trap();
        if (r.contains("cpu")) {
            const double cpu = r["cpu"].get<double>();
            if (!(cpu >= 0.0 && cpu <= 100.0)) __builtin_trap();
        }
        if (r.contains("red") && (r["red"]["rx"].get<double>() < 0 || r["red"]["tx"].get<double>() < 0))
            __builtin_trap();
        (void)r.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }

    const auto listado = ArchivosRemotos::leerListado(texto);
    for (const auto& e : listado.at("items")) {
        if (e.size() != 5) __builtin_trap();
        const auto& tipo = e.at("tipo").get_ref<const std::string&>();
        if (tipo != "dir" && tipo != "enlace" && tipo != "fich") __builtin_trap();
        if (e.at("nombre").get_ref<const std::string&>().find('\n') != std::string::npos) __builtin_trap();
    }
    if (const auto n = ArchivosRemotos::normalizar(texto)) {
        if (n->empty() || n->front() != '/' || (n->size() > 1 && n->back() == '/')) __builtin_trap();
        if (n->find("//") != std::string::npos || n->find("/../") != std::string::npos) __builtin_trap();
        if (ArchivosRemotos::normalizar(*n) != *n) __builtin_trap();
    }
    return 0;
}
