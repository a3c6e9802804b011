// The photo search against stand-in providers on 127.0.0.1: which bank is
// asked with which key and words, how the free collections top the result
// up, what a web page yields, what the contact sheet keeps and draws, the
// tool's answers, and how untrusted answers (endless bodies, huge or fake
// images, redirects elsewhere) are bounded. The keychain is in memory; the
// user defaults are the program's own (ias/aislado.h).
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "servicio_local_prueba.h"
#include "cuenta/llavero.h"
#include "foto_prueba.h"
#include "fotos_prueba.h"
#include "integraciones/buscar_fotos.h"
#include "plataforma/cripto.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"

namespace sorvenia::BuscarFotos {
namespace {

using Json = nlohmann::json;
using prueba::Proveedores;
using prueba::ServidorHTTPPrueba;
using Reloj = std::chrono::steady_clock;

// A bank element of each kind, its addresses on the given stand-in.
Json elementoPexels(const std::string& base, const std::string& id, const std::string& mini = "400x266.jpg") {
    return {{"src", {{"large2x", base + "/img/1600x1000.jpg?p=" + id}, {"medium", base + "/img/" + mini + "?p=" + id}}},
            {"width", 1600},
            {"height", 1000},
            {"photographer", "P" + id}};
}
Json elementoUnsplash(const std::string& base, const std::string& id) {
    return {{"urls", {{"raw", base + "/img/1600x1000.jpg?u=" + id}, {"small", base + "/img/400x266.jpg?u=" + id}}},
            {"width", 1600},
            {"height", 1000},
            {"user", {{"name", "U" + id}}}};
}
Json elementoOpenverse(const std::string& base, const std::string& id) {
    // The stand-in speaks plain HTTP; the collection only takes https
    // addresses, so its photos point at a host that is never asked.
    return {{"url", "https://libre.example/" + id + ".jpg"},
            {"thumbnail", base + "/img/400x300.jpg?o=" + id},
            {"source", "flickr"}};
}
Json lista(const char* clave, std::vector<Json> elementos) { return {{clave, std::move(elementos)}}; }

std::vector<std::string> urls(const std::vector<Foto>& fotos) {
    std::vector<std::string> u;
    for (const auto& f : fotos) u.push_back(f.url);
    return u;
}

struct Imagen {
    int ancho = 0;
    int alto = 0;
    std::array<int, 3> en(int x, int y) const {
        if (!pixeles || x >= ancho || y >= alto) return {-1, -1, -1};
        const guint8* p = pixeles + static_cast<std::ptrdiff_t>(y) * paso + static_cast<std::ptrdiff_t>(x) * canales;
        return {p[0], p[1], p[2]};
    }
    const guint8* pixeles = nullptr;
    int paso = 0;
    int canales = 0;
    std::shared_ptr<GdkPixbuf> pixbuf;
};

Imagen leerImagen(const std::string& bytes) {
    // Named: these programs' data folders hold no MIME database to guess by.
    GdkPixbufLoader* l = gdk_pixbuf_loader_new_with_type("jpeg", nullptr);
    gdk_pixbuf_loader_write(l, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), nullptr);
    gdk_pixbuf_loader_close(l, nullptr);
    Imagen i;
    if (GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(l)) {
        i.pixbuf.reset(GDK_PIXBUF(g_object_ref(p)), g_object_unref);
        i.ancho = gdk_pixbuf_get_width(p);
        i.alto = gdk_pixbuf_get_height(p);
        i.pixeles = gdk_pixbuf_read_pixels(p);
        i.paso = gdk_pixbuf_get_rowstride(p);
        i.canales = gdk_pixbuf_get_n_channels(p);
    }
    g_object_unref(l);
    return i;
}

bool cerca(std::array<int, 3> a, std::array<int, 3> b, int margen = 24) {
    for (std::size_t k = 0; k < 3; ++k)
        if (std::abs(a[k] - b[k]) > margen) return false;
    return true;
}

class Fotos : public ::testing::Test {
protected:
    void SetUp() override {
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        llavero = std::make_shared<prueba::LlaveroEnMemoria>();
        anterior = Llavero::usarAlmacen(llavero);
        ASSERT_TRUE(Preferencias::estandar().fijarMapaTextos("pruebas.hostsServicios", {{"pexels", pexels.base()},
                                                                                        {"unsplash", unsplash.base()},
                                                                                        {"openverse", libres.base()},
                                                                                        {"commons", libres.base()}}));
    }
    void TearDown() override { Llavero::usarAlmacen(anterior); }

