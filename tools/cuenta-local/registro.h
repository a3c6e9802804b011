#pragma once
// The request log: one JSON object per line in "registro.jsonl" in the data
// folder, appended as each request is answered (see README.md for its keys).

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "peticion.h"

namespace sorvenia::cuenta_local {

class Registro {
public:
    explicit Registro(std::filesystem::path fichero) : fichero_(std::move(fichero)) {}

    void anotar(const Peticion& peticion, const std::string& accion, const Respuesta& respuesta,
                const std::map<std::string, std::string>& cabeceras);

    // Every entry written by this run, oldest first.
    std::vector<nlohmann::json> entradas() const;

private:
    std::filesystem::path fichero_;
    std::vector<nlohmann::json> entradas_;
    std::int64_t siguiente_ = 1;
    mutable std::mutex mutex_;
};

}  // namespace sorvenia::cuenta_local
