#pragma once
// Owned file descriptors, pipes and the null device. Every descriptor made
// here is close-on-exec, so no child ever inherits one by accident.

#include <string>

#include "plataforma/resultado.h"

namespace sorvenia {

// One open descriptor, closed when the object goes.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    Descriptor(Descriptor&& otro) noexcept;
    Descriptor& operator=(Descriptor&& otro) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { cerrar(); }

    int fd() const noexcept { return fd_; }
    bool abierto() const noexcept { return fd_ >= 0; }
    void cerrar() noexcept;

private:
    int fd_ = -1;
};

struct Tuberia {
    Descriptor lectura;
    Descriptor escritura;
};

// A new pipe, both ends close-on-exec and numbered 3 or above (so that
// placing them on a child's 0, 1 and 2 never maps a descriptor onto itself).
Resultado<Tuberia> crearTuberia();

// /dev/null opened for reading and writing, close-on-exec.
Resultado<Descriptor> abrirNulo();

// One blocking read of whatever is available, appended to `destino`.
// False at end of file or on a read error other than an interruption.
bool leerAlgo(int fd, std::string& destino);

}  // namespace sorvenia
