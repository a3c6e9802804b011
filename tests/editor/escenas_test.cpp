// Which scenes a page uses, where their files live, and the poster that
// stands in for a video that could not be published.
#include "editor/escenas.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "plataforma/carpetas.h"

namespace sorvenia {
namespace {

TEST(Escenas, LasQueUsaUnaPagina) {
    const struct {
        std::string html;
        std::set<std::string> esperadas;
    } casos[] = {
        {"<p>nada</p>", {}},
        {R"(<video data-escena="ola" src="escenas/ola.mp4" poster="escenas/ola.jpg"></video>)", {"ola"}},
        {R"(<video class="a" data-escena="intro-2"><source src="x.webm"></video><img src="escenas/fondo.jpg">)",
         {"intro-2", "fondo"}},
        // Not scene names: upper case, a leading dash, another extension.
        {R"(<img src="escenas/Ola.mp4"><img src="escenas/-x.jpg"><img src="escenas/x.png">)", {}},
        {R"(<video data-escena="sin-cierre">)", {}},
    };
    for (const auto& c : casos) EXPECT_EQ(Escenas::usadas(c.html), c.esperadas) << c.html;
}

TEST(Escenas, LaCarpetaDeUnDiseno) {
    EXPECT_EQ(Escenas::carpeta("ab-12_Z"), Carpetas::aplicacion() / "escenas" / "ab-12_Z");
    EXPECT_EQ(Escenas::carpeta("../a/b"), Escenas::raiz() / "ab");
    EXPECT_EQ(Escenas::carpeta(std::string(70, 'x')), Escenas::raiz() / std::string(64, 'x'));
    EXPECT_EQ(Escenas::carpeta("//"), Escenas::raiz() / "sin-guardar");
    EXPECT_EQ(Escenas::carpeta(std::nullopt), Escenas::raiz() / "sin-guardar");
}

TEST(Escenas, ElPosterOcupaElLugarDeUnVideoQueFalta) {
    const std::string html = R"(<h1>Hola</h1><video class="fondo" data-escena="ola" style="height:40vh" autoplay>)"
                             R"(<source src="escenas/ola.mp4"></video><video data-escena="mar" src="escenas/mar.mp4"></video>)";
    EXPECT_EQ(Escenas::conPoster(html, {}), html);
    EXPECT_EQ(Escenas::conPoster(html, {"otra"}), html);
    EXPECT_EQ(Escenas::conPoster(html, {"ola"}),
              R"(<h1>Hola</h1><img src="escenas/ola.jpg" alt="" data-escena="ola" class="fondo" style="height:40vh">)"
              R"(<video data-escena="mar" src="escenas/mar.mp4"></video>)");
    EXPECT_EQ(Escenas::conPoster(html, {"ola", "mar"}),
              R"(<h1>Hola</h1><img src="escenas/ola.jpg" alt="" data-escena="ola" class="fondo" style="height:40vh">)"
              R"(<img src="escenas/mar.jpg" alt="" data-escena="mar">)");
}

// Pages come from agents and the web: an element, an attribute or a video's
// content of any length is read like a short one, never by recursion that
// could run out of stack.
TEST(Escenas, ElementosMuyLargos) {
    const std::string relleno(100000, 'x');
    const std::string titulo = R"(<video data-escena="ola" title=")" + relleno + R"("></video>)";
    const std::string dentro = R"(<video data-escena="rio">)" + relleno + "</video>";
    const std::string poster = R"(<video class="c" data-escena="mar" poster="data:image/jpeg;base64,)" +
                               std::string(80 * 1024, 'A') + R"("></video>)";
    const std::string estilo = R"(<video data-escena="sol" style=")" + relleno + R"("></video>)";
    EXPECT_EQ(Escenas::usadas(titulo + dentro + poster + estilo),
              (std::set<std::string>{"ola", "rio", "mar", "sol"}));
    EXPECT_EQ(Escenas::conPoster(titulo + dentro + poster + estilo, {"mar", "sol"}),
              titulo + dentro + R"(<img src="escenas/mar.jpg" alt="" data-escena="mar" class="c">)" +
                  R"(<img src="escenas/sol.jpg" alt="" data-escena="sol" style=")" + relleno + R"(">)");
    // A video element that never closes is no scene, however long.
    EXPECT_EQ(Escenas::usadas(R"(<video data-escena="ola">)" + relleno), std::set<std::string>{});
}

namespace fs = std::filesystem;

void escribir(const fs::path& archivo, const std::string& texto) { std::ofstream(archivo, std::ios::binary) << texto; }

