// Which scenes a page uses, where their files live, and the poster that
// stands in for a video that could not be published.
#include "editor/escenas.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace sorvenia
