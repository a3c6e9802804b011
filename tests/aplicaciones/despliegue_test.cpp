// Deploying an app project, the parts that need no server: the archive made
// with the real tar, the deploy script's answer, the sentences for ssh
// failures, and the memory of the last deployment.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "aislado.h"
#include "aplicaciones/proyecto_aplicacion.h"
#include "ejecutar_prueba.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

void escribir(const fs::path& archivo, const std::string& texto) {
    fs::create_directories(archivo.parent_path());
    std::ofstream(archivo, std::ios::binary) << texto;
}

// The archive's member names, without the leading "./" and folders' "/".
std::set<std::string> miembros(const fs::path& archivo) {
    const auto r = prueba::ejecutarPrograma("/usr/bin/tar", {"-tzf", archivo.string()}, "");
    EXPECT_EQ(r.estado, 0) << r.errores;
    std::set<std::string> nombres;
    std::istringstream lineas(r.salida);
    for (std::string l; std::getline(lineas, l);) {
        if (l.starts_with("./")) l.erase(0, 2);
        if (l.ends_with("/")) l.pop_back();
        if (!l.empty() && l != ".") nombres.insert(l);
    }
    return nombres;
}

TEST(PaqueteProyecto, ElArchivoLlevaLasFuentesYNadaDeLoExcluido) {
    // A folder name with a blank and a quote, as the user may name things.
    const fs::path carpeta = prueba::raizAislada() / "paquete" / "mi app 'uno'";
    fs::create_directories(carpeta);
    struct Caso {
        std::string ruta;
        bool dentro;
    };
    const std::vector<Caso> casos = {
        {"package.json", true},
        {"servidor.js", true},
        {"public/index.html", true},
        {"public/a b'c \"d\".css", true},
        {".gitignore", true},
        {".env.ejemplo/leeme", false},  // a folder named like an ".env." file goes too
        {".env", false},
        {".env.local", false},
        {"datos/clientes.json", false},
        {"node_modules/express/index.js", false},
        {".git/HEAD", false},
        {".claude/settings.json", false},
        {".sorvenia-code.json", false},
        {"diseno/index.html", false},
        {"public/index.html.antes-20260101", false},
        {"servidor.js.antes-1", false},
    };
    for (const auto& c : casos) escribir(carpeta / c.ruta, "contenido de " + c.ruta);

    auto paquete = ProyectoAplicacion(carpeta).paquete();
    ASSERT_TRUE(paquete.ok()) << paquete.fallo().mensaje;
    const auto nombres = miembros(paquete->archivo);
    for (const auto& c : casos) EXPECT_EQ(nombres.contains(c.ruta), c.dentro) << c.ruta;
    for (const std::string raiz : {"datos", ".git", "node_modules", ".claude", "diseno"})
        EXPECT_FALSE(nombres.contains(raiz)) << raiz;

    // The archive is named after the folder, blank and quote kept, in a
    // private folder that goes with it.
    const std::string nombre = paquete->archivo.filename().string();
    EXPECT_TRUE(nombre.starts_with("sorvenia-code-mi app 'uno'-")) << nombre;
    EXPECT_TRUE(nombre.ends_with(".tgz")) << nombre;
    EXPECT_EQ(nombre.size(), std::string("sorvenia-code-mi app 'uno'-").size() + 8 + 4);
    struct stat info {};
    ASSERT_EQ(::stat(paquete->archivo.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    const fs::path privada = paquete->archivo.parent_path();
    { auto llevado = std::move(*paquete); }
    EXPECT_FALSE(fs::exists(privada));
}

TEST(PaqueteProyecto, UnEnlaceAFueraNoSeSigue) {
    const fs::path base = prueba::raizAislada() / "enlaces";
    const fs::path carpeta = base / "app";
    escribir(base / "fuera" / "secreto.txt", "SECRETO-DE-FUERA");
    escribir(carpeta / "index.js", "ok");
    fs::create_symlink(base / "fuera" / "secreto.txt", carpeta / "enlace.txt");
    fs::create_directory_symlink(base / "fuera", carpeta / "carpeta-fuera");

    const auto paquete = ProyectoAplicacion(carpeta).paquete();
    ASSERT_TRUE(paquete.ok()) << paquete.fallo().mensaje;
    const auto nombres = miembros(paquete->archivo);
    EXPECT_TRUE(nombres.contains("index.js"));
    EXPECT_FALSE(nombres.contains("carpeta-fuera/secreto.txt"));
    // The links travel as links: unpacked, they are links again and no byte
    // of the outside file was packed.
    const fs::path destino = base / "abierto";
    fs::create_directories(destino);
    const auto r = prueba::ejecutarPrograma("/usr/bin/tar", {"-xzf", paquete->archivo.string(), "-C", destino.string()}, "");
    ASSERT_EQ(r.estado, 0) << r.errores;
    EXPECT_TRUE(fs::is_symlink(destino / "enlace.txt"));
    EXPECT_TRUE(fs::is_symlink(destino / "carpeta-fuera"));
    const auto volcado = prueba::ejecutarPrograma("/bin/sh", {"-c", "gzip -dc \"$1\"", "sh", paquete->archivo.string()}, "");
    EXPECT_EQ(volcado.salida.find("SECRETO-DE-FUERA"), std::string::npos);
}

TEST(PaqueteProyecto, UnaCarpetaQueNoEstaDaElFalloDelPaquete) {
    const auto paquete = ProyectoAplicacion(prueba::raizAislada() / "no-existe").paquete();
    ASSERT_FALSE(paquete.ok());
    EXPECT_EQ(paquete.fallo().codigo, "paquete");
    EXPECT_TRUE(paquete.fallo().mensaje.starts_with("No se ha podido empaquetar el proyecto: ")) << paquete.fallo().mensaje;
    EXPECT_NE(paquete.fallo().mensaje.find("no-existe"), std::string::npos) << paquete.fallo().mensaje;
}


TEST(RespuestaDespliegue, LaUltimaLineaDeRespuestaEsLaQueCuenta) {
    struct Caso {
        std::string salida;
        std::optional<json> respuesta;
    };
    const std::vector<Caso> casos = {
        {"Instalando…\nRESULTADO {\"ok\":false}\nRESULTADO {\"ok\":true,\"url\":\"https://a.es/\"}\n",
         json{{"ok", true}, {"url", "https://a.es/"}}},
        {"RESULTADO {\"ok\":true}\nmás salida\n\n", json{{"ok", true}}},
        {"RESULTADO {\"ok\":true}\nRESULTADO no es json\n", std::nullopt},
        {"RESULTADO {\"ok\":true}\nRESULTADO [1,2]\n", std::nullopt},
        {"RESULTADO{\"ok\":true}\n", std::nullopt},
        {"resultado {\"ok\":true}\n", std::nullopt},
        {"  RESULTADO {\"ok\":true}\n", std::nullopt},
        {"", std::nullopt},
        {"RESULTADO {\"ok\":true}", json{{"ok", true}}},
    };
    for (const auto& c : casos) EXPECT_EQ(ProyectoAplicacion::resultado(c.salida), c.respuesta) << c.salida;
}

TEST(RespuestaDespliegue, CadaFalloDeSshTieneSuFrase) {
    const std::string llave = "El VPS no acepta la llave de Sorvenia Code. Vuelve a conectarlo con la contraseña de root.";
    const std::string red = "El VPS no contesta por SSH (puerto 22). ¿Está encendido?";
    const std::string larga = std::string(800, 'x') + std::string(200, 'y');
    struct Caso {
        std::string salida;
        std::string frase;
    };
    const std::vector<Caso> casos = {
        {"root@1.2.3.4: Permission denied (publickey).\n", llave},
        {"Permission denied, and then timed out", llave},
        {"ssh: connect to host 1.2.3.4 port 22: Connection timed out\n", red},
        {"ssh: connect to host 1.2.3.4 port 22: Connection refused\n", red},
        {"ssh: connect to host 1.2.3.4 port 22: No route to host\n", red},
        {"ssh: Could not resolve hostname x: Name or service not known\n", red},
        {"cat: write error: No space left on device\n", "El VPS no tiene espacio en disco."},
        {"root: permission denied, in lower case\n", "No se ha podido hablar con el VPS: root: permission denied, in lower case"},
        {"\n  " + larga + " \n\n", "No se ha podido hablar con el VPS: " + std::string(200, 'y')},
        {"\n" + std::string(199, 'z') + "ñ\n", "No se ha podido hablar con el VPS: " + std::string(199, 'z') + "ñ"},
    };
    for (const auto& c : casos) EXPECT_EQ(ProyectoAplicacion::motivoSSH(c.salida), c.frase) << c.salida;
}

TEST(RespuestaDespliegue, SeRecuerdaSoloElUltimoDespliegueDeCadaProyecto) {
    auto& preferencias = Preferencias::estandar();
    const fs::path carpeta = prueba::raizAislada() / "recordado" / "tienda";
    fs::create_directories(carpeta);
    ASSERT_TRUE(preferencias.fijarValor("appDesplegada", json{{"/otra/app", {{"servidor", 3}}}}));
    const ProyectoAplicacion p(carpeta);
    const json primero{{"servidor", 7}, {"ip", "203.0.113.7"}, {"dominio", "a.es"}, {"url", ""},
                       {"version", "20260101-120000"}, {"fecha", "2026-01-01T12:00:00Z"}};
    json segundo = primero;
    segundo["version"] = "20260102-120000";
    p.recordarDespliegue(primero);
    p.recordarDespliegue(segundo);
    EXPECT_EQ(preferencias.valor("appDesplegada"),
              (json{{"/otra/app", {{"servidor", 3}}}, {carpeta.string(), segundo}}));
    EXPECT_EQ(p.resumen()["desplegada"], segundo);

    // Something that is not a map of records starts over.
    ASSERT_TRUE(preferencias.fijarValor("appDesplegada", json::array({1, 2})));
    p.recordarDespliegue(primero);
    EXPECT_EQ(preferencias.valor("appDesplegada"), (json{{carpeta.string(), primero}}));
}

}  // namespace
}  // namespace sorvenia
