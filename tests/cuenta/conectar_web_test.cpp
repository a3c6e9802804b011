// The sign-in page with its native side, in a real web view (under Xvfb):
// what the page shows for each state of the account, what its controls do,
// and which messages are turned away.

#include <gtest/gtest.h>

#include "cache_propia.h"
#include "cuenta/gui/conectar_web.h"
#include "cuenta_prueba.h"
#include "esperar_bucle.h"
#include "plataforma/identidad.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/navegador.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;

class ConectarWebTest : public prueba::CuentaPrueba {
protected:
    static void SetUpTestSuite() {
        prueba::usarCachePropia();
        ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run).";
    }

    void SetUp() override {
        CuentaPrueba::SetUp();
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        anterior_ = Navegador::usarAbridor([this](const std::string& uri) {
            abiertos.push_back(uri);
            return abrirFunciona;
        });
        cuenta = crear();
        pantalla = std::make_unique<ConectarWeb>(cuenta);
        ventana = Ref<GtkWindow>::compartir(comoG<GtkWindow>(gtk_window_new()));
        gtk_window_set_default_size(ventana.get(), 1000, 640);
        gtk_window_set_child(ventana.get(), pantalla->widget());
        gtk_window_present(ventana.get());
    }
    void TearDown() override {
        gtk_window_set_child(ventana.get(), nullptr);
        gtk_window_destroy(ventana.get());
        pantalla.reset();
        Navegador::usarAbridor(anterior_);
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        CuentaPrueba::TearDown();
    }

    json ejecutar(const std::string& js) {
        const auto r = esperarTarea(webVista().llamar(js));
        return r && *r ? **r : json("(sin respuesta)");
    }
    WebVista& webVista();

    // {"estado": "reposo" | "espera", "error": shown text or ""}
    json pagina() {
        return ejecutar("return {estado: document.body.dataset.estado || '', error: "
                        "document.getElementById('error').hidden ? '' : document.getElementById('error').textContent};");
    }
    bool muestra(const std::string& estado, const std::string& error) {
        return esperarHasta([&] { return pagina() == json({{"estado", estado}, {"error", error}}); });
    }
    void pulsar(const std::string& id) { ejecutar("document.getElementById('" + id + "').click();"); }

    std::shared_ptr<Cuenta> cuenta;
    std::unique_ptr<ConectarWeb> pantalla;
    Ref<GtkWindow> ventana;
    std::vector<std::string> abiertos;
    bool abrirFunciona = true;

private:
    Navegador::Abridor anterior_;
};

WebVista& ConectarWebTest::webVista() { return pantalla->vista(); }

TEST_F(ConectarWebTest, LaPaginaSigueElEstadoDeLaCuenta) {
    ASSERT_TRUE(muestra("reposo", "")) << pagina();

    pulsar("conectar");
    ASSERT_TRUE(muestra("espera", "")) << pagina();
    EXPECT_TRUE(cuenta->conectando());
    ASSERT_TRUE(cuenta->enlaceConexion());

    pulsar("copiar");
    ASSERT_TRUE(esperarHasta([&] { return !ejecutar("return document.getElementById('copiado').hidden;").get<bool>(); }));
    GdkContentProvider* contenido = gdk_clipboard_get_content(gdk_display_get_clipboard(gdk_display_get_default()));
    ASSERT_NE(contenido, nullptr);
    GValue valor = G_VALUE_INIT;
    g_value_init(&valor, G_TYPE_STRING);
    ASSERT_TRUE(gdk_content_provider_get_value(contenido, &valor, nullptr));
    EXPECT_EQ(std::string(g_value_get_string(&valor)), *cuenta->enlaceConexion());
    g_value_unset(&valor);

    // The callback of another attempt: the message shows, the wait goes on.
    cuenta->recibir("sorvenia-tarvel://conectar?state=otro&code=x");
    EXPECT_TRUE(muestra("espera", "La respuesta no corresponde a esta conexión."));

    pulsar("cancelar");
    EXPECT_TRUE(muestra("reposo", "La respuesta no corresponde a esta conexión."));
    EXPECT_FALSE(cuenta->conectando());

    pulsar("registro");
    ASSERT_TRUE(esperarHasta([&] { return !abiertos.empty(); }));
    EXPECT_EQ(abiertos.back(), servicio.base() + "/registro/");
}

