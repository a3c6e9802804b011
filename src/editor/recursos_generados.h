#pragma once
// The names of the generated images a design stores: "generada-" and the
// time in seconds modulo 100000. The agent is given "recurso:" + name at
// once, so a name must never be given twice in one design: a taken name
// gets "-2", "-3" … until it is free.

#include <cstdint>
#include <set>
#include <string>

namespace sorvenia {

class RecursosGenerados {
public:
    // The name for an image registered at `segundos` since 1970; from then
    // on it is taken.
    std::string nombrar(std::int64_t segundos);
    // The same at the current time.
    std::string nombrarAhora();

private:
    std::set<std::string> usados_;
};

}  // namespace sorvenia
