#include "plataforma/carpetas.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "comun/conexion_tarvel.h"

namespace sorvenia {
namespace {
namespace fs = std::filesystem;

TEST(Carpetas, ReglasXdg) {
    const fs::path defecto = "/casa/.cache";
    EXPECT_EQ(Carpetas::detalle::baseXdg(nullptr, defecto), defecto);
    EXPECT_EQ(Carpetas::detalle::baseXdg("", defecto), defecto);
    EXPECT_EQ(Carpetas::detalle::baseXdg("relativa/cache", defecto), defecto);
    EXPECT_EQ(Carpetas::detalle::baseXdg("/otra/cache", defecto), "/otra/cache");

    const fs::path casa = "/home/ana";
    const struct {
        const char* especial;
        fs::path esperado;
    } videos[] = {
        {nullptr, "/home/ana/Videos"},
        {"", "/home/ana/Videos"},
        {"/home/ana", "/home/ana/Videos"},  // disabled by xdg-user-dirs
        {"/home/ana/", "/home/ana/Videos"},
        {"Vídeos", "/home/ana/Videos"},
        {"/home/ana/Vídeos", "/home/ana/Vídeos"},
        {"/datos/peliculas", "/datos/peliculas"},
    };
    for (const auto& caso : videos)
        EXPECT_EQ(Carpetas::detalle::videosDesde(caso.especial, casa), caso.esperado)
            << (caso.especial ? caso.especial : "(null)");
}

TEST(Carpetas, DelUsuario) {
    const fs::path casa = ConexionTarvel::casa();
    auto base = [&](const char* variable, const char* defecto) {
        return Carpetas::detalle::baseXdg(std::getenv(variable), casa / defecto) / "SorveniaTarvel";
    };
    EXPECT_EQ(Carpetas::aplicacion(), casa / ".local/share/SorveniaTarvel");
    EXPECT_EQ(Carpetas::configuracion(), base("XDG_CONFIG_HOME", ".config"));
    EXPECT_EQ(Carpetas::cache(), base("XDG_CACHE_HOME", ".cache"));
    EXPECT_EQ(Carpetas::sitios(), casa / "Sites");
    // The test channel sits beside the cache, not inside it.
    EXPECT_EQ(Carpetas::canalPruebas(), Carpetas::cache().parent_path() / "SorveniaTarvelPruebas");
    EXPECT_TRUE(Carpetas::videos().is_absolute());
}

TEST(Carpetas, CarpetaPrivada) {
    auto carpeta = CarpetaTemporal::crear("prueba-");
    ASSERT_TRUE(carpeta) << carpeta.fallo().mensaje;
    const fs::path raiz = carpeta->ruta();
    fs::create_directory(raiz / "abierta");
    chmod((raiz / "abierta").c_str(), 0755);
    std::ofstream(raiz / "fichero") << "x";

    EXPECT_TRUE(Carpetas::detalle::esCarpetaPrivada(raiz));
    EXPECT_FALSE(Carpetas::detalle::esCarpetaPrivada(raiz / "abierta"));
    EXPECT_FALSE(Carpetas::detalle::esCarpetaPrivada(raiz / "fichero"));
    EXPECT_FALSE(Carpetas::detalle::esCarpetaPrivada(raiz / "falta"));
    EXPECT_FALSE(Carpetas::detalle::esCarpetaPrivada(raiz.lexically_relative(fs::current_path())));
}

// Where the folder goes, its mode, and that it disappears with what it holds.
TEST(Carpetas, TemporalPrivada) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::optional<std::string> guardado = runtime ? std::optional<std::string>(runtime) : std::nullopt;
    auto abierta = CarpetaTemporal::crear("abierta-");
    ASSERT_TRUE(abierta);
    chmod(abierta->ruta().c_str(), 0755);  // not usable as a runtime folder

    const struct {
        std::optional<fs::path> runtime;
        bool bajoRuntime;
    } casos[] = {
        {guardado, guardado && Carpetas::detalle::esCarpetaPrivada(*guardado)},
        {abierta->ruta(), false},
        {std::nullopt, false},
    };
    for (const auto& caso : casos) {
        if (caso.runtime)
            setenv("XDG_RUNTIME_DIR", caso.runtime->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");

        fs::path ruta;
        {
            auto temporal = CarpetaTemporal::crear("prueba-");
            ASSERT_TRUE(temporal) << temporal.fallo().mensaje;
            ruta = temporal->ruta();
            struct stat datos{};
            ASSERT_EQ(lstat(ruta.c_str(), &datos), 0);
            EXPECT_TRUE(S_ISDIR(datos.st_mode));
            EXPECT_EQ(datos.st_mode & 07777, 0700u);
            EXPECT_EQ(datos.st_uid, geteuid());
            EXPECT_TRUE(ruta.filename().string().starts_with("prueba-"));
            EXPECT_EQ(ruta.filename().string().size(), 13u);
            EXPECT_EQ(caso.runtime && ruta.parent_path() == *caso.runtime, caso.bajoRuntime) << ruta;
            if (!caso.bajoRuntime) {
                EXPECT_EQ(ruta.parent_path(), fs::temp_directory_path());
            }

            fs::create_directories(ruta / "a/b");
            std::ofstream(ruta / "a/b/f") << "x";
            fs::create_symlink("/", ruta / "a/enlace");
            chmod((ruta / "a").c_str(), 0500);  // a read-only folder inside

            CarpetaTemporal movida = std::move(*temporal);
            EXPECT_TRUE(temporal->ruta().empty());
            EXPECT_TRUE(fs::exists(ruta));
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(ruta))) << ruta;
    }
    if (guardado)
        setenv("XDG_RUNTIME_DIR", guardado->c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");

    auto mala = Carpetas::crearTemporalPrivada("a/b");
    ASSERT_FALSE(mala);
    EXPECT_TRUE(mala.fallo().mensaje.starts_with("No se pudo crear una carpeta temporal: ")) << mala.fallo().mensaje;
    EXPECT_TRUE(mala.fallo().mensaje.ends_with(".")) << mala.fallo().mensaje;
}

}  // namespace
}  // namespace sorvenia