    void claves(const std::string& p, const std::string& u) {
        if (!p.empty()) Llavero::guardar(p, "servicio:pexels");
        if (!u.empty()) Llavero::guardar(u, "servicio:unsplash");
    }
    std::size_t pedidasSin(const Proveedores& a, const std::string& cabecera) {
        std::size_t n = 0;
        for (const auto& p : a.peticiones()) n += p.cabeceras.count(cabecera) == 0;
        return n;
    }

    Proveedores pexels, unsplash, libres;
    std::shared_ptr<prueba::LlaveroEnMemoria> llavero;
    std::shared_ptr<Llavero::Almacen> anterior;
};

TEST_F(Fotos, CadaClaveVaSoloASuBanco) {
    claves("clave-p", "clave-u");
    std::vector<Json> p, u;
    for (int i = 0; i < 4; ++i) p.push_back(elementoPexels(pexels.base(), std::to_string(i)));
    for (int i = 0; i < 9; ++i) u.push_back(elementoUnsplash(unsplash.base(), std::to_string(i)));
    pexels.fijarJson("/v1/search", lista("photos", p));
    unsplash.fijarJson("/search/photos", lista("results", u));

    const auto fotos = deBancos("red car", "horizontal", 9);
    ASSERT_EQ(fotos.size(), 9u);
    EXPECT_EQ(fotos[3].fuente, "Pexels");
    EXPECT_EQ(fotos[4].url, unsplash.base() + "/img/1600x1000.jpg?u=0&w=1800&q=80&fit=max");
    EXPECT_EQ(fotos[8].autor, "U4");

    const auto aP = pexels.peticiones();
    const auto aU = unsplash.peticiones();
    ASSERT_EQ(aP.size(), 1u);
    ASSERT_EQ(aU.size(), 1u);
    EXPECT_EQ(aP[0].ruta, "/v1/search?query=red%20car&per_page=9&orientation=landscape");
    EXPECT_EQ(aP[0].cabeceras.at("authorization"), "clave-p");
    // The whole wanted number, not what is missing.
    EXPECT_EQ(aU[0].ruta, "/search/photos?query=red%20car&per_page=9&orientation=landscape");
    EXPECT_EQ(aU[0].cabeceras.at("authorization"), "Client-ID clave-u");
    EXPECT_TRUE(libres.peticiones().empty());

    // Pexels alone gives enough: nobody else is asked.
    for (int i = 4; i < 9; ++i) p.push_back(elementoPexels(pexels.base(), std::to_string(i)));
    pexels.fijarJson("/v1/search", lista("photos", p));
    EXPECT_EQ(deBancos("red car", "horizontal", 9).size(), 9u);
    EXPECT_EQ(unsplash.peticiones().size(), 1u);
    EXPECT_TRUE(libres.peticiones().empty());
}

TEST_F(Fotos, UnBancoQueRedirigeNoSeSigue) {
    // A bank answering with a redirect to another host must not carry the
    // key there: the redirect is the answer, and it holds no photos.
    claves("clave-p", "");
    pexels.fijar("/v1/search", "HTTP/1.1 302 Found\r\nLocation: " + unsplash.base() +
                                   "/search/photos\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    unsplash.fijarJson("/search/photos", lista("results", {elementoUnsplash(unsplash.base(), "x")}));
    (void)deBancos("sol", "horizontal", 3);
    EXPECT_EQ(pexels.peticiones().size(), 1u);
    EXPECT_TRUE(unsplash.peticiones().empty());
    EXPECT_EQ(pedidasSin(libres, "authorization"), libres.peticiones().size());
}

TEST_F(Fotos, OrientacionPorLaPrimeraLetra) {
    claves("p", "u");
    const struct {
        const char* orient;
        const char* pexels;
        const char* unsplash;
        const char* libres;
    } casos[] = {
        {"vertical", "portrait", "portrait", "tall"},     {"cuadrada", "square", "squarish", "square"},
        {"horizontal", "landscape", "landscape", "wide"}, {"panoramica", "landscape", "landscape", "wide"},
        {"", "landscape", "landscape", "wide"},
    };
    for (const auto& c : casos) {
        const std::size_t antes = libres.a("/v1/images/").size();
        (void)deBancos("sea", c.orient, 3);
        EXPECT_EQ(Proveedores::consulta(pexels.peticiones().back().ruta).at("orientation"), c.pexels) << c.orient;
        EXPECT_EQ(Proveedores::consulta(unsplash.peticiones().back().ruta).at("orientation"), c.unsplash) << c.orient;
        const auto ov = libres.a("/v1/images/");
        ASSERT_GT(ov.size(), antes);
        EXPECT_EQ(Proveedores::consulta(ov.back().ruta).at("aspect_ratio"), c.libres) << c.orient;
    }
}

TEST_F(Fotos, SinClavesLasColeccionesConPalabrasMasCortas) {
    // An empty stored key is no key: the banks are never asked.
    claves("", "");
    Llavero::guardar("", "servicio:pexels");
    // Openverse gives the same photo for every variant: it is kept once.
    libres.fijarJson("/v1/images/", lista("results", {elementoOpenverse(libres.base(), "1")}));
    libres.fijarJson("/w/api.php", Json::object());

    const auto fotos = deBancos("red vintage car on street", "horizontal", 9);
    EXPECT_EQ(urls(fotos), (std::vector<std::string>{"https://libre.example/1.jpg"}));
    EXPECT_TRUE(pexels.peticiones().empty());
    EXPECT_TRUE(unsplash.peticiones().empty());

    std::vector<std::pair<std::string, std::string>> openverse;
    for (const auto& p : libres.a("/v1/images/")) {
        const auto q = Proveedores::consulta(p.ruta);
        openverse.emplace_back(q.at("q"), q.at("page_size"));
        EXPECT_EQ(p.cabeceras.at("user-agent"), std::string(agenteUsuario));
    }
    EXPECT_EQ(openverse, (std::vector<std::pair<std::string, std::string>>{
                             {"red vintage car on street", "9"}, {"red vintage car", "8"}, {"red vintage", "8"}}));
    const auto commons = libres.a("/w/api.php");
    ASSERT_EQ(commons.size(), 3u);
    const auto q = Proveedores::consulta(commons[0].ruta);
    EXPECT_EQ(q.at("gsrsearch"), "filetype:bitmap red vintage car on street");
    EXPECT_EQ(q.at("gsrlimit"), "18");
    EXPECT_EQ(q.at("gsrnamespace"), "6");
    EXPECT_EQ(q.at("iiprop"), "url|size|user");
    EXPECT_EQ(q.at("iiurlwidth"), "1800");
    const auto o = Proveedores::consulta(libres.a("/v1/images/")[0].ruta);
    EXPECT_EQ(o.at("license_type"), "commercial");
    EXPECT_EQ(o.at("size"), "large");

    // Two words with two spaces between them are one variant, sent as
    // written.
    (void)deBancos("red  car", "horizontal", 3);
    EXPECT_EQ(Proveedores::consulta(libres.a("/v1/images/").back().ruta).at("q"), "red  car");
    EXPECT_EQ(libres.a("/v1/images/").size(), 4u);
}

TEST_F(Fotos, BancoQueRechazaLaClave) {
    claves("mala", "");
    pexels.fijarJson("/v1/search", {{"error", "Unauthorized"}}, 401);
    std::vector<Json> ov;
    for (int i = 0; i < 3; ++i) ov.push_back(elementoOpenverse(libres.base(), std::to_string(i)));
    libres.fijarJson("/v1/images/", lista("results", ov));
    EXPECT_EQ(urls(deBancos("dog", "h", 3)),
              (std::vector<std::string>{"https://libre.example/0.jpg", "https://libre.example/1.jpg",
                                        "https://libre.example/2.jpg"}));
    EXPECT_TRUE(libres.a("/w/api.php").empty());
}

TEST_F(Fotos, ColeccionesLibres) {
    EXPECT_TRUE(BuscarFotos::libres("x", "landscape", 0).empty());
    EXPECT_TRUE(libres.peticiones().empty());

    // Openverse fails: Commons alone, and its files not cut to the number.
    libres.fijarJson("/v1/images/", {{"detail", "boom"}}, 500);
    Json commons;
    for (int i = 0; i < 6; ++i)
        commons["query"]["pages"][std::to_string(100 + i)] = {
            {"index", 6 - i},
            {"imageinfo",
             {{{"width", 2000},
               {"height", 1000},
               {"thumburl", "https://c.example/" + std::to_string(i) + "/1800px-f.jpg"}}}}};
    libres.fijarJson("/w/api.php", commons);
    const auto solas = BuscarFotos::libres("x", "landscape", 4);
    ASSERT_EQ(solas.size(), 6u);
    EXPECT_EQ(solas.front().url, "https://c.example/5/1800px-f.jpg");

    // Openverse gives one of four, Commons six more.
    libres.fijarJson("/v1/images/", lista("results", {elementoOpenverse(libres.base(), "o")}));
    const auto juntas = BuscarFotos::libres("x", "landscape", 4);
    ASSERT_EQ(juntas.size(), 7u);
    EXPECT_EQ(juntas.front().fuente, "Openverse/flickr");
    EXPECT_EQ(Proveedores::consulta(libres.a("/w/api.php").back().ruta).at("gsrlimit"), "8");
}

TEST_F(Fotos, SoloUnObjetoConEstado200EsJson) {
    const struct {
        std::string respuesta;
        bool objeto;
    } casos[] = {
        {ServidorHTTPPrueba::respuesta(200, R"({"a": 1})"), true},
        {ServidorHTTPPrueba::respuesta(201, R"({"a": 1})"), false},
        {ServidorHTTPPrueba::respuesta(304, R"({"a": 1})"), false},
        {ServidorHTTPPrueba::respuesta(200, R"([{"a": 1}])"), false},
        {ServidorHTTPPrueba::respuesta(200, R"({"a": )"), false},
        {"HTTP/1.1 302 Found\r\nLocation: /otra\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", false},
    };
    libres.fijarJson("/otra", {{"a", 1}});
    for (const auto& c : casos) {
        libres.fijar("/j", c.respuesta);
        PeticionHTTP p;
        p.url = libres.base() + "/j";
        EXPECT_EQ(json(p).has_value(), c.objeto) << c.respuesta;
    }
}

// The sheet of photos whose thumbnails the stand-in serves.
class Hojas : public Fotos {
protected:
    Foto foto(const std::string& mini, std::int64_t ancho = 1600, std::int64_t alto = 1000) {
        return {"https://banco.example/" + mini,
                mini.starts_with("/") ? libres.base() + mini : mini,
                ancho,
                alto,
                "Banco",
                ""};
    }
};

TEST_F(Hojas, TamanoYOrdenDeLaHoja) {
    EXPECT_FALSE(hoja({}, 0).jpeg.has_value());

    std::vector<Foto> trece;
    for (int i = 0; i < 13; ++i) trece.push_back(foto("/img/400x266.jpg?n=" + std::to_string(i)));
    const auto llena = hoja(trece, 0);
    ASSERT_TRUE(llena.jpeg);
    const Imagen grande = leerImagen(*llena.jpeg);
    EXPECT_EQ(grande.ancho, 1232);
    EXPECT_EQ(grande.alto, 1104);
    ASSERT_EQ(llena.fotos.size(), 12u);
    EXPECT_EQ(llena.fotos.back().mini, trece[11].mini);

    // The second thumbnail fails, so the others move up a number.
    std::vector<Foto> cinco;
    for (int i = 0; i < 5; ++i) cinco.push_back(foto("/img/400x266.jpg?n=" + std::to_string(i)));
    cinco[1].mini = libres.base() + "/no-existe.jpg";
    const auto cuatro = hoja(cinco, 0);
    ASSERT_TRUE(cuatro.jpeg);
    const Imagen h = leerImagen(*cuatro.jpeg);
    EXPECT_EQ(h.ancho, 1232);
    EXPECT_EQ(h.alto, 556);
    EXPECT_EQ(urls(cuatro.fotos), (std::vector<std::string>{cinco[0].url, cinco[2].url, cinco[3].url, cinco[4].url}));
    // The fourth sits alone at the left of the second row; the rest of that
    // row is the sheet's dark ground.
    EXPECT_FALSE(cerca(h.en(200, 274 + 8 + 200), {20, 20, 20}));
    EXPECT_TRUE(cerca(h.en(616, 274 + 8 + 133), {20, 20, 20}, 6));
    EXPECT_TRUE(cerca(h.en(1228, 552), {20, 20, 20}, 6));
}

TEST_F(Hojas, UnRetratoLlenaSuCeldaCortadoPorIgual) {
    // 300 × 600 with white in the middle of its top half: cut to the cell's
    // shape, the rows from a third to two thirds remain, so white fills the
    // top of the cell in its middle, and the rest is the picture's colour.
    const auto h = hoja({foto("/img/300x600.png", 0, 0)}, 0);
    ASSERT_TRUE(h.jpeg);
    std::ofstream(prueba::rutaCaptura("hoja-retrato.jpg"), std::ios::binary) << *h.jpeg;
    const Imagen i = leerImagen(*h.jpeg);
    const std::array<int, 3> azul{0x33, 0x66, 0xAA};
    EXPECT_TRUE(cerca(i.en(8 + 200, 8 + 60), {255, 255, 255}));
    EXPECT_TRUE(cerca(i.en(8 + 200, 8 + 250), azul));
    EXPECT_TRUE(cerca(i.en(8 + 380, 8 + 60), azul));
    EXPECT_TRUE(cerca(i.en(8 + 20, 8 + 250), azul));
    // The number's dark badge at the top-left corner.
    EXPECT_LT(i.en(8 + 12, 8 + 25)[2], 100);
    // A photo without a size takes its thumbnail's.
    ASSERT_EQ(h.fotos.size(), 1u);
    EXPECT_EQ(h.fotos[0].ancho, 300);
    EXPECT_EQ(h.fotos[0].alto, 600);
}

TEST_F(Hojas, LoQueNoEsUnaMiniaturaSeQueda) {
    prueba::ServidorSinFin sinFin("image/jpeg");
    Proveedores otro;
    libres.fijar("/texto.jpg", ServidorHTTPPrueba::respuesta(200, "<html>no soy una foto</html>", "image/jpeg"));
    libres.fijar("/svg.jpg",
                 ServidorHTTPPrueba::respuesta(200, "<svg xmlns='http://www.w3.org/2000/svg'/>", "image/svg+xml"));
    libres.fijar("/parcial.jpg", ServidorHTTPPrueba::respuesta(203, prueba::imagenDe(400, 266, "jpeg"), "image/jpeg"));
    libres.fijar("/gigante.png", ServidorHTTPPrueba::respuesta(200, prueba::pngQueDeclara(50000, 50000), "image/png"));
    libres.fijar("/aqui.jpg",
                 "HTTP/1.1 302 Found\r\nLocation: /img/400x266.jpg?r=1\r\nContent-Length: 0\r\n"
                 "Connection: close\r\n\r\n");
    libres.fijar("/fuera.jpg", "HTTP/1.1 302 Found\r\nLocation: " + otro.base() +
                                   "/img/400x266.jpg\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    libres.fijar("/a-404.jpg",
                 "HTTP/1.1 302 Found\r\nLocation: /nada.jpg\r\nContent-Length: 0\r\n"
                 "Connection: close\r\n\r\n");
    const std::vector<Foto> fotos = {foto("/texto.jpg"),
                                     foto("/svg.jpg"),
                                     foto("/parcial.jpg"),
                                     foto("/gigante.png"),
                                     foto(sinFin.base() + "/x.jpg"),
                                     foto("/fuera.jpg"),
                                     foto("/a-404.jpg"),
                                     foto("/aqui.jpg"),
                                     foto("javascript:alert(1)")};
    const auto antes = Reloj::now();
    const auto h = hoja(fotos, 0);
    EXPECT_LT(Reloj::now() - antes, std::chrono::seconds(10));
    EXPECT_EQ(urls(h.fotos), (std::vector<std::string>{fotos[7].url}));
    EXPECT_TRUE(otro.peticiones().empty());
    // The endless body was cut at the thumbnail cap, far below what memory
    // would hold.
    EXPECT_LT(sinFin.enviados(), 64u * 1024u * 1024u);
    EXPECT_LT(prueba::picoMemoriaMiB(), 400);
}

TEST_F(Hojas, TamanoMinimoDeLasFotosDeUnaPagina) {
    const std::vector<Foto> fotos = {foto("/img/800x200.jpg", 0, 0), foto("/img/800x199.jpg", 0, 0),
                                     foto("/img/399x1000.jpg", 0, 0), foto("/img/120x90.jpg", 5000, 4000)};
    EXPECT_EQ(urls(hoja(fotos, 400).fotos), (std::vector<std::string>{fotos[0].url}));
    const auto todas = hoja(fotos, 0).fotos;
    ASSERT_EQ(todas.size(), 4u);
    // A size given by the source stays, even when the thumbnail is smaller.
    EXPECT_EQ(todas[3].ancho, 5000);
    EXPECT_EQ(todas[1].alto, 199);
}

// The tool as the agent calls it.
class Herramienta : public Fotos {
protected:
    Json llamar(const Json& args) { return herramientaBloqueante(args); }
    static std::string texto(const Json& items) { return items.back().at("text").get<std::string>(); }
};

TEST_F(Herramienta, ArgumentosNormalizados) {
    claves("p", "");
    const struct {
        Json cantidad;
        std::string perPage;
    } casos[] = {{0, "3"},   {1, "3"},      {2, "3"},       {40, "12"}, {"6", "6"},
                 {7.5, "9"}, {"seis", "9"}, {nullptr, "9"}, {-4, "3"},  {true, "9"}};
    for (const auto& c : casos) {
        Json args = {{"consulta", "  bakery\n"}, {"orientacion", "VERTICAL"}};
        if (!c.cantidad.is_null()) args["cantidad"] = c.cantidad;
        (void)llamar(args);
        const auto q = Proveedores::consulta(pexels.peticiones().back().ruta);
        EXPECT_EQ(q.at("per_page"), c.perPage) << c.cantidad.dump();
        EXPECT_EQ(q.at("query"), "bakery");
        EXPECT_EQ(q.at("orientation"), "portrait");
    }
    (void)llamar({{"consulta", "bakery"}, {"orientacion", 3}});
    EXPECT_EQ(Proveedores::consulta(pexels.peticiones().back().ruta).at("orientation"), "landscape");
}

TEST_F(Herramienta, Errores) {
    const std::string queBuscar = "Dime qué buscar (consulta, en inglés) o de qué web sacar las fotos (pagina).";
    const std::string urlHttps = "La página tiene que ser una URL https.";
    const struct {
        Json args;
        std::string texto;
    } casos[] = {
        {Json::object(), queBuscar},
        {{{"consulta", "   "}}, queBuscar},
        {{{"consulta", 5}, {"pagina", false}}, queBuscar},
        {{{"pagina", "ftp://x.example/"}}, urlHttps},
        {{{"pagina", "panaderia"}}, urlHttps},
        {{{"pagina", "javascript:alert(1)"}}, urlHttps},
    };
    for (const auto& c : casos)
        EXPECT_EQ(llamar(c.args), Json::array({{{"type", "text"}, {"text", c.texto}, {"error", true}}}))
            << c.args.dump();
    EXPECT_TRUE(libres.peticiones().empty());
}

TEST_F(Herramienta, HojaYListaNumerada) {
    claves("p", "");
    std::vector<Json> p;
    for (int i = 0; i < 5; ++i) p.push_back(elementoPexels(pexels.base(), std::to_string(i)));
    p[1]["src"]["medium"] = pexels.base() + "/no-existe.jpg";
    p[2]["src"]["medium"] = pexels.base() + "/img/640x480.png?p=2";
    p[3].erase("width");
    p[3]["src"]["medium"] = pexels.base() + "/img/300x200.jpg?p=3";
    p[4]["photographer"] = "";
    pexels.fijarJson("/v1/search", lista("photos", p));

    const Json items = llamar({{"consulta", "bakery"}, {"cantidad", 5}});
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].at("type"), "image");
    EXPECT_EQ(items[0].at("mimeType"), "image/jpeg");
    const auto jpeg = desdeBase64(items[0].at("data").get<std::string>());
    ASSERT_TRUE(jpeg);
    const Imagen hojaLeida = leerImagen(std::string(jpeg->begin(), jpeg->end()));
    EXPECT_EQ(hojaLeida.ancho, 1232);
    EXPECT_EQ(hojaLeida.alto, 556);
    const std::string b = pexels.base();
    EXPECT_EQ(
        texto(items),
        "Fotos encontradas (la hoja de arriba, numeradas). MÍRALAS y elige las que de verdad encajen con el "
        "diseño: luz, encuadre, calidad, que no parezcan de stock barato. Pon en src la URL tal cual:\n"
        "1. " +
            b +
            "/img/1600x1000.jpg?p=0 — 1600×1000 · Pexels · P0\n"
            "2. " +
            b +
            "/img/1600x1000.jpg?p=2 — 1600×1000 · Pexels · P2\n"
            "3. " +
            b +
            "/img/1600x1000.jpg?p=3 — 300×200 · Pexels · P3\n"
            "4. " +
            b +
            "/img/1600x1000.jpg?p=4 — 1600×1000 · Pexels\n"
            "Si ninguna vale, busca otra vez con otras palabras. No reutilices la misma foto en dos sitios de la web.");
}

