#pragma once
// An MCP client as an AI client runs one: it starts the bridge program,
// writes one JSON-RPC request per line on its standard input and reads one
// answer per line from its standard output.

#include <sys/types.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace sorvenia::prueba {

class ClienteMCP {
public:
    ClienteMCP(const std::string& puente, const std::vector<std::string>& entorno);
    ~ClienteMCP();
    ClienteMCP(const ClienteMCP&) = delete;
    ClienteMCP& operator=(const ClienteMCP&) = delete;

    // The answer to one request; nothing when none came within `limite`.
    std::optional<nlohmann::json> pedir(const std::string& metodo, const nlohmann::json& parametros,
                                        std::chrono::milliseconds limite = std::chrono::seconds(60));
    // "tools/call": the answer's "result" (its "content" and "isError").
    nlohmann::json herramienta(const std::string& nombre, const nlohmann::json& argumentos = nlohmann::json::object());

private:
    std::optional<std::string> linea(std::chrono::milliseconds limite);

    pid_t pid_ = -1;
    int entrada_ = -1;  // the bridge's standard input
    int salida_ = -1;   // its standard output
    std::string pendiente_;
    int siguiente_ = 1;
};

// The text of a tool result's first item ("" when there is none).
std::string textoDe(const nlohmann::json& resultado);

}  // namespace sorvenia::prueba
