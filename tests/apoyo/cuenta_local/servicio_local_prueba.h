#pragma once
// For the account tests: the local account service in-process on a free
// port with a data folder of its own, and a keychain stand-in.

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "cuenta/llavero.h"
#include "plataforma/http.h"

namespace sorvenia::cuenta_local {
class CuentaLocal;
}

namespace sorvenia::prueba {

// A private temporary folder, removed with its contents at the end.
class CarpetaTemporal {
public:
    CarpetaTemporal();
    ~CarpetaTemporal();
    CarpetaTemporal(const CarpetaTemporal&) = delete;
    CarpetaTemporal& operator=(const CarpetaTemporal&) = delete;
    const std::filesystem::path& ruta() const { return ruta_; }

private:
    std::filesystem::path ruta_;
};

class ServicioLocalPrueba {
public:
    // Customer 1 "Ana Pérez" (key "clave-ana", hosting 7 on ana.example, VPS
    // 3 and 4) and customer 2 "Otro Cliente" (key "clave-otro", nothing).
    ServicioLocalPrueba();
    ~ServicioLocalPrueba();

    std::string base() const;  // "http://127.0.0.1:<port>"
    const std::filesystem::path& datos() const { return carpeta_.ruta(); }

    // What the service received, oldest first; only the given action's.
    std::vector<nlohmann::json> registro() const;
    std::vector<nlohmann::json> registroDe(const std::string& accion) const;

    // Replaces "interruptores.json".
    void interruptores(const nlohmann::json& valor);

    // A request of the test's own, with customer 1's key.
    RespuestaHTTP pedirComoAna(const std::string& metodo, const std::string& consulta, const std::string& cuerpo = "");

private:
    CarpetaTemporal carpeta_;
    std::unique_ptr<cuenta_local::CuentaLocal> servicio_;
    std::uint16_t puerto_ = 0;
    std::thread hilo_;
};

// A GET of the test's own (redirects not followed).
RespuestaHTTP obtener(const std::string& url);

// The keychain in memory. Writes can be made to fail.
class LlaveroEnMemoria final : public Llavero::Almacen {
public:
    std::optional<std::string> leer(const std::string& servicio, const std::string& cuenta) override;
    bool guardar(const std::string& servicio, const std::string& cuenta, const std::string& valor) override;
    void borrar(const std::string& servicio, const std::string& cuenta) override;

    void rechazarEscrituras(bool si);
    std::map<std::pair<std::string, std::string>, std::string> contenido() const;

private:
    mutable std::mutex mutex_;
    std::map<std::pair<std::string, std::string>, std::string> items_;
    bool rechazar_ = false;
};

}  // namespace sorvenia::prueba
