// Where the hub's dispatcher sends each tool call, and every answer it
// writes itself.
#include <gtest/gtest.h>

#include "centro/modo_agente.h"
#include "comun/herramientas_tarvel.h"
#include "despacho_prueba.h"
#include "esperar_bucle.h"

namespace sorvenia::prueba {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

Json texto(const std::string& t) { return Json::array({{{"type", "text"}, {"text", t}}}); }
Json marcado(const std::string& t, bool error) {
    return Json::array({{{"type", "text"}, {"text", t}, {"error", error}}});
}

const std::string cerrado =
    "El diseño en el que trabajabas ya se ha cerrado en Sorvenia Code. Para aquí y dile al usuario que vuelva a "
    "abrirlo y te lo pida otra vez.";
const std::string sinDiseno =
    "No hay ningún diseño abierto en Sorvenia Code. Usa la herramienta disenos para abrir uno (abrir=id) o crear "
    "uno (nuevo=nombre).";
// The photo tool answers a call without words or page itself, before any
// request leaves the machine.
const std::string sinFotos = "Dime qué buscar (consulta, en inglés) o de qué web sacar las fotos (pagina).";
const std::string sinConexiones = "Ahora mismo no se pueden guardar conexiones en Sorvenia Code.";

std::string trabajasDentro(const std::string& cual, bool aparcado) {
    return "Trabajas dentro del diseño " + cual + " y tus herramientas van siempre a él" +
           (aparcado ? " (el usuario está ahora en otra cosa: no le cambies la pantalla)" : "") +
           ". No abras ni crees otro: si hace falta otro diseño, díselo al usuario para que lo abra él y te lo pida "
           "allí.";
}

using Despacho = DespachoPrueba;

TEST_F(Despacho, CadaLlamadaVaASuSitio) {
    // An agent's design, parked because the user went elsewhere, and the
    // design the user has open now.
    auto delAgente = registrado("aaaaaaaaaaaaaaaa", "d-agente", "Asador Bilbao");
    delAgente->aparcado_ = true;
    delAgente->respuesta = Json::array({{{"type", "image"}, {"data", "iVBORw0"}, {"mimeType", "image/png"}}});
    auto abierto = std::make_shared<EditorDoble>("bbbbbbbbbbbbbbbb", "d-abierto", "Citas Clínica");
    Centro::compartido().editor = abierto;

    enum class Destino { agente, abierto, nadie };
    struct Caso {
        const char* nombre;
        Json argumentos;
        std::optional<std::string> clave;
        Destino destino;
        Json respuesta;  // when nobody gets the call
    };
    const std::string agente = delAgente->clave();
    const Caso casos[] = {
        {"leer", {{"id", "12"}}, agente, Destino::agente, {}},
        {"escribir", {{"id", "m1"}, {"modo", "dentro"}, {"html", "<p>hola</p>"}}, std::nullopt, Destino::abierto, {}},
        {"no_existe_en_el_catalogo", Json::object(), std::nullopt, Destino::abierto, {}},
        {"Guia", {{"tema", "agente"}}, std::nullopt, Destino::abierto, {}},  // names compare exactly
        {"leer", Json::object(), "cccccccccccccccc", Destino::nadie, marcado(cerrado, true)},
        {"guia", {{"tema", "agente"}}, agente, Destino::nadie, texto(textoModoAgente())},
        {"guia", {{"tema", "agente"}}, std::nullopt, Destino::nadie, texto(textoModoAgente())},
        {"buscar_fotos", {{"consulta", "  "}}, std::nullopt, Destino::nadie, marcado(sinFotos, true)},
        {"buscar_fotos", Json::object(), agente, Destino::nadie, marcado(sinFotos, true)},
        {"proponer_conexion", {{"nombre", "heroui"}}, agente, Destino::nadie, marcado(sinConexiones, true)},
        {"disenos",
         {{"nuevo", "Otro"}},
         agente,
         Destino::nadie,
         marcado(trabajasDentro("«Asador Bilbao»", true), true)},
    };
    for (const auto& c : casos) {
        delAgente->llamadas.clear();
        abierto->llamadas.clear();
        const Json r = ejecutar(c.nombre, c.argumentos, c.clave);
        const auto* llamado = c.destino == Destino::agente    ? delAgente.get()
                              : c.destino == Destino::abierto ? abierto.get()
                                                              : nullptr;
        for (const auto* e : {delAgente.get(), abierto.get()}) {
            ASSERT_EQ(e->llamadas.size(), e == llamado ? 1u : 0u) << c.nombre << " to " << e->clave();
        }
        if (!llamado) {
            EXPECT_EQ(r, c.respuesta) << c.nombre;
            continue;
        }
        EXPECT_EQ(r, llamado->respuesta) << c.nombre << ": the editor's items unchanged";
        const auto& llamada = llamado->llamadas[0];
        EXPECT_EQ(llamada.nombre, c.nombre);
        EXPECT_EQ(llamada.argumentos, c.argumentos);
        // The application's own agents are not outside clients; the bridge's
        // caller is named as the last client that initialised.
        EXPECT_EQ(llamada.externo, llamado == abierto.get() ? std::optional<std::string>("Agente") : std::nullopt)
            << c.nombre;
    }
    EXPECT_EQ(nav->pantalla(), Navegacion::Pantalla::inicio());

    // Closing the window's design leaves the bridge's calls nowhere to go;
    // the agent's parked design is still reached.
    Centro::compartido().editor.reset();
    EXPECT_EQ(ejecutar("leer", Json::object()), marcado(sinDiseno, true));
    EXPECT_EQ(ejecutar("leer", Json::object(), agente), delAgente->respuesta);
    Trabajos::compartido().quitar(*delAgente);
    EXPECT_EQ(ejecutar("leer", Json::object(), agente), marcado(cerrado, true));
}

// The catalogue says who answers each tool; the dispatcher agrees: it
// answers the hub's own tools and passes every other one to the editor.
TEST_F(Despacho, ElCentroRespondeSusHerramientasYPasaLasDemas) {
    using HerramientasTarvel::Responde;
    auto abierto = std::make_shared<EditorDoble>("bbbbbbbbbbbbbbbb", "d-abierto", "Citas Clínica");
    Centro::compartido().editor = abierto;
    for (const auto& h : HerramientasTarvel::lista()) {
        const auto nombre = h.at("name").get<std::string>();
        abierto->llamadas.clear();
        ejecutar(nombre, Json::object());
        const bool delCentro = HerramientasTarvel::quienResponde(nombre) == Responde::centro;
        EXPECT_EQ(abierto->llamadas.size(), delCentro ? 0U : 1U) << nombre;
    }
}

TEST_F(Despacho, UnAgenteNoAbreNiCreaOtroDiseno) {
    auto propio = registrado("aaaaaaaaaaaaaaaa", "d1", "Asador Bilbao");
    auto sinGuardar = registrado("bbbbbbbbbbbbbbbb", std::nullopt, "Sin título");
    struct Caso {
        const char* que;
        std::string clave;
        Json argumentos;
        bool aparcado;
        Json respuesta;
    };
    const std::string p = propio->clave(), s = sinGuardar->clave(), ninguno = "cccccccccccccccc";
    const Caso casos[] = {
        {"own design", p, {{"abrir", "d1"}}, false, texto("Ya estás trabajando en ese diseño. Llama a ver_tarvel.")},
        {"own design, parked", p, {{"abrir", "d1"}, {"nuevo", "x"}}, true,
         texto("Ya estás trabajando en ese diseño. Llama a ver_tarvel.")},
        {"another design", p, {{"abrir", "d2"}}, false, marcado(trabajasDentro("«Asador Bilbao»", false), true)},
        {"a new one", p, {{"nuevo", "Otra web"}}, false, marcado(trabajasDentro("«Asador Bilbao»", false), true)},
        {"a new one, parked", p, {{"nuevo", "Otra web"}}, true, marcado(trabajasDentro("«Asador Bilbao»", true), true)},
        {"a design without id", s, {{"abrir", "d1"}}, false, marcado(trabajasDentro("«Sin título»", false), true)},
        {"a closed design", ninguno, {{"nuevo", "Otra web"}}, false, marcado(trabajasDentro("el tuyo", false), true)},
        {"a closed design, its id", ninguno, {{"abrir", "d1"}}, false, marcado(trabajasDentro("el tuyo", false), true)},
    };
    for (const auto& c : casos) {
        propio->aparcado_ = c.aparcado;
        EXPECT_EQ(ejecutar("disenos", c.argumentos, c.clave), c.respuesta) << c.que;
    }
    EXPECT_EQ(nav->pantalla(), Navegacion::Pantalla::inicio()) << "an agent never moves the window";
}

TEST_F(Despacho, SinCuentaONavegacionLaAppNoEstaLista) {
    Centro::compartido().cuenta.reset();
    EXPECT_EQ(ejecutar("disenos", Json::object()), marcado("La app no está lista.", true));
    Centro::compartido().cuenta = cuenta;
    Centro::compartido().nav.reset();
    EXPECT_EQ(ejecutar("disenos", {{"nuevo", "x"}}, "aaaaaaaaaaaaaaaa"), marcado("La app no está lista.", true));
    EXPECT_TRUE(servicio.registro().empty()) << "the account was not asked";
}

TEST_F(Despacho, ListaLosPrimeros50TrasRefrescar) {
    EXPECT_EQ(ejecutar("disenos", Json::object()), texto("No hay diseños todavía. Crea uno con nuevo=nombre."));

    for (int i = 0; i < 60; ++i) guardarDiseno("Diseño " + std::to_string(i));
    const auto antes = servicio.registroDe("cuenta").size();
    // Values that are not non-empty texts count as absent: a list.
    for (const Json& argumentos : {Json::object(), Json{{"abrir", 7}}, Json{{"abrir", ""}, {"nuevo", false}}}) {
        const Json r = ejecutar("disenos", argumentos, argumentos.empty() ? std::nullopt : std::optional("aaaaaaaa"));
        ASSERT_EQ(cuenta->disenos().size(), 60u);
        std::string esperado = "Diseños (id · nombre · última edición):";
        for (std::size_t i = 0; i < 50; ++i) {
            const auto& d = cuenta->disenos()[i];
            esperado += "\n" + d.id + " · " + d.nombre + " · " + d.modificado;
        }
        EXPECT_EQ(r, texto(esperado)) << argumentos.dump();
    }
    EXPECT_EQ(servicio.registroDe("cuenta").size(), antes + 3) << "one refresh per call";
    EXPECT_EQ(nav->pantalla(), Navegacion::Pantalla::inicio());
}

TEST_F(Despacho, UnRefrescoFallidoListaLoQueHay) {
    const auto id = guardarDiseno("Asador Bilbao");
    esperarEnBucle(cuenta->refrescar());
    servicio.interruptores({{"cuenta", {{"status", 500}}}});
    const Json r = ejecutar("disenos", Json::object());
    ASSERT_EQ(cuenta->disenos().size(), 1u);
    EXPECT_EQ(r, texto("Diseños (id · nombre · última edición):\n" + id + " · Asador Bilbao · " +
                       cuenta->disenos()[0].modificado));
    EXPECT_TRUE(cuenta->error()) << "the refresh did fail";
}

// With nothing to list, a failed refresh is not "no designs yet": the answer
// says the account could not be reached, and why.
TEST_F(Despacho, SinListaUnRefrescoFallidoDiceQueLaCuentaNoRespondio) {
    servicio.interruptores({{"cuenta", {{"status", 500}}}});
    const Json r = ejecutar("disenos", Json::object());
    ASSERT_TRUE(cuenta->disenos().empty());
    ASSERT_TRUE(cuenta->error());
    EXPECT_EQ(r, marcado("No se ha podido consultar tu cuenta de Sorvenia, así que no sé qué diseños hay. " +
                             *cuenta->error() + " Vuelve a intentarlo en un momento.",
                         true));
    EXPECT_EQ(r[0]["text"].get<std::string>().find("No hay diseños"), std::string::npos);

    servicio.interruptores(Json::object());
    EXPECT_EQ(ejecutar("disenos", Json::object()), texto("No hay diseños todavía. Crea uno con nuevo=nombre."));
}

TEST_F(Despacho, AbrirUnDisenoQueYaEstaListo) {
    auto abierto = std::make_shared<EditorDoble>("aaaaaaaaaaaaaaaa", "d1");
    abierto->listo_ = true;
    Centro::compartido().editor = abierto;
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_EQ(ejecutar("disenos", {{"abrir", "d1"}}), marcado("Abierto. Llama a ver_tarvel.", false));
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, 200ms) << "no sleep when it holds at once";
    EXPECT_EQ(nav->pantalla(), Navegacion::Pantalla::editor("d1", std::nullopt));
}

