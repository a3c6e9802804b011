// What the photo search reads from the services' answers and from web
// pages: which elements become photos, which addresses a page yields.
#include "integraciones/fotos_lecturas.h"

#include <gtest/gtest.h>

namespace sorvenia::BuscarFotos {
namespace {

using Json = nlohmann::json;

TEST(LecturasFotos, RespuestasDeLosBancos) {
    const Json pexels = Json::parse(R"j({"photos": [
        {"src": {"large2x": "https://p.example/1-l.jpg", "medium": "https://p.example/1-m.jpg"},
         "width": 4000, "height": 3000, "photographer": "Ana"},
        {"src": {"large2x": "https://p.example/2-l.jpg"}, "width": 10},
        {"src": "https://p.example/3.jpg"},
        {"src": {"large2x": "https://p.example/4-l.jpg", "medium": "https://p.example/4-m.jpg"}, "width": "ancho"},
        {"src": {"large2x": "https://p.example/5\".jpg", "medium": "https://p.example/5-m.jpg"}},
        {"src": {"large2x": "javascript:alert(1)", "medium": "https://p.example/6-m.jpg"}},
        7
    ]})j");
    EXPECT_EQ(
        fotosPexels(pexels),
        (std::vector<Foto>{{"https://p.example/1-l.jpg", "https://p.example/1-m.jpg", 4000, 3000, "Pexels", "Ana"},
                           {"https://p.example/4-l.jpg", "https://p.example/4-m.jpg", 0, 0, "Pexels", ""}}));

    const Json unsplash = Json::parse(R"({"results": [
        {"urls": {"raw": "https://u.example/a?ixid=1", "small": "https://u.example/a-s"}, "width": 5000,
         "height": 2000, "user": {"name": "Bea"}},
        {"urls": {"raw": "https://u.example/b?ixid=2"}},
        {"urls": {"raw": "https://u.example/c?ixid=3", "small": "https://u.example/c-s"}, "user": "nadie"}
    ]})");
    EXPECT_EQ(
        fotosUnsplash(unsplash),
        (std::vector<Foto>{
            {"https://u.example/a?ixid=1&w=1800&q=80&fit=max", "https://u.example/a-s", 5000, 2000, "Unsplash", "Bea"},
            {"https://u.example/c?ixid=3&w=1800&q=80&fit=max", "https://u.example/c-s", 0, 0, "Unsplash", ""}}));

    for (const char* otra : {R"({"photos": {}})", R"([1, 2])", R"({"error": "Unauthorized"})", "null"}) {
        EXPECT_TRUE(fotosPexels(Json::parse(otra)).empty()) << otra;
        EXPECT_TRUE(fotosUnsplash(Json::parse(otra)).empty()) << otra;
    }
}

TEST(LecturasFotos, ColeccionesLibres) {
    const Json openverse = Json::parse(R"({"results": [
        {"url": "https://o.example/1.jpg", "thumbnail": "https://o.example/1-t.jpg", "width": 2000, "height": 1000,
         "source": "flickr", "creator": "Carla"},
        {"url": "http://o.example/2.jpg", "thumbnail": "https://o.example/2-t.jpg"},
        {"url": "https://o.example/3.jpg"}
    ]})");
    EXPECT_EQ(fotosOpenverse(openverse),
              (std::vector<Foto>{
                  {"https://o.example/1.jpg", "https://o.example/1-t.jpg", 2000, 1000, "Openverse/flickr", "Carla"},
                  {"https://o.example/3.jpg", "https://o.example/3.jpg", 0, 0, "Openverse/", ""}}));

    auto pagina = [](int indice, int w, int h, const std::string& nombre) {
        return Json{{"index", indice},
                    {"imageinfo",
                     {{{"width", w},
                       {"height", h},
                       {"user", "U" + nombre},
                       {"thumburl", "https://c.example/thumb/" + nombre + "/1800px-" + nombre + ".jpg"}}}}};
    };
    Json commons;
    commons["query"]["pages"] = {{"30", pagina(3, 1600, 1600, "cuadrada")},
                                 {"10", pagina(1, 2000, 1500, "ancha")},
                                 {"20", pagina(2, 1500, 2000, "alta")},
                                 {"40", pagina(4, 1199, 800, "estrecha")},
                                 {"50", {{"index", 0}, {"imageinfo", Json::array()}}}};
    auto nombres = [&](const std::string& o) {
        std::vector<std::string> n;
        for (const auto& f : fotosCommons(commons, o)) n.push_back(f.url.substr(f.url.rfind('-') + 1));
        return n;
    };
    EXPECT_EQ(nombres("landscape"), (std::vector<std::string>{"ancha.jpg", "cuadrada.jpg"}));
    EXPECT_EQ(nombres("portrait"), (std::vector<std::string>{"alta.jpg", "cuadrada.jpg"}));
    EXPECT_EQ(nombres("square"), (std::vector<std::string>{"ancha.jpg", "alta.jpg", "cuadrada.jpg"}));
    const auto una = fotosCommons(commons, "landscape").front();
    EXPECT_EQ(una, (Foto{"https://c.example/thumb/ancha/1800px-ancha.jpg",
                         "https://c.example/thumb/ancha/400px-ancha.jpg", 2000, 1500, "Wikimedia Commons", "Uancha"}));
    EXPECT_TRUE(fotosCommons(Json::parse(R"({"query": {"pages": []}})"), "landscape").empty());
}

