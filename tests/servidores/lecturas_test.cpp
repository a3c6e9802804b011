// What the servers screen reads from a server (status script output, folder
// listings, file views) and the paths it will act on.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "servidores/archivos_remotos.h"
#include "servidores/estado_servidor.h"

namespace sorvenia {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;
namespace E = EstadoServidor;
namespace A = ArchivosRemotos;

// Ten sections as the script prints them, with chosen /proc/stat and
// network lines.
std::string salidaEstado(const std::string& stat, const std::string& red, const std::string& ps = "",
                         const std::string& caidos = "") {
    return "0.50 0.40 0.30 2/345 6789\n---\n4\n---\n" + stat + "\n---\n8000 3000 5000\n2000 100\n---\n" +
           "100 60 40\n---\n" + red + "\n---\n12345.67\n---\n" + ps + "\n---\nDebian GNU/Linux 12 (bookworm)\n---\n" +
           caidos + "\n";
}

TEST(EstadoServidor, PrimeraMuestraSinCpuNiRedYLaSegundaMideContraElla) {
    const auto primera = E::leer(7, salidaEstado("cpu  100 0 100 800 0 0 0 0 0 0", "1000 2000"), nullptr, 10.0);
    EXPECT_EQ(primera.respuesta["carga"], json({0.5, 0.4, 0.3}));
    EXPECT_EQ(primera.respuesta["nucleos"], 4);
    EXPECT_EQ(primera.respuesta["arriba"], 12345.67);
    EXPECT_EQ(primera.respuesta["so"], "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(primera.respuesta["mem"], json({{"total", 8000}, {"usada", 3000}, {"libre", 5000}}));
    EXPECT_EQ(primera.respuesta["swap"], json({{"total", 2000}, {"usada", 100}}));
    EXPECT_EQ(primera.respuesta["disco"], json({{"total", 100}, {"usado", 60}, {"libre", 40}}));
    EXPECT_EQ(primera.respuesta["caidos"], json::array());
    EXPECT_FALSE(primera.respuesta.contains("cpu"));
    EXPECT_FALSE(primera.respuesta.contains("red"));
    ASSERT_TRUE(primera.muestra);

    // 200 more ticks, 100 of them idle or iowait: 50 %; 4000 and 2000 bytes in 2 s.
    const auto segunda =
        E::leer(7, salidaEstado("cpu  150 0 150 850 50 0 0 0 0 0", "5000 4000"), &*primera.muestra, 12.0);
    EXPECT_DOUBLE_EQ(segunda.respuesta["cpu"].get<double>(), 50.0);
    EXPECT_EQ(segunda.respuesta["red"], json({{"rx", 2000.0}, {"tx", 1000.0}}));
}

TEST(EstadoServidor, CasosDeLaMuestraAnterior) {
    const E::Muestra cuatro{{100, 0, 100, 800}, 1000, 2000, 10.0};
    // Only four numbers: idle alone counts.
    auto r = E::leer(1, salidaEstado("cpu  200 0 100 900", "1000 2000"), &cuatro, 11.0);
    EXPECT_DOUBLE_EQ(r.respuesta["cpu"].get<double>(), 50.0);
    // Same totals: no "cpu", but "red" while the clock moved.
    r = E::leer(1, salidaEstado("cpu  100 0 100 800", "1000 2000"), &cuatro, 11.0);
    EXPECT_FALSE(r.respuesta.contains("cpu"));
    EXPECT_EQ(r.respuesta["red"], json({{"rx", 0.0}, {"tx", 0.0}}));
    // A list of another length (kernel changed): neither, and the sample is replaced.
    r = E::leer(1, salidaEstado("cpu  1 2 3 4 5 6", "1000 2000"), &cuatro, 11.0);
    EXPECT_FALSE(r.respuesta.contains("cpu"));
    EXPECT_FALSE(r.respuesta.contains("red"));
    ASSERT_TRUE(r.muestra);
    EXPECT_EQ(r.muestra->cpu.size(), 6U);
    // A malformed network section keeps the older sample.
    r = E::leer(1, salidaEstado("cpu  200 0 100 900", "1000"), &cuatro, 11.0);
    EXPECT_FALSE(r.respuesta.contains("red"));
    EXPECT_FALSE(r.muestra);
    // Counters that went back after a reboot give 0, not a negative rate.
    r = E::leer(1, salidaEstado("cpu  200 0 100 900", "10 20"), &cuatro, 11.0);
    EXPECT_EQ(r.respuesta["red"], json({{"rx", 0.0}, {"tx", 0.0}}));
}

TEST(EstadoServidor, ProcesosCaidosYSeccionesDeMas) {
    const auto r = E::leer(3,
                           salidaEstado("cpu  1 1 1 1", "1 1", "  12.5  3.0 php-fpm: pool www\n 1.0 0.5 sshd",
                                        "nginx.service\napache2.service") +
                               "---\nsobra\n",
                           nullptr, 1.0);
    EXPECT_EQ(
        r.respuesta["procesos"],
        json::parse(R"([{"cpu":12.5,"mem":3.0,"nombre":"php-fpm: pool www"},{"cpu":1.0,"mem":0.5,"nombre":"sshd"}])"));
    EXPECT_EQ(r.respuesta["caidos"], json({"nginx.service", "apache2.service"}));
    EXPECT_EQ(E::leer(3, "a\n---\nb\n", nullptr, 1.0).respuesta,
              json({{"servidor", 3}, {"error", "Respuesta rara del servidor."}}));
}

TEST(ArchivosRemotos, ListadoConNombresRaros) {
    const std::string salida =
        "/srv/web\n"
        "d\t4096\t1700000000.5\tdrwxr-xr-x\tcon\ttab\n"
        "f\t12\t1700000001\t-rw-r--r--\ta b'c\n"
        "l\tx\ty\tlrwxrwxrwx\tenlace\n"
        "f\t1\t2\tsolo cuatro campos\n"
        "\n";
    const auto l = A::leerListado(salida);
    EXPECT_EQ(l["ruta"], "/srv/web");
    ASSERT_EQ(l["items"].size(), 3U);
    EXPECT_EQ(l["items"][0], json({{"tipo", "dir"},
                                   {"tam", 4096},
                                   {"fecha", 1700000000.5},
                                   {"permisos", "drwxr-xr-x"},
                                   {"nombre", "con\ttab"}}));
    EXPECT_EQ(l["items"][1]["nombre"], "a b'c");
    EXPECT_EQ(l["items"][2]["tipo"], "enlace");
    EXPECT_EQ(l["items"][2]["tam"], 0);
    EXPECT_EQ(A::leerListado("")["items"], json::array());
}

TEST(ArchivosRemotos, VerUnArchivo) {
    EXPECT_EQ(A::verBinario("/b", "binary\n5000\n"), json({{"ruta", "/b"}, {"binario", true}, {"tam", 5000}}));
    EXPECT_FALSE(A::verBinario("/t", "utf-8\n10\n"));
    EXPECT_EQ(A::leerTexto("/t", "us-ascii\n300000\n", true, "hola")["cortado"], true);
    EXPECT_EQ(A::leerTexto("/t", "us-ascii\n262144\n", true, "hola")["cortado"], false);
    EXPECT_EQ(A::leerTexto("/no", "", false, "head: error"),
              json({{"ruta", "/no"}, {"texto", ""}, {"error", "No se ha podido abrir."}, {"cortado", false}}));
}

TEST(ArchivosRemotos, RutasNormalizadasYCarpetasDelSistema) {
    struct Caso {
        const char* ruta;
        std::optional<std::string> normal;
        bool protegida;
    };
    const Caso casos[] = {
        {"/etc", "/etc", true},
        {"/etc/", "/etc", true},
        {"//etc", "/etc", true},
        {"/./etc", "/etc", true},
        {"/usr/../etc", "/etc", true},
        {"/root/", "/root", true},
        {"/", "/", true},
        {"//", "/", true},
        {"/..", "/", true},
        {"/var/www/x/", "/var/www/x", false},
        {"/etc/nginx", "/etc/nginx", false},
        {"/home/../../tmp", "/tmp", true},
        {"etc", std::nullopt, false},
        {"", std::nullopt, false},
    };
    for (const auto& c : casos) {
        const auto n = A::normalizar(c.ruta);
        EXPECT_EQ(n, c.normal) << c.ruta;
        if (n) EXPECT_EQ(A::protegida(*n), c.protegida) << c.ruta;
    }
}

TEST(ArchivosRemotos, OrdenesConUnaPalabraPorRuta) {
    EXPECT_EQ(A::ordenBorrar("/srv/-x"), "rm -rf -- '/srv/-x'");
    EXPECT_EQ(A::ordenRenombrar("/srv/a b'c", "/srv/d"), "mv -n '/srv/a b'\\''c' '/srv/d'");
    EXPECT_EQ(A::remota("tarvel-vps-3", "/srv/a\nb"), "tarvel-vps-3:'/srv/a\nb'");
    EXPECT_EQ(A::argumentosScp("/c", {"x"}, "y"),
              (std::vector<std::string>{"-F", "/c", "-o", "BatchMode=yes", "-r", "-q", "-O", "x", "y"}));
    EXPECT_EQ(A::avisoSubiendo(1), "Subiendo 1 elemento\u2026");
    EXPECT_EQ(A::avisoSubiendo(2), "Subiendo 2 elementos\u2026");
    EXPECT_EQ(A::nombreDe("/srv/a b'c"), "a b'c");
    EXPECT_EQ(A::padreDe("/srv/a"), "/srv");
    EXPECT_EQ(A::padreDe("/srv"), "/");
}

TEST(ArchivosRemotos, UnaDescargaNoPisaNada) {
    const fs::path carpeta = fs::temp_directory_path() / ("descargas-" + std::to_string(::getpid()));
    fs::create_directories(carpeta);
    EXPECT_EQ(A::destinoLibre(carpeta, "a.txt"), carpeta / "a.txt");
    std::ofstream(carpeta / "a.txt") << "mío";
    std::ofstream(carpeta / "a (2).txt") << "también";
    std::ofstream(carpeta / ".bashrc") << "x";
    fs::create_directory(carpeta / "web");
    EXPECT_EQ(A::destinoLibre(carpeta, "a.txt"), carpeta / "a (3).txt");
    EXPECT_EQ(A::destinoLibre(carpeta, ".bashrc"), carpeta / ".bashrc (2)");
    EXPECT_EQ(A::destinoLibre(carpeta, "web"), carpeta / "web (2)");
    fs::remove_all(carpeta);
}

}  // namespace
}  // namespace sorvenia
