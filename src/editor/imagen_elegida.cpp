#include "editor/imagen_elegida.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <span>

#include "plataforma/cripto.h"

namespace sorvenia::ImagenElegida {
namespace {

bool empieza(std::string_view b, std::string_view firma, std::size_t desde = 0) {
    return b.size() >= desde + firma.size() && b.substr(desde, firma.size()) == firma;
}

// Text (no NUL in its head) whose first element is <svg>, after any BOM,
// XML declaration, comments or doctype. An HTML page holding an inline
// <svg> is not an image file.
bool esSvg(std::string_view b) {
    std::string_view resto = b.substr(0, 4096);
    if (resto.find('\0') != std::string_view::npos) return false;
    if (resto.starts_with("\xEF\xBB\xBF")) resto.remove_prefix(3);
    const auto saltar = [&](std::string_view abre, std::string_view cierra) {
        if (!resto.starts_with(abre)) return false;
        const auto fin = resto.find(cierra, abre.size());
        resto = fin == std::string_view::npos ? std::string_view() : resto.substr(fin + cierra.size());
        return true;
    };
    for (;;) {
        while (!resto.empty() && std::isspace(static_cast<unsigned char>(resto.front()))) resto.remove_prefix(1);
        if (!saltar("<?", "?>") && !saltar("<!--", "-->") && !saltar("<!", ">")) break;
    }
    if (resto.size() < 5 || resto[0] != '<') return false;
    std::string nombre(resto.substr(1, 3));
    std::ranges::transform(nombre, nombre.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const char despues = resto[4];
    return nombre == "svg" && (std::isspace(static_cast<unsigned char>(despues)) || despues == '>' || despues == '/');
}

}  // namespace

std::optional<std::string> tipo(std::string_view b) {
    if (empieza(b, "\x89PNG\r\n\x1A\n")) return "image/png";
    if (empieza(b, "\xFF\xD8\xFF")) return "image/jpeg";
    if (empieza(b, "GIF87a") || empieza(b, "GIF89a")) return "image/gif";
    if (empieza(b, "RIFF") && empieza(b, "WEBP", 8)) return "image/webp";
    if (esSvg(b)) return "image/svg+xml";
    return std::nullopt;
}

Resultado<std::string> urlDatos(std::string_view bytes) {
    if (bytes.size() > limiteBytes)
        return Fallo{"La imagen pesa más de 15 MB; elige una más ligera.", "grande"};
    const auto t = tipo(bytes);
    if (!t) return Fallo{"Ese archivo no es una imagen PNG, JPEG, GIF, WebP o SVG.", "no_imagen"};
    const auto datos = std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return "data:" + *t + ";base64," + base64(datos);
}

Resultado<std::string> leer(const std::filesystem::path& ruta) {
    std::ifstream entrada(ruta, std::ios::binary);
    if (!entrada) return Fallo{"No se ha podido leer la imagen elegida.", "lectura"};
    std::string bytes(limiteBytes + 1, '\0');
    entrada.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (entrada.bad()) return Fallo{"No se ha podido leer la imagen elegida.", "lectura"};
    bytes.resize(static_cast<std::size_t>(entrada.gcount()));
    return urlDatos(bytes);
}

}  // namespace sorvenia::ImagenElegida
