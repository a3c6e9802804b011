// The page's snapshot of one artboard: the rectangle it names, taken from
// what the editor view shows, as a JPEG data URL. A rectangle too small,
// too large or not wholly inside the view gets no answer (the page has its
// own time limit for that).
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "comun/lectura_mensajes.h"
#include "editor/gui/editor_abierto.h"
#include "plataforma/cripto.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

struct Zona {
    double x = 0, y = 0, w = 0, h = 0;
};

double numero(const Json& o, const char* clave) {
    const auto it = o.find(clave);
    return it != o.end() && it->is_number() ? it->get<double>() : 0.0;
}

Zona zonaDe(const Json& m) {
    const auto it = m.find("rect");
    const Json rect = it != m.end() && it->is_object() ? *it : Json::object();
    return {numero(rect, "x"), numero(rect, "y"), numero(rect, "w"), numero(rect, "h")};
}

// Between 4 and 2000 points wide and 4 and 6000 high, and inside the view
// once half a point is taken from every side.
bool aceptable(const Zona& z, double anchoVista, double altoVista) {
    if (!(z.w >= 4 && z.h >= 4 && z.w <= 2000 && z.h <= 6000)) return false;
    return z.x + 0.5 >= 0 && z.y + 0.5 >= 0 && z.x + z.w - 0.5 <= anchoVista && z.y + z.h - 0.5 <= altoVista;
}

struct LiberarObjeto {
    void operator()(gpointer p) const { g_object_unref(p); }
};

// The zone of the view's picture (scaled from points to its pixels) as JPEG
// at quality 82; nothing when it cannot be made.
std::optional<std::string> recortarJpeg(GdkTexture* textura, const Zona& z, double anchoVista) {
    const int tw = gdk_texture_get_width(textura);
    const int th = gdk_texture_get_height(textura);
    const double escala = anchoVista > 0 ? tw / anchoVista : 1.0;
    const int x = std::clamp(static_cast<int>(std::lround(z.x * escala)), 0, tw - 1);
    const int y = std::clamp(static_cast<int>(std::lround(z.y * escala)), 0, th - 1);
    const int w = std::clamp(static_cast<int>(std::lround(z.w * escala)), 1, tw - x);
    const int h = std::clamp(static_cast<int>(std::lround(z.h * escala)), 1, th - y);
    const std::size_t paso = static_cast<std::size_t>(tw) * 4;
    std::vector<guchar> todo(paso * static_cast<std::size_t>(th));
    // Premultiplied B8G8R8A8 (little-endian ARGB); the page is opaque.
    gdk_texture_download(textura, todo.data(), paso);
    std::unique_ptr<GdkPixbuf, LiberarObjeto> imagen(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h));
    if (!imagen) return std::nullopt;
    guchar* destino = gdk_pixbuf_get_pixels(imagen.get());
    const int pasoDestino = gdk_pixbuf_get_rowstride(imagen.get());
    for (int fila = 0; fila < h; ++fila)
        for (int col = 0; col < w; ++col) {
            const guchar* o =
                todo.data() + static_cast<std::size_t>(y + fila) * paso + static_cast<std::size_t>(x + col) * 4;
            guchar* d =
                destino + static_cast<std::ptrdiff_t>(fila) * pasoDestino + static_cast<std::ptrdiff_t>(col) * 3;
            d[0] = o[2];
            d[1] = o[1];
            d[2] = o[0];
        }
    gchar* bytes = nullptr;
    gsize largo = 0;
    if (!gdk_pixbuf_save_to_buffer(imagen.get(), &bytes, &largo, "jpeg", nullptr, "quality", "82", nullptr))
        return std::nullopt;
    std::string jpeg(bytes, largo);
    g_free(bytes);
    return jpeg;
}

struct Pedido {
    std::weak_ptr<EditorAbierto> editor;
    Zona zona;
    double anchoVista = 0;
    std::int64_t req = 0;
};

void alCapturar(GObject* origen, GAsyncResult* resultado, gpointer datos) {
    const std::unique_ptr<Pedido> pedido(static_cast<Pedido*>(datos));
    GError* crudo = nullptr;
    const auto textura =
        Ref<GdkTexture>::adoptar(webkit_web_view_get_snapshot_finish(comoG<WebKitWebView>(origen), resultado, &crudo));
    const ErrorG error(crudo);
    if (!textura) return;
    const auto jpeg = recortarJpeg(textura.get(), pedido->zona, pedido->anchoVista);
    if (!jpeg) return;
    const std::string src =
        "data:image/jpeg;base64," + base64({reinterpret_cast<const std::uint8_t*>(jpeg->data()), jpeg->size()});
    if (const auto editor = pedido->editor.lock()) editor->js("fotoMesa", {{"req", pedido->req}, {"src", src}});
}

}  // namespace

void EditorAbierto::fotoMesa(const Json& m) {
    WebVista* vista = web();
    if (!vista) return;
    const Zona zona = zonaDe(m);
    const double ancho = gtk_widget_get_width(vista->widget());
    const double alto = gtk_widget_get_height(vista->widget());
    if (!aceptable(zona, ancho, alto)) return;
    auto* pedido = new Pedido{weak_from_this(), zona, ancho, Mensaje::entero(m, "req")};
    webkit_web_view_get_snapshot(vista->vistaWeb(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE,
                                 nullptr, alCapturar, pedido);
}

}  // namespace sorvenia
