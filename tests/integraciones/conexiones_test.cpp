// The user's own connections: validation and storage (the file never holds a
// secret), what claude and codex runs get from them, proposals from agents,
// and the connection test against the official SDK's reference MCP server
// (over HTTP and as a command) and stand-ins that reject or are not MCP.
#include "puertos_prueba.h"
#include "integraciones/conexiones.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "servicio_local_prueba.h"
#include "proceso.h"
#include "aislado.h"
#include "esperar_bucle.h"
#include "cuenta/llavero.h"
#include "plataforma/identidad.h"
#include "servidor_http_prueba.h"

namespace sorvenia {
namespace {

using prueba::puertoLibre;

namespace fs = std::filesystem;
using Conexiones::Conexion;
using nlohmann::json;

Conexion http(std::string nombre, std::string url, std::string cabecera = "Authorization") {
    Conexion c;
    c.nombre = std::move(nombre);
    c.tipo = "mcp-http";
    c.url = std::move(url);
    c.cabecera = std::move(cabecera);
    return c;
}

Conexion orden(std::string nombre, std::string o, std::vector<std::string> args, std::string variable = "") {
    Conexion c;
    c.nombre = std::move(nombre);
    c.tipo = "mcp-orden";
    c.orden = std::move(o);
    c.argumentos = std::move(args);
    c.variable = std::move(variable);
    return c;
}

Conexion clave(std::string nombre, std::string variable = "") {
    Conexion c;
    c.nombre = std::move(nombre);
    c.tipo = "clave";
    c.variable = std::move(variable);
    return c;
}

std::string leerTodo(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class ConexionesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        llavero = std::make_shared<prueba::LlaveroEnMemoria>();
        anterior = Llavero::usarAlmacen(llavero);
        std::error_code ec;
        fs::remove(Conexiones::fichero(), ec);
    }
    void TearDown() override { Llavero::usarAlmacen(anterior); }

    std::optional<std::string> guardar(Conexion c, std::optional<std::string> secreto = std::nullopt) {
        return Conexiones::guardar(std::move(c), std::move(secreto));
    }
    Conexion unica() {
        auto l = Conexiones::lista();
        EXPECT_EQ(l.size(), 1u);
        return l.empty() ? Conexion{} : l.front();
    }

