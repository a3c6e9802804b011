#pragma once
// The agency workspace's local file "agencia.json": one entry per signed-in
// account, each with the workspace data the agency page last saved, the copy
// last uploaded to the account (the base), the account's version of that
// upload, and whether local changes still wait to be uploaded.
//
// The file is the customer's business record, so it is never silently
// replaced: a file that cannot be read as ours (not JSON, not an object, a
// layout number above ours, or an entry of this account written by a newer
// layout) reads as empty and is moved aside, under a name of its own beside
// it, before the next write. Other accounts' entries and unknown members
// survive every rewrite. Writes are atomic.
//
// Main thread only; every call reads or writes the whole file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cuenta/registros.h"
#include "pantallas/lectura_agencia.h"
#include "plataforma/resultado.h"

namespace sorvenia {

class FicheroAgencia {
public:
    using Estado = LecturaAgencia::Estado;
    static constexpr int formato = LecturaAgencia::formato;
    // The largest file written, in bytes of serialized JSON.
    static constexpr std::size_t tamanoMaximo = 8u * 1024u * 1024u;

    // "agencia.json" in the application folder; "agencia-pruebas.json" in
    // the test build.
    static std::filesystem::path porDefecto();
    explicit FicheroAgencia(std::filesystem::path ruta = porDefecto()) : ruta_(std::move(ruta)) {}

    const std::filesystem::path& ruta() const { return ruta_; }

    // The key of an account's entry: its e-mail in lower case, or
    // "sin-cuenta" with nobody signed in.
    static std::string claveCuenta(const std::optional<Cliente>& cliente);

    // The entry of `clave`; never fails (an unreadable file reads as empty).
    EntradaAgencia entrada(const std::string& clave) const;
    // Stores `e` as the entry of `clave`. Fails with codigo "agencia" when
    // the file would be larger than tamanoMaximo; the file is then unchanged.
    Hecho escribir(const std::string& clave, const EntradaAgencia& e) const;
    // What the page saves: `datos` must hold the arrays "clientes" and
    // "proyectos"; a missing base or version keeps the stored one.
    Hecho guardarLocal(const std::string& clave, const nlohmann::json& datos, const std::optional<nlohmann::json>& base,
                       std::optional<std::int64_t> version, bool pendiente) const;

    // Whether two objects are equal whatever the order of their members.
    static bool iguales(const nlohmann::json& a, const nlohmann::json& b);

    // Where an unreadable file is moved: "<nombre>.apartado-<fecha>" beside
    // it, with "-2", "-3"... when that name is taken.
    std::filesystem::path rutaApartada() const;

private:
    std::optional<std::string> leerTexto() const;
    std::filesystem::path ruta_;
};

}  // namespace sorvenia
