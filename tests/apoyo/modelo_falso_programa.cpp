// The stand-in model APIs as a program, for trying an agent by hand:
//   modelo_falso <guion.json> [<registro.jsonl>]
// prints "http://127.0.0.1:<port>" and serves until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <exception>

#include "modelo_falso.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "uso: %s <guion.json> [<registro.jsonl>]\n", argv[0]);
        return 2;
    }
    sigset_t senales;
    sigemptyset(&senales);
    sigaddset(&senales, SIGINT);
    sigaddset(&senales, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &senales, nullptr);  // before the server's threads start
    try {
        auto modelo = sorvenia::prueba::ModeloFalso::desdeArchivo(argv[1]);
        if (argc == 3) modelo.registrarEn(argv[2]);
        std::printf("%s\n", modelo.url().c_str());
        std::fflush(stdout);
        int senal = 0;
        sigwait(&senales, &senal);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