    std::shared_ptr<prueba::LlaveroEnMemoria> llavero;
    std::shared_ptr<Llavero::Almacen> anterior;
};

TEST_F(ConexionesTest, Validacion) {
    const std::string nombreMal = "El nombre tiene que ser corto, con letras y números (p. ej. «heroui»).";
    const std::string direccionMal = "La dirección del MCP tiene que ser https://…";
    const std::string variableMal = "Nombre de variable no válido.";
    struct Caso {
        Conexion c;
        std::optional<std::string> secreto;
        std::optional<std::string> error;
    } casos[] = {
        {http("a", "https://x.dev/mcp"), {}, nombreMal},
        {http("¡!", "https://x.dev/mcp"), {}, nombreMal},
        {http("tarvel", "https://x.dev/mcp"), {}, nombreMal},
        {http("ok", "http://x.dev/mcp"), {}, direccionMal},
        {http("ok", "ftp://x.dev/mcp"), {}, direccionMal},
        {http("ok", ""), {}, direccionMal},
        {http("ok", "http://127.0.0.1:9/mcp"), {}, std::nullopt},
        {http("ok", "http://localhost/mcp"), {}, std::nullopt},
        {http("ok", "https://x.dev/mcp", "X Token"), {}, "Nombre de cabecera no válido."},
        {orden("ok", "", {}), {}, "Falta la orden del MCP (p. ej. npx)."},
        {orden("ok", "npx; rm", {}), {}, "Falta la orden del MCP (p. ej. npx)."},
        // An agent may send a command of any length: checking it must not
        // take stack in proportion to it.
        {orden("largo", std::string(100000, 'n'), {}), {}, std::nullopt},
        {orden("largo", std::string(100000, 'n') + ";", {}), {}, "Falta la orden del MCP (p. ej. npx)."},
        {http("ok", "https://x.dev/mcp", std::string(100000, 'x')), {}, "Nombre de cabecera no válido."},
        // What follows a NUL would reach the agent's configuration unchecked.
        {http("ok", std::string("https://x.dev/mcp\0@otro.dev", 27)), {}, direccionMal},
        {http("ok", "https://x.dev/ mcp"), {}, direccionMal},
        {clave("ok"), {}, "Falta la clave."},
        {clave("1pass"), "s", variableMal},
        {clave("ok", "PATH"), "s", variableMal},
        {clave("ok", "minusculas"), "s", variableMal},
        // Linux's loader variables would inject code into every agent.
        {clave("ok", "LD_PRELOAD"), "s", variableMal},
        {clave("ok", "LD_AUDIT"), "s", variableMal},
        {[] {
             Conexion c = http("ok", "https://x.dev");
             c.tipo = "otro";
             return c;
         }(),
         {},
         "Tipo desconocido."},
    };
    for (const auto& caso : casos) {
        EXPECT_EQ(guardar(caso.c, caso.secreto), caso.error) << caso.c.nombre << " " << caso.c.url;
        std::error_code ec;
        fs::remove(Conexiones::fichero(), ec);
    }
    EXPECT_EQ(Conexiones::limpiarNombre("  Mi Servidor: Ñandú!! "), "mi-servidor-nandu");
}

TEST_F(ConexionesTest, ElFicheroNuncaGuardaElSecretoYUnNombreRepetidoSustituye) {
    ASSERT_EQ(guardar(clave("Mi-Correo"), std::string(" re_123 \n")), std::nullopt);
    auto c = unica();
    EXPECT_EQ(c.nombre, "mi-correo");
    EXPECT_EQ(c.variable, "MI_CORREO_API_KEY");
    EXPECT_EQ(Llavero::leer("conexion:" + c.id), "re_123");
    EXPECT_EQ(leerTodo(Conexiones::fichero()).find("re_123"), std::string::npos);
    EXPECT_EQ(Conexiones::ultimaGuardada(), c);

    // A new connection under the same name takes the place (and id) of the old.
    ASSERT_EQ(guardar(http("mi correo", "https://correo.dev/mcp")), std::nullopt);
    const auto nueva = unica();
    EXPECT_EQ(nueva.id, c.id);
    EXPECT_EQ(nueva.tipo, "mcp-http");

    const auto j = Conexiones::json();
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0]["secreto"], true);
    EXPECT_EQ(j[0].dump().find("re_123"), std::string::npos);

    Conexiones::activar(c.id, false);
    EXPECT_FALSE(unica().activa);
    Conexiones::borrar(c.id);
    EXPECT_TRUE(Conexiones::lista().empty());
    EXPECT_TRUE(llavero->contenido().empty());
}

TEST_F(ConexionesTest, UnFicheroQueNoSePuedeEscribirNoSeDaPorGuardado) {
    // A folder in the file's place: no rename can replace it, not even root's.
    fs::create_directories(Conexiones::fichero() / "x");
    const auto error = guardar(clave("resend"), std::string("re_1"));
    fs::remove_all(Conexiones::fichero());
    EXPECT_EQ(error, "No se ha podido guardar la lista de conexiones.");
    EXPECT_TRUE(llavero->contenido().empty());
    auto p = Conexiones::propuesta({{"nombre", "resend"}, {"clave", "re_2"}}, {});
    fs::create_directories(Conexiones::fichero() / "x");
    const auto item = Conexiones::guardarPropuesta(p);
    fs::remove_all(Conexiones::fichero());
    EXPECT_EQ(item[0]["error"], true);
    EXPECT_TRUE(llavero->contenido().empty());
}

