#pragma once
// A program started by an end-to-end test, in its own process group with an
// environment of the test's choosing; stopped (the whole group) when the
// holder goes.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sorvenia::prueba {

// The test's own environment with `cambios` applied (an empty value removes
// the variable).
std::vector<std::string> entornoCon(const std::map<std::string, std::string>& cambios);

class Proceso {
public:
    // Starts `programa`; its standard output goes to `salida` when given.
    Proceso(const std::string& programa, const std::vector<std::string>& argumentos,
            const std::vector<std::string>& entorno, const std::string& salida = {});
    ~Proceso();
    Proceso(const Proceso&) = delete;
    Proceso& operator=(const Proceso&) = delete;

    bool iniciado() const { return pid_ > 0; }
    // The exit status once it ended within `limite`; nothing otherwise.
    std::optional<int> esperar(std::chrono::milliseconds limite);
    bool vivo();
    void parar();
    // Sends `senal` to the program alone (not its group).
    void senal(int senal);

private:
    pid_t pid_ = -1;
    std::optional<int> estado_;
};

}  // namespace sorvenia::prueba
