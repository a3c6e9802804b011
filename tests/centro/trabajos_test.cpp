// The job registry: states, ordering, limits, coalesced announcements and
// the user's notifications.
#include "centro/trabajos.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "navegacion/navegacion.h"
#include "centro/centro.h"
#include "centro/letras.h"
#include "editor_doble.h"
#include "esperar_bucle.h"

namespace sorvenia {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
using prueba::EditorDoble;

// 2025-03-01T09:30:00Z
const Trabajos::Instante marzo = std::chrono::sys_days{std::chrono::year{2025} / 3 / 1} + 9h + 30min;

std::string repetir(const std::string& pieza, std::size_t veces) {
    std::string r;
    for (std::size_t i = 0; i < veces; ++i) r += pieza;
    return r;
}

class TrabajosPrueba : public ::testing::Test {
protected:
    Trabajos registro{[this](const Trabajos::Aviso& a) { avisos.push_back(a); }, [this] { return ahora; }};
    Trabajos::Suscripcion suscripcion = registro.observar([this] { ++cambios; });
    std::vector<Trabajos::Aviso> avisos;
    Trabajos::Instante ahora = marzo;
    int cambios = 0;

    std::shared_ptr<EditorDoble> editor(const std::string& clave, std::optional<std::string> id = std::nullopt,
                                        const std::string& nombre = "Asador Bilbao") {
        auto e = std::make_shared<EditorDoble>(clave, std::move(id), nombre);
        registro.registrar(e);
        return e;
    }
    const Trabajos::Info& info(const EditorModelo& e) { return registro.info().at(e.clave()); }
    std::vector<std::string> claves() {
        std::vector<std::string> r;
        for (const auto& t : registro.lista()) r.push_back(t["clave"]);
        return r;
    }
};

TEST_F(TrabajosPrueba, EmpiezaPoneElTrabajoDelanteYAvisaAlMomento) {
    auto a = editor("aaaaaaaaaaaaaaaa", "d-a");
    auto b = editor("bbbbbbbbbbbbbbbb");
    registro.empieza(*a, "Claude", "diseno");
    EXPECT_EQ(cambios, 1) << "a start is announced at once";
    const auto& i = info(*a);
    EXPECT_EQ(i.clave, "aaaaaaaaaaaaaaaa");
    EXPECT_EQ(i.id, "d-a");
    EXPECT_EQ(i.nombre, "Asador Bilbao");
    EXPECT_EQ(i.ia, "Claude");
    EXPECT_EQ(i.estado, "trabajando");
    EXPECT_EQ(i.modo, "diseno");
    EXPECT_EQ(i.paso, "Empezando…");
    EXPECT_EQ(i.texto, "");
    EXPECT_EQ(i.desde, marzo);
    EXPECT_FALSE(i.hasta);

    registro.empieza(*b, "Codex", "diseno");
    EXPECT_EQ(claves(), (std::vector<std::string>{b->clave(), a->clave()}));

    // Asked again: one entry, first, reset to a fresh run.
    registro.progreso(*a, "Escribo la portada", "Voy a por ello", std::nullopt);
    registro.termina(*a, 0, std::nullopt);  // not parked: leaves the list
    registro.empieza(*a, "Claude", "diseno");
    ahora += 5min;
    registro.empieza(*a, "Claude", "diseno");
    EXPECT_EQ(claves(), (std::vector<std::string>{a->clave(), b->clave()}));
    EXPECT_EQ(info(*a).paso, "Empezando…");
    EXPECT_EQ(info(*a).texto, "");
    EXPECT_EQ(info(*a).desde, marzo + 5min);
}

TEST_F(TrabajosPrueba, ProgresoRecortaYSoloCambiaLoQueLlega) {
    auto a = editor("aaaaaaaaaaaaaaaa");
    registro.progreso(*a, "paso", "texto", "nombre");
    EXPECT_TRUE(registro.info().empty()) << "no job: nothing";
    prueba::esperarHasta([] { return false; }, 500ms);
    EXPECT_EQ(cambios, 0) << "and nothing announced, not even later";

    registro.empieza(*a, "Claude", "diseno");
    registro.progreso(*a, "Monto la cabecera", "Primero la base", std::nullopt);
    registro.progreso(*a, "", std::nullopt, "");
    EXPECT_EQ(info(*a).paso, "Monto la cabecera") << "an empty step keeps the last one";
    EXPECT_EQ(info(*a).texto, "Primero la base") << "no text: kept";
    EXPECT_EQ(info(*a).nombre, "Asador Bilbao") << "an empty name is no name";
    registro.progreso(*a, std::nullopt, "", "Asador Getxo");
    EXPECT_EQ(info(*a).texto, "") << "an empty text clears it";
    EXPECT_EQ(info(*a).nombre, "Asador Getxo");

    // Letters, not bytes: each "ñ" is two bytes, each flag eight.
    const std::string bandera = "\xF0\x9F\x87\xAA\xF0\x9F\x87\xB8";
    registro.progreso(*a, repetir("ñ", 139) + bandera + "zzz", repetir("x", 10) + repetir(bandera, 240), std::nullopt);
    EXPECT_EQ(info(*a).paso, repetir("ñ", 139) + bandera) << "the first 140 letters of a step";
    EXPECT_EQ(info(*a).texto, repetir(bandera, 240)) << "the last 240 letters of a text";

    // The design id follows the model once it has one, and stays after.
    EXPECT_FALSE(info(*a).id);
    a->id_ = "d-nuevo";
    registro.progreso(*a, std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(info(*a).id, "d-nuevo");
    a->id_.reset();
    registro.progreso(*a, std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(info(*a).id, "d-nuevo");
}

TEST_F(TrabajosPrueba, ElProgresoSeAnunciaAgrupado) {
    auto a = editor("aaaaaaaaaaaaaaaa");
    registro.empieza(*a, "Claude", "diseno");
    cambios = 0;
    const auto inicio = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration cuando{};
    auto medir = registro.observar([&] { cuando = std::chrono::steady_clock::now() - inicio; });
    for (int i = 0; i < 10; ++i) registro.progreso(*a, "paso " + std::to_string(i), std::nullopt, std::nullopt);
    EXPECT_EQ(cambios, 0) << "nothing at once";
    ASSERT_TRUE(prueba::esperarHasta([&] { return cambios > 0; }, 2s));
    EXPECT_GE(cuando, 340ms);
    EXPECT_LT(cuando, 700ms);
    prueba::esperarHasta([] { return false; }, 500ms);
    EXPECT_EQ(cambios, 1) << "ten reports, one announcement";
    EXPECT_EQ(info(*a).paso, "paso 9");

    // Starts, ends and removals do not wait for a pending announcement.
    registro.progreso(*a, "otro", std::nullopt, std::nullopt);
    registro.termina(*a, 0, std::nullopt);
    EXPECT_EQ(cambios, 2);
    ASSERT_TRUE(prueba::esperarHasta([&] { return cambios == 3; }, 2s)) << "the pending one still comes";
}

TEST_F(TrabajosPrueba, UnAnuncioPendienteNoSobreviveAlRegistro) {
    int tarde = 0;
    {
        Trabajos efimero{nullptr, [] { return marzo; }};
        auto s = efimero.observar([&] { ++tarde; });
        EditorDoble e("cccccccccccccccc");
        efimero.empieza(e, "", "diseno");
        tarde = 0;
        efimero.progreso(e, "paso", std::nullopt, std::nullopt);
    }
    prueba::esperarHasta([] { return false; }, 600ms);
    EXPECT_EQ(tarde, 0);
}

TEST_F(TrabajosPrueba, EstadosFinalesYAvisos) {
    const std::string largo = repetir("é", 300);
    struct Caso {
        const char* que;
        std::string ia;
        std::string texto;  // the agent's last text
        std::optional<std::int32_t> codigo;
        std::optional<std::string> error;
        const char* estado;
        std::string textoFinal;
        std::string cuerpo;
    };
    const std::vector<Caso> casos = {
        {"exit 0", "Claude", "Hecho: portada y contacto.", 0, std::nullopt, "listo", "Hecho: portada y contacto.",
         "Claude ha terminado."},
        {"no exit code", "", "Listo", std::nullopt, std::nullopt, "listo", "Listo", "Tu IA ha terminado."},
        {"a question, then blanks and a line end", "Codex", "¿Te vale este azul? \n", 0, std::nullopt, "pregunta",
         "¿Te vale este azul? \n", "Codex te pregunta algo. «¿Te vale este azul? \n»"},
        {"a long question: its last 120 letters", "Claude", repetir("a", 200) + "?", std::nullopt, std::nullopt,
         "pregunta", repetir("a", 200) + "?", "Claude te pregunta algo. «" + repetir("a", 119) + "?»"},
        {"stopped", "Claude", "A medias", 1, std::nullopt, "parado", "A medias", "Se ha parado."},
        {"signal", "Claude", "¿Sigo?", -15, std::nullopt, "parado", "¿Sigo?", "Se ha parado."},
        {"failed", "Claude", "algo", 1, largo, "error", repetir("é", 240), "Ha fallado: " + repetir("é", 240)},
        {"failed to start", "Claude", "", std::nullopt, "No se ha podido lanzar claude.", "error",
         "No se ha podido lanzar claude.", "Ha fallado: No se ha podido lanzar claude."},
    };
    int n = 0;
    for (const auto& c : casos) {
        auto e = editor("clave" + std::to_string(n++) + "xxxxxxxxxx", "d1", "Clínica Sonrisa");
        e->aparcado_ = true;
        registro.empieza(*e, c.ia, "diseno");
        registro.progreso(*e, std::nullopt, c.texto, std::nullopt);
        e->nombre_ = "Clínica Sonrisa Centro";  // renamed during the run
        avisos.clear();
        cambios = 0;
        ahora = marzo + 1h;
        registro.termina(*e, c.codigo, c.error);

        const auto& i = info(*e);
        EXPECT_EQ(i.estado, c.estado) << c.que;
        EXPECT_EQ(i.texto, c.textoFinal) << c.que;
        EXPECT_EQ(i.hasta, marzo + 1h) << c.que;
        EXPECT_EQ(i.nombre, "Clínica Sonrisa Centro") << c.que;
        EXPECT_EQ(cambios, 1) << c.que;
        ASSERT_EQ(avisos.size(), 1u) << c.que;
        EXPECT_EQ(avisos[0], (Trabajos::Aviso{"trabajo-" + e->clave(), "Clínica Sonrisa Centro", c.cuerpo})) << c.que;
    }
    EXPECT_EQ(contarLetras("Se ha parado."), 13u);
}

TEST_F(TrabajosPrueba, SinAparcarElTrabajoTerminadoSeVaSinAviso) {
    auto a = editor("aaaaaaaaaaaaaaaa");
    registro.termina(*a, 0, std::nullopt);
    EXPECT_EQ(cambios, 0) << "no job: nothing";

    registro.empieza(*a, "Claude", "diseno");
    registro.termina(*a, 1, "falló");
    EXPECT_TRUE(registro.info().empty());
    EXPECT_TRUE(registro.lista().empty());
    EXPECT_TRUE(avisos.empty());
    EXPECT_EQ(cambios, 2);
    EXPECT_EQ(registro.modelo(a->clave()), a) << "the registry never lets a model go by itself";
}

TEST_F(TrabajosPrueba, VistoYVistoDiseno) {
    auto corriendo = editor("aaaaaaaaaaaaaaaa", "d1");
    auto acabado = editor("bbbbbbbbbbbbbbbb", "d1");
    auto otro = editor("cccccccccccccccc", "d2");
    for (const auto& e : {corriendo, acabado, otro}) {
        e->aparcado_ = true;
        registro.empieza(*e, "Claude", "diseno");
    }
    registro.termina(*acabado, 0, std::nullopt);
    registro.termina(*otro, 0, std::nullopt);

    cambios = 0;
    registro.visto(corriendo->clave());
    registro.visto("no-existe");
    EXPECT_EQ(cambios, 0) << "a running job or an unknown key: nothing";
    EXPECT_EQ(registro.info().size(), 3u);

    registro.vistoDiseno(std::nullopt);
    EXPECT_EQ(cambios, 0) << "no id: nothing";
    registro.vistoDiseno("d9");
    EXPECT_EQ(cambios, 1) << "announced even when nothing matched";

    registro.vistoDiseno("d1");
    EXPECT_EQ(claves(), (std::vector<std::string>{otro->clave(), corriendo->clave()}))
        << "the finished job of d1 goes, the running one stays";
    registro.visto(otro->clave());
    EXPECT_EQ(claves(), (std::vector<std::string>{corriendo->clave()}));
    EXPECT_EQ(cambios, 3);
}

TEST_F(TrabajosPrueba, ListaParaLasPaginas) {
    auto a = editor("aaaaaaaaaaaaaaaa");
    auto b = editor("bbbbbbbbbbbbbbbb", "d-b", "Citas Clínica");
    b->aparcado_ = true;
    registro.empieza(*b, "Codex", "diseno");
    ahora = marzo + 90s;
    registro.termina(*b, 0, std::nullopt);
    ahora = marzo + 2min;
    registro.empieza(*a, "Claude", "diseno");
    Centro::compartido().editor = a;

    const Json esperada = Json::parse(R"([
      {"clave":"aaaaaaaaaaaaaaaa","id":"","nombre":"Asador Bilbao","ia":"Claude","estado":"trabajando",
       "paso":"Empezando…","texto":"","modo":"diseno","desde":"2025-03-01T09:32:00Z","hasta":"","aqui":true,
       "abrible":false},
      {"clave":"bbbbbbbbbbbbbbbb","id":"d-b","nombre":"Citas Clínica","ia":"Codex","estado":"listo",
       "paso":"Empezando…","texto":"","modo":"diseno","desde":"2025-03-01T09:30:00Z",
       "hasta":"2025-03-01T09:31:30Z","aqui":false,"abrible":true}])");
    EXPECT_EQ(registro.lista(), esperada);

    // The live model's id wins over the record's; without a live model the
    // record's id stays.
    a->id_ = "d-a";
    b->id_ = "d-b2";
    auto lista = registro.lista();
    EXPECT_EQ(lista[0]["id"], "d-a");
    EXPECT_EQ(lista[0]["abrible"], true);
    EXPECT_EQ(lista[1]["id"], "d-b2");
    registro.quitar(*b);
    EXPECT_EQ(registro.lista()[1]["id"], "d-b");
    Centro::compartido().editor.reset();
    EXPECT_EQ(registro.lista()[0]["aqui"], false);
}

TEST_F(TrabajosPrueba, ModelosPorIdentidadYPorClave) {
    auto a = editor("aaaaaaaaaaaaaaaa");
    registro.registrar(a);
    auto gemelo = std::make_shared<EditorDoble>("aaaaaaaaaaaaaaaa");
    registro.registrar(gemelo);
    registro.registrar(nullptr);
    ASSERT_EQ(registro.modelos().size(), 2u) << "the same object once; another with the same key is another model";
    EXPECT_EQ(registro.modelo("aaaaaaaaaaaaaaaa"), a) << "the first with that key";
    EXPECT_EQ(registro.modelo("zzzzzzzzzzzzzzzz"), nullptr);

    registro.empieza(*a, "Claude", "diseno");
    registro.quitar(*a);
    EXPECT_EQ(registro.modelos(), (std::vector<std::shared_ptr<EditorModelo>>{gemelo}));
    EXPECT_EQ(registro.info().size(), 1u) << "the job record stays";
}

TEST_F(TrabajosPrueba, AbrirLlevaAlDisenoDelTrabajo) {
    Navegacion nav;
    auto a = editor("aaaaaaaaaaaaaaaa", "d-a");
    auto sinId = editor("bbbbbbbbbbbbbbbb");
    for (const auto& e : {a, sinId}) {
        e->aparcado_ = true;
        registro.empieza(*e, "Claude", "diseno");
        registro.termina(*e, 0, std::nullopt);
    }
    registro.abrir("no-existe", &nav);
    registro.abrir(sinId->clave(), &nav);
    registro.abrir(a->clave(), nullptr);
    EXPECT_EQ(nav.pantalla(), Navegacion::Pantalla::inicio()) << "nothing to open, or nowhere to open it";

    registro.abrir(a->clave(), &nav);
    EXPECT_EQ(nav.pantalla(), Navegacion::Pantalla::editor("d-a", std::nullopt));

    // A model that got its id after the job ended is the one that counts;
    // without the model, the record's id.
    sinId->id_ = "d-tarde";
    registro.abrir(sinId->clave(), &nav);
    EXPECT_EQ(nav.pantalla(), Navegacion::Pantalla::editor("d-tarde", std::nullopt));
    registro.quitar(*a);
    nav.fijarPantalla(Navegacion::Pantalla::inicio());
    registro.abrir(a->clave(), &nav);
    EXPECT_EQ(nav.pantalla(), Navegacion::Pantalla::editor("d-a", std::nullopt));
}

}  // namespace
}  // namespace sorvenia
