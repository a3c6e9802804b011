#pragma once
// CopiasLocales: the designs kept on this computer because their upload
// failed, one file per design in one folder (copias_locales.cpp; the file
// format is in copia_local.h). Synchronous and small; nothing is cached,
// every call reads the folder anew. No call reports a failure: a copy that
// cannot be written, read or decoded is simply not there, and a file that
// is not a copy is left alone.
//
// The account object owns one and offers its calls under the names the
// callers use (Cuenta::guardarCopiaLocal...); the copies belong to whoever
// the account says is signed in, asked at each call.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cuenta/copia_local.h"

namespace sorvenia {

class CopiasLocales {
public:
    // Whose copies these are: the account site's host and the signed-in
    // customer (none when nobody is).
    struct Dueno {
        std::optional<std::string> servidor;
        std::optional<std::int64_t> cliente;
    };
    explicit CopiasLocales(std::function<Dueno()> dueno) : dueno_(std::move(dueno)) {}

    // ~/.local/share/SorveniaTarvel/<application id>/sin-subir: the test
    // build ("….pruebas") keeps its copies apart. Made (mode 0700) only when
    // a copy is written.
    static std::filesystem::path carpetaPorDefecto();
    // The file name of a design's copy: the id (even an empty one), else
    // "nuevo-" + ref, else "nuevo"; only ASCII letters, digits, "_" and "-",
    // at most 80 of them, "nuevo" when none is left, then ".json".
    static std::string nombreCopia(const std::optional<std::string>& id, const std::optional<std::string>& ref);

    // Where these copies are kept instead (tests); empty: carpetaPorDefecto().
    void usarCarpeta(std::filesystem::path carpeta) { carpeta_ = std::move(carpeta); }
    std::filesystem::path carpeta() const;

    // Writes (or replaces) the design's copy, dated now and stamped with the
    // owner's host and customer; `ref` is kept only when `id` is absent.
    // Nothing is written when the document holds a number that is not
    // finite. `base` is the account's version the changes were made on, as
    // far as the caller knows it.
    void guardar(const std::optional<std::string>& id, const std::string& nombre, const JSONValor& doc,
                 const std::optional<std::string>& ref, std::optional<CopiaLocal::Base> base = std::nullopt);
    // Removes the design's copy, if there is one.
    void borrar(const std::optional<std::string>& id, const std::optional<std::string>& ref);
    // The design's copy, whichever site and customer it belongs to.
    std::optional<CopiaLocal> leer(const std::optional<std::string>& id, const std::optional<std::string>& ref) const;
    // The copy of the cloud design `id` to offer when the design opens with
    // the account's document `enLaCuenta`. A copy holding exactly that
    // document is obsolete and deleted; any other is offered: no clock,
    // this computer's or the account's, decides that changes are lost.
    std::optional<CopiaLocal> pendiente(const std::string& id, const JSONValor& enLaCuenta);
    // The owner's copies (an absent host or customer matches only an absent
    // one), newest first.
    std::vector<CopiaLocal> delDueno() const;
    // Removes the file `archivo` of the folder: only a bare file name
    // ending in ".json" (no "/", no NUL); anything else does nothing.
    void descartar(const std::string& archivo);

private:
    std::function<Dueno()> dueno_;
    std::filesystem::path carpeta_;
};

}  // namespace sorvenia
