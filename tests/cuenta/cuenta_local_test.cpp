// The local account service on its own: what the application's calls in
// these tests do not reach (saving designs, previews, photos, isolation of
// customers, path checks, switches) and the program's command line.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "ejecutar_prueba.h"
#include "servicio_local_prueba.h"

extern char** environ;

namespace sorvenia::prueba {
namespace {

using nlohmann::json;

class CuentaLocalPrueba : public ::testing::Test {
protected:
    RespuestaHTTP pedirCon(const std::string& clave, const std::string& metodo, const std::string& consulta,
                           const std::string& cuerpo = "") {
        PeticionHTTP p;
        p.metodo = metodo;
        p.url = servicio.base() + "/api/v1/tarvel" + (consulta.empty() ? "" : "?" + consulta);
        p.cabeceras = {{"Authorization", "Bearer " + clave}, {"Content-Type", "application/json"}};
        p.cuerpo = cuerpo;
        p.tiempoLimite = 10;
        auto r = pedir(p);
        if (!r) throw std::runtime_error(r.fallo().mensaje);
        return *r;
    }
    json guardar(const json& cuerpo, int status = 200) {
        const auto r = servicio.pedirComoAna("POST", "accion=guardar", cuerpo.dump());
        EXPECT_EQ(r.status, status) << r.cuerpo;
        return json::parse(r.cuerpo, nullptr, false);
    }
    static std::string codigo(const RespuestaHTTP& r) {
        return json::parse(r.cuerpo, nullptr, false).value("/error/code"_json_pointer, std::string("-"));
    }

