// cuenta-local: the local account service. See README.md.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "interruptores.h"
#include "servicio.h"

namespace {

using sorvenia::cuenta_local::CuentaLocal;

constexpr const char* ayuda =
    "Uso: cuenta-local --datos CARPETA [--puerto N] [--fallar ACCION=STATUS]... [--colgar ACCION=SEGUNDOS]...\n"
    "  --datos    carpeta de los datos (se crea si no existe)\n"
    "  --puerto   puerto en 127.0.0.1 (8787 por defecto; 0 elige uno libre)\n"
    "  --fallar   la acción contesta ese status sin hacerse\n"
    "  --colgar   la acción espera esos segundos antes de contestar\n";

struct Opciones {
    std::string datos;
    long puerto = 8787;
    std::vector<std::string> fallar, colgar;
};

bool leerOpciones(int argc, char** argv, Opciones& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return false;
        const std::string valor = argv[++i];
        if (a == "--datos") o.datos = valor;
        else if (a == "--puerto") o.puerto = std::strtol(valor.c_str(), nullptr, 10);
        else if (a == "--fallar") o.fallar.push_back(valor);
        else if (a == "--colgar") o.colgar.push_back(valor);
        else return false;
    }
    return !o.datos.empty() && o.puerto >= 0 && o.puerto <= 65535;
}

// SIGINT and SIGTERM end the service cleanly: a thread waits for them.
void pararConSenales(CuentaLocal& servicio, sigset_t senales) {
    std::thread([&servicio, senales] {
        int senal = 0;
        sigwait(&senales, &senal);
        servicio.parar();
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    Opciones o;
    if (!leerOpciones(argc, argv, o)) {
        std::cerr << ayuda;
        return 2;
    }
    sigset_t senales;
    sigemptyset(&senales);
    sigaddset(&senales, SIGINT);
    sigaddset(&senales, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &senales, nullptr);

    CuentaLocal servicio(o.datos);
    for (const auto& f : o.fallar)
        if (!servicio.interruptores().fallarDesdeOrden(f)) return std::cerr << "--fallar no válido: " << f << '\n', 2;
    for (const auto& c : o.colgar)
        if (!servicio.interruptores().colgarDesdeOrden(c)) return std::cerr << "--colgar no válido: " << c << '\n', 2;
    const auto puerto = servicio.escuchar(static_cast<std::uint16_t>(o.puerto));
    if (!puerto) {
        std::cerr << "cuenta-local: no se puede escuchar en 127.0.0.1:" << o.puerto << '\n';
        return 1;
    }
    std::cout << "cuenta-local escuchando en http://127.0.0.1:" << *puerto << std::endl;
    pararConSenales(servicio, senales);
    servicio.servir();
    return 0;
}
