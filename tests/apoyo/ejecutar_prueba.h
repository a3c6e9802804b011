#pragma once
// Runs a program for a test: feeds it standard input, collects standard
// output and standard error, and gives up after a time limit.

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace sorvenia::prueba {

struct Salida {
    std::string salida;
    std::string errores;
    int estado = -1;  // exit status, or -1 when killed or not started
};

// `entorno` entries replace or add variables of the test's own environment;
// an empty value removes the variable.
Salida ejecutarPrograma(const std::string& programa, const std::vector<std::string>& argumentos,
                        const std::string& entrada, const std::map<std::string, std::string>& entorno = {},
                        std::chrono::milliseconds limite = std::chrono::seconds(60));

}  // namespace sorvenia::prueba
