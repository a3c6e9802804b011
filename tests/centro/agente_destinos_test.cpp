// The app brief, the claude sessions folder, the private work folder and
// the VPS launcher.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "agente_prueba.h"
#include "aislado.h"
#include "centro/agente.h"
#include "comun/conexion_tarvel.h"
#include "ias/preparar_carpeta.h"
#include "ias/publicar_vps_lanzador.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

std::string leer(const fs::path& fichero) {
    std::ifstream entrada(fichero, std::ios::binary);
    return {std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

unsigned modo(const fs::path& ruta) {
    struct stat datos {};
    return stat(ruta.c_str(), &datos) == 0 ? static_cast<unsigned>(datos.st_mode & 07777) : 0u;
}

TEST(EncargoApp, Tabla) {
    const std::string medio =
        " (es tu directorio de trabajo). Sigue CLAUDE.md de la carpeta y el "
        "método de Superpowers. El cliente te "
        "habla por este chat y no es técnico.";
    const struct {
        Agente::DestinoApp app;
        std::string texto;
    } casos[] = {
        {{"/home/u/Sites/tienda", "diseño", false, std::nullopt},
         "[MODO APLICACIÓN · carpeta del proyecto: /home/u/Sites/tienda" + medio + "]"},
        {{"/home/u/Sites/tienda", "", true, std::nullopt},
         "[MODO APLICACIÓN · carpeta del proyecto: /home/u/Sites/tienda" + medio +
             " La aplicación YA ESTÁ PUBLICADA con datos reales: ningún cambio "
             "puede perder datos.]"},
        {{"/home/u/Sites/móvil", "", true, "Es para iOS y Android."},
         "[MODO APP DE MÓVIL · carpeta del proyecto: /home/u/Sites/móvil" + medio +
             " La aplicación YA ESTÁ PUBLICADA con datos reales: ningún cambio "
             "puede perder datos. Es para iOS y "
             "Android.]"},
    };
    for (const auto& c : casos) EXPECT_EQ(Agente::encargoApp(c.app), c.texto);
}

class Sesiones : public ::testing::Test {
protected:
    void TearDown() override { unsetenv("CLAUDE_CONFIG_DIR"); }
};

TEST_F(Sesiones, NombreYCarpetaBase) {
    const fs::path trabajo = prueba::raizAislada() / "Sitios" / "mi app.v2" / "diseño_ñ";
    fs::create_directories(trabajo);
    const std::string real = fs::canonical(trabajo).string();
    std::string nombre;
    for (char c : real.substr(0, real.size() - std::string("diseño_ñ").size()))
        nombre += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
    nombre += "dise-o--";  // one "-" per scalar: ñ is two bytes but one scalar
    const struct {
        const char* config;  // null: unset
        fs::path base;
    } casos[] = {
        {nullptr, ConexionTarvel::casa() / ".claude"},
        {"", ConexionTarvel::casa() / ".claude"},
        {"~/otra-config", ConexionTarvel::casa() / "otra-config"},
        {"/tmp", "/tmp"},
    };
    for (const auto& c : casos) {
        if (c.config)
            setenv("CLAUDE_CONFIG_DIR", c.config, 1);
        else
            unsetenv("CLAUDE_CONFIG_DIR");
        const fs::path base =
            std::string(c.config ? c.config : "") == "/tmp" ? prueba::raizAislada() / "config-claude" : c.base;
        if (std::string(c.config ? c.config : "") == "/tmp") setenv("CLAUDE_CONFIG_DIR", base.c_str(), 1);
        const auto sesiones = Agente::carpetaDeSesiones(trabajo);
        ASSERT_TRUE(sesiones) << (c.config ? c.config : "(sin)");
        EXPECT_EQ(*sesiones, (base / "projects" / nombre).string());
        EXPECT_TRUE(fs::is_directory(*sesiones));
    }
}

TEST_F(Sesiones, SinCarpetaRealNoHayNada) {
    EXPECT_FALSE(Agente::carpetaDeSesiones(prueba::raizAislada() / "no-existe"));
    // A base that cannot be made (a file in the way) gives nothing either.
    std::ofstream(prueba::raizAislada() / "fichero") << "x";
    setenv("CLAUDE_CONFIG_DIR", (prueba::raizAislada() / "fichero").c_str(), 1);
    EXPECT_FALSE(Agente::carpetaDeSesiones(prueba::raizAislada()));
}

// A working folder whose real path is longer than any fixed buffer.
TEST_F(Sesiones, RutaLargaSinDesbordar) {
    fs::path largo = prueba::raizAislada() / "largo";
    while (largo.string().size() < 2000) largo /= std::string(100, 'a');
    fs::create_directories(largo);
    const auto nombre = Agente::nombreDeSesiones(largo);
    ASSERT_TRUE(nombre);
    EXPECT_EQ(nombre->size(), fs::canonical(largo).string().size());
    EXPECT_TRUE(nombre->ends_with("-" + std::string(100, 'a') + "-" + std::string(100, 'a')));
    // No single folder name may be that long: no sessions folder, no crash.
    EXPECT_FALSE(Agente::carpetaDeSesiones(largo));
}

TEST(PrepararCarpeta, PrivadaConSkillsYEncargo) {
    EXPECT_EQ(IAsLocales::textoFijoEncargo.size(), 558u);
    fs::path ruta;
    {
        auto carpeta = IAsLocales::prepararCarpeta();
        ASSERT_TRUE(carpeta.ok()) << carpeta.fallo().mensaje;
        ruta = carpeta->ruta();
        EXPECT_EQ(ruta.parent_path(), prueba::runtimeAislado());
        EXPECT_TRUE(ruta.filename().string().starts_with("tarvel-ia-"));
        struct stat datos {};
        ASSERT_EQ(stat(ruta.c_str(), &datos), 0);
        EXPECT_EQ(datos.st_mode & 07777, 0700u);
        EXPECT_EQ(datos.st_uid, geteuid());
        const fs::path skills = fs::canonical(prueba::recursosAislados() / "skills");
        EXPECT_EQ(fs::read_symlink(ruta / ".claude" / "skills"), skills);
        EXPECT_EQ(fs::read_symlink(ruta / "skills"), skills);
        std::string esperado = IAsLocales::textoFijoEncargo;
        for (const char* s : {"tarvel-sorvenia", "nivel-agencia", "territorios-visuales", "sistema-visual", "copy-es"})
            esperado += std::string("\n\n---\n\nskill ") + s;
        for (const char* f : {"CLAUDE.md", "AGENTS.md", "GEMINI.md"}) {
            EXPECT_EQ(leer(ruta / f), esperado) << f;
            EXPECT_EQ(modo(ruta / f), 0600u) << f;
        }
    }
    EXPECT_FALSE(fs::exists(ruta));  // gone with its owner
    EXPECT_TRUE(fs::exists(prueba::recursosAislados() / "skills" / "copy-es" / "SKILL.md"));
}

TEST(PrepararCarpeta, SkillsQueFaltan) {
    // The second skill unreadable: the brief stops before it.
    const fs::path parcial = prueba::raizAislada() / "skills-parcial";
    fs::create_directories(parcial / "tarvel-sorvenia");
    fs::create_directories(parcial / "territorios-visuales");
    std::ofstream(parcial / "tarvel-sorvenia" / "SKILL.md") << "uno";
    std::ofstream(parcial / "territorios-visuales" / "SKILL.md") << "tres";
    auto conParcial = IAsLocales::detalle::prepararCarpetaCon(parcial);
    ASSERT_TRUE(conParcial.ok());
    EXPECT_EQ(leer(conParcial->ruta() / "AGENTS.md"), IAsLocales::textoFijoEncargo + "\n\n---\n\nuno");

    // No skills at all: no links, an empty .claude and the fixed part only.
    auto sin = IAsLocales::detalle::prepararCarpetaCon(std::nullopt);
    ASSERT_TRUE(sin.ok());
    EXPECT_TRUE(fs::is_empty(sin->ruta() / ".claude"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(sin->ruta() / "skills")));
    EXPECT_EQ(leer(sin->ruta() / "GEMINI.md"), IAsLocales::textoFijoEncargo);
}

TEST(LanzadorVPS, EscribeUnaVezYRechazaAliasRaros) {
    const auto ruta = PublicarVPS::lanzador("tarvel-vps-12");
    ASSERT_TRUE(ruta.ok()) << ruta.fallo().mensaje;
    EXPECT_EQ(*ruta, PublicarVPS::raiz() / "ssh" / "bin" / "tarvel-vps-12");
    EXPECT_EQ(leer(*ruta),
              "#!/bin/sh\n# Lo escribe Sorvenia Code: la única "
              "orden que puede usar la IA con este VPS.\n"
              "exec /usr/bin/ssh -F '" +
                  (PublicarVPS::raiz() / "ssh" / "config").string() + "' -o BatchMode=yes tarvel-vps-12 -- \"$@\"\n");
    EXPECT_EQ(modo(*ruta), 0700u);
    EXPECT_EQ(modo(ruta->parent_path()), 0700u);
    chmod(ruta->c_str(), 0755);
    const auto antes = fs::last_write_time(*ruta);
    ASSERT_TRUE(PublicarVPS::lanzador("tarvel-vps-12").ok());
    EXPECT_EQ(fs::last_write_time(*ruta), antes);  // same text: not rewritten
    EXPECT_EQ(modo(*ruta), 0700u);                 // but its mode set again
    for (const char* malo :
         {"tarvel-vps-", "tarvel-vps-1a", "x tarvel-vps-1", "tarvel-vps-1 -- rm", "../tarvel-vps-1"}) {
        const auto r = PublicarVPS::lanzador(malo);
        ASSERT_FALSE(r.ok()) << malo;
        EXPECT_EQ(r.fallo().mensaje, "Servidor no válido.");
        EXPECT_EQ(r.fallo().codigo, "alias");
    }
}

}  // namespace
}  // namespace sorvenia