TEST_F(Despacho, AbrirEsperaAQueElEditorEsteListo) {
    SesionSimulada sesion(*nav, 300ms, 400ms);
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_EQ(ejecutar("disenos", {{"abrir", "d7"}}), marcado("Abierto. Llama a ver_tarvel.", false));
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, 700ms);
    ASSERT_EQ(sesion.abiertos.size(), 1u);
    EXPECT_EQ(sesion.abiertos[0]->id(), "d7");
    EXPECT_TRUE(sesion.abiertos[0]->renombres.empty());
}

TEST_F(Despacho, CrearAbreUnaWebNuevaYLaNombra) {
    // The design open before is ready too: it must not be taken for the new one.
    auto anterior = std::make_shared<EditorDoble>("aaaaaaaaaaaaaaaa", "d1");
    anterior->listo_ = true;
    Centro::compartido().editor = anterior;
    SesionSimulada sesion(*nav, 200ms, 300ms);

    EXPECT_EQ(ejecutar("disenos", {{"nuevo", "Panadería Lola"}}),
              texto("Diseño nuevo «Panadería Lola» abierto con una página web vacía. Llama a ver_tarvel."));
    EXPECT_EQ(nav->pantalla(), Navegacion::Pantalla::editor(std::nullopt, Plantilla::conId("web")));
    ASSERT_EQ(sesion.abiertos.size(), 1u);
    EXPECT_EQ(sesion.abiertos[0]->renombres, (std::vector<std::string>{"Panadería Lola"}));
    EXPECT_TRUE(anterior->renombres.empty());
}

