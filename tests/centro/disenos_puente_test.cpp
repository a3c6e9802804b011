// The road of an outside AI client to the guides and the design list: the
// real bridge program, the hub's server, and an account signed in against
// the local account service.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "comun/conexion_tarvel.h"
#include "despacho_prueba.h"
#include "ejecutar_prueba.h"
#include "esperar_bucle.h"
#include "plataforma/recursos.h"

namespace sorvenia::prueba {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

std::string llamada(int id, const std::string& nombre, const Json& argumentos) {
    return Json{{"jsonrpc", "2.0"},
                {"id", id},
                {"method", "tools/call"},
                {"params", {{"name", nombre}, {"arguments", argumentos}}}}
               .dump() +
           "\n";
}

// Runs the bridge with these lines while this thread keeps the main
// context turning for the hub; its answers, one per request.
std::vector<Json> porElPuente(const std::string& lineas) {
    Salida salida;
    std::atomic<bool> fin{false};
    std::thread puente([&] {
        salida = ejecutarPrograma(TARVEL_MCP_BIN, {}, lineas, {{"HOME", ConexionTarvel::casa().string()}});
        fin = true;
    });
    const bool acabado = esperarHasta([&] { return fin.load(); }, 60s);
    puente.join();
    EXPECT_TRUE(acabado);
    std::vector<Json> respuestas;
    std::istringstream flujo(salida.salida);
    for (std::string linea; std::getline(flujo, linea);) respuestas.push_back(Json::parse(linea));
    return respuestas;
}

using PuenteDisenos = DespachoPrueba;

TEST_F(PuenteDisenos, GuiasYDisenosDesdeUnClienteDeFuera) {
    const std::string asador = guardarDiseno("Asador Bilbao");
    const std::string clinica = guardarDiseno("Citas Clínica Sonrisa");
    const std::string lola = guardarDiseno("Panadería Lola");

    std::filesystem::remove(ConexionTarvel::fichero());
    Centro::compartido().arrancar(cuenta, nav);
    ASSERT_TRUE(esperarHasta([] { return std::filesystem::exists(ConexionTarvel::fichero()); }, 10s));

    const auto r = porElPuente(
        R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"clientInfo":{"name":"claude-code"}}})"
        "\n" +
        llamada(2, "guia", {{"tema", "landing-page"}}) + llamada(3, "guia", {{"tema", "../../../etc/passwd"}}) +
        llamada(4, "guia", Json::object()) + llamada(5, "disenos", Json::object()) +
        llamada(6, "disenos", {{"abrir", 42}}) + llamada(7, "ver_tarvel", Json::object()));
    ASSERT_EQ(r.size(), 7u);

    const auto resultado = [&](std::size_t i) { return r[i]["result"]; };
    const auto textoDe = [&](std::size_t i) { return resultado(i)["content"][0]["text"].get<std::string>(); };

    // A skill: its file and the note on adapting it to the canvas.
    EXPECT_EQ(resultado(1)["isError"], false);
    const std::string landing = textoDe(1);
    EXPECT_TRUE(landing.starts_with("---\nname: landing-page\n")) << landing.substr(0, 80);
    EXPECT_TRUE(landing.ends_with("\n\n(Adáptala al tarvel con las reglas de guia(encargo): CSS en <style> o en "
                                  "línea, sin Tailwind ni JavaScript.)"));
    // A path is no topic, and the answer is no error.
    EXPECT_EQ(resultado(2)["isError"], false);
    EXPECT_TRUE(textoDe(2).starts_with("No hay guía «../../../etc/passwd». Temas: encargo, agente, nivel-agencia,"));
    EXPECT_EQ(textoDe(2).find("root:"), std::string::npos);
    // No topic: the house brief.
    EXPECT_TRUE(textoDe(3).starts_with("# Encargo de diseño de Sorvenia Code"));

    // The account's designs, newest first, after a refresh.
    ASSERT_EQ(cuenta->disenos().size(), 3u);
    std::string lista = "Diseños (id · nombre · última edición):";
    for (const auto& d : cuenta->disenos()) lista += "\n" + d.id + " · " + d.nombre + " · " + d.modificado;
    for (const std::size_t i : {4u, 5u}) {
        EXPECT_EQ(resultado(i)["isError"], false);
        EXPECT_EQ(textoDe(i), lista);
    }
    for (const auto& id : {asador, clinica, lola}) EXPECT_NE(lista.find("\n" + id + " · "), std::string::npos) << id;
    EXPECT_GE(servicio.registroDe("cuenta").size(), 2u);

    // A canvas tool with no design open in the window.
    EXPECT_EQ(resultado(6)["isError"], true);
    EXPECT_EQ(textoDe(6),
              "No hay ningún diseño abierto en Sorvenia Code. Usa la herramienta disenos para abrir uno (abrir=id) o "
              "crear uno (nuevo=nombre).");
    EXPECT_EQ(Centro::compartido().clienteExterno(), "Claude Code");
    Centro::compartido().alTerminar();
}

}  // namespace
}  // namespace sorvenia::prueba