TEST_F(Herramienta, SinEncontrarYAvisosDeClaves) {
    const std::string pista =
        " (Con una clave gratuita de Pexels o Unsplash en Ajustes → Tus claves, la búsqueda mejora mucho.)";
    EXPECT_EQ(llamar({{"consulta", " gato azul "}}),
              Json::array({{{"type", "text"},
                            {"text",
                             "No he encontrado fotos que se puedan usar con «gato azul»: prueba con otras "
                             "palabras en inglés, más concretas o más generales." +
                                 pista}}}));
    // With a page (a consulta given as well is ignored).
    libres.fijar("/vacia", ServidorHTTPPrueba::respuesta(200, "<html></html>", "text/html"));
    EXPECT_EQ(texto(llamar({{"consulta", "gato"}, {"pagina", libres.base() + "/vacia"}})),
              "No he encontrado fotos que se puedan usar en esa página (o no se dejan descargar)." + pista);

    // Only the paragraph about free banks closes a bank answer without keys.
    libres.fijarJson("/v1/images/", lista("results", {elementoOpenverse(libres.base(), "1")}));
    const std::string conFotos = texto(llamar({{"consulta", "gato"}}));
    EXPECT_TRUE(conFotos.ends_with(
        "dos sitios de la web.\n(Sólo bancos gratuitos: si el resultado es pobre, dile al usuario que con una clave "
        "gratuita de Pexels o Unsplash en Ajustes → Tus claves habrá fotos mucho mejores.)"))
        << conFotos;

    claves("p", "");
    EXPECT_TRUE(texto(llamar({{"consulta", "gato"}})).ends_with("dos sitios de la web."));
}

