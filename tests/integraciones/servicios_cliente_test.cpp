// Logo and photo placeholders: the logo slugs, when the account's photo
// service is asked, and how found photos replace the placeholders. The
// keychain is in memory and the photo search a stand-in.
#include "integraciones/servicios_cliente.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "servicio_local_prueba.h"
#include "cuenta/llavero.h"

namespace sorvenia {
namespace {

using prueba::LlaveroEnMemoria;

// What the account's photo service was given; it answers with a text of
// its own so that a test sees its answer was used.
struct ServidorFalso {
    std::vector<std::string> recibidos;
};

Tarea<std::string> responder(std::shared_ptr<ServidorFalso> s, std::string html) {
    s->recibidos.push_back(html);
    co_return "lleno por el servidor";
}

// Photo addresses by search words; every search waits a moment, so that
// searches running at once overlap.
struct BusquedaFalsa {
    std::map<std::string, std::vector<std::string>> fotos;
    std::vector<std::string> pedidas;
    int enCurso = 0;
    int maximoEnCurso = 0;
};

Tarea<std::vector<std::string>> buscarEn(std::shared_ptr<BusquedaFalsa> b, std::string consulta) {
    b->pedidas.push_back(consulta);
    b->maximoEnCurso = std::max(b->maximoEnCurso, ++b->enCurso);
    co_await dormir(0.01);
    --b->enCurso;
    const auto it = b->fotos.find(consulta);
    co_return it == b->fotos.end() ? std::vector<std::string>{} : it->second;
}

class ServiciosClientePrueba : public ::testing::Test {
protected:
    void SetUp() override { anterior_ = Llavero::usarAlmacen(llavero); }
    void TearDown() override {
        Llavero::usarAlmacen(anterior_);
        ServiciosCliente::usarBusqueda(nullptr);
    }

    void conClave(const std::string& servicio) {
        ASSERT_TRUE(llavero->guardar(Llavero::servicio(), "servicio:" + servicio, "clave-" + servicio));
    }
    void usarBusqueda() {
        ServiciosCliente::usarBusqueda([b = busqueda](std::string q) { return buscarEn(b, std::move(q)); });
    }
    std::string resolver(std::string html) {
        return esperarEnBucle(ServiciosCliente::resolver(
            std::move(html), [s = servidor](std::string t) { return responder(s, std::move(t)); }));
    }

