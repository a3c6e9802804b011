#pragma once
// Everything the handlers share: the data folder, the switches, the request
// log and the short-lived sign-in codes and panel sessions (memory only).

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "almacen.h"
#include "interruptores.h"
#include "registro.h"

namespace sorvenia::cuenta_local {

// A sign-in the user agreed to on the sign-in page, waiting for its redeem.
struct CodigoConexion {
    std::int64_t cliente = 0;
    std::string reto;  // the challenge the application sent
    std::int64_t caduca = 0;  // seconds since the epoch
};

// A signed-in link into the panel, used once.
struct SesionPanel {
    std::int64_t cliente = 0;
    std::string ir;
    std::int64_t caduca = 0;
};

struct Estado {
    explicit Estado(const std::filesystem::path& carpeta)
        : almacen(carpeta), interruptores(carpeta / "interruptores.json"), registro(carpeta / "registro.jsonl") {}

    Almacen almacen;
    Interruptores interruptores;
    Registro registro;
    std::map<std::string, CodigoConexion> codigos;
    std::map<std::string, SesionPanel> sesiones;
    std::map<std::string, std::int64_t> paneles;  // panel cookie → customer, once a link was used
    std::mutex datos;  // held while one action runs
};

std::int64_t ahora();

}  // namespace sorvenia::cuenta_local
