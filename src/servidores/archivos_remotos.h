#pragma once
// The remote file browser's commands and readings: every path that goes
// into a command line is quoted as one shell word, so names with spaces,
// quotes, newlines or a leading dash stay names; deletions of the system's
// folders are refused however the path is spelt.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia::ArchivosRemotos {

inline constexpr std::size_t maximoEntradas = 2000;
inline constexpr std::size_t maximoVer = 262144;

// Lists `ruta` (or /root when it cannot be entered): its physical path on
// the first line, then "type\tsize\tmtime\tmode\tname" per entry, sorted
// (directories first, then by name regardless of case), at most 2000.
std::string ordenListar(const std::string& ruta);

// {"ruta": the path listed, "items": [...]} from ordenListar's output.
nlohmann::json leerListado(std::string_view salida);

// "file -b --mime-encoding" and the size, then the first 256 KiB.
std::string ordenTipo(const std::string& ruta);
std::string ordenLeer(const std::string& ruta);

// The page's "verArchivo" for a file: binary with its size when the first
// command says so, else the text (or the error) and whether it was cut.
// Nothing when the text must still be read (then call leerTexto).
std::optional<nlohmann::json> verBinario(const std::string& ruta, std::string_view tipo);
nlohmann::json leerTexto(const std::string& ruta, std::string_view tipo, bool ok, std::string texto);

// `ruta` made canonical without touching any file: repeated "/" collapsed,
// "." and ".." resolved ("/.." is "/"), no trailing "/". Nothing for a
// path that is not absolute.
std::optional<std::string> normalizar(std::string_view ruta);

// True for "/" and the system folders whose deletion is refused (`ruta`
// already normalised).
bool protegida(std::string_view ruta);

// The folder operations' commands; `ruta` and `destino` normalised.
std::string ordenCarpeta(const std::string& ruta);
std::string ordenRenombrar(const std::string& ruta, const std::string& destino);
std::string ordenBorrar(const std::string& ruta);

// The notice of a successful operation: "Carpeta creada", "Renombrado",
// "Borrado", else "Hecho".
std::string avisoHecho(std::string_view tipo);

// scp's arguments: the configuration, batch mode, recursive, quiet, and the
// legacy protocol (OpenSSH 9 copies over SFTP by default, which would take
// the shell quoting of a remote path as part of the name).
std::vector<std::string> argumentosScp(const std::filesystem::path& configuracion,
                                       const std::vector<std::string>& fuentes, const std::string& destino);

// "alias:" + the quoted remote path, as scp's remote source or destination.
std::string remota(const std::string& alias, const std::string& ruta);

// The last path component of a remote path ("" for "/").
std::string nombreDe(std::string_view ruta);

// The parent folder of a normalised remote path.
std::string padreDe(std::string_view ruta);

// Where a download of `nombre` goes in `carpeta` without overwriting
// anything: the name itself when free, else "nombre (2).ext", "(3)"...
std::filesystem::path destinoLibre(const std::filesystem::path& carpeta, const std::string& nombre);

// "Subiendo 1 elemento…" / "Subiendo 3 elementos…".
std::string avisoSubiendo(std::size_t n);

}  // namespace sorvenia::ArchivosRemotos
