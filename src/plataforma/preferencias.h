#pragma once
// The user defaults: one JSON object file per application id, in
// $XDG_CONFIG_HOME/SorveniaTarvel/ ("preferencias.json"; the test build uses
// "preferencias-pruebas.json", so it never touches the user's settings).
//
// Safe from any thread. Each access first compares the file's inode, size,
// change and modification times (nanoseconds) with those of the last read and
// reads it again when they differ, so edits by the user or another process
// are seen. Each change rewrites the whole file atomically: a temporary file
// with mode 0600 in the same folder, flushed to disk, then renamed over the
// old one (missing folders are made with mode 0700).
//
// A missing file reads as empty. A file that cannot be read, is not JSON or
// is not a JSON object is moved aside, to "<name>.ilegible-<date>" in the
// same folder, before anything else happens: nothing of it is lost to the
// next change, and the user can be told (apartado()). The settings read as
// empty from then on. A
// change that cannot be written is kept in memory for this run (until the
// file changes on disk) and reported on standard error; the setter returns
// false. Two processes that change the same file at the same moment may lose
// one of the changes; one process never loses its own.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace sorvenia {

class Preferencias {
public:
    // The instance of this application id's file. The id (identidad.h) must
    // be set before the first call; the file is chosen then, once.
    static Preferencias& estandar();
    // The file estandar() uses for the current id and environment.
    static std::filesystem::path rutaEstandar();

    // An instance on any file (tests). Nothing is read or made until used.
    explicit Preferencias(std::filesystem::path fichero);
    ~Preferencias();
    Preferencias(const Preferencias&) = delete;
    Preferencias& operator=(const Preferencias&) = delete;

    const std::filesystem::path& fichero() const noexcept;

    // Nothing when the key is absent or holds another kind of value. Keys and
    // texts are stored as UTF-8; ill-formed sequences become U+FFFD.
    std::optional<std::string> texto(std::string_view clave) const;
    bool fijarTexto(std::string_view clave, std::string_view valor);

    // False when absent or not a boolean.
    bool booleano(std::string_view clave) const;
    bool fijarBooleano(std::string_view clave, bool valor);

    // Any JSON number. NaN and infinities cannot be stored (false, nothing
    // changes).
    std::optional<double> numero(std::string_view clave) const;
    bool fijarNumero(std::string_view clave, double valor);

    // Stored as standard Base64 text; nothing when the text is not Base64.
    std::optional<std::vector<std::uint8_t>> datos(std::string_view clave) const;
    bool fijarDatos(std::string_view clave, std::span<const std::uint8_t> valor);

    // Empty when absent, not an object, or when any member is not a text.
    std::map<std::string, std::string> mapaTextos(std::string_view clave) const;
    bool fijarMapaTextos(std::string_view clave, const std::map<std::string, std::string>& valor);

    // Any JSON value, for the settings of other shapes (dictionaries of
    // records, lists). Include <nlohmann/json.hpp> to use these.
    std::optional<nlohmann::json> valor(std::string_view clave) const;
    bool fijarValor(std::string_view clave, const nlohmann::json& valor);

    // Removes the key; true when it was absent or the file was written.
    bool quitar(std::string_view clave);
    bool existe(std::string_view clave) const;

    // Where an unreadable file was moved this run, until taken: the caller
    // tells the user once. Reading the file first if nothing has yet.
    std::optional<std::filesystem::path> tomarApartado();

private:
    struct Estado;
    std::unique_ptr<Estado> estado_;
};

}  // namespace sorvenia
