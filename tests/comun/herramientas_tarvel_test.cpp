#include "comun/herramientas_tarvel.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace sorvenia {
namespace {

using Json = nlohmann::ordered_json;

const Json& herramienta(const std::string& nombre) {
    for (const auto& h : HerramientasTarvel::lista())
        if (h["name"] == nombre) return h;
    throw std::runtime_error("no existe " + nombre);
}

std::vector<std::string> textos(const Json& lista) { return lista.get<std::vector<std::string>>(); }

std::vector<std::string> propiedades(const std::string& nombre) {
    std::vector<std::string> claves;
    for (const auto& [clave, valor] : herramienta(nombre)["inputSchema"]["properties"].items()) claves.push_back(clave);
    return claves;
}

TEST(HerramientasTarvel, VeinticuatroEnSuOrden) {
    const std::vector<std::string> orden{
        "ver_tarvel", "leer",    "captura",  "escribir", "estilo",  "texto",          "borrar",
        "css",        "crear_mesa", "guia",  "terminar", "duplicar", "mover",         "codigo",
        "nombrar",    "variables", "paginas", "disenos",  "animar",  "mesas",         "proponer_conexion",
        "buscar_fotos", "generar_imagen", "enfocar"};
    std::vector<std::string> nombres;
    for (const auto& h : HerramientasTarvel::lista()) nombres.push_back(h["name"]);
    EXPECT_EQ(nombres, orden);
}

// Every entry is a valid MCP tool: three members, an object schema whose
// required names are properties, property types from the allowed set.
TEST(HerramientasTarvel, EsquemasBienFormados) {
    const std::set<std::string> tipos{"string", "number", "boolean", "array", "object"};
    for (const auto& h : HerramientasTarvel::lista()) {
        SCOPED_TRACE(h["name"].get<std::string>());
        EXPECT_EQ(h.size(), 3u);
        ASSERT_TRUE(h["description"].is_string());
        EXPECT_FALSE(h["description"].get<std::string>().empty());
        const Json& esquema = h["inputSchema"];
        EXPECT_EQ(esquema.size(), 3u);
        EXPECT_EQ(esquema["type"], "object");
        ASSERT_TRUE(esquema["properties"].is_object());
        ASSERT_TRUE(esquema["required"].is_array());
        for (const auto& r : esquema["required"]) EXPECT_TRUE(esquema["properties"].contains(r)) << r;
        for (const auto& [nombre, p] : esquema["properties"].items()) {
            EXPECT_TRUE(tipos.contains(p["type"].get<std::string>())) << nombre;
            EXPECT_EQ(p["type"] == "array", p.contains("items")) << nombre;
            for (const auto& [clave, v] : p.items())
                EXPECT_TRUE(clave == "type" || clave == "description" || clave == "enum" || clave == "items") << clave;
        }
    }
}

TEST(HerramientasTarvel, RequeridosYPropiedadesDeLosCasosDelicados) {
    EXPECT_TRUE(herramienta("ver_tarvel")["inputSchema"]["properties"].empty());
    EXPECT_TRUE(herramienta("terminar")["inputSchema"]["properties"].empty());
    for (const char* sinRequeridos : {"leer", "captura", "variables", "paginas", "disenos", "buscar_fotos"})
        EXPECT_TRUE(herramienta(sinRequeridos)["inputSchema"]["required"].empty()) << sinRequeridos;
    const auto requeridos = [](const char* n) { return textos(herramienta(n)["inputSchema"]["required"]); };
    EXPECT_EQ(requeridos("crear_mesa"), (std::vector<std::string>{"nombre", "ancho"}));
    EXPECT_EQ(requeridos("codigo"), (std::vector<std::string>{"id"}));
    EXPECT_EQ(requeridos("animar"), (std::vector<std::string>{"id"}));
    EXPECT_EQ(requeridos("mesas"), (std::vector<std::string>{"accion"}));
    EXPECT_EQ(requeridos("proponer_conexion"), (std::vector<std::string>{"nombre"}));
    EXPECT_EQ(requeridos("escribir"), (std::vector<std::string>{"id", "modo", "html"}));
    EXPECT_EQ(propiedades("mesas"), (std::vector<std::string>{"accion", "id", "nombre", "x", "y", "ancho", "alto", "orden",
                                                             "grupos", "columnas", "separacion"}));
    EXPECT_EQ(propiedades("variables"), std::vector<std::string>{"variables"});
}

TEST(HerramientasTarvel, EnumeracionesYTiposQueSeConfunden) {
    const auto props = [](const char* n) -> const Json& { return herramienta(n)["inputSchema"]["properties"]; };
    EXPECT_EQ(textos(props("mover")["como"]["enum"]), (std::vector<std::string>{"dentro", "antes", "despues"}));
    EXPECT_EQ(textos(props("escribir")["modo"]["enum"]),
              (std::vector<std::string>{"reemplazar", "dentro", "despues", "antes"}));
    EXPECT_EQ(textos(props("mesas")["accion"]["enum"]),
              (std::vector<std::string>{"listar", "ordenar", "renombrar", "mover", "tamano", "portada", "borrar"}));
    EXPECT_EQ(props("paginas")["abrir"]["type"], "number");
    EXPECT_EQ(props("disenos")["abrir"]["type"], "string");
    EXPECT_EQ(props("mesas")["alto"], (Json{{"type", "string"}, {"description", "número en px o \"auto\""}}));
    EXPECT_EQ(props("variables")["variables"]["items"]["properties"].size(), 3u);
    EXPECT_FALSE(props("variables")["variables"]["items"].contains("required"));
    EXPECT_EQ(props("mesas")["grupos"]["items"], (Json{{"type", "object"}}));
}

}  // namespace
}  // namespace sorvenia
