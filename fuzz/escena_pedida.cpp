// A URL of the "escena" scheme comes from a page's HTML, which agents and
// the web write: any bytes as the URL, against a scene folder with a video,
// a link out of it and a file beside it. Whatever is served lies inside the
// folder and is a regular file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "editor/escenas.h"

namespace {

namespace fs = std::filesystem;

struct Carpeta {
    Carpeta() {
        fs::create_directories(carpeta / "sub");
        std::ofstream(carpeta / "ola.mp4") << "video";
        std::ofstream(carpeta / "sub" / "b.jpg") << "b";
        std::ofstream(base / "secreto.txt") << "no";
        std::error_code ec;
        fs::create_symlink(base / "secreto.txt", carpeta / "fuera.jpg", ec);
        carpeta = fs::canonical(carpeta);
    }
    ~Carpeta() {
        std::error_code ec;
        fs::remove_all(base, ec);
    }
    fs::path base = fs::temp_directory_path() / ("fuzz-escena-" + std::to_string(::getpid()));
    fs::path carpeta = base / "diseno";
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    static const Carpeta c;
    const std::string_view url(reinterpret_cast<const char*>(datos), tamano);
    const auto archivo = sorvenia::Escenas::archivoPedido(url, c.carpeta);
    if (archivo) {
        // Directly in the folder, never through the link or a subfolder.
        if (archivo->parent_path() != c.carpeta) __builtin_trap();
        if (!fs::is_regular_file(*archivo)) __builtin_trap();
        if (archivo->filename() != "ola.mp4") __builtin_trap();
    }
    (void)sorvenia::Escenas::mime(url);
    return 0;
}
