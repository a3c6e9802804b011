#pragma once
// The service's data, in files under one folder (see README.md): the local
// customers and their keys, each customer's designs, agency data and scene
// files, previews and the sites published to hosting services.
//
// Not locked: the service runs one action at a time (servicio.cpp).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia::cuenta_local {

class Almacen {
public:
    // Creates the folder, and "cuentas.json" with one customer when missing.
    explicit Almacen(std::filesystem::path carpeta);

    const std::filesystem::path& carpeta() const { return carpeta_; }

    // Customers, as in "cuentas.json" but without their keys.
    std::vector<nlohmann::json> clientes() const;
    std::optional<nlohmann::json> cliente(std::int64_t id) const;
    std::optional<nlohmann::json> clientePorClave(const std::string& clave) const;
    // A new key for the customer, kept in "cuentas.json".
    std::optional<std::string> nuevaClave(std::int64_t cliente);
    bool quitarClave(const std::string& clave);

    // Full design records of a customer (doc, ref, preview and publication).
    std::vector<nlohmann::json> disenos(std::int64_t cliente) const;
    std::optional<nlohmann::json> diseno(std::int64_t cliente, const std::string& id) const;
    bool guardarDiseno(std::int64_t cliente, const nlohmann::json& registro);
    bool borrarDiseno(std::int64_t cliente, const std::string& id);

    // {"datos", "version"}, or an empty object before the first save.
    nlohmann::json agencia(std::int64_t cliente) const;
    bool guardarAgencia(std::int64_t cliente, const nlohmann::json& estado);

    std::filesystem::path carpetaEscenas(std::int64_t cliente, const std::string& diseno) const;
    std::filesystem::path carpetaPrevia(const std::string& slug) const;
    std::filesystem::path carpetaSitio(std::int64_t servicio, const std::string& carpeta) const;

    // Domains the search reports as taken: every hosting's domain and those
    // listed in "dominios-ocupados.json".
    std::vector<std::string> dominiosOcupados() const;
    // "tienda.json" when present, else the built-in catalogue.
    nlohmann::json tienda() const;
    // A new hosting on `dominio` for the customer (a bought pack); its id.
    std::optional<std::int64_t> anadirHosting(std::int64_t cliente, const std::string& dominio);

private:
    nlohmann::json cuentas() const;
    bool guardarCuentas(const nlohmann::json& cuentas);
    std::filesystem::path carpetaCliente(std::int64_t cliente) const;

    std::filesystem::path carpeta_;
};

// A design id the service can hold: what it hands out itself.
bool idValido(const std::string& id);

}  // namespace sorvenia::cuenta_local