    std::shared_ptr<LlaveroEnMemoria> llavero = std::make_shared<LlaveroEnMemoria>();
    std::shared_ptr<ServidorFalso> servidor = std::make_shared<ServidorFalso>();
    std::shared_ptr<BusquedaFalsa> busqueda = std::make_shared<BusquedaFalsa>();

private:
    std::shared_ptr<Llavero::Almacen> anterior_;
};

TEST_F(ServiciosClientePrueba, SlugsDeMarcas) {
    const struct {
        std::string marca, slug;
    } casos[] = {
        {"Notion", "notion"},   {"Google+", "googleplus"},  {"Node.js", "nodedotjs"},
        {"AT&T", "atandt"},     {"Café", "cafe"},           {"NOTION", "notion"},
        {"Visual Studio-Code", "visualstudiocode"},         {"Ñandú 3", "nandu3"},
        {"¡ - !", ""},
    };
    for (const auto& c : casos) EXPECT_EQ(ServiciosCliente::slugLogo(c.marca), c.slug) << c.marca;
}

// Logos only, and images that are addresses already: the text returns
// after the logos, and the account's service is never asked.
TEST_F(ServiciosClientePrueba, LogosSinFotosNoLlamanAlServidor) {
    conClave("pexels");
    usarBusqueda();
    const struct {
        std::string html, resuelto;
    } casos[] = {
        {R"(<img src = "logo:Notion">)", R"(<img src="https://cdn.simpleicons.org/notion">)"},
        {R"(<img SRC="LOGO:Google+" alt="g">)", R"(<img src="https://cdn.simpleicons.org/googleplus" alt="g">)"},
        {R"(<img src="logo:!!">)", R"(<img src="https://cdn.simpleicons.org/">)"},
        {R"(<img src="logo:AT&T"><img src="logo:Node.js">)",
         R"(<img src="https://cdn.simpleicons.org/atandt"><img src="https://cdn.simpleicons.org/nodedotjs">)"},
        {R"(<img src="https://x.example/a.jpg"><img src="HTTP://x.example/b.jpg">)",
         R"(<img src="https://x.example/a.jpg"><img src="HTTP://x.example/b.jpg">)"},
        {R"(<img src="data:image/png;base64,AAAA"><img src="recurso:fondo.png">)",
         R"(<img src="data:image/png;base64,AAAA"><img src="recurso:fondo.png">)"},
    };
    for (const auto& c : casos) EXPECT_EQ(resolver(c.html), c.resuelto) << c.html;
    EXPECT_TRUE(servidor->recibidos.empty());
    EXPECT_TRUE(busqueda->pedidas.empty());
}

// The usual case today: no key of the customer's, so the whole text goes
// to the account's service once, its logos already resolved.
TEST_F(ServiciosClientePrueba, SinClavesTodoVaAlServidorUnaVez) {
    usarBusqueda();
    const std::string html = R"(<img src="foto:surf beach"><img src="logo:Notion"><img src="photo:cat">)";
    EXPECT_EQ(resolver(html), "lleno por el servidor");
    EXPECT_EQ(servidor->recibidos, std::vector<std::string>{
                                       R"(<img src="foto:surf beach"><img src="https://cdn.simpleicons.org/notion">)"
                                       R"(<img src="photo:cat">)"});
    EXPECT_TRUE(busqueda->pedidas.empty());
}

// A key but the banks find nothing: the "foto:" placeholders still reach
// the account's service.
TEST_F(ServiciosClientePrueba, ConClaveYSinFotosVaAlServidor) {
    conClave("unsplash");
    usarBusqueda();
    EXPECT_EQ(resolver(R"(<img src="foto:playa">)"), "lleno por el servidor");
    EXPECT_EQ(servidor->recibidos, std::vector<std::string>{R"(<img src="foto:playa">)"});
}

TEST_F(ServiciosClientePrueba, LasMismasPalabrasRotanDesdeElFinal) {
    conClave("pexels");
    busqueda->fotos = {{"playa", {"https://f.example/1.jpg", "https://f.example/2.jpg"}},
                       {"Playa", {"https://f.example/P.jpg"}}};
    usarBusqueda();
    const std::string html =
        R"(<img src="foto:playa"><img src ="foto: playa"><img src="playa"><img src="foto:Playa">)"
        R"(<img src="https://f.example/0.jpg"><img src="data:image/gif;base64,R0">)";
    EXPECT_EQ(resolver(html),
              R"(<img src="https://f.example/1.jpg"><img src="https://f.example/2.jpg">)"
              R"(<img src="https://f.example/1.jpg"><img src="https://f.example/P.jpg">)"
              R"(<img src="https://f.example/0.jpg"><img src="data:image/gif;base64,R0">)");
    // Each distinct text once, letter case counting; addresses never.
    EXPECT_EQ(busqueda->pedidas, (std::vector<std::string>{"playa", "Playa"}));
    EXPECT_TRUE(servidor->recibidos.empty());
}

// A design's scene videos sit beside photo placeholders: their paths stay.
TEST_F(ServiciosClientePrueba, LasEscenasConservanSuRuta) {
    conClave("pexels");
    busqueda->fotos = {{"playa", {"https://f.example/1.jpg"}}};
    usarBusqueda();
    const std::string html = R"(<video data-escena="ola" src="escenas/ola.mp4" poster="escenas/ola.jpg"></video>)"
                             R"(<video src="escena://local/ola.mp4"></video><img src="foto:playa">)";
    EXPECT_EQ(resolver(html), R"(<video data-escena="ola" src="escenas/ola.mp4" poster="escenas/ola.jpg"></video>)"
                              R"(<video src="escena://local/ola.mp4"></video><img src="https://f.example/1.jpg">)");
    EXPECT_EQ(busqueda->pedidas, std::vector<std::string>{"playa"});
}

// Agents' HTML can be of any size: blanks around the equals sign and long
// values are read like short ones, never by recursion that could run out of
// stack.
TEST_F(ServiciosClientePrueba, AtributosMuyLargos) {
    conClave("pexels");
    busqueda->fotos = {{"playa", {"https://f.example/1.jpg"}}};
    usarBusqueda();
    const std::string blancos(100000, ' ');
    const std::string largo(100000, 'x');
    EXPECT_EQ(resolver("<img src" + blancos + R"(="foto:playa">)"), R"(<img src="https://f.example/1.jpg">)");
    EXPECT_EQ(resolver(R"(<img src="foto:)" + blancos + R"(playa">)"), R"(<img src="https://f.example/1.jpg">)");
    EXPECT_EQ(resolver(R"(<img src="logo:)" + largo + R"("><img src=)" + blancos + R"("foto:playa">)"),
              R"(<img src="logo:)" + largo + R"("><img src="https://f.example/1.jpg">)");
    EXPECT_EQ(busqueda->pedidas, (std::vector<std::string>(3, "playa")));
}

// Only the first 16 distinct texts are searched, all at once; the
// remaining "foto:" placeholders send the text to the account's service.
TEST_F(ServiciosClientePrueba, DieciseisBusquedasComoMucho) {
    conClave("pexels");
    std::string html, esperado;
    std::vector<std::string> primeras;
    for (int i = 0; i < 20; ++i) {
        const std::string q = "tema " + std::to_string(i);
        busqueda->fotos[q] = {"https://f.example/" + std::to_string(i) + ".jpg"};
        html += R"(<img src="foto:)" + q + R"(">)";
        if (i < 16) {
            primeras.push_back(q);
            esperado += R"(<img src="https://f.example/)" + std::to_string(i) + R"(.jpg">)";
        } else {
            esperado += R"(<img src="foto:)" + q + R"(">)";
        }
    }
    usarBusqueda();
    EXPECT_EQ(resolver(html), "lleno por el servidor");
    EXPECT_EQ(busqueda->pedidas, primeras);
    EXPECT_EQ(busqueda->maximoEnCurso, 16);
    EXPECT_EQ(servidor->recibidos, std::vector<std::string>{esperado});
}

// Placeholders the search could not fill go to the account's service only
// when one is written "foto:" exactly.
TEST_F(ServiciosClientePrueba, SoloFotoEnMinusculasLlamaAlServidor) {
    conClave("pexels");
    busqueda->fotos = {{"sol", {"https://f.example/sol.jpg"}}};
    usarBusqueda();
    const struct {
        std::string html;
        bool alServidor;
    } casos[] = {
        {R"(<img src="photo:luna"><img src="foto:sol">)", false},
        {R"(<img src="luna">)", false},
        {R"(<img src="FOTO:luna">)", false},
        {R"(<img src="Foto:luna">)", false},
        {R"(<img src="foto:luna"><img src="photo:sol">)", true},
    };
    for (const auto& c : casos) {
        servidor->recibidos.clear();
        const std::string r = resolver(c.html);
        EXPECT_EQ(servidor->recibidos.size(), c.alServidor ? 1u : 0u) << c.html;
        if (!c.alServidor) EXPECT_EQ(r.find("sol\">"), std::string::npos) << r;
    }
}

}  // namespace
}  // namespace sorvenia