TEST_F(ConexionesTest, LoQueRecibenClaudeYCodex) {
    ASSERT_EQ(guardar(http("docs", "https://docs.dev/mcp"), std::string("Bearer tok-1")), std::nullopt);
    ASSERT_EQ(guardar(http("hero", "https://hero.dev/mcp", "x-hero-token"), std::string("h\"2")), std::nullopt);
    ASSERT_EQ(guardar(orden("local", "npx", {"-y", "pa\\quete"}, "LOCAL_KEY"), std::string("l-3")), std::nullopt);
    ASSERT_EQ(guardar(orden("sin-secreto", "/opt/mcp/bin/srv", {})), std::nullopt);
    Conexion figma = clave("figma", "FIGMA_TOKEN");
    figma.para = "Leer e importar tus diseños de Figma";
    ASSERT_EQ(guardar(figma, std::string("f-4")), std::nullopt);
    Conexion apagada = http("apagada", "https://off.dev/mcp");
    apagada.activa = false;
    ASSERT_EQ(guardar(apagada), std::nullopt);

    const auto claude = Conexiones::paraClaude();
    EXPECT_EQ(claude.servidores["docs"], (json{{"type", "http"},
                                               {"url", "https://docs.dev/mcp"},
                                               {"headers", {{"Authorization", "${SORVENIA_CONEXION_DOCS}"}}}}));
    EXPECT_EQ(claude.servidores["hero"]["headers"], (json{{"x-hero-token", "${SORVENIA_CONEXION_HERO}"}}));
    EXPECT_EQ(claude.servidores["local"], (json{{"type", "stdio"},
                                                {"command", "npx"},
                                                {"args", {"-y", "pa\\quete"}},
                                                {"env", {{"LOCAL_KEY", "${LOCAL_KEY}"}}}}));
    EXPECT_FALSE(claude.servidores["sin-secreto"].contains("env"));
    EXPECT_FALSE(claude.servidores.contains("apagada"));
    EXPECT_FALSE(claude.servidores.contains("figma"));
    // The secrets go through the environment only, never the configuration.
    EXPECT_EQ(claude.entorno, (Entorno{{"SORVENIA_CONEXION_DOCS", "Bearer tok-1"},
                                       {"SORVENIA_CONEXION_HERO", "h\"2"},
                                       {"LOCAL_KEY", "l-3"},
                                       {"FIGMA_TOKEN", "f-4"}}));
    EXPECT_EQ(claude.servidores.dump().find("tok-1"), std::string::npos);
    EXPECT_EQ(claude.herramientas,
              (std::vector<std::string>{"mcp__docs__*", "mcp__hero__*", "mcp__local__*", "mcp__sin-secreto__*"}));
    EXPECT_NE(claude.texto.find("- MCP «docs» (herramientas mcp__docs__*)"), std::string::npos);
    EXPECT_NE(claude.texto.find("- Clave «figma» en la variable de entorno $FIGMA_TOKEN: Leer"), std::string::npos)
        << claude.texto;

    const auto codex = Conexiones::paraCodex();
    const std::vector<std::string> esperados = {
        "-c", R"(mcp_servers.docs.url="https://docs.dev/mcp")",
        "-c", R"(mcp_servers.docs.default_tools_approval_mode="approve")",
        "-c", R"(mcp_servers.docs.bearer_token_env_var="SORVENIA_CONEXION_DOCS")",
        "-c", R"(mcp_servers.hero.url="https://hero.dev/mcp")",
        "-c", R"(mcp_servers.hero.default_tools_approval_mode="approve")",
        "-c", R"(mcp_servers.hero.env_http_headers={"x-hero-token"="SORVENIA_CONEXION_HERO"})",
        "-c", R"(mcp_servers.local.command="npx")",
        "-c", R"(mcp_servers.local.args=["-y","pa\\quete"])",
        "-c", R"(mcp_servers.local.default_tools_approval_mode="approve")",
        "-c", R"(mcp_servers.local.env_vars=["LOCAL_KEY"])",
        "-c", R"(mcp_servers.sin-secreto.command="/opt/mcp/bin/srv")",
        "-c", R"(mcp_servers.sin-secreto.args=[])",
        "-c", R"(mcp_servers.sin-secreto.default_tools_approval_mode="approve")",
        "-c", "shell_environment_policy.ignore_default_excludes=true"};
    EXPECT_EQ(codex.args, esperados);
    EXPECT_EQ(codex.entorno.at("SORVENIA_CONEXION_DOCS"), "tok-1");
    EXPECT_EQ(codex.entorno.at("SORVENIA_CONEXION_HERO"), "h\"2");
    for (const auto& a : codex.args) EXPECT_EQ(a.find("tok-1"), std::string::npos) << a;
}

