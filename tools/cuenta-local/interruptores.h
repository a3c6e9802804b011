#pragma once
// Switches that make an action misbehave, for tests: answer a chosen status
// or body instead of doing it, or stall before answering. They come from the
// command line and from "interruptores.json" in the data folder, which is
// read again whenever it changes (see README.md).

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "peticion.h"

namespace sorvenia::cuenta_local {

struct Interruptor {
    std::optional<int> status;         // answer this status without doing the action
    std::optional<std::string> cuerpo;  // with this body (status 200 when no status)
    double colgar = 0;                 // seconds to wait first
    double gotear = 0;                 // seconds between the answer's bytes, sent one at a time
    std::optional<int> veces;          // how many requests it applies to
};

class Interruptores {
public:
    explicit Interruptores(std::filesystem::path fichero) : fichero_(std::move(fichero)) {}

    // From the command line: "accion=valor" for --fallar and --colgar.
    bool fallarDesdeOrden(const std::string& texto);
    bool colgarDesdeOrden(const std::string& texto);

    // The switch for this action, counting one use of it.
    std::optional<Interruptor> tomar(const std::string& accion);

private:
    void releer();

    std::filesystem::path fichero_;
    std::map<std::string, Interruptor> deOrden_;
    std::map<std::string, Interruptor> deFichero_;
    std::map<std::string, int> usos_;
    std::string visto_;  // inode, size and change time of the file last read; empty: none
    std::mutex mutex_;
};

// The answer a switch gives instead of the action.
Respuesta respuestaForzada(const Interruptor& i, const std::string& accion);

}  // namespace sorvenia::cuenta_local
