// The agency workspace's local file: reading every shape the file may have,
// saving, and never throwing away bytes this build cannot read.

#include "pantallas/fichero_agencia.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "plataforma/carpetas.h"

namespace sorvenia {
namespace {

using nlohmann::json;

std::string leerArchivo(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void escribirArchivo(const std::filesystem::path& p, const std::string& texto) {
    std::ofstream(p, std::ios::binary) << texto;
}

json datos(std::vector<std::string> clientes) {
    json c = json::array();
    for (const auto& n : clientes) c.push_back({{"id", n}, {"nombre", n}});
    return {{"clientes", c}, {"proyectos", json::array()}};
}

class FicheroAgenciaTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto c = CarpetaTemporal::crear("agencia-");
        ASSERT_TRUE(c);
        carpeta = std::move(*c);
        ruta = carpeta.ruta() / "sub" / "agencia.json";
    }
    std::vector<std::filesystem::path> apartados() const {
        std::vector<std::filesystem::path> r;
        for (const auto& e : std::filesystem::directory_iterator(ruta.parent_path()))
            if (e.path().filename().string().starts_with("agencia.json.apartado-")) r.push_back(e.path());
        return r;
    }
    CarpetaTemporal carpeta;
    std::filesystem::path ruta;
};

TEST(LecturaAgencia, CadaFormaDelArchivo) {
    struct Caso {
        const char* que;
        std::string texto;
        LecturaAgencia::Estado estado;
        json datos;
        std::optional<json> base;
        std::int64_t version;
        bool pendiente;
    };
    using E = LecturaAgencia::Estado;
    const json vacio = json::object();
    const std::vector<Caso> casos = {
        {"current layout",
         R"({"version":2,"cuentas":{"ana@x.es":{"formato":2,"datos":{"clientes":[1],"proyectos":[]},"base":{"b":1},"version":4.9,"pendiente":true}}})",
         E::valido,
         {{"clientes", {1}}, {"proyectos", json::array()}},
         json{{"b", 1}},
         4,
         true},
        {"formato of any type marks the current layout",
         R"({"cuentas":{"ana@x.es":{"formato":"x","datos":{"a":1},"base":null,"version":"3","pendiente":1}}})",
         E::valido,
         {{"a", 1}},
         std::nullopt,
         0,
         false},
        {"earlier layout with clients",
         R"({"cuentas":{"ana@x.es":{"clientes":[{"id":"a"}],"proyectos":[]}}})",
         E::valido,
         {{"clientes", {{{"id", "a"}}}}, {"proyectos", json::array()}},
         std::nullopt,
         0,
         true},
        {"earlier layout, both lists empty",
         R"({"cuentas":{"ana@x.es":{"clientes":[],"proyectos":[]}}})",
         E::valido,
         {{"clientes", json::array()}, {"proyectos", json::array()}},
         std::nullopt,
         0,
         false},
        {"another account only", R"({"cuentas":{"otro@x.es":{"formato":2,"datos":{"a":1}}}})", E::valido, vacio,
         std::nullopt, 0, false},
        {"not JSON", "{\"cuentas\": {", E::ilegible, vacio, std::nullopt, 0, false},
        {"root is an array", "[1,2]", E::ilegible, vacio, std::nullopt, 0, false},
        {"cuentas is not an object", R"({"cuentas":[]})", E::ilegible, vacio, std::nullopt, 0, false},
        {"newer file layout", R"({"version":3,"cuentas":{"ana@x.es":{"formato":2,"datos":{"a":1}}}})", E::posterior,
         vacio, std::nullopt, 0, false},
        {"newer entry layout", R"({"version":2,"cuentas":{"ana@x.es":{"formato":3,"datos":{"a":1}}}})", E::posterior,
         vacio, std::nullopt, 0, false},
        {"newer entry of another account",
         R"({"version":2,"cuentas":{"otro@x.es":{"formato":3},"ana@x.es":{"formato":2,"datos":{"a":1}}}})",
         E::valido,
         {{"a", 1}},
         std::nullopt,
         0,
         false},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(LecturaAgencia::estadoDe(c.texto, "ana@x.es"), c.estado) << c.que;
        const auto e = LecturaAgencia::entradaDe(c.texto, "ana@x.es");
        EXPECT_EQ(e.datos, c.datos) << c.que;
        EXPECT_EQ(e.base, c.base) << c.que;
        EXPECT_EQ(e.version, c.version) << c.que;
        EXPECT_EQ(e.pendiente, c.pendiente) << c.que;
    }
}

TEST(LecturaAgencia, LaClaveEsElCorreoEnMinusculas) {
    EXPECT_EQ(FicheroAgencia::claveCuenta(Cliente{1, "Ana", "Ana@Ejemplo.ES"}), "ana@ejemplo.es");
    EXPECT_EQ(FicheroAgencia::claveCuenta(std::nullopt), "sin-cuenta");
}

TEST(LecturaAgencia, IgualesSinImportarElOrden) {
    EXPECT_TRUE(FicheroAgencia::iguales(json::parse(R"({"a":1,"b":{"x":1,"y":2}})"),
                                        json::parse(R"({"b":{"y":2,"x":1},"a":1})")));
    EXPECT_FALSE(FicheroAgencia::iguales(json::parse(R"({"a":[1,2]})"), json::parse(R"({"a":[2,1]})")));
}

TEST_F(FicheroAgenciaTest, SinArchivoLeeVacioYElPrimerGuardadoCreaCarpetaYArchivo) {
    const FicheroAgencia f(ruta);
    const auto e = f.entrada("ana@x.es");
    EXPECT_EQ(e.datos, json::object());
    EXPECT_FALSE(e.base);
    EXPECT_EQ(e.version, 0);
    EXPECT_FALSE(e.pendiente);

    ASSERT_TRUE(f.guardarLocal("ana@x.es", datos({"a"}), std::nullopt, std::nullopt, true));
    const json raiz = json::parse(leerArchivo(ruta));
    EXPECT_EQ(raiz.at("version"), 2);
    EXPECT_EQ(raiz.at("cuentas").at("ana@x.es"),
              json({{"formato", 2}, {"datos", datos({"a"})}, {"base", nullptr}, {"version", 0}, {"pendiente", true}}));
    EXPECT_EQ(std::filesystem::status(ruta).permissions() & std::filesystem::perms::others_read,
              std::filesystem::perms::none);
}

TEST_F(FicheroAgenciaTest, GuardarConservaLoDemasYLaBaseYVersionGuardadas) {
    std::filesystem::create_directories(ruta.parent_path());
    escribirArchivo(
        ruta, R"({"version":2,"extra":{"z":1},"cuentas":{"otro@x.es":{"clientes":[{"id":"o"}],"proyectos":[]}}})");
    const FicheroAgencia f(ruta);
    EntradaAgencia subida{datos({"a"}), datos({"a"}), 6, false};
    ASSERT_TRUE(f.escribir("ana@x.es", subida));

    // No base nor version from the page: the stored ones stay; the flag is the page's.
    ASSERT_TRUE(f.guardarLocal("ana@x.es", datos({"a", "b"}), std::nullopt, std::nullopt, true));
    auto e = f.entrada("ana@x.es");
    EXPECT_EQ(e.datos, datos({"a", "b"}));
    EXPECT_EQ(e.base, datos({"a"}));
    EXPECT_EQ(e.version, 6);
    EXPECT_TRUE(e.pendiente);
    ASSERT_TRUE(f.guardarLocal("ana@x.es", datos({"c"}), datos({"c"}), 9, false));
    e = f.entrada("ana@x.es");
    EXPECT_EQ(e.base, datos({"c"}));
    EXPECT_EQ(e.version, 9);
    EXPECT_FALSE(e.pendiente);

    const json raiz = json::parse(leerArchivo(ruta));
    EXPECT_EQ(raiz.at("extra"), json({{"z", 1}}));
    EXPECT_EQ(raiz.at("cuentas").at("otro@x.es"), json::parse(R"({"clientes":[{"id":"o"}],"proyectos":[]})"));
    EXPECT_TRUE(apartados().empty());
}

TEST_F(FicheroAgenciaTest, DatosSinLasDosListasNoSeGuardan) {
    const FicheroAgencia f(ruta);
    for (const json& malo :
         {json::parse(R"({"clientes":[]})"), json::parse(R"({"clientes":{},"proyectos":[]})"), json::array()}) {
        const auto r = f.guardarLocal("ana@x.es", malo, std::nullopt, std::nullopt, true);
        ASSERT_FALSE(r) << malo;
        EXPECT_EQ(r.fallo().mensaje, "Datos de agencia no válidos.");
        EXPECT_EQ(r.fallo().codigo, "agencia");
    }
    EXPECT_FALSE(std::filesystem::exists(ruta));
}

TEST_F(FicheroAgenciaTest, UnArchivoIlegibleOPosteriorSeApartaIntactoAntesDeEscribir) {
    for (const std::string& original :
         {std::string("{\"cuentas\": [roto"), std::string("[1]"),
          std::string(R"({"version":3,"cuentas":{"ana@x.es":{"formato":3,"datos":{"nuevo":true}}}})")}) {
        std::filesystem::remove_all(ruta.parent_path());
        std::filesystem::create_directories(ruta.parent_path());
        escribirArchivo(ruta, original);
        const FicheroAgencia f(ruta);
        EXPECT_EQ(f.entrada("ana@x.es").datos, json::object()) << original;
        ASSERT_TRUE(f.guardarLocal("ana@x.es", datos({"a"}), std::nullopt, std::nullopt, true)) << original;
        const auto aparte = apartados();
        ASSERT_EQ(aparte.size(), 1u) << original;
        EXPECT_EQ(leerArchivo(aparte[0]), original);
        EXPECT_EQ(f.entrada("ana@x.es").datos, datos({"a"}));
        // Once readable, the next save keeps nothing else aside.
        ASSERT_TRUE(f.guardarLocal("ana@x.es", datos({"b"}), std::nullopt, std::nullopt, true));
        EXPECT_EQ(apartados().size(), 1u);
    }
}

TEST_F(FicheroAgenciaTest, UnArchivoDemasiadoGrandeNoSeEscribeYElAnteriorQueda) {
    const FicheroAgencia f(ruta);
    ASSERT_TRUE(f.guardarLocal("ana@x.es", datos({"a"}), std::nullopt, std::nullopt, true));

    // Measure the file the entry makes, then grow one text to land one byte
    // on either side of the limit.
    json grande = datos({});
    grande["notas"] = "";
    ASSERT_TRUE(f.guardarLocal("otra@x.es", grande, std::nullopt, std::nullopt, true));
    const std::size_t sinNotas = leerArchivo(ruta).size();
    grande["notas"] = std::string(FicheroAgencia::tamanoMaximo - sinNotas, 'x');
    ASSERT_TRUE(f.guardarLocal("otra@x.es", grande, std::nullopt, std::nullopt, true));
    EXPECT_EQ(leerArchivo(ruta).size(), FicheroAgencia::tamanoMaximo);
    const std::string limite = leerArchivo(ruta);

    grande["notas"] = std::string(FicheroAgencia::tamanoMaximo - sinNotas + 1, 'x');
    const auto r = f.guardarLocal("otra@x.es", grande, std::nullopt, std::nullopt, true);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.fallo().mensaje, "Hay demasiados datos para guardar.");
    EXPECT_EQ(leerArchivo(ruta), limite);
}

}  // namespace
}  // namespace sorvenia
