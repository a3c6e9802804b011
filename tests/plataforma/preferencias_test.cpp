#include "plataforma/preferencias.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <clocale>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include <nlohmann/json.hpp>

#include "plataforma/carpetas.h"
#include "plataforma/identidad.h"

namespace sorvenia {
namespace {
namespace fs = std::filesystem;
using nlohmann::json;

std::string leer(const fs::path& ruta) {
    std::ifstream entrada(ruta, std::ios::binary);
    return {std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

void escribir(const fs::path& ruta, std::string_view bytes) {
    std::ofstream salida(ruta, std::ios::binary | std::ios::trunc);
    salida << bytes;
}

struct PreferenciasTest : ::testing::Test {
    void SetUp() override {
        auto creada = CarpetaTemporal::crear("preferencias-");
        ASSERT_TRUE(creada) << creada.fallo().mensaje;
        carpeta = std::move(*creada);
        fichero = carpeta.ruta() / "SorveniaTarvel" / "preferencias.json";  // the folder does not exist yet
    }
    CarpetaTemporal carpeta;
    fs::path fichero;
};

TEST_F(PreferenciasTest, CadaTipoSeGuardaYSeLee) {
    const std::vector<std::uint8_t> bytes = {0, 1, 2, 0xfb, 0xff, 0xbf, 0x80};
    const std::map<std::string, std::string> mapa = {{"42", "192.0.2.1"}, {"", "vacía"}, {"ñ", ""}};
    {
        Preferencias p(fichero);
        EXPECT_TRUE(p.fijarTexto("servidor", "https://ejemplo.es/"));
        EXPECT_TRUE(p.fijarTexto("roto", "a\xff"));
        EXPECT_TRUE(p.fijarBooleano("videosIA", true));
        EXPECT_TRUE(p.fijarBooleano("falso", false));
        EXPECT_TRUE(p.fijarNumero("decimal", 0.1));
        EXPECT_TRUE(p.fijarNumero("grande", 1e300));
        EXPECT_TRUE(p.fijarNumero("entero", -42));
        EXPECT_FALSE(p.fijarNumero("nan", std::nan("")));
        EXPECT_TRUE(p.fijarDatos("cliente@ejemplo.es", bytes));
        EXPECT_TRUE(p.fijarMapaTextos("vpsTarvel", mapa));
        EXPECT_TRUE(p.fijarValor("vpsPublicado", json{{"d1", {{"servicio", 7}, {"dominio", "a.es"}}}}));
        EXPECT_TRUE(p.fijarTexto("quitada", "x"));
        EXPECT_TRUE(p.quitar("quitada"));
        EXPECT_TRUE(p.quitar("nunca"));
    }
    Preferencias p(fichero);  // a fresh instance reads only the file
    EXPECT_EQ(p.texto("servidor"), "https://ejemplo.es/");
    EXPECT_EQ(p.texto("roto"), "a\xef\xbf\xbd");
    EXPECT_TRUE(p.booleano("videosIA"));
    EXPECT_FALSE(p.booleano("falso"));
    EXPECT_EQ(p.numero("decimal"), 0.1);
    EXPECT_EQ(p.numero("grande"), 1e300);
    EXPECT_EQ(p.numero("entero"), -42.0);
    EXPECT_FALSE(p.existe("nan"));
    EXPECT_EQ(p.datos("cliente@ejemplo.es"), bytes);
    EXPECT_EQ(p.mapaTextos("vpsTarvel"), mapa);
    EXPECT_EQ(p.valor("vpsPublicado"), (json{{"d1", {{"servicio", 7}, {"dominio", "a.es"}}}}));
    EXPECT_TRUE(p.existe("falso"));
    EXPECT_FALSE(p.existe("quitada"));

    // Absent or of another kind.
    EXPECT_EQ(p.texto("videosIA"), std::nullopt);
    EXPECT_EQ(p.texto("falta"), std::nullopt);
    EXPECT_FALSE(p.booleano("servidor"));
    EXPECT_FALSE(p.booleano("falta"));
    EXPECT_EQ(p.numero("servidor"), std::nullopt);
    EXPECT_EQ(p.numero("videosIA"), std::nullopt);
    EXPECT_EQ(p.datos("servidor"), std::nullopt);  // "https://..." is not Base64
    EXPECT_EQ(p.datos("decimal"), std::nullopt);
    EXPECT_TRUE(p.mapaTextos("servidor").empty());
    EXPECT_TRUE(p.mapaTextos("vpsPublicado").empty());  // a member that is not a text
    EXPECT_EQ(p.valor("falta"), std::nullopt);
}

TEST_F(PreferenciasTest, CadaCambioReemplazaElFicheroEntero) {
    Preferencias p(fichero);
    ino_t anterior = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(p.fijarNumero("n", i));
        struct stat datos{};
        ASSERT_EQ(stat(fichero.c_str(), &datos), 0);
        EXPECT_EQ(datos.st_mode & 07777, 0600u);
        EXPECT_NE(datos.st_ino, anterior);  // a new file each time, never rewritten in place
        anterior = datos.st_ino;
    }
    struct stat padre{};
    ASSERT_EQ(stat(fichero.parent_path().c_str(), &padre), 0);
    EXPECT_EQ(padre.st_mode & 07777, 0700u);
    std::vector<fs::path> dentro{fs::directory_iterator(fichero.parent_path()), fs::directory_iterator()};
    EXPECT_EQ(dentro, std::vector<fs::path>{fichero});  // no temporary file left behind
    EXPECT_EQ(json::parse(leer(fichero)), (json{{"n", 2}}));

    // A folder that cannot be made: the change stays in memory, false tells.
    escribir(carpeta.ruta() / "no-carpeta", "");
    Preferencias imposible(carpeta.ruta() / "no-carpeta" / "preferencias.json");
    EXPECT_FALSE(imposible.fijarTexto("k", "v"));
    EXPECT_EQ(imposible.texto("k"), "v");
}

TEST_F(PreferenciasTest, NumerosSinLaComaDelIdioma) {
    if (std::setlocale(LC_ALL, "es_ES.UTF-8") == nullptr) GTEST_SKIP() << "no es_ES.UTF-8 locale";
    Preferencias p(fichero);
    bool guardado = p.fijarNumero("escala", 1.5);
    Preferencias otra(fichero);
    auto leido = otra.numero("escala");
    std::string texto = leer(fichero);
    std::setlocale(LC_ALL, "C");
    EXPECT_TRUE(guardado);
    EXPECT_EQ(leido, 1.5);
    EXPECT_NE(texto.find("1.5"), std::string::npos) << texto;
}

// Whatever another writer does to the file, the next access sees it.
TEST_F(PreferenciasTest, VeLoQueOtroEscribe) {
    const struct {
        const char* como;
        std::function<void(const fs::path&)> cambiar;
        std::optional<std::string> esperado;
    } casos[] = {
        {"otra instancia (renombra)",
         [](const fs::path& f) { ASSERT_TRUE(Preferencias(f).fijarTexto("k", "otro")); }, "otro"},
        {"en el sitio, otro tamaño", [](const fs::path& f) { escribir(f, R"({"k": "mucho más largo"})"); },
         "mucho más largo"},
        {"en el sitio, mismo tamaño, otra fecha",
         [](const fs::path& f) {
             const std::string antes = leer(f), despues = json{{"k", "BBBB"}, {"mio", true}}.dump(2) + "\n";
             ASSERT_EQ(antes.size(), despues.size()) << antes;
             escribir(f, despues);
             const timespec fechas[2] = {{978307200, 123}, {978307200, 456}};  // 2001, distinct from now
             ASSERT_EQ(utimensat(AT_FDCWD, f.c_str(), fechas, 0), 0);
         },
         "BBBB"},
        {"borrado", [](const fs::path& f) { fs::remove(f); }, std::nullopt},
    };
    for (const auto& caso : casos) {
        Preferencias p(fichero);
        ASSERT_TRUE(p.fijarTexto("k", "AAAA"));
        ASSERT_EQ(p.texto("k"), "AAAA");
        caso.cambiar(fichero);
        EXPECT_EQ(p.texto("k"), caso.esperado) << caso.como;
        // A change made now keeps what the other writer left.
        ASSERT_TRUE(p.fijarBooleano("mio", true));
        EXPECT_EQ(Preferencias(fichero).texto("k"), caso.esperado) << caso.como;
    }
}

// An unreadable file is moved aside whole before anything is written, so the
// next change cannot leave only its own key; the move is reported once.
TEST_F(PreferenciasTest, FicheroIlegibleSeApartaYSeAvisaUnaVez) {
    for (std::string_view malo : {"{\"k\": \"v\", \"cliente@a.es\": \"eyJ9\"", "[1, 2]", "\"k\"",
                                  "{\"k\": \"a\xff\"}", ""}) {
        SCOPED_TRACE(malo);
        fs::remove_all(fichero.parent_path());
        fs::create_directories(fichero.parent_path());
        escribir(fichero, malo);
        Preferencias p(fichero);
        EXPECT_FALSE(p.existe("k"));
        EXPECT_EQ(p.texto("k"), std::nullopt);
        const auto apartado = p.tomarApartado();
        ASSERT_TRUE(apartado);
        EXPECT_EQ(apartado->parent_path(), fichero.parent_path());
        EXPECT_TRUE(apartado->filename().string().starts_with("preferencias.json.ilegible-")) << *apartado;
        EXPECT_EQ(leer(*apartado), malo);
        EXPECT_FALSE(fs::exists(fichero));
        EXPECT_EQ(p.tomarApartado(), std::nullopt) << "told once";

        ASSERT_TRUE(p.fijarTexto("nuevo", "v"));
        EXPECT_EQ(json::parse(leer(fichero)), (json{{"nuevo", "v"}}));
        EXPECT_EQ(leer(*apartado), malo) << "the change leaves the old file alone";
        EXPECT_EQ(p.tomarApartado(), std::nullopt);
    }

    // A readable file, or none, is not moved; a second unreadable one in the
    // same second gets a name of its own.
    fs::remove_all(fichero.parent_path());
    EXPECT_EQ(Preferencias(fichero).tomarApartado(), std::nullopt);
    fs::create_directories(fichero.parent_path());
    escribir(fichero, "{\"k\": \"v\"}");
    EXPECT_EQ(Preferencias(fichero).tomarApartado(), std::nullopt);
    EXPECT_TRUE(fs::exists(fichero));
    escribir(fichero, "uno");
    const auto primero = Preferencias(fichero).tomarApartado();
    escribir(fichero, "dos");
    const auto segundo = Preferencias(fichero).tomarApartado();
    ASSERT_TRUE(primero && segundo);
    EXPECT_NE(*primero, *segundo);
    EXPECT_EQ(leer(*primero), "uno");
    EXPECT_EQ(leer(*segundo), "dos");
}

TEST_F(PreferenciasTest, OchoHilosNoPierdenClaves) {
    Preferencias p(fichero);
    constexpr int hilos = 8, porHilo = 25;
    std::vector<std::thread> trabajadores;
    for (int h = 0; h < hilos; ++h)
        trabajadores.emplace_back([&p, h] {
            for (int i = 0; i < porHilo; ++i) {
                std::string clave = "h" + std::to_string(h) + "-" + std::to_string(i);
                EXPECT_TRUE(p.fijarNumero(clave, h * 1000 + i));
                EXPECT_EQ(p.numero(clave), h * 1000 + i);
            }
        });
    for (auto& t : trabajadores) t.join();

    json todo = json::parse(leer(fichero));
    EXPECT_EQ(todo.size(), static_cast<std::size_t>(hilos * porHilo));
    Preferencias otra(fichero);
    for (int h = 0; h < hilos; ++h)
        for (int i = 0; i < porHilo; ++i)
            EXPECT_EQ(otra.numero("h" + std::to_string(h) + "-" + std::to_string(i)), h * 1000 + i);
}

TEST(Preferencias, FicheroEstandarPorIdentidad) {
    EXPECT_EQ(Preferencias::rutaEstandar(), Carpetas::configuracion() / "preferencias.json");
    fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
    EXPECT_EQ(Preferencias::rutaEstandar(), Carpetas::configuracion() / "preferencias-pruebas.json");
    EXPECT_EQ(Preferencias::estandar().fichero(), Carpetas::configuracion() / "preferencias-pruebas.json");
    fijarIdAplicacion(idAplicacionPorDefecto);
    EXPECT_EQ(Preferencias::estandar().fichero(), Carpetas::configuracion() / "preferencias-pruebas.json");  // chosen once
}

}  // namespace
}  // namespace sorvenia