TEST(LecturasFotos, MayorDeUnSrcset) {
    const struct {
        const char* srcset;
        std::optional<std::string> esperado;
    } casos[] = {
        {"a.jpg 480w, b.jpg 1080w, c.jpg 1080w", "b.jpg"},
        {"a.jpg 1x, b.jpg 2x", "b.jpg"},
        {"a.jpg 1.5x, b.jpg 1x", "b.jpg"},
        {"sola.jpg", "sola.jpg"},
        {" , ,", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : casos) EXPECT_EQ(mayorDeSrcset(c.srcset), c.esperado) << c.srcset;
}

TEST(LecturasFotos, DireccionesDeUnaPagina) {
    const std::string html = R"h(<html><head>
        <meta property="og:image" content="/img/hero.jpg">
        <meta content="https://cdn.example/share.jpg" property="og:image:secure_url">
        <meta property="og:image:secure_url" content="//cdn.example/segura.jpg">
        </head><body>
        <img src="/img/hero.jpg" alt="otra vez">
        <img src="placeholder.gif" data-src="lazy/real.jpg">
        <img class="x" src="https://tienda.example/foto?a=1&amp;b=2">
        <img src="/assets/Logo-white.png"><img src="/favicon-icon.png"><img src="/images/sprite.png">
        <img src="/t/pixel.gif"><img src="https://tracking.example/x.jpg"><img src="/dibujo.SVG">
        <img src="data:image/png;base64,AAAA"><img src="mailto:a@b.example"><img src="javascript:alert(1)">
        <img src='/comilla"rota.jpg'><img src="  /espacios.jpg  ">
        <picture><source srcset="/s/p-480.jpg 480w, /s/p-1080.jpg 1080w"></picture>
        </body></html>)h";
    EXPECT_EQ(direccionesDePagina(html, "https://tienda.example/tienda/", 100),
              (std::vector<std::string>{"https://tienda.example/img/hero.jpg", "https://cdn.example/segura.jpg",
                                        "https://cdn.example/share.jpg", "https://tienda.example/tienda/lazy/real.jpg",
                                        "https://tienda.example/foto?a=1&b=2",
                                        // The quote ends the value, as in any HTML reader.
                                        "https://tienda.example/comilla", "https://tienda.example/espacios.jpg",
                                        "https://tienda.example/s/p-1080.jpg"}));
    EXPECT_EQ(direccionesDePagina(html, "https://tienda.example/tienda/", 2).size(), 2u);

    // A page in ISO Latin-1 is read all the same; a letter outside ASCII
    // ends up percent-encoded in the address.
    EXPECT_EQ(
        direccionesDePagina("<p>Caf\xE9</p><img src=\"caf\xE9-1.jpg\"><img src=\"b.jpg\">", "http://x.example/", 9),
        (std::vector<std::string>{"http://x.example/caf%C3%A9-1.jpg", "http://x.example/b.jpg"}));
    EXPECT_TRUE(direccionesDePagina("", "https://x.example/", 9).empty());
}

TEST(LecturasFotos, DireccionSegura) {
    for (const char* si : {"https://a.example/x.jpg", "http://a.example:8080/x?y=1&z=2", "HTTPS://A.example/"})
        EXPECT_TRUE(direccionSegura(si)) << si;
    for (const char* no : {"javascript:alert(1)", "data:image/png;base64,AA", "https:///x.jpg", "https://a.example/\"x",
                           "https://a.example/'x", "https://a.example/<x>", "https://a.example/ x", "ftp://a.example/x",
                           "//a.example/x", "https://a.example/\nx", "https://a.example/caf\xC3\xA9.jpg", ""})
        EXPECT_FALSE(direccionSegura(no)) << no;
}

}  // namespace
}  // namespace sorvenia::BuscarFotos
