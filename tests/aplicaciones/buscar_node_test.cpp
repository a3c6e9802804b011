#include "aplicaciones/buscar_node.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "aislado.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

// A folder holding a stand-in "node" that prints `version` and exits with
// `estado` whatever it is asked (the real version check is a script only a
// real Node.js runs; the real one is tested below).
fs::path nodeFalso(const std::string& nombre, const std::string& version, int estado, bool ejecutable = true) {
    const auto carpeta = prueba::raizAislada() / "nodes" / nombre;
    fs::create_directories(carpeta);
    std::ofstream(carpeta / "node") << "#!/bin/sh\necho '  " << version << "  '\nexit " << estado << "\n";
    ::chmod((carpeta / "node").c_str(), ejecutable ? 0755 : 0644);
    return carpeta;
}

TEST(BuscarNode, ElPrimeroQueSirveEnElOrdenDelPath) {
    const auto viejo = nodeFalso("viejo", "v22.12.0", 3).string();
    const auto nuevo = nodeFalso("nuevo", "v22.13.0", 0).string();
    const auto otro = nodeFalso("otro", "v24.1.0", 0).string();
    const auto sinPermiso = nodeFalso("sin-permiso", "v25.0.0", 0, false).string();
    const auto vacia = (prueba::raizAislada() / "nodes" / "vacia").string();
    fs::create_directories(vacia);
    const struct {
        std::string path;
        std::optional<std::string> ruta;
        std::string version;
    } casos[] = {
        {viejo + ":" + nuevo + ":" + otro, nuevo + "/node", "v22.13.0"},
        {"::" + sinPermiso + ":" + vacia + ":" + otro, otro + "/node", "v24.1.0"},
        {viejo, std::nullopt, ""},
        {"", std::nullopt, ""},
        {"/no/existe:" + vacia, std::nullopt, ""},
    };
    for (const auto& c : casos) {
        const auto encontrado = buscarNodeEn(c.path);
        ASSERT_EQ(encontrado.has_value(), c.ruta.has_value()) << c.path;
        if (!encontrado) continue;
        EXPECT_EQ(encontrado->ruta, *c.ruta);
        EXPECT_EQ(encontrado->version, c.version);
        EXPECT_EQ(npmJuntoA(encontrado->ruta), fs::path(*c.ruta).parent_path() / "npm");
    }
}

TEST(BuscarNode, UnNodeRealDeVersionSuficiente) {
    const std::string real = NODE_APPS_BIN;
    // The system's Node.js comes first when it is there; it is chosen only
    // when it is new enough, which the real one of the tests is.
    const auto encontrado = buscarNodeEn("/usr/bin:" + real);
    ASSERT_TRUE(encontrado.has_value());
    if (encontrado->ruta == "/usr/bin/node") GTEST_SKIP() << "the system's Node.js is new enough itself";
    EXPECT_EQ(encontrado->ruta, real + "/node");
    EXPECT_EQ(encontrado->version.substr(0, 4), "v22.");
    EXPECT_EQ(npmJuntoA(encontrado->ruta), real + "/npm");
}

}  // namespace
}  // namespace sorvenia