TEST_F(ConexionesTest, SinConexionesNadaQueDar) {
    EXPECT_TRUE(Conexiones::paraClaude().texto.empty());
    EXPECT_TRUE(Conexiones::paraCodex().args.empty());
    ASSERT_EQ(guardar(clave("resend", "RESEND_API_KEY"), std::string("r")), std::nullopt);
    llavero->borrar(Llavero::servicio(), "conexion:" + unica().id);
    EXPECT_TRUE(Conexiones::paraClaude().texto.empty());
    EXPECT_TRUE(Conexiones::paraCodex().args.empty());
}

TEST_F(ConexionesTest, Propuestas) {
    // A catalogue name and a token: a key with the catalogue's variable.
    auto p = Conexiones::propuesta({{"nombre", "figma"}, {"token", "fig-1"}}, {});
    EXPECT_EQ(p.conexion.tipo, "clave");
    EXPECT_EQ(p.conexion.variable, "FIGMA_TOKEN");
    EXPECT_EQ(p.mensaje, "¿Guardar la conexión «figma»?");
    EXPECT_NE(p.informativo.find("Tu IA quiere guardar una clave para usarlo en tus próximos encargos.\n\nvariable "
                                 "FIGMA_TOKEN\nLeer e importar tus diseños de Figma\n\nIncluye un secreto"),
              std::string::npos)
        << p.informativo;
    // Its own "orden" (of any type) or URL: nothing from the catalogue.
    p = Conexiones::propuesta({{"nombre", "figma"}, {"orden", 3}}, {});
    EXPECT_EQ(p.conexion.tipo, "mcp-orden");
    EXPECT_EQ(p.conexion.variable, "");
    p = Conexiones::propuesta({{"nombre", "Mi Server"}, {"url", "https://a.dev/mcp"}, {"para", std::string(500, 'x')}},
                              {});
    EXPECT_EQ(p.conexion.tipo, "mcp-http");
    EXPECT_EQ(p.conexion.nombre, "mi-server");
    EXPECT_EQ(p.conexion.para.size(), 320u);
    EXPECT_NE(p.informativo.find("el servidor MCP para usarlo en tus próximos encargos.\n\nhttps://a.dev/mcp"),
              std::string::npos);
    EXPECT_EQ(p.informativo.find("Incluye un secreto"), std::string::npos);
    EXPECT_EQ(Conexiones::propuesta({{"nombre", "x1"}}, {}).conexion.tipo, "clave");
    // An agent cannot point a loader variable at a library.
    auto mala =
        Conexiones::propuesta({{"nombre", "malo"}, {"tipo", "clave"}, {"variable", "LD_PRELOAD"}, {"clave", "x"}}, {});
    const auto item = Conexiones::guardarPropuesta(mala);
    EXPECT_EQ(item[0]["text"], "No se ha guardado: Nombre de variable no válido.");
    EXPECT_EQ(item[0]["error"], true);
    EXPECT_TRUE(Conexiones::lista().empty());
}

TEST_F(ConexionesTest, UnaPropuestaNoLlevaUnSecretoGuardadoAOtroSitio) {
    ASSERT_EQ(guardar(http("stripe", "https://mcp.stripe.com/"), std::string("sk_live")), std::nullopt);
    const auto antes = unica();
    auto p = Conexiones::propuesta({{"nombre", "stripe"}, {"url", "https://atacante.dev/mcp"}}, Conexiones::lista());
    ASSERT_TRUE(p.sustituye);
    EXPECT_NE(p.informativo.find("Sustituye a la conexión «stripe» que ya tienes."), std::string::npos);
    const auto item = Conexiones::guardarPropuesta(p);
    EXPECT_FALSE(item[0].contains("error"));
    EXPECT_EQ(unica().url, "https://atacante.dev/mcp");
    EXPECT_EQ(Llavero::leer("conexion:" + antes.id), std::nullopt);
    // The same place with a new token keeps working as before.
    p = Conexiones::propuesta({{"nombre", "stripe"}, {"url", "https://atacante.dev/mcp"}, {"token", "t2"}},
                              Conexiones::lista());
    Conexiones::guardarPropuesta(p);
    EXPECT_EQ(Llavero::leer("conexion:" + antes.id), "t2");
    EXPECT_EQ(Conexiones::rechazada()[0]["text"],
              "El usuario NO ha querido guardar esta conexión. No insistas; sigue sin ella.");
}

