// An image file picked from the computer: which files become a data URL for
// the design, and which are refused with a sentence for the user.

#include "editor/imagen_elegida.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "plataforma/cripto.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

TEST(ImagenElegida, ElTipoSaleDelContenidoNoDelNombre) {
    struct Caso {
        std::string bytes;
        std::optional<std::string> tipo;
    };
    const Caso casos[] = {
        {"\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s, "image/png"},
        {"\xFF\xD8\xFF\xE0\0\x10JFIF"s, "image/jpeg"},
        {"GIF89a\x01\0\x01\0"s, "image/gif"},
        {"RIFF\x24\0\0\0WEBPVP8 "s, "image/webp"},
        {"<?xml version=\"1.0\"?>\n<!-- logo -->\n<SVG xmlns=\"http://www.w3.org/2000/svg\"/>", "image/svg+xml"},
        {"", std::nullopt},
        {"\x89PNG", std::nullopt},                  // cut before its signature ends
        {"RIFF\x24\0\0\0WAVEfmt "s, std::nullopt},  // a sound, not a picture
        {"\0<svg"s, std::nullopt},                  // a NUL: not a text file
        {"<html><body>hola</body></html>", std::nullopt},
        {"<html><body><svg viewBox=\"0 0 1 1\"></svg></body></html>", std::nullopt},  // a page, not an image
        {"<svgx/>", std::nullopt},
        {"\xEF\xBB\xBF  <!DOCTYPE svg>\n<svg/>", "image/svg+xml"},
    };
    for (const auto& c : casos) EXPECT_EQ(ImagenElegida::tipo(c.bytes), c.tipo) << c.bytes;
}

TEST(ImagenElegida, LaUrlLlevaLosBytesEnteros) {
    const std::string png = "\x89PNG\r\n\x1A\n\x01\x02\xFF"s;
    const auto url = ImagenElegida::urlDatos(png);
    ASSERT_TRUE(url) << url.fallo().mensaje;
    const std::string prefijo = "data:image/png;base64,";
    ASSERT_TRUE(url->starts_with(prefijo)) << *url;
    const auto bytes = desdeBase64(url->substr(prefijo.size()));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), png);
}

TEST(ImagenElegida, UnArchivoQueNoEsImagenOGrandeSeRechazaConSuFrase) {
    const fs::path carpeta = fs::temp_directory_path() / ("imagen-elegida-" + std::to_string(::getpid()));
    fs::create_directories(carpeta);
    const auto escribir = [&](const std::string& nombre, const std::string& bytes) {
        std::ofstream(carpeta / nombre, std::ios::binary) << bytes;
        return carpeta / nombre;
    };

    const auto texto = ImagenElegida::leer(escribir("notas.png", "no soy una imagen"));
    ASSERT_FALSE(texto);
    EXPECT_EQ(texto.fallo().mensaje, "Ese archivo no es una imagen PNG, JPEG, GIF, WebP o SVG.");

    std::string grande = "\xFF\xD8\xFF"s;
    grande.resize(ImagenElegida::limiteBytes + 1, 'x');
    const auto pesada = ImagenElegida::leer(escribir("foto.jpg", grande));
    ASSERT_FALSE(pesada);
    EXPECT_EQ(pesada.fallo().mensaje, "La imagen pesa más de 15 MB; elige una más ligera.");

    grande.resize(ImagenElegida::limiteBytes);
    const auto justa = ImagenElegida::leer(escribir("justa.jpg", grande));
    EXPECT_TRUE(justa);

    const auto falta = ImagenElegida::leer(carpeta / "no-existe.png");
    ASSERT_FALSE(falta);
    EXPECT_EQ(falta.fallo().mensaje, "No se ha podido leer la imagen elegida.");
    fs::remove_all(carpeta);
}

}  // namespace
}  // namespace sorvenia
