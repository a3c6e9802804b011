// Tool calls answered by coroutines on the main context.
#include <gtest/gtest.h>

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "centro/manejador_tarea.h"
#include "centro/servidor_mcp.h"
#include "cliente_tcp.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

Tarea<Json> herramienta(PeticionHerramienta peticion) {
    if (!esHiloPrincipal()) co_return itemsDeError("fuera del hilo principal");
    co_await dormir(0.02);
    if (peticion.nombre == "falla") throw std::runtime_error("No hay ningún diseño abierto en Sorvenia Code.");
    co_return Json::array({{{"type", "text"}, {"text", "hecho: " + peticion.argumentos.value("id", "")}}});
}

// The client waits on a worker while the main context runs the tool. The
// work is a named lambda: GCC 12 destroys a capturing lambda temporary
// written inside a co_await expression twice.
Tarea<std::string> preguntar(std::uint16_t puerto, std::string peticion) {
    auto trabajo = [puerto, peticion] { return prueba::preguntar(puerto, peticion); };
    auto respuesta = co_await enSegundoPlano(std::move(trabajo));
    co_return respuesta;
}

std::string llamar(std::uint16_t puerto, const std::string& ruta, const std::string& cuerpo) {
    return esperarEnBucle(preguntar(puerto, prueba::peticionHTTP("POST", ruta, cuerpo)));
}

Json resultadoDe(const std::string& http) { return Json::parse(http.substr(http.find("\r\n\r\n") + 4))["result"]; }

TEST(ManejadorTarea, LaTareaCorreEnElHiloPrincipal) {
    ServidorMCP servidor;
    servidor.ponerEjecutar(manejadorDeTarea(herramienta));
    ASSERT_TRUE(servidor.arrancar(std::nullopt).ok());
    const std::string ruta = "/mcp/" + servidor.token();

    const auto bien =
        llamar(servidor.puerto(), ruta, R"({"id":1,"method":"tools/call","params":{"name":"leer","arguments":{"id":"s1"}}})");
    EXPECT_EQ(resultadoDe(bien), Json::parse(R"({"content":[{"type":"text","text":"hecho: s1"}],"isError":false})"));

    const auto mal = llamar(servidor.puerto(), ruta, R"({"id":1,"method":"tools/call","params":{"name":"falla"}})");
    EXPECT_EQ(resultadoDe(mal), Json::parse(R"({"content":[{"type":"text",)"
                                            R"("text":"No hay ningún diseño abierto en Sorvenia Code."}],"isError":true})"));
}

}  // namespace
}  // namespace sorvenia
