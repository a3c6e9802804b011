// Local copies of unsent designs: the file format, writing,
// reading, the check against the account's version, the listing by account
// site and customer, deleting and discarding, and names that try to leave
// the folder.
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <fstream>
#include <limits>

#include <nlohmann/json.hpp>

#include "cuenta/copia_local.h"
#include "cuenta_prueba.h"
#include "comun/conexion_tarvel.h"
#include "plataforma/carpetas.h"
#include "plataforma/identidad.h"

namespace sorvenia::prueba {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;
using Fecha = CopiaLocal::Fecha;

std::string leerTexto(const fs::path& ruta) {
    std::ifstream entrada(ruta, std::ios::binary);
    return {std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

void escribirTexto(const fs::path& ruta, const std::string& texto) {
    std::ofstream salida(ruta, std::ios::binary | std::ios::trunc);
    salida << texto;
}

std::vector<std::string> nombresEn(const fs::path& carpeta) {
    std::vector<std::string> nombres;
    std::error_code error;
    for (const auto& e : fs::directory_iterator(carpeta, error)) nombres.push_back(e.path().filename().string());
    std::sort(nombres.begin(), nombres.end());
    return nombres;
}

Fecha fecha(const char* texto) {
    const auto f = copias::fechaDelServicio(texto);
    EXPECT_TRUE(f) << texto;
    return f.value_or(Fecha{});
}

JSONValor documento(const char* texto) { return JSONValor::decodificar(texto).value(); }

class CopiasLocales : public CuentaPrueba {
protected:
    void SetUp() override {
        CuentaPrueba::SetUp();
        raiz = carpeta.ruta() / "datos";
        sinSubir = raiz / "es.sorvenia.tarvel" / "sin-subir";
    }

    std::shared_ptr<Cuenta> crearConCopias() {
        auto cuenta = crear();
        cuenta->usarCarpetaCopias(sinSubir);
        return cuenta;
    }

    // A copy file written by the test itself, for any site and customer.
    void ponerCopia(const std::string& archivo, CopiaLocal c) {
        fs::create_directories(sinSubir);
        escribirTexto(sinSubir / archivo, copias::codificar(c).value());
    }

    static CopiaLocal copia(std::optional<std::string> id, const char* nombre, Fecha cuando,
                            std::optional<std::string> servidor, std::optional<std::int64_t> cliente) {
        CopiaLocal c;
        c.id = std::move(id);
        c.nombre = nombre;
        c.doc = documento(R"({"paginas":[]})");
        c.fecha = cuando;
        c.servidor = std::move(servidor);
        c.cliente = cliente;
        return c;
    }

    static std::vector<std::string> nombres(const std::vector<CopiaLocal>& lista) {
        std::vector<std::string> salida;
        for (const auto& c : lista) salida.push_back(c.nombre);
        return salida;
    }

    fs::path raiz;
    fs::path sinSubir;
};

// ---- The file format ----

TEST(CopiaLocalFormato, FechasDesde2001) {
    EXPECT_EQ(copias::segundosDesde2001(Fecha(copias::origen2001)), 0.0);
    EXPECT_EQ(copias::segundosDesde2001(Fecha{}), -978307200.0) << "the Unix epoch";
    EXPECT_EQ(copias::segundosDesde2001(Fecha(copias::origen2001) + 1500ms), 1.5);
    EXPECT_EQ(copias::fechaDesde2001(1.5), Fecha(copias::origen2001) + 1500ms);
    EXPECT_EQ(copias::fechaDesde2001(-978307200.0), Fecha{});
    EXPECT_EQ(copias::fechaDesde2001(7.5e8), fecha("2024-10-07 13:20:00"));
    EXPECT_FALSE(copias::fechaDesde2001(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(copias::fechaDesde2001(std::nan("")));
    EXPECT_FALSE(copias::fechaDesde2001(1e300)) << "outside the clock's range";
    EXPECT_FALSE(copias::fechaDesde2001(-1e11));
}

TEST(CopiaLocalFormato, FechaDelServicio) {
    EXPECT_EQ(copias::fechaDelServicio("2001-01-01 00:00:00"), Fecha(copias::origen2001));
    EXPECT_EQ(copias::fechaDelServicio("2024-02-29 23:59:59"),
              Fecha(std::chrono::sys_days(std::chrono::year{2024} / 3 / 1)) - 1s);
    EXPECT_EQ(copias::fechaDelServicio("2024-3-5 7:08:09"), fecha("2024-03-05 07:08:09")) << "one-digit fields";
    for (const char* malo : {"", "2023-02-29 10:00:00", "2024-13-01 10:00:00", "2024-01-01 24:00:00",
                             "2024-01-01 10:60:00", "2024-01-01 10:00:60", "2024-01-01T10:00:00",
                             "2024-01-01 10:00:00Z", " 2024-01-01 10:00:00", "2024-01-01 10:00:00 ",
                             "2024-01-01", "20240-01-01 10:00:00", "2024-001-01 10:00:00", "0000-01-01 10:00:00",
                             "2024-01-01 10:00:0x", "ayer"})
        EXPECT_FALSE(copias::fechaDelServicio(malo)) << malo;
}

TEST(CopiaLocalFormato, FechaDelServicioSinLocale) {
    // GTK sets the process locale from the environment; the service's times
    // must not depend on it.
    const std::string anterior = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "");
    EXPECT_EQ(copias::fechaDelServicio("2024-03-05 07:08:09"),
              Fecha(std::chrono::sys_days(std::chrono::year{2024} / 3 / 5)) + 7h + 8min + 9s);
    std::setlocale(LC_ALL, anterior.c_str());
}

TEST(CopiaLocalFormato, CodificaEnOrdenYCompacto) {
    CopiaLocal c;
    c.id = "12";
    c.nombre = "Cartel/verano";
    c.doc = documento(R"({"b":[1,2.5,null,true],"a":"x"})");
    c.fecha = Fecha(copias::origen2001) + 1500ms;
    c.servidor = "cuenta.example";
    c.cliente = 9007199254740993;  // not a double: written exactly
    EXPECT_EQ(copias::codificar(c),
              R"({"id":"12","nombre":"Cartel\/verano","doc":{"a":"x","b":[1,2.5,null,true]},"fecha":1.5,)"
              R"("servidor":"cuenta.example","cliente":9007199254740993})");

    CopiaLocal nuevo;
    nuevo.nombre = "Sin título";
    nuevo.fecha = Fecha(copias::origen2001);
    nuevo.ref = "A1-B2";
    EXPECT_EQ(copias::codificar(nuevo), R"({"nombre":"Sin título","doc":null,"fecha":0,"ref":"A1-B2"})")
        << "absent keys left out; a null document is still a document";

    const auto leida = copias::decodificar(copias::codificar(c).value());
    ASSERT_TRUE(leida);
    EXPECT_EQ(leida->id, c.id);
    EXPECT_EQ(leida->nombre, c.nombre);
    EXPECT_EQ(leida->doc.cadena(), c.doc.cadena());
    EXPECT_EQ(leida->fecha, c.fecha);
    EXPECT_EQ(leida->servidor, c.servidor);
    EXPECT_EQ(leida->cliente, c.cliente);
    EXPECT_FALSE(leida->ref);
    EXPECT_FALSE(leida->base);

    // The account's version the changes were made on travels as "base".
    c.base = CopiaLocal::Base{4, "2024-05-06 07:08:09"};
    const auto texto = copias::codificar(c).value();
    EXPECT_TRUE(texto.ends_with(R"(,"base":{"version":4,"modificado":"2024-05-06 07:08:09"}})")) << texto;
    EXPECT_EQ(copias::decodificar(texto)->base, c.base);
    c.base = CopiaLocal::Base{std::nullopt, std::nullopt};
    EXPECT_EQ(copias::decodificar(copias::codificar(c).value())->base, c.base);
    // A base of the wrong shape leaves it unknown; the copy still reads.
    const auto rara = copias::decodificar(R"({"nombre":"a","doc":1,"fecha":0,"base":{"version":"x"}})");
    ASSERT_TRUE(rara);
    EXPECT_FALSE(rara->base);
}

TEST(CopiaLocalFormato, NumeroNoFinitoNoSeCodifica) {
    CopiaLocal c;
    c.nombre = "x";
    c.doc = JSONValor(JSONValor::Objeto{{"ancho", JSONValor(std::numeric_limits<double>::infinity())}});
    EXPECT_FALSE(copias::codificar(c));
    c.doc = JSONValor(JSONValor::Lista{JSONValor(std::nan(""))});
    EXPECT_FALSE(copias::codificar(c));
}

TEST(CopiaLocalFormato, ReglasDeLectura) {
    const auto c = copias::decodificar(
        R"({"nombre":"a","doc":null,"fecha":10,"id":null,"servidor":null,"cliente":null,"ref":null,"otra":[1]})");
    ASSERT_TRUE(c) << "null optionals and other keys";
    EXPECT_TRUE(c->doc.esNulo());
    EXPECT_EQ(c->fecha, Fecha(copias::origen2001) + 10s);
    EXPECT_FALSE(c->id || c->servidor || c->cliente || c->ref);
    EXPECT_EQ(copias::decodificar(R"({"nombre":"a","doc":1,"fecha":-0.25,"cliente":3.0})")->cliente, 3);

    for (const char* malo : {
             R"({"doc":{},"fecha":1})",                             // no nombre
             R"({"nombre":"a","fecha":1})",                         // no doc
             R"({"nombre":"a","doc":{}})",                          // no fecha
             R"({"nombre":null,"doc":{},"fecha":1})",               // null nombre
             R"({"nombre":"a","doc":{},"fecha":null})",             // null fecha
             R"({"nombre":"a","doc":{},"fecha":"1"})",              // fecha as text
             R"({"nombre":7,"doc":{},"fecha":1})",                  // nombre a number
             R"({"nombre":"a","doc":{},"fecha":1,"id":12})",        // id a number
             R"({"nombre":"a","doc":{},"fecha":1,"cliente":1.5})",  // cliente not whole
             R"({"nombre":"a","doc":{},"fecha":1,"cliente":"1"})",  // cliente as text
             R"({"nombre":"a","doc":{},"fecha":1e300})",            // outside the clock
             R"(["nombre","doc","fecha"])", R"("texto")", "", "{", "{\"nombre\":\"a\",\"doc\":{},\"fecha\":1}x"})
        EXPECT_FALSE(copias::decodificar(malo)) << malo;
}

// ---- The folder ----

TEST(CopiaLocalCarpeta, BajoLaCarpetaDeLaAplicacionPorId) {
    const std::string anterior = idAplicacion();
    fijarIdAplicacion("es.sorvenia.tarvel");
    EXPECT_EQ(Cuenta::carpetaCopias(), Carpetas::aplicacion() / "es.sorvenia.tarvel" / "sin-subir");
    EXPECT_EQ(Cuenta::carpetaCopias().parent_path().parent_path(), ConexionTarvel::carpeta());
    fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
    EXPECT_EQ(Cuenta::carpetaCopias(), Carpetas::aplicacion() / "es.sorvenia.tarvel.pruebas" / "sin-subir")
        << "the test build keeps its copies apart";
    fijarIdAplicacion(anterior);
}

TEST_F(CopiasLocales, EscribirCreaLaCarpetaConSusPadres) {
    auto cuenta = crearConCopias();
    ASSERT_FALSE(fs::exists(raiz));
    EXPECT_TRUE(cuenta->copiasLocales().empty()) << "a folder that does not exist lists nothing";
    EXPECT_FALSE(fs::exists(raiz)) << "reading creates nothing";

    cuenta->guardarCopiaLocal("12", "Cartel", documento(R"({"p":1})"), std::nullopt);
    ASSERT_TRUE(fs::is_directory(sinSubir));
    EXPECT_EQ(nombresEn(sinSubir), std::vector<std::string>{"12.json"}) << "no temporary file left behind";
    struct stat datos{};
    ASSERT_EQ(stat(sinSubir.c_str(), &datos), 0);
    EXPECT_EQ(datos.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((sinSubir / "12.json").c_str(), &datos), 0);
    EXPECT_EQ(datos.st_mode & 0777, 0600u);
}

TEST_F(CopiasLocales, NombresDeArchivoYClaves) {
    anaConectada();
    auto cuenta = crearConCopias();
    const auto antes = std::chrono::system_clock::now();
    cuenta->guardarCopiaLocal("12", "Con id", documento(R"({"p":1})"), "r-1");
    cuenta->guardarCopiaLocal(std::nullopt, "Con ref", documento("[]"), "A1-B2");
    cuenta->guardarCopiaLocal(std::nullopt, "Sin nada", documento("{}"), std::nullopt);
    const auto despues = std::chrono::system_clock::now();
    EXPECT_EQ(nombresEn(sinSubir), (std::vector<std::string>{"12.json", "nuevo-A1-B2.json", "nuevo.json"}));

    const json conId = json::parse(leerTexto(sinSubir / "12.json"));
    EXPECT_FALSE(conId.contains("ref")) << "a copy with an id keeps no ref";
    EXPECT_EQ(conId["id"], "12");
    EXPECT_EQ(conId["servidor"], "127.0.0.1");
    EXPECT_EQ(conId["cliente"], 1);
    ASSERT_TRUE(conId["fecha"].is_number());
    const auto escrita = copias::fechaDesde2001(conId["fecha"].get<double>()).value();
    EXPECT_GE(escrita, antes - 1ms);
    EXPECT_LE(escrita, despues + 1ms);
    EXPECT_EQ(leerTexto(sinSubir / "12.json").find('\n'), std::string::npos) << "compact";

    const json conRef = json::parse(leerTexto(sinSubir / "nuevo-A1-B2.json"));
    EXPECT_FALSE(conRef.contains("id"));
    EXPECT_EQ(conRef["ref"], "A1-B2");
    EXPECT_EQ(conRef["doc"], json::array());
}

TEST_F(CopiasLocales, SinClienteNiHostSeDejanFuera) {
    auto cuenta = crearConCopias();  // nobody signed in
    cuenta->guardarCopiaLocal("1", "a", documento("{}"), std::nullopt);
    EXPECT_FALSE(json::parse(leerTexto(sinSubir / "1.json")).contains("cliente"));

    ASSERT_TRUE(preferencias.fijarTexto("servidor", "file:///srv/cuenta"));
    cuenta->guardarCopiaLocal("2", "b", documento("{}"), std::nullopt);
    const json sinHost = json::parse(leerTexto(sinSubir / "2.json"));
    EXPECT_FALSE(sinHost.contains("servidor")) << "a site address without a host";
    EXPECT_FALSE(sinHost.contains("cliente"));
}

TEST_F(CopiasLocales, LeerEncuentraLaCopiaDeCualquierSitio) {
    anaConectada();
    auto cuenta = crearConCopias();
    EXPECT_FALSE(cuenta->copiaLocal("12", std::nullopt)) << "none yet";
    cuenta->guardarCopiaLocal("12", "Cartel", documento(R"({"paginas":[{"html":"<p>a/b</p>"}]})"), std::nullopt);
    cuenta->guardarCopiaLocal(std::nullopt, "Nuevo", documento("{}"), "A1-B2");

    // Another site: copiaLocal does not look at the site or the customer.
    ASSERT_TRUE(preferencias.fijarTexto("servidor", "http://otro.example/"));
    const auto c = cuenta->copiaLocal("12", "se ignora");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->id, "12");
    EXPECT_EQ(c->nombre, "Cartel");
    EXPECT_EQ(c->doc.cadena(), R"({"paginas":[{"html":"<p>a\/b<\/p>"}]})");
    EXPECT_EQ(c->servidor, "127.0.0.1");
    EXPECT_EQ(c->cliente, 1);
    EXPECT_FALSE(c->ref);

    const auto n = cuenta->copiaLocal(std::nullopt, "A1-B2");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->ref, "A1-B2");
    EXPECT_FALSE(n->id);
    EXPECT_FALSE(cuenta->copiaLocal(std::nullopt, std::nullopt)) << "nuevo.json was never written";
}

TEST_F(CopiasLocales, UnaCopiaPosteriorReemplazaLaAnterior) {
    auto cuenta = crearConCopias();
    cuenta->guardarCopiaLocal("a.b", "primera", documento("1"), std::nullopt);
    cuenta->guardarCopiaLocal("ab", "segunda", documento("2"), std::nullopt);
    EXPECT_EQ(nombresEn(sinSubir), std::vector<std::string>{"ab.json"});
    EXPECT_EQ(cuenta->copiaLocal("a.b", std::nullopt)->nombre, "segunda");
    EXPECT_EQ(cuenta->copiaLocal("ab", std::nullopt)->doc.cadena(), "2");
}

TEST_F(CopiasLocales, DocumentoNoCodificableNoEscribeNada) {
    auto cuenta = crearConCopias();
    cuenta->guardarCopiaLocal("12", "malo",
                              JSONValor(JSONValor::Objeto{{"x", JSONValor(std::numeric_limits<double>::infinity())}}),
                              std::nullopt);
    EXPECT_FALSE(fs::exists(sinSubir)) << "stopped before the folder is made";

    cuenta->guardarCopiaLocal("12", "bueno", documento("{}"), std::nullopt);
    cuenta->guardarCopiaLocal("12", "malo", JSONValor(JSONValor::Lista{JSONValor(std::nan(""))}), std::nullopt);
    EXPECT_EQ(cuenta->copiaLocal("12", std::nullopt)->nombre, "bueno") << "the earlier copy stays";
}

TEST_F(CopiasLocales, FallosDeEscrituraNoSeNotan) {
    // A file where the folder should be.
    fs::create_directories(sinSubir.parent_path());
    escribirTexto(sinSubir, "no soy una carpeta");
    auto cuenta = crearConCopias();
    EXPECT_NO_THROW(cuenta->guardarCopiaLocal("12", "a", documento("{}"), std::nullopt));
    EXPECT_FALSE(cuenta->copiaLocal("12", std::nullopt));
    EXPECT_TRUE(cuenta->copiasLocales().empty());
    EXPECT_NO_THROW(cuenta->borrarCopiaLocal("12", std::nullopt));
    EXPECT_NO_THROW(cuenta->descartarCopia("12.json"));
    EXPECT_EQ(leerTexto(sinSubir), "no soy una carpeta");
}

// ---- Newer than the account ----

// A copy is obsolete only when the account holds its very document; times
// never decide. The account's clock running two minutes ahead of this
// computer once made every copy look older than the account's version and
// deleted it unseen.
TEST_F(CopiasLocales, PendienteSeDecidePorElDocumentoNoPorRelojes) {
    auto cuenta = crearConCopias();
    const JSONValor enLaCuenta = documento(R"({"paginas":[{"html":"<p>cuenta</p>"}]})");
    EXPECT_FALSE(cuenta->copiaPendiente("12", enLaCuenta)) << "no copy";

    // Written a minute before the account's last save by its clock (ahead by
    // two minutes): the copy still holds changes the account lacks.
    const Fecha escrita = std::chrono::system_clock::now();
    auto suya = copia("12", "Cartel", escrita, "127.0.0.1", std::nullopt);
    suya.base = CopiaLocal::Base{3, "2024-05-06 07:08:09"};
    ponerCopia("12.json", suya);
    const auto pendiente = cuenta->copiaPendiente("12", enLaCuenta);
    ASSERT_TRUE(pendiente);
    EXPECT_EQ(pendiente->nombre, "Cartel");
    EXPECT_EQ(pendiente->base, suya.base);
    EXPECT_TRUE(fs::exists(sinSubir / "12.json"));

    // Without a recorded base, in doubt: offered too.
    ponerCopia("12.json", copia("12", "Cartel", escrita - 24h, "127.0.0.1", std::nullopt));
    EXPECT_TRUE(cuenta->copiaPendiente("12", enLaCuenta));
    EXPECT_TRUE(fs::exists(sinSubir / "12.json"));

    // The account holds exactly the copy's document (an upload that landed
    // without its answer): the copy goes, whatever its date.
    EXPECT_FALSE(cuenta->copiaPendiente("12", documento(R"({"paginas":[]})")));
    EXPECT_FALSE(fs::exists(sinSubir / "12.json"));
}

TEST_F(CopiasLocales, PendienteMiraSoloLaCopiaDelId) {
    auto cuenta = crearConCopias();
    const JSONValor otro = documento(R"({"otro":1})");
    ponerCopia("nuevo-12.json",
               copia(std::nullopt, "por ref", fecha("2030-01-01 00:00:00"), std::nullopt, std::nullopt));
    EXPECT_FALSE(cuenta->copiaPendiente("12", otro));
    EXPECT_TRUE(fs::exists(sinSubir / "nuevo-12.json"));

    // Another site or customer does not matter here (the opening checks).
    ponerCopia("12.json", copia("12", "de otro", fecha("2030-01-01 00:00:00"), "otro.example", 99));
    const auto c = cuenta->copiaPendiente("12", otro);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->servidor, "otro.example");
    EXPECT_EQ(c->cliente, 99);
}

TEST_F(CopiasLocales, PendienteConCopiaIlegibleNoBorra) {
    auto cuenta = crearConCopias();
    fs::create_directories(sinSubir);
    escribirTexto(sinSubir / "12.json", "{roto");
    EXPECT_FALSE(cuenta->copiaPendiente("12", JSONValor()));
    EXPECT_EQ(leerTexto(sinSubir / "12.json"), "{roto") << "a file that is not a copy is left alone";
}

// ---- The listing ----

TEST_F(CopiasLocales, ListaLasDelSitioYClienteMasNuevasPrimero) {
    anaConectada();
    auto cuenta = crearConCopias();
    ponerCopia("a.json", copia("a", "vieja", fecha("2024-01-01 10:00:00"), "127.0.0.1", 1));
    ponerCopia("b.json", copia("b", "nueva", fecha("2024-03-01 10:00:00"), "127.0.0.1", 1));
    ponerCopia("c.json", copia("c", "media", fecha("2024-02-01 10:00:00"), "127.0.0.1", 1));
    ponerCopia("otro-sitio.json", copia("d", "otro sitio", fecha("2024-04-01 10:00:00"), "otro.example", 1));
    ponerCopia("otro-cliente.json", copia("e", "otro cliente", fecha("2024-04-01 10:00:00"), "127.0.0.1", 2));
    ponerCopia("sin-cliente.json", copia("f", "sin cliente", fecha("2024-04-01 10:00:00"), "127.0.0.1", std::nullopt));
    ponerCopia("sin-sitio.json", copia("g", "sin sitio", fecha("2024-04-01 10:00:00"), std::nullopt, 1));
    ponerCopia("mayusculas.JSON",
               copia("h", "extensión en mayúsculas", fecha("2024-04-01 10:00:00"), "127.0.0.1", 1));
    ponerCopia("texto.txt", copia("i", "otra extensión", fecha("2024-04-01 10:00:00"), "127.0.0.1", 1));
    ponerCopia("b.json.tmp", copia("j", "temporal", fecha("2024-04-01 10:00:00"), "127.0.0.1", 1));
    escribirTexto(sinSubir / "roto.json", "{\"nombre\":\"roto\",");
    escribirTexto(sinSubir / "sin-fecha.json", R"({"nombre":"sin fecha","doc":{},"servidor":"127.0.0.1","cliente":1})");
    escribirTexto(sinSubir / "vacio.json", "");
    fs::create_directory(sinSubir / "carpeta.json");
    ASSERT_EQ(mkfifo((sinSubir / "tuberia.json").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", sinSubir / "dispositivo.json");
    const auto antes = nombresEn(sinSubir);

    EXPECT_EQ(nombres(cuenta->copiasLocales()), (std::vector<std::string>{"nueva", "media", "vieja"}));
    EXPECT_EQ(nombresEn(sinSubir), antes) << "the listing neither removes nor adds";
    EXPECT_EQ(leerTexto(sinSubir / "roto.json"), "{\"nombre\":\"roto\",");

    // A copy written now, by this account, heads the list.
    cuenta->guardarCopiaLocal(std::nullopt, "recién escrita", documento("{}"), "R");
    EXPECT_EQ(nombres(cuenta->copiasLocales()),
              (std::vector<std::string>{"recién escrita", "nueva", "media", "vieja"}));
}

TEST_F(CopiasLocales, SinNadieConectadoSoloLasEscritasSinCliente) {
    auto cuenta = crearConCopias();
    ASSERT_FALSE(cuenta->cliente());
    ponerCopia("a.json", copia("a", "de Ana", fecha("2024-01-01 10:00:00"), "127.0.0.1", 1));
    ponerCopia("b.json", copia("b", "sin cliente", fecha("2024-01-01 10:00:00"), "127.0.0.1", std::nullopt));
    ponerCopia("c.json",
               copia("c", "sin cliente, otro sitio", fecha("2024-01-01 10:00:00"), "otro.example", std::nullopt));
    EXPECT_EQ(nombres(cuenta->copiasLocales()), std::vector<std::string>{"sin cliente"});

    // The site's address changes: the host it names is what counts.
    ASSERT_TRUE(preferencias.fijarTexto("servidor", "https://otro.example/panel/"));
    EXPECT_EQ(nombres(cuenta->copiasLocales()), std::vector<std::string>{"sin cliente, otro sitio"});
    ASSERT_TRUE(preferencias.fijarTexto("servidor", "file:///srv/cuenta"));
    EXPECT_TRUE(cuenta->copiasLocales().empty()) << "no host matches only copies without servidor";
}

TEST_F(CopiasLocales, ListaElClienteDeAhora) {
    anaConectada();
    auto cuenta = crearConCopias();
    cuenta->guardarCopiaLocal("1", "de Ana", documento("{}"), std::nullopt);
    EXPECT_EQ(nombres(cuenta->copiasLocales()), std::vector<std::string>{"de Ana"});
    esperarEnBucle(cuenta->desconectar(false));
    EXPECT_TRUE(cuenta->copiasLocales().empty()) << "signed out: Ana's copies are not shown";
    cuenta->fijarCliente(Cliente{2, "Berta", "berta@berta.example"});
    EXPECT_TRUE(cuenta->copiasLocales().empty());
    EXPECT_TRUE(fs::exists(sinSubir / "1.json"));
}

// ---- Deleting and discarding ----

TEST_F(CopiasLocales, BorrarQuitaLaCopiaNombrada) {
    auto cuenta = crearConCopias();
    EXPECT_NO_THROW(cuenta->borrarCopiaLocal("12", std::nullopt)) << "no folder yet";
    cuenta->guardarCopiaLocal("12", "a", documento("{}"), std::nullopt);
    cuenta->guardarCopiaLocal(std::nullopt, "b", documento("{}"), "A1-B2");
    cuenta->guardarCopiaLocal(std::nullopt, "c", documento("{}"), std::nullopt);

    cuenta->borrarCopiaLocal("12", "A1-B2");  // the ref counts only without an id
    EXPECT_EQ(nombresEn(sinSubir), (std::vector<std::string>{"nuevo-A1-B2.json", "nuevo.json"}));
    cuenta->borrarCopiaLocal(std::nullopt, "A1-B2");
    EXPECT_EQ(nombresEn(sinSubir), std::vector<std::string>{"nuevo.json"});
    cuenta->borrarCopiaLocal(std::nullopt, std::nullopt);
    EXPECT_TRUE(nombresEn(sinSubir).empty());
    EXPECT_NO_THROW(cuenta->borrarCopiaLocal("12", std::nullopt)) << "already gone";

    fs::create_directory(sinSubir / "13.json");
    cuenta->borrarCopiaLocal("13", std::nullopt);
    EXPECT_TRUE(fs::is_directory(sinSubir / "13.json")) << "only files are removed";
}

TEST_F(CopiasLocales, DescartarSoloNombresDesnudosJson) {
    auto cuenta = crearConCopias();
    cuenta->guardarCopiaLocal("x", "x", documento("{}"), std::nullopt);
    fs::create_directories(sinSubir / "sub");
    escribirTexto(sinSubir / "sub" / "y.json", "{}");
    escribirTexto(sinSubir / "x.txt", "texto");
    escribirTexto(sinSubir / "x", "sin extensión");
    escribirTexto(sinSubir.parent_path() / "x.json", "fuera");
    escribirTexto(raiz / "z.json", "más fuera");

    for (const std::string& nombre :
         {std::string("../x.json"), std::string("sub/y.json"), std::string("x.txt"), std::string("x.JSON"),
          std::string("x"), std::string("/x.json"), std::string("x.json/"), std::string("../../z.json"),
          std::string("x\0.json", 7), std::string(""), (sinSubir / "x.json").string()})
        cuenta->descartarCopia(nombre);
    EXPECT_TRUE(fs::exists(sinSubir / "x.json"));
    EXPECT_TRUE(fs::exists(sinSubir / "sub" / "y.json"));
    EXPECT_TRUE(fs::exists(sinSubir / "x.txt"));
    EXPECT_TRUE(fs::exists(sinSubir / "x"));
    EXPECT_EQ(leerTexto(sinSubir.parent_path() / "x.json"), "fuera");
    EXPECT_EQ(leerTexto(raiz / "z.json"), "más fuera");

    cuenta->descartarCopia("x.json");
    EXPECT_FALSE(fs::exists(sinSubir / "x.json"));
    EXPECT_NO_THROW(cuenta->descartarCopia("x.json")) << "already gone";
    EXPECT_EQ(leerTexto(sinSubir.parent_path() / "x.json"), "fuera");

    // The name the listing's copy goes by, as the home screen hands it back.
    cuenta->guardarCopiaLocal(std::nullopt, "nuevo", documento("{}"), "A1/B2");
    const auto lista = cuenta->copiasLocales();
    ASSERT_EQ(lista.size(), 1u);
    cuenta->descartarCopia(Cuenta::nombreCopia(lista[0].id, lista[0].ref));
    EXPECT_TRUE(cuenta->copiasLocales().empty());
}

// ---- Names that try to leave the folder ----

TEST_F(CopiasLocales, NombresQueEscapanSeQuedanDentro) {
    auto cuenta = crearConCopias();
    fs::create_directories(sinSubir);
    escribirTexto(raiz / "fuera.json", "fuera");
    escribirTexto(sinSubir.parent_path() / "fuera.json", "fuera");

    cuenta->guardarCopiaLocal("../fuera", "a", documento("{}"), std::nullopt);
    cuenta->guardarCopiaLocal("../../fuera", "b", documento("{}"), std::nullopt);
    cuenta->guardarCopiaLocal(std::nullopt, "c", documento("{}"), "/../../etc/x");
    cuenta->guardarCopiaLocal(sinSubir.parent_path().string() + "/otra", "d", documento("{}"), std::nullopt);
    EXPECT_EQ(leerTexto(raiz / "fuera.json"), "fuera");
    EXPECT_EQ(leerTexto(sinSubir.parent_path() / "fuera.json"), "fuera");
    EXPECT_EQ(cuenta->copiaLocal("../fuera", std::nullopt)->nombre, "b") << "both are fuera.json inside";
    EXPECT_TRUE(fs::exists(sinSubir / "fuera.json"));
    EXPECT_TRUE(fs::exists(sinSubir / "nuevo-etcx.json"));

    cuenta->borrarCopiaLocal("../fuera", std::nullopt);
    EXPECT_FALSE(fs::exists(sinSubir / "fuera.json"));
    EXPECT_EQ(leerTexto(sinSubir.parent_path() / "fuera.json"), "fuera");
    EXPECT_FALSE(cuenta->copiaLocal("../fuera", std::nullopt)) << "the outside file is never read";
    for (const auto& n : nombresEn(sinSubir))
        EXPECT_EQ(n.find('/'), std::string::npos) << n;
}

TEST_F(CopiasLocales, UnEnlaceEnLugarDeLaCopiaNoSeSigueAlEscribir) {
    auto cuenta = crearConCopias();
    fs::create_directories(sinSubir);
    const fs::path objetivo = raiz / "objetivo.txt";
    escribirTexto(objetivo, "no tocar");
    fs::create_symlink(objetivo, sinSubir / "12.json");

    EXPECT_FALSE(cuenta->copiaLocal("12", std::nullopt)) << "a link to something that is not a copy";
    cuenta->guardarCopiaLocal("12", "a", documento("{}"), std::nullopt);
    EXPECT_EQ(leerTexto(objetivo), "no tocar");
    EXPECT_FALSE(fs::is_symlink(sinSubir / "12.json")) << "the link itself is replaced";
    EXPECT_EQ(cuenta->copiaLocal("12", std::nullopt)->nombre, "a");

    fs::remove(sinSubir / "12.json");
    fs::create_symlink(objetivo, sinSubir / "12.json");
    cuenta->borrarCopiaLocal("12", std::nullopt);
    EXPECT_FALSE(fs::exists(fs::symlink_status(sinSubir / "12.json"))) << "the link goes";
    EXPECT_EQ(leerTexto(objetivo), "no tocar") << "not what it points to";
}

TEST_F(CopiasLocales, UnaTuberiaNoBloqueaLaLectura) {
    auto cuenta = crearConCopias();
    fs::create_directories(sinSubir);
    ASSERT_EQ(mkfifo((sinSubir / "12.json").c_str(), 0600), 0);
    EXPECT_FALSE(cuenta->copiaLocal("12", std::nullopt));
    EXPECT_FALSE(cuenta->copiaPendiente("12", JSONValor()));
    EXPECT_TRUE(cuenta->copiasLocales().empty());
    EXPECT_EQ(fs::status(sinSubir / "12.json").type(), fs::file_type::fifo) << "left alone";
}

}  // namespace
}  // namespace sorvenia::prueba
