#include "plataforma/fichero_privado.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "plataforma/carpetas.h"

namespace sorvenia {
namespace {
namespace fs = std::filesystem;

std::string leer(const fs::path& ruta) {
    std::ifstream entrada(ruta, std::ios::binary);
    return {std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

std::size_t ficherosEn(const fs::path& carpeta) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(carpeta), fs::directory_iterator()));
}

// Both writers replace the whole file, leave it readable by the user only,
// and leave nothing beside it.
TEST(FicheroPrivado, ReemplazaEnteroSoloParaElUsuario) {
    auto carpeta = CarpetaTemporal::crear("privado-");
    ASSERT_TRUE(carpeta) << carpeta.fallo().mensaje;
    const fs::path fichero = carpeta->ruta() / "secreto.json";
    {
        std::ofstream previo(fichero);
        previo << "un contenido anterior más largo que el nuevo";
    }
    ::chmod(fichero.c_str(), 0644);

    ASSERT_TRUE(escribirPrivado(fichero, "uno").ok());
    EXPECT_EQ(leer(fichero), "uno");
    const auto duradero = escribirPrivadoDuradero(fichero, "dos");
    ASSERT_TRUE(duradero) << duradero.fallo().mensaje;
    EXPECT_EQ(leer(fichero), "dos");

    struct stat datos {};
    ASSERT_EQ(::stat(fichero.c_str(), &datos), 0);
    EXPECT_EQ(datos.st_mode & 0777, 0600u);
    // The status it gives is the new file's, as the file is now.
    EXPECT_EQ(duradero->st_ino, datos.st_ino);
    EXPECT_EQ(duradero->st_size, datos.st_size);
    EXPECT_EQ(ficherosEn(carpeta->ruta()), 1u);
}

// Failing, it names the file and leaves the old one and no temporary file.
TEST(FicheroPrivado, SiFallaLoDiceYNoDejaNada) {
    auto carpeta = CarpetaTemporal::crear("privado-");
    ASSERT_TRUE(carpeta) << carpeta.fallo().mensaje;
    const fs::path sinCarpeta = carpeta->ruta() / "no-existe" / "f.json";
    for (const bool duradera : {false, true}) {
        const auto fallo = duradera ? escribirPrivadoDuradero(sinCarpeta, "x").fallo()
                                    : escribirPrivado(sinCarpeta, "x").fallo();
        EXPECT_NE(fallo.mensaje.find(sinCarpeta.string()), std::string::npos) << fallo.mensaje;
        EXPECT_EQ(fallo.codigo, "fichero");
    }
    // A folder where the file should be: the rename fails after writing.
    const fs::path ocupado = carpeta->ruta() / "ocupado";
    fs::create_directory(ocupado);
    fs::create_directory(ocupado / "dentro");
    EXPECT_FALSE(escribirPrivadoDuradero(ocupado, "x"));
    EXPECT_FALSE(escribirPrivado(ocupado, "x"));
    EXPECT_TRUE(fs::is_directory(ocupado / "dentro"));
    EXPECT_EQ(ficherosEn(carpeta->ruta()), 1u);
}

}  // namespace
}  // namespace sorvenia