    ServicioLocalPrueba servicio;
};

TEST_F(CuentaLocalPrueba, GuardarConVersiones) {
    const auto nuevo = guardar({{"nombre", "Web"}, {"doc", {{"a", 1}}}, {"cliente_ref", "R1"}})["diseno"];
    EXPECT_EQ(nuevo["version"], 1);
    EXPECT_EQ(nuevo["id"].get<std::string>().size(), 16u);
    EXPECT_EQ(nuevo["creado"], nuevo["modificado"]);
    EXPECT_FALSE(nuevo.contains("miniatura"));

    // A retry of the same new design (its answer was lost) does not make a second one.
    const auto reintento = guardar({{"nombre", "Web"}, {"doc", {{"a", 2}}}, {"cliente_ref", "R1"}})["diseno"];
    EXPECT_EQ(reintento["id"], nuevo["id"]);
    EXPECT_EQ(reintento["version"], 2);

    const json conId{{"id", nuevo["id"]}, {"nombre", "Web 2"}, {"doc", {{"a", 3}}}, {"miniatura", "data:image/jpeg;base64,AA"}};
    auto segunda = conId;
    segunda["version"] = 2;
    EXPECT_EQ(guardar(segunda)["diseno"]["version"], 3);
    segunda["version"] = 2;  // stale now
    const auto conflicto = servicio.pedirComoAna("POST", "accion=guardar", segunda.dump());
    EXPECT_EQ(conflicto.status, 409);
    EXPECT_EQ(codigo(conflicto), "conflicto");
    EXPECT_EQ(guardar(conId)["diseno"]["version"], 4) << "without a version the save overwrites";

    auto desconocido = conId;
    desconocido["id"] = "ffffffffffffffff";
    const auto r = servicio.pedirComoAna("POST", "accion=guardar", desconocido.dump());
    EXPECT_EQ(r.status, 404);
    EXPECT_EQ(codigo(r), "no_existe");

    const auto lista = json::parse(servicio.pedirComoAna("GET", "").cuerpo)["disenos"];
    ASSERT_EQ(lista.size(), 1u);
    EXPECT_EQ(lista[0]["miniatura"], "data:image/jpeg;base64,AA");
    EXPECT_FALSE(lista[0].contains("doc")) << "the list carries no documents";
}

TEST_F(CuentaLocalPrueba, CuerposQueNoValen) {
    EXPECT_EQ(servicio.pedirComoAna("POST", "accion=guardar", "no es json").status, 400);
    EXPECT_EQ(servicio.pedirComoAna("POST", "accion=guardar", R"({"nombre":5,"doc":1})").status, 400);
    EXPECT_EQ(servicio.pedirComoAna("POST", "accion=guardar", R"({"nombre":"x"})").status, 400) << "no doc";
    const std::string grande = json{{"nombre", "x"}, {"doc", std::string(4 * 1024 * 1024, 'a')}}.dump();
    const auto r = servicio.pedirComoAna("POST", "accion=guardar", grande);
    EXPECT_EQ(r.status, 413);
    EXPECT_TRUE(r.cuerpo.empty()) << "the client writes its own sentence";
    EXPECT_EQ(codigo(servicio.pedirComoAna("POST", "accion=nada", "{}")), "accion_desconocida");
    EXPECT_EQ(servicio.pedirComoAna("GET", "accion=guardar").status, 405);
    EXPECT_EQ(servicio.pedirComoAna("POST", "accion=sesion", R"({"ir":"https://otro.example/"})").status, 400);
}

TEST_F(CuentaLocalPrueba, CadaClienteVeLoSuyo) {
    const std::string id = guardar({{"nombre", "De Ana"}, {"doc", 1}})["diseno"]["id"];
    EXPECT_EQ(pedirCon("clave-otro", "GET", "id=" + id).status, 404);
    EXPECT_TRUE(json::parse(pedirCon("clave-otro", "GET", "").cuerpo)["disenos"].empty());
    const auto sinClave = pedirCon("clave-falsa", "GET", "");
    EXPECT_EQ(sinClave.status, 401);
    EXPECT_EQ(codigo(sinClave), "clave_invalida");
}

TEST_F(CuentaLocalPrueba, RutasFueraDeSuCarpetaSeRechazan) {
    const std::string id = guardar({{"nombre", "x"}, {"doc", 1}})["diseno"]["id"];
    for (const char* ruta : {"..%2Fx", "%2Fetc%2Fpasswd", "a%2F..%2F..%2Fx", "a%2F%2Fb", "."}) {
        EXPECT_EQ(servicio.pedirComoAna("POST", "accion=recurso&id=" + id + "&ruta=" + ruta, "x").status, 400) << ruta;
    }
    const json mala{{"id", id}, {"servicio", 7}, {"carpeta", "web"}, {"archivos", {{"../../fuera.html", "x"}}}};
    EXPECT_EQ(servicio.pedirComoAna("POST", "accion=hosting", mala.dump()).status, 400);
    auto carpetaMala = mala;
    carpetaMala["archivos"] = {{"index.html", "x"}};
    carpetaMala["carpeta"] = "../..";
    EXPECT_EQ(servicio.pedirComoAna("POST", "accion=hosting", carpetaMala.dump()).status, 400);
    EXPECT_FALSE(std::filesystem::exists(servicio.datos().parent_path() / "fuera.html"));
}

TEST_F(CuentaLocalPrueba, PreviaFotosYBorrado) {
    const std::string id = guardar({{"nombre", "x"}, {"doc", 1}})["diseno"]["id"];
    const json cuerpo{{"id", id}, {"nombre", "x"}, {"archivos", {{"index.html", "<h1>Hola</h1>"}, {"b.html", "b"}, {"s.css", ""}}}};
    const auto previa = json::parse(servicio.pedirComoAna("POST", "accion=previa", cuerpo.dump()).cuerpo)["previa"];
    EXPECT_EQ(previa["paginas"], 2);
    EXPECT_EQ(obtener(previa["url"].get<std::string>()).cuerpo, "<h1>Hola</h1>");
    EXPECT_EQ(json::parse(servicio.pedirComoAna("GET", "id=" + id).cuerpo)["previa"], previa);

    const auto fotos = servicio.pedirComoAna("POST", "accion=fotos",
                                             json{{"html", R"(<img src="foto:perro feliz"><img SRC = "Photo:gato"><img src="x.png">)"}}.dump());
    const std::string html = json::parse(fotos.cuerpo)["html"];
    EXPECT_NE(html.find(R"(src=")" + servicio.base() + "/fotos/1.svg?q=perro%20feliz\""), std::string::npos) << html;
    EXPECT_NE(html.find("/fotos/2.svg?q=gato"), std::string::npos) << html;
    EXPECT_NE(html.find(R"(src="x.png")"), std::string::npos) << html;
    EXPECT_EQ(obtener(servicio.base() + "/fotos/1.svg?q=perro%20feliz").cabecera("Content-Type"), "image/svg+xml");

    EXPECT_EQ(servicio.pedirComoAna("POST", "accion=borrar", json{{"id", id}}.dump()).cuerpo, R"({"ok":true})");
    EXPECT_EQ(servicio.pedirComoAna("POST", "accion=borrar", json{{"id", id}}.dump()).cuerpo, R"({"ok":false})");
    EXPECT_EQ(servicio.pedirComoAna("GET", "id=" + id).status, 404);
}

TEST_F(CuentaLocalPrueba, InterruptoresPorVecesYColgados) {
    servicio.interruptores({{"tienda", {{"status", 503}, {"veces", 2}}}});
    const auto primera = servicio.pedirComoAna("GET", "accion=tienda");
    EXPECT_EQ(primera.status, 503);
    EXPECT_EQ(codigo(primera), "forzado");
    EXPECT_EQ(servicio.pedirComoAna("GET", "accion=tienda").status, 503);
    EXPECT_EQ(servicio.pedirComoAna("GET", "accion=tienda").status, 200) << "spent";

    servicio.interruptores({{"cuenta", {{"colgar", 0.3}}}});
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_EQ(servicio.pedirComoAna("GET", "").status, 200);
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, std::chrono::milliseconds(300));

    const auto registro = servicio.registroDe("tienda");
    ASSERT_EQ(registro.size(), 3u);
    EXPECT_EQ(registro[0]["status"], 503);
    EXPECT_EQ(registro[2]["status"], 200);
}

// The program as packagers and scripts start it.
TEST(CuentaLocalPrograma, SirveYParaConSIGTERM) {
    CarpetaTemporal datos;
    EXPECT_EQ(ejecutarPrograma(CUENTA_LOCAL_BIN, {"--puerto", "1"}, "").estado, 2) << "no data folder";
    EXPECT_EQ(ejecutarPrograma(CUENTA_LOCAL_BIN, {"--datos", datos.ruta().string(), "--fallar", "x"}, "").estado, 2);

    int tubo[2];
    ASSERT_EQ(pipe(tubo), 0);
    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    posix_spawn_file_actions_adddup2(&acciones, tubo[1], 1);
    posix_spawn_file_actions_addclose(&acciones, tubo[0]);
    const std::string carpeta = datos.ruta().string();
    std::vector<std::string> args{CUENTA_LOCAL_BIN, "--datos", carpeta, "--puerto", "0", "--fallar", "tienda=418"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, CUENTA_LOCAL_BIN, &acciones, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&acciones);
    close(tubo[1]);
    std::string linea;
    char c = 0;
    while (read(tubo[0], &c, 1) == 1 && c != '\n') linea.push_back(c);
    close(tubo[0]);
    const std::string prefijo = "cuenta-local escuchando en ";
    ASSERT_EQ(linea.rfind(prefijo, 0), 0u) << linea;
    const std::string base = linea.substr(prefijo.size());

    EXPECT_EQ(obtener(base + "/").status, 200);
    EXPECT_EQ(obtener(base + "/api/v1/tarvel?accion=tienda").status, 418) << "--fallar";
    EXPECT_EQ(obtener(base + "/api/v1/tarvel").status, 401);
    const auto cuentas = json::parse(std::ifstream(datos.ruta() / "cuentas.json"));
    EXPECT_EQ(cuentas["clientes"][0]["nombre"], "Cliente de prueba") << "a new folder gets one customer";

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    int estado = 0;
    ASSERT_EQ(waitpid(pid, &estado, 0), pid);
    EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);
    std::ifstream registro(datos.ruta() / "registro.jsonl");
    int lineas = 0;
    for (std::string l; std::getline(registro, l);) ++lineas;
    EXPECT_EQ(lineas, 3);
}

}  // namespace
}  // namespace sorvenia::prueba