// No browser could be opened: the page does not say it opened one; it shows
// the link to copy, and once a browser opens it says so again.
TEST_F(ConectarWebTest, SinNavegadorLaPaginaMuestraElEnlaceParaCopiar) {
    fijarIdAplicacion("es.sorvenia.tarvel");
    abrirFunciona = false;
    ASSERT_TRUE(muestra("reposo", "")) << pagina();
    pulsar("conectar");
    ASSERT_TRUE(muestra("espera", "No se ha podido abrir el navegador.")) << pagina();
    ASSERT_TRUE(cuenta->enlaceConexion());
    const auto vista = [&] {
        return ejecutar("const v = (id) => !document.getElementById(id).hidden && "
                        "document.getElementById(id).offsetParent !== null;"
                        "return {abierto: v('abierto'), sinNavegador: v('sin-navegador'),"
                        " enlace: document.getElementById('enlace').textContent};");
    };
    EXPECT_EQ(vista(), json({{"abierto", false}, {"sinNavegador", true}, {"enlace", *cuenta->enlaceConexion()}}));

    pulsar("copiar");
    ASSERT_TRUE(esperarHasta([&] { return !ejecutar("return document.getElementById('copiado').hidden;").get<bool>(); }));

    abrirFunciona = true;
    pulsar("reabrir");
    ASSERT_TRUE(muestra("espera", "")) << pagina();
    EXPECT_EQ(vista(), json({{"abierto", true}, {"sinNavegador", false}, {"enlace", ""}}));
}

TEST_F(ConectarWebTest, SoloValenLosMensajesBienFormadosDeLaPaginaPrincipal) {
    ASSERT_TRUE(muestra("reposo", ""));
    // From a frame inside the page (which has no relay of its own, and here
    // tries its own document), with a "tipo" that is not text, with none,
    // with an unknown one.
    ejecutar(R"(
        const marco = document.createElement('iframe');
        marco.srcdoc = "<script>document.dispatchEvent(new CustomEvent('sorvenia-mensaje', " +
                       "{detail: JSON.stringify({tipo: 'conectar'})}));<\/script>";
        document.body.appendChild(marco);
        await new Promise(r => marco.onload = r);
        for (const m of [{tipo: 5}, {otro: 'conectar'}, {tipo: 'conectarse'}, [1, 2], 'conectar'])
            document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify(m)}));
        document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: {tipo: 'conectar'}}));
    )");
    // A well-formed message after them is handled, so the earlier ones had
    // their chance.
    ejecutar("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify({tipo: 'registro'})}));");
    ASSERT_TRUE(esperarHasta([&] { return !abiertos.empty(); }));
    EXPECT_FALSE(cuenta->conectando());
    EXPECT_FALSE(cuenta->enlaceConexion());
    EXPECT_TRUE(muestra("reposo", ""));
}

// A page of the test's own records each state the model sends it.
TEST_F(ConectarWebTest, ListoAntesDeCualquierEstadoYSinCuenta) {
    WebVista vista("conectar");
    ConectarModelo modelo;
    modelo.fijarWeb(&vista);
    modelo.fijarCuenta(cuenta);
    vista.alMensaje([&](const json& m) { modelo.recibir(m); });
    vista.cargarHTML("<script>window.estados = []; window.conectar = {estado(e) { window.estados.push(e); }};"
                     "document.dispatchEvent(new CustomEvent('sorvenia-mensaje', "
                     "{detail: JSON.stringify({tipo: 'listo'})}));</script>",
                     "file:///conectar-prueba.html");
    auto estados = [&] {
        const auto r = esperarTarea(vista.llamar("return window.estados || [];"));
        return r && *r ? **r : json();
    };
    ASSERT_TRUE(esperarHasta([&] { return estados().size() == 1; }));
    EXPECT_EQ(estados(), json::array({{{"conectando", false}}})) << "no \"error\" key before any state";

    modelo.enviar(true, std::nullopt);
    modelo.enviar(false, "Has cancelado la conexión.");
    ASSERT_TRUE(esperarHasta([&] { return estados().size() == 3; }));
    EXPECT_EQ(estados()[1], json({{"conectando", true}, {"error", nullptr}}));
    EXPECT_EQ(estados()[2], json({{"conectando", false}, {"error", "Has cancelado la conexión."}}));

    // With the account gone, messages are ignored: "listo" gets no answer.
    modelo.fijarCuenta({});
    esperarTarea(vista.llamar("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', "
                              "{detail: JSON.stringify({tipo: 'listo'})})); return 1;"));
    esperarHasta([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(estados().size(), 3U);
    modelo.fijarWeb(nullptr);
}

}  // namespace
}  // namespace sorvenia
