// The agents' plan documents as the editor page sees them: which document is
// the latest, the plan's progress, the project's phase, the summary, and the
// watch that sends one new summary per change (on the real main loop).

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "aislado.h"
#include "aplicaciones/lecturas_proyecto.h"
#include "aplicaciones/proyecto_aplicacion.h"
#include "esperar_bucle.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;

// Each document: its subfolder and name, its text, and how many seconds
// ago it was last changed (the latest is the one changed last).
struct Doc {
    const char* ruta;
    std::string texto;
    int haceSegundos = 100;
};

struct Caso {
    const char* nombre;
    std::vector<Doc> docs;
    bool packageJson;
    ProyectoAplicacion::Progreso progreso;
    const char* fase;
    std::optional<std::string> plan;  // the summary's "plan"
};

class PlanProyecto : public ::testing::Test {
protected:
    fs::path carpetaNueva(const std::string& nombre) {
        const fs::path c = prueba::raizAislada() / "planes" / nombre;
        fs::remove_all(c);
        fs::create_directories(c);
        return c;
    }
    static void escribir(const fs::path& carpeta, const Doc& d) {
        const fs::path f = carpeta / "docs/superpowers" / d.ruta;
        fs::create_directories(f.parent_path());
        std::ofstream(f, std::ios::binary) << d.texto;
        fs::last_write_time(f, fs::file_time_type::clock::now() - std::chrono::seconds(d.haceSegundos));
    }
};

TEST_F(PlanProyecto, FaseProgresoYResumenSegunLosDocumentos) {
    const std::string spec = "# Tienda\n";
    const Caso casos[] = {
        {"nada", {}, false, {0, 0}, "inicio", std::nullopt},
        {"hecho a mano", {}, true, {0, 0}, "lista", std::nullopt},
        {"solo especificacion", {{"specs/a.md", spec}}, false, {0, 0}, "diseno", std::nullopt},
        {"tareas a medias",
         {{"specs/a.md", spec}, {"plans/p.md", "- [x] uno\n  - [ ] dos\n* [ ] tres\n"}},
         true,
         {1, 2},
         "construccion",
         "- [x] uno\n  - [ ] dos\n* [ ] tres\n"},
        {"todo hecho",
         {{"specs/a.md", spec}, {"plans/p.md", "- [X] uno\n\t- [x] dos\r\n"}},
         true,
         {2, 2},
         "lista",
         "- [X] uno\n\t- [x] dos\r\n"},
        {"todo hecho sin app",
         {{"specs/a.md", spec}, {"plans/p.md", "- [X] uno\n- [x] dos"}},
         false,
         {2, 2},
         "construccion",
         "- [X] uno\n- [x] dos"},
        {"plan sin tareas",
         {{"specs/a.md", spec}, {"plans/p.md", "Sin tareas.\n-[x] no\n- [y] no\n"}},
         true,
         {0, 0},
         "construccion",
         "Sin tareas.\n-[x] no\n- [y] no\n"},
        {"solo cuenta el ultimo",
         {{"specs/a.md", spec},
          {"plans/viejo.md", "- [ ] a\n- [ ] b\n- [ ] c\n", 200},
          {"plans/nuevo.md", "- [x] a\n", 10}},
         true,
         {1, 1},
         "lista",
         "- [x] a\n"},
        {"la extension es exacta",
         {{"specs/a.md", spec},
          {"plans/p.md", "- [ ] a\n", 100},
          {"plans/P.MD", "- [x] b\n", 1},
          {"plans/q.txt", "- [x] c\n", 1}},
         false,
         {0, 1},
         "construccion",
         "- [ ] a\n"},
        {"plan que no es utf8",
         {{"specs/a.md", spec}, {"plans/p.md", "- [x] a\xff\n"}},
         true,
         {0, 0},
         "diseno",
         std::nullopt},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        const fs::path carpeta = carpetaNueva(c.nombre);
        for (const auto& d : c.docs) escribir(carpeta, d);
        if (c.packageJson) std::ofstream(carpeta / "package.json") << "{}";
        const ProyectoAplicacion p(carpeta);
        EXPECT_EQ(p.progreso(), c.progreso);
        EXPECT_EQ(p.fase(), c.fase);
        const json r = p.resumen();
        EXPECT_EQ(r["carpeta"], carpeta.string());
        EXPECT_EQ(r["nombre"], c.nombre);
        EXPECT_EQ(r["fase"], c.fase);
        EXPECT_EQ(r["hayAplicacion"], c.packageJson);
        EXPECT_EQ(r["hechas"], c.progreso.hechas);
        EXPECT_EQ(r["total"], c.progreso.total);
        EXPECT_EQ(r["vista"], nullptr);
        EXPECT_EQ(r["plan"], c.plan ? json(*c.plan) : json(nullptr));
        EXPECT_EQ(r["diseno"], c.docs.empty() ? json(nullptr) : json(spec));
        EXPECT_FALSE(r.contains("desplegada"));
        EXPECT_FALSE(r.contains("movil"));
    }
}