TEST_F(Despacho, SiNingunEditorLlegaANoSePuedeAbrirNiCrear) {
    // Another design is open and ready all along: it is neither the one
    // asked for nor a new one. Both calls wait their 10 s at the same time.
    auto otro = std::make_shared<EditorDoble>("aaaaaaaaaaaaaaaa", "d-otro");
    otro->listo_ = true;
    Centro::compartido().editor = otro;
    const auto inicio = std::chrono::steady_clock::now();
    Pendiente<Json> abrir(Centro::compartido().ejecutar("disenos", {{"abrir", "d-buscado"}}, std::nullopt));
    Pendiente<Json> crear(Centro::compartido().ejecutar("disenos", {{"nuevo", "Tarde"}}, std::nullopt));
    EXPECT_EQ(abrir.esperar(15s), marcado("No se ha podido abrir ese diseño.", true));
    EXPECT_EQ(crear.esperar(15s), marcado("No se ha podido crear el diseño nuevo.", true));
    const auto tardado = std::chrono::steady_clock::now() - inicio;
    EXPECT_GE(tardado, 9900ms);
    EXPECT_LT(tardado, 12s);
    EXPECT_TRUE(otro->renombres.empty());
    EXPECT_TRUE(nav->pantalla().esEditor()) << "the navigation already done stays";
}

}  // namespace
}  // namespace sorvenia::prueba
