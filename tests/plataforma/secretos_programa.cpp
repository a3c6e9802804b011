// Runs one keyring operation in a process of its own, so a test can give it
// another session bus, or read back what the test process stored:
//   secretos_programa leer|guardar|borrar <servicio> <cuenta> [valor]
// Prints "nada", "ok" or "ok <secreto>", or "fallo <codigo> <mensaje>".
#include <cstdio>
#include <string>
#include <thread>

#include "plataforma/secretos.h"

namespace {

void imprimir(const sorvenia::Fallo& f) { std::printf("fallo %s %s\n", f.codigo.c_str(), f.mensaje.c_str()); }

int correr(const std::string& orden, const std::string& servicio, const std::string& cuenta, const std::string& valor) {
    using namespace sorvenia;
    if (orden == "leer") {
        const auto r = leerSecreto(servicio, cuenta);
        if (!r) imprimir(r.fallo());
        else if (!*r) std::printf("nada\n");
        else std::printf("ok %s\n", (*r)->c_str());
        return 0;
    }
    const auto r = orden == "guardar" ? guardarSecreto(servicio, cuenta, valor) : borrarSecreto(servicio, cuenta);
    if (!r) imprimir(r.fallo());
    else std::printf("ok\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    int estado = 2;
    // Off the main thread, where the keyring functions refuse to run.
    std::thread hilo([&] { estado = correr(argv[1], argv[2], argv[3], argc > 4 ? argv[4] : ""); });
    hilo.join();
    return estado;
}