TEST_F(ConexionesTest, ProbarContraElServidorDeReferencia) {
    const auto puerto = puertoLibre();
    prueba::Proceso servidor(MCP_REFERENCIA, {"streamableHttp"},
                             prueba::entornoCon({{"PORT", std::to_string(puerto)}}));
    ASSERT_TRUE(servidor.iniciado());
    ASSERT_TRUE(prueba::esperarEscucha(puerto));

    ASSERT_EQ(guardar(http("referencia", "http://127.0.0.1:" + std::to_string(puerto) + "/mcp"), std::string("tok")),
              std::nullopt);
    auto r = prueba::esperarTarea(Conexiones::probar(unica().id), std::chrono::seconds(20));
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->ok);
    EXPECT_EQ(r->texto, "Funciona: es un servidor MCP y acepta la conexión.");

    // The same server as a command: found by its absolute path and by name.
    ASSERT_EQ(guardar(orden("local", MCP_REFERENCIA, {"stdio"})), std::nullopt);
    const auto local = Conexiones::lista().back();
    r = prueba::esperarTarea(Conexiones::probar(local.id));
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->ok);
    EXPECT_EQ(r->texto, std::string("La orden «") + MCP_REFERENCIA + "» está instalada en este ordenador.");
    ASSERT_EQ(guardar(orden("local", "/no/existe/mcp", {})), std::nullopt);
    r = prueba::esperarTarea(Conexiones::probar(local.id));
    EXPECT_FALSE(r->ok);
    EXPECT_EQ(r->texto, "No encuentro «/no/existe/mcp» en este ordenador (¿está instalado?).");
    EXPECT_EQ(prueba::esperarTarea(Conexiones::probar("nada"))->texto, "No existe.");
}

TEST_F(ConexionesTest, ProbarContraStandIns) {
    std::string respuesta;
    prueba::ServidorHTTPPrueba servidor([&](const prueba::PeticionHTTP&) { return respuesta; });
    const std::string url = "http://127.0.0.1:" + std::to_string(servidor.puerto()) + "/mcp";
    struct Caso {
        std::string respuesta;
        bool ok;
        std::string texto;
    } casos[] = {
        {prueba::ServidorHTTPPrueba::respuesta(401, ""), false, "Responde, pero rechaza el token (401)."},
        {prueba::ServidorHTTPPrueba::respuesta(500, ""), false, "Responde con error 500."},
        {prueba::ServidorHTTPPrueba::respuesta(200, "<html>hola</html>", "text/html"), false,
         "Responde (no he podido confirmar que sea MCP)."},
        {"basura\r\n\r\n", false, "No responde."},
    };
    ASSERT_EQ(guardar(http("stand-in", url), std::string("secreto")), std::nullopt);
    for (const auto& c : casos) {
        respuesta = c.respuesta;
        const auto r = prueba::esperarTarea(Conexiones::probar(unica().id));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->ok, c.ok);
        EXPECT_EQ(r->texto, c.texto);
    }
    const auto p = servidor.peticiones().front();
    EXPECT_EQ(p.cabeceras.at("authorization"), "Bearer secreto");
    const auto cuerpo = json::parse(p.cuerpo);
    EXPECT_EQ(cuerpo["method"], "initialize");
    EXPECT_EQ(cuerpo["params"]["clientInfo"]["name"], "sorvenia-code");
}

}  // namespace
}  // namespace sorvenia
