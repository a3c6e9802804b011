// Image generation with the customer's keys against stand-in providers on
// 127.0.0.1: which provider is asked with which key and body, what comes
// back, and the errors. The keychain is in memory.
#include <gtest/gtest.h>

#include <memory>

#include "servicio_local_prueba.h"
#include "esperar_bucle.h"
#include "cuenta/error_api.h"
#include "cuenta/llavero.h"
#include "editor/recursos_generados.h"
#include "fotos_prueba.h"
#include "integraciones/imagen_lecturas.h"
#include "integraciones/servicios_cliente.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;
using prueba::Proveedores;
using prueba::ServidorHTTPPrueba;

const std::string sinClave = "Para generar imágenes conecta Gemini, fal.ai u OpenAI con tu clave (IA e integraciones).";

TEST(Imagenes, FormatosPorTamano) {
    const struct {
        std::int64_t ancho, alto;
        const char* fal;
        const char* openai;
    } casos[] = {
        {1600, 1000, "4:3", "1536x1024"},  // 1.6 is not above 1.6
        {1920, 1080, "16:9", "1536x1024"},   {1000, 1000, "1:1", "1024x1024"},    {1000, 1250, "3:4", "1024x1024"},
        {1000, 1251, "3:4", "1024x1536"},    {700, 1000, "9:16", "1024x1536"},    {500, 0, "16:9", "1536x1024"},
        {INT64_MAX, 1, "16:9", "1536x1024"}, {1, INT64_MAX, "9:16", "1024x1536"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(Imagenes::aspectoFal(c.ancho, c.alto), c.fal) << c.ancho << "x" << c.alto;
        EXPECT_EQ(Imagenes::tamanoOpenAI(c.ancho, c.alto), c.openai) << c.ancho << "x" << c.alto;
    }
}

TEST(Imagenes, NombresDeLasGeneradas) {
    RecursosGenerados r;
    EXPECT_EQ(r.nombrar(1'700'000'123), "generada-123");
    // Two in the same second, or 100,000 seconds apart, never share a name.
    EXPECT_EQ(r.nombrar(1'700'000'123), "generada-123-2");
    EXPECT_EQ(r.nombrar(1'700'100'123), "generada-123-3");
    EXPECT_EQ(r.nombrar(1'700'000'124), "generada-124");
    EXPECT_EQ(RecursosGenerados().nombrar(1'700'000'000), "generada-0");
}

class GenerarImagen : public ::testing::Test {
protected:
    void SetUp() override {
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        anterior = Llavero::usarAlmacen(llavero);
        ASSERT_TRUE(Preferencias::estandar().fijarMapaTextos(
            "pruebas.hostsServicios", {{"fal", fal.base()}, {"openai", openai.base()}, {"gemini", gemini.base()}}));
    }
    void TearDown() override { Llavero::usarAlmacen(anterior); }

    // The image, or the error's code and sentence.
    std::string generar(std::optional<std::string> imagen = std::nullopt, std::int64_t w = 1600,
                        std::int64_t h = 1000) {
        auto tarea = [](std::optional<std::string> i, std::int64_t an, std::int64_t al) -> Tarea<std::string> {
            try {
                co_return co_await ServiciosCliente::imagen("un faro al atardecer", std::move(i), an, al);
            } catch (const ErrorAPI& e) {
                co_return "ErrorAPI " + e.codigo + " " + std::to_string(e.status) + ": " + e.mensaje;
            } catch (const std::exception& e) {
                co_return std::string("otro: ") + e.what();
            }
        };
        return prueba::esperarTarea(tarea(std::move(imagen), w, h)).value_or("(sin fin)");
    }
    static Json cuerpo(const prueba::PeticionHTTP& p) { return Json::parse(p.cuerpo); }

    Proveedores fal, openai, gemini;
    std::shared_ptr<prueba::LlaveroEnMemoria> llavero = std::make_shared<prueba::LlaveroEnMemoria>();
    std::shared_ptr<Llavero::Almacen> anterior;
};

TEST_F(GenerarImagen, SinClavesNadaSeEnvia) {
    EXPECT_EQ(generar(), "ErrorAPI sin_clave 0: " + sinClave);
    Llavero::guardar("", "servicio:fal");
    EXPECT_EQ(generar(), "ErrorAPI sin_clave 0: " + sinClave);
    EXPECT_TRUE(fal.peticiones().empty());
    EXPECT_TRUE(openai.peticiones().empty());
    EXPECT_TRUE(gemini.peticiones().empty());
}

TEST_F(GenerarImagen, FalPrimeroConSuFormato) {
    for (const char* s : {"fal", "openai", "gemini"})
        Llavero::guardar(std::string("k-") + s, std::string("servicio:") + s);
    fal.fijarJson("/fal-ai/flux-pro/v1.1-ultra",
                  Json::parse(R"({"images": [{"url": "https://v3.fal.media/files/x.jpg"}]})"));
    EXPECT_EQ(generar(std::nullopt, 1920, 1080), "https://v3.fal.media/files/x.jpg");
    const auto p = fal.peticiones().at(0);
    EXPECT_EQ(p.metodo, "POST");
    EXPECT_EQ(p.cabeceras.at("authorization"), "Key k-fal");
    EXPECT_EQ(p.cabeceras.at("content-type"), "application/json");
    EXPECT_EQ(
        cuerpo(p),
        (Json{{"prompt", "un faro al atardecer"}, {"output_format", "jpeg"}, {"aspect_ratio", "16:9"}, {"raw", true}}));
    EXPECT_TRUE(openai.peticiones().empty());
    EXPECT_TRUE(gemini.peticiones().empty());

    // With a reference picture, the editing model and no aspect ratio.
    fal.fijarJson("/fal-ai/flux-pro/kontext/max",
                  Json::parse(R"({"images": [{"url": "https://v3.fal.media/files/y.jpg"}]})"));
    EXPECT_EQ(generar("https://a.example/ref.jpg"), "https://v3.fal.media/files/y.jpg");
    EXPECT_EQ(cuerpo(fal.peticiones().back()), (Json{{"prompt", "un faro al atardecer"},
                                                     {"output_format", "jpeg"},
                                                     {"image_url", "https://a.example/ref.jpg"}}));
}

TEST_F(GenerarImagen, ErroresDeFal) {
    Llavero::guardar("k", "servicio:fal");
    const struct {
        std::string respuesta;
        std::string esperado;
    } casos[] = {
        {ServidorHTTPPrueba::respuesta(403, R"({"detail": "Invalid key"})"),
         "ErrorAPI fal 0: fal.ai (403): Invalid key"},
        // "detail" that is no text: the body itself, cut at 200 bytes.
        {ServidorHTTPPrueba::respuesta(422, R"({"detail": [{"msg": "bad"}]})"),
         R"(ErrorAPI fal 0: fal.ai (422): {"detail": [{"msg": "bad"}]})"},
        {ServidorHTTPPrueba::respuesta(500, std::string(300, 'x')),
         "ErrorAPI fal 0: fal.ai (500): " + std::string(200, 'x')},
        // An address that would break out of the page's attribute is none.
        {ServidorHTTPPrueba::respuesta(200, R"j({"images": [{"url": "javascript:alert(1)"}]})j"),
         R"j(ErrorAPI fal 0: fal.ai (200): {"images": [{"url": "javascript:alert(1)"}]})j"},
    };
    for (const auto& c : casos) {
        fal.fijar("/fal-ai/flux-pro/v1.1-ultra", c.respuesta);
        EXPECT_EQ(generar(), c.esperado);
    }
}

TEST_F(GenerarImagen, OpenAIDevuelveUnaURLDeDatos) {
    Llavero::guardar("k-o", "servicio:openai");
    openai.fijarJson("/v1/images/generations", Json::parse(R"({"data": [{"b64_json": "iVBORw0KGgo="}]})"));
    // The reference picture is not sent to OpenAI.
    EXPECT_EQ(generar("data:image/png;base64,AAAA", 1000, 1300), "data:image/png;base64,iVBORw0KGgo=");
    const auto p = openai.peticiones().at(0);
    EXPECT_EQ(p.cabeceras.at("authorization"), "Bearer k-o");
    EXPECT_EQ(cuerpo(p),
              (Json{{"model", "gpt-image-1"}, {"prompt", "un faro al atardecer"}, {"size", "1024x1536"}, {"n", 1}}));

    openai.fijarJson("/v1/images/generations", Json::parse(R"({"error": {"message": "Billing hard limit reached"}})"),
                     400);
    EXPECT_EQ(generar(), "ErrorAPI openai 0: Billing hard limit reached");
    openai.fijarJson("/v1/images/generations", Json::parse(R"({"data": [{"b64_json": "\"><script>"}]})"));
    EXPECT_EQ(generar(), "ErrorAPI openai 0: OpenAI no ha devuelto imagen.");
}

TEST_F(GenerarImagen, GeminiPruebaDosModelos) {
    Llavero::guardar("k-g", "servicio:gemini");
    const std::string primero = "/v1beta/models/gemini-3-pro-image-preview:generateContent";
    const std::string segundo = "/v1beta/models/gemini-2.5-flash-image:generateContent";
    gemini.fijarJson(primero, Json::parse(R"({"error": {"message": "not found"}})"), 404);
    gemini.fijarJson(segundo, Json::parse(R"({"candidates": [{"content": {"parts": [{"text": "aquí está"},
        {"inlineData": {"mimeType": "image/jpeg", "data": "/9j/4A=="}}]}}]})"));
    EXPECT_EQ(generar("data:image/webp;base64,UklGRg=="), "data:image/jpeg;base64,/9j/4A==");
    const auto pedidas = gemini.peticiones();
    ASSERT_EQ(pedidas.size(), 2u);
    EXPECT_EQ(pedidas[0].ruta, primero);
    EXPECT_EQ(pedidas[1].ruta, segundo);
    EXPECT_EQ(pedidas[1].cabeceras.at("x-goog-api-key"), "k-g");
    EXPECT_EQ(cuerpo(pedidas[1]), Json::parse(R"({"contents": [{"parts": [{"text": "un faro al atardecer"},
        {"inline_data": {"mime_type": "image/webp", "data": "UklGRg=="}}]}]})"));

    // An https reference is not sent; both models missing is the no-key error.
    gemini.fijarJson(segundo, Json::parse(R"({"error": {"message": "not found"}})"), 404);
    EXPECT_EQ(generar("https://a.example/ref.jpg"), "ErrorAPI sin_clave 0: " + sinClave);
    EXPECT_EQ(cuerpo(gemini.peticiones().back()),
              Json::parse(R"({"contents": [{"parts": [{"text": "un faro al atardecer"}]}]})"));

    gemini.fijarJson(primero, Json::parse(R"({"candidates": [], "error": {"message": "Safety"}})"), 400);
    EXPECT_EQ(generar(), "ErrorAPI gemini 0: Safety");
    gemini.fijarJson(primero, Json::parse(R"({"candidates": [{"content": {"parts": [
        {"inline_data": {"mime_type": "image/png\"x", "data": "AAAA"}}]}}]})"));
    EXPECT_EQ(generar(), "data:image/png;base64,AAAA");
}

TEST_F(GenerarImagen, SinRespuestaEsErrorDeTransporte) {
    Llavero::guardar("k", "servicio:openai");
    Preferencias::estandar().fijarMapaTextos("pruebas.hostsServicios", {{"openai", "http://127.0.0.1:1"}});
    EXPECT_EQ(generar().rfind("otro: ", 0), 0u);
}

}  // namespace
}  // namespace sorvenia
