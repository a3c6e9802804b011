#include "plataforma/gui/instantanea_web.h"

#include <chrono>
#include <functional>
#include <string>

#include "plataforma/gui/javascript_web.h"
#include "plataforma/gui/relevo_mensajes.h"

namespace sorvenia {
namespace {

// The viewport's height while photographing; the picture itself is as tall
// as the document.
constexpr int altoVentana = 600;
constexpr auto esperaMaxima = std::chrono::seconds(10);
constexpr double pausaSondeo = 0.02;

using Textura = Resultado<Ref<GdkTexture>>;
using AlFotografiar = std::function<void(Textura)>;

// The size reaches the web process asynchronously and a load may still be
// under way: asks the document (from our own world, which the page cannot
// disturb) until it is complete and as wide as requested.
Tarea<Hecho> esperarDisposicion(Ref<WebKitWebView> vista, int ancho) {
    const std::string pregunta = "return document.readyState === 'complete' && window.innerWidth === ancho;";
    const nlohmann::json argumentos = {{"ancho", ancho}};
    const auto limite = std::chrono::steady_clock::now() + esperaMaxima;
    while (std::chrono::steady_clock::now() < limite) {
        if (webkit_web_view_is_loading(vista.get()) == FALSE) {
            const auto estado = co_await llamarFuncion(vista, mundoSorvenia, pregunta, argumentos);
            if (estado && *estado == true) co_return hecho();
        }
        co_await dormir(pausaSondeo);
    }
    co_return Fallo{"La página no ha terminado de cargarse a tiempo para la captura.", "tiempo"};
}

void alTerminarCaptura(GObject* origen, GAsyncResult* resultado, gpointer datos) {
    const std::unique_ptr<AlFotografiar> alTerminar(static_cast<AlFotografiar*>(datos));
    GError* crudo = nullptr;
    auto textura = Ref<GdkTexture>::adoptar(
        webkit_web_view_get_snapshot_finish(comoG<WebKitWebView>(origen), resultado, &crudo));
    const ErrorG error(crudo);
    if (!textura) {
        std::string mensaje = "No se ha podido capturar la página.";
        if (error) mensaje += std::string(" ") + error->message;
        (*alTerminar)(Fallo{mensaje, "captura"});
        return;
    }
    (*alTerminar)(std::move(textura));
}

Tarea<Textura> capturar(Ref<WebKitWebView> vista) {
    co_return co_await conRetrollamada<Textura>([&](AlFotografiar listo) {
        webkit_web_view_get_snapshot(vista.get(), WEBKIT_SNAPSHOT_REGION_FULL_DOCUMENT, WEBKIT_SNAPSHOT_OPTIONS_NONE,
                                     nullptr, alTerminarCaptura, new AlFotografiar(std::move(listo)));
    });
}

}  // namespace

Tarea<Resultado<std::vector<std::uint8_t>>> fotografiarDocumento(Ref<WebKitWebView> vista,
                                                                 std::shared_ptr<AnfitrionOculto> anfitrion,
                                                                 int ancho, FormatoImagen formato, int calidadJpeg) {
    anfitrion->dimensionar(ancho, altoVentana);
    const Hecho dispuesta = co_await esperarDisposicion(vista, ancho);
    if (!dispuesta) co_return dispuesta.fallo();
    const Textura textura = co_await capturar(vista);
    if (!textura) co_return textura.fallo();
    co_return codificarTextura(textura->get(), formato, calidadJpeg);
}

}  // namespace sorvenia
