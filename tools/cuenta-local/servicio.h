#pragma once
// The local account service: an HTTP server on 127.0.0.1 that answers the
// account API and the account site's pages for the local customers whose
// data lies in one folder. The program cuenta-local runs it; tests run it
// in-process on a thread of their own.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia::cuenta_local {

class Interruptores;

class CuentaLocal {
public:
    explicit CuentaLocal(const std::filesystem::path& datos);
    ~CuentaLocal();
    CuentaLocal(const CuentaLocal&) = delete;
    CuentaLocal& operator=(const CuentaLocal&) = delete;

    // The switches of the command line (the file's are read by themselves).
    Interruptores& interruptores();

    // Binds 127.0.0.1 at `puerto` (0: a free port); the port, or nothing.
    std::optional<std::uint16_t> escuchar(std::uint16_t puerto);
    // Answers requests until parar(); returns at once after it.
    void servir();
    // From any thread: ends servir() and cuts short every stall.
    void parar();

    // This run's request log, oldest first (also in "registro.jsonl").
    std::vector<nlohmann::json> registro() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace sorvenia::cuenta_local
