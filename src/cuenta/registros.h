#pragma once
// The typed records of the account API. Each JSON key is exactly the field's
// name ("ram_mb" and "disco_gb" keep their underscores). Decoding follows
// campos_json.h: required fields present and of their type, optional ones
// absent or null allowed, other keys ignored, all or nothing (one bad element
// fails a whole list). Writing leaves absent optional fields out.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cuenta/json_valor.h"

namespace sorvenia {

// The signed-in customer.
struct Cliente {
    std::int64_t id = 0;
    std::string nombre;
    std::string email;
    bool operator==(const Cliente&) const = default;
};

// One cloud design as the account lists it; `id` identifies it in lists.
struct DisenoResumen {
    std::string id;
    std::string nombre;
    std::int64_t version = 0;
    std::optional<std::string> miniatura;
    std::string creado;
    std::string modificado;  // "yyyy-MM-dd HH:mm:ss" in UTC, as the service writes it
    bool operator==(const DisenoResumen&) const = default;
};

// One cloud design as opened, with its document (opaque to all but the
// editor page).
struct DisenoCompleto {
    std::string id;
    std::string nombre;
    std::int64_t version = 0;
    JSONValor doc;
};

// The records that the account type nests (Cuenta::Hosting, Cuenta::VPS, ...):
// `Cuenta` derives from this, so they build without the account object.
struct RegistrosCuenta {
    // One hosting service of the account, a target for publishing.
    struct Hosting {
        std::int64_t id = 0;
        std::string dominio;
        std::string plan;
        bool wordpress = false;
        bool operator==(const Hosting&) const = default;
    };

    // Where a design is published on a hosting service.
    struct Publicada {
        std::int64_t servicio = 0;  // the id of a Hosting
        std::string dominio;
        std::string carpeta;
        std::string url;
        std::int64_t paginas = 0;
        std::string fecha;
        bool operator==(const Publicada&) const = default;
    };

    // A temporary preview of a design. Read only: never written as JSON.
    struct Previa {
        std::string url;
        std::string slug;
        std::string caduca;
        std::int64_t paginas = 0;
        bool operator==(const Previa&) const = default;
    };

    // One VPS server of the account.
    struct VPS {
        std::int64_t id = 0;
        std::string nombre;
        std::string ip;
        std::string so;
        std::optional<std::string> familia;
        std::optional<std::int64_t> cpu;
        std::optional<std::int64_t> ram_mb;
        std::optional<std::int64_t> disco_gb;
        std::optional<std::string> ubicacion;
        std::optional<std::string> pais;
        bool operator==(const VPS&) const = default;
    };

    // One result of a domain search.
    struct DominioPack {
        std::string dominio;
        std::string tld;
        std::optional<bool> libre;  // absent when the service says nothing
        bool operator==(const DominioPack&) const = default;
    };

    // The hosting offer that comes with a domain search; shown unchanged.
    struct Pack {
        std::int64_t mes = 0;
        std::int64_t meses = 0;
        std::int64_t base = 0;
        std::string plan;
        std::string checkout;
        bool operator==(const Pack&) const = default;
    };

    // The publishing targets of an opened design; built from its answer,
    // never coded as JSON.
    struct Destinos {
        std::vector<Hosting> hostings;
        std::optional<Publicada> publicada;
        std::vector<VPS> vps;
    };
};

// Decoding: false (and `destino` unspecified) when the value breaks a rule.
bool leer(const nlohmann::json& valor, Cliente& destino);
bool leer(const nlohmann::json& valor, DisenoResumen& destino);
bool leer(const nlohmann::json& valor, DisenoCompleto& destino);
bool leer(const nlohmann::json& valor, RegistrosCuenta::Hosting& destino);
bool leer(const nlohmann::json& valor, RegistrosCuenta::Publicada& destino);
bool leer(const nlohmann::json& valor, RegistrosCuenta::Previa& destino);
bool leer(const nlohmann::json& valor, RegistrosCuenta::VPS& destino);
bool leer(const nlohmann::json& valor, RegistrosCuenta::DominioPack& destino);
bool leer(const nlohmann::json& valor, RegistrosCuenta::Pack& destino);

// Writing, under the same keys.
nlohmann::json escribir(const Cliente& registro);
nlohmann::json escribir(const DisenoResumen& registro);
nlohmann::json escribir(const DisenoCompleto& registro);
nlohmann::json escribir(const RegistrosCuenta::Hosting& registro);
nlohmann::json escribir(const RegistrosCuenta::Publicada& registro);
nlohmann::json escribir(const RegistrosCuenta::VPS& registro);
nlohmann::json escribir(const RegistrosCuenta::DominioPack& registro);
nlohmann::json escribir(const RegistrosCuenta::Pack& registro);

// One record from JSON text (the customer kept in the user defaults).
std::optional<Cliente> clienteDeTexto(std::string_view texto);

}  // namespace sorvenia