// A scene folder with a video and a poster, a file beside the folder that
// the scheme must never reach, and links into and out of the folder.
struct CarpetaEscenas {
    CarpetaEscenas() {
        fs::create_directories(carpeta);
        escribir(carpeta / "ola.mp4", "video");
        escribir(carpeta / "ola.jpg", "poster");
        escribir(base / "secreto.txt", "no");
        fs::create_symlink(base / "secreto.txt", carpeta / "fuera.jpg");
        fs::create_symlink(carpeta / "ola.jpg", carpeta / "dentro.jpg");
    }
    ~CarpetaEscenas() { fs::remove_all(base); }
    fs::path base = fs::temp_directory_path() / ("escenas-" + std::to_string(::getpid()));
    fs::path carpeta = base / "diseno";
};

TEST(Escenas, ElEsquemaSoloSirveLoQueHayEnLaCarpeta) {
    CarpetaEscenas c;
    const fs::path ola = fs::canonical(c.carpeta / "ola.mp4");
    const struct {
        std::string url;
        std::optional<fs::path> esperado;
    } casos[] = {
        {"escena://local/ola.mp4", ola},
        {"escena://local/ola.mp4?v=17#t=2", ola},
        {"escena://otro/ola.jpg", fs::canonical(c.carpeta / "ola.jpg")},
        {"escena://local/dentro.jpg", fs::canonical(c.carpeta / "ola.jpg")},  // a link that stays inside
        {"escena://local/no-existe.mp4", std::nullopt},
        {"escena://local/../secreto.txt", std::nullopt},
        {"escena://local/..", std::nullopt},
        {"escena://local/a/../ola.mp4", std::nullopt},
        {"escena://local/..%2Fsecreto.txt", std::nullopt},
        {"escena://local/%2e%2e/secreto.txt", std::nullopt},
        {"escena://local/ola%2Emp4", std::nullopt},
        {"escena://local/" + (c.base / "secreto.txt").string(), std::nullopt},
        {"escena://local//etc/passwd", std::nullopt},
        {"escena://local/fuera.jpg", std::nullopt},  // a link that leads out
        {"escena://local/.oculto", std::nullopt},
        {"escena://local/", std::nullopt},
        {"escena://local", std::nullopt},
        {"escena:ola.mp4", std::nullopt},
    };
    for (const auto& caso : casos) EXPECT_EQ(Escenas::archivoPedido(caso.url, c.carpeta), caso.esperado) << caso.url;
    // The folder itself may be reached through a link.
    fs::create_symlink(c.carpeta, c.base / "enlace");
    EXPECT_EQ(Escenas::archivoPedido("escena://local/ola.mp4", c.base / "enlace"), ola);
    EXPECT_EQ(Escenas::archivoPedido("escena://local/ola.mp4", c.base / "no-hay"), std::nullopt);
}

TEST(Escenas, TiposPorExtension) {
    EXPECT_EQ(Escenas::mime("a.mp4"), "video/mp4");
    EXPECT_EQ(Escenas::mime("a.JPG"), "image/jpeg");
    EXPECT_EQ(Escenas::mime("a.png"), "image/png");
    EXPECT_EQ(Escenas::mime("mp4"), "application/octet-stream");
}

TEST(Escenas, CopiarLasUsadasJuntoALaWeb) {
    const std::string doc = "copiar-" + std::to_string(::getpid());
    const fs::path origen = Escenas::carpeta(doc);
    const fs::path destino = fs::temp_directory_path() / ("web-" + doc);
    fs::create_directories(origen);
    escribir(origen / "ola.mp4", "video ola");
    escribir(origen / "ola.jpg", "poster ola");
    escribir(origen / "mar.jpg", "poster mar");  // a scene without its video
    fs::create_directories(destino / "escenas");
    escribir(destino / "escenas" / "ola.mp4", "vieja");

    EXPECT_EQ(Escenas::copiar({"ola", "mar", "falta", "../ola", "Ola"}, doc, destino), 1);
    std::ifstream video(destino / "escenas" / "ola.mp4");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(video), {}), "video ola");
    EXPECT_TRUE(fs::exists(destino / "escenas" / "ola.jpg"));
    EXPECT_TRUE(fs::exists(destino / "escenas" / "mar.jpg"));
    EXPECT_EQ(std::distance(fs::directory_iterator(destino / "escenas"), fs::directory_iterator()), 3);
    fs::remove_all(origen);
    fs::remove_all(destino);
}

}  // namespace
}  // namespace sorvenia