TEST_F(PlanProyecto, ElResumenCortaLosDocumentosYLlevaDespliegueYMovil) {
    const fs::path carpeta = carpetaNueva("largo");
    // 60,001 letters of two bytes each, then a letter with a combining
    // accent straddling the cut.
    std::string largo;
    for (int i = 0; i < 59999; ++i) largo += "ñ";
    largo += "e\xCC\x81xyz";
    escribir(carpeta, {"specs/a.md", largo});
    std::ofstream(carpeta / ".sorvenia-code.json") << R"({"tipo": "movil"})";
    Preferencias::estandar().fijarValor("appDesplegada", {{carpeta.string(), {{"dominio", "tienda.example"}}}});
    const json r = ProyectoAplicacion(carpeta).resumen();
    const std::string diseno = r["diseno"];
    EXPECT_EQ(diseno.size(), 59999u * 2 + 3);
    EXPECT_TRUE(diseno.ends_with("ñe\xCC\x81"));
    EXPECT_EQ(r["desplegada"], (json{{"dominio", "tienda.example"}}));
    EXPECT_EQ(r["movil"], true);
    // A record that is not a dictionary of dictionaries is left out.
    Preferencias::estandar().fijarValor("appDesplegada", {{carpeta.string(), "tienda.example"}});
    EXPECT_FALSE(ProyectoAplicacion(carpeta).resumen().contains("desplegada"));
    Preferencias::estandar().quitar("appDesplegada");
}

TEST(LecturasProyecto, CortarNoPartePalabrasNiBytes) {
    const std::pair<std::pair<const char*, std::size_t>, const char*> casos[] = {
        {{"abc", 5}, "abc"},
        {{"abc", 2}, "ab"},
        {{"ññ", 1}, "ñ"},
        {{"e\xCC\x81"
          "a",
          1},
         "e\xCC\x81"},
        {{"👍🏽x", 1}, "👍🏽"},
        {{"👩‍💻x", 1}, "👩‍💻"},
        {{"a\xff"
          "b",
          2},
         "a\xff"},
        {{"", 0}, ""},
    };
    for (const auto& [entrada, esperado] : casos)
        EXPECT_EQ(LecturasProyecto::cortar(entrada.first, entrada.second), esperado);
}

TEST_F(PlanProyecto, LaVigilanciaMandaUnResumenPorCambio) {
    const fs::path carpeta = carpetaNueva("vigilada");
    escribir(carpeta, {"specs/a.md", "# A\n"});
    escribir(carpeta, {"plans/p.md", "- [ ] uno\n- [ ] dos\n"});
    auto proyecto = std::make_shared<ProyectoAplicacion>(carpeta);
    std::vector<json> recibidos;
    proyecto->fijarEnviar([&](const json& m) { recibidos.push_back(m); });

    // Nothing changes: nothing is sent.
    prueba::esperarHasta([] { return false; }, 2500ms);
    EXPECT_TRUE(recibidos.empty());

    // The same size, a new time: one summary with the new progress.
    { std::ofstream(carpeta / "docs/superpowers/plans/p.md", std::ios::binary) << "- [x] uno\n- [ ] dos\n"; }
    ASSERT_TRUE(prueba::esperarHasta([&] { return !recibidos.empty(); }, 5s));
    ASSERT_TRUE(recibidos[0].contains("proyecto"));
    EXPECT_EQ(recibidos[0]["proyecto"]["hechas"], 1);
    EXPECT_EQ(recibidos[0]["proyecto"]["total"], 2);
    EXPECT_EQ(recibidos[0].size(), 1u);
    prueba::esperarHasta([] { return false; }, 2500ms);
    EXPECT_EQ(recibidos.size(), 1u);

    // A new document in a folder that did not exist is a change too.
    fs::remove_all(carpeta / "docs/superpowers/specs");
    ASSERT_TRUE(prueba::esperarHasta([&] { return recibidos.size() == 2; }, 5s));
    EXPECT_EQ(recibidos[1]["proyecto"]["fase"], "inicio");

    // Released, the project sends nothing more.
    proyecto.reset();
    escribir(carpeta, {"plans/otro.md", "- [x] tres\n", 0});
    prueba::esperarHasta([] { return false; }, 2500ms);
    EXPECT_EQ(recibidos.size(), 2u);
}

}  // namespace
}  // namespace sorvenia