TEST_F(Herramienta, FotosDeUnaPagina) {
    std::string html = R"(<meta property="og:image" content="/img/1200x630.jpg">)";
    html += R"(<img src="/img/100x100.jpg"><img src="/logo.png"><img src="img/800x600.png">)";
    libres.fijar("/tienda/", ServidorHTTPPrueba::respuesta(404, html, "text/html"));
    const Json items = llamar({{"pagina", " " + libres.base() + "/tienda/ "}, {"cantidad", 3}});
    ASSERT_EQ(items.size(), 2u);
    const std::string b = libres.base();
    EXPECT_EQ(
        texto(items),
        "Fotos encontradas (la hoja de arriba, numeradas). MÍRALAS y elige las que de verdad encajen con el "
        "diseño: luz, encuadre, calidad, que no parezcan de stock barato. Pon en src la URL tal cual:\n"
        "1. " +
            b +
            "/img/1200x630.jpg — 1200×630 · 127.0.0.1\n"
            "2. " +
            b +
            "/tienda/img/800x600.png — 800×600 · 127.0.0.1\n"
            "Si ninguna vale, busca otra vez con otras palabras. No reutilices la misma foto en dos sitios de la web.");
    EXPECT_EQ(libres.a("/tienda/").at(0).cabeceras.at("user-agent"), std::string(agenteUsuario));
}

TEST_F(Herramienta, PaginaSinFin) {
    prueba::ServidorSinFin sinFin;
    const auto antes = Reloj::now();
    EXPECT_EQ(texto(llamar({{"pagina", sinFin.base() + "/"}})),
              "No he encontrado fotos que se puedan usar en esa página (o no se dejan descargar). (Con una clave "
              "gratuita de Pexels o Unsplash en Ajustes → Tus claves, la búsqueda mejora mucho.)");
    EXPECT_LT(Reloj::now() - antes, std::chrono::seconds(15));
    EXPECT_LT(sinFin.enviados(), 64u * 1024u * 1024u);
    EXPECT_LT(prueba::picoMemoriaMiB(), 400);
}

}  // namespace
}  // namespace sorvenia::BuscarFotos
