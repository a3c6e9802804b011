#include "editor/gui/exportar_editor.h"

#include <algorithm>
#include <system_error>

#include "comun/lectura_mensajes.h"
#include "editor/exportacion.h"
#include "editor/gui/editor_abierto.h"
#include "editor/gui/renderizador.h"
#include "plataforma/gui/alerta.h"
#include "plataforma/gui/elegir_rutas.h"
#include "plataforma/gui/mostrar_en_carpeta.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Mensaje::texto;

GtkWindow* ventana(const EditorAbierto& e) { return e.web() != nullptr ? ventanaDe(e.web()->widget()) : nullptr; }

void avisar(EditorAbierto& e, const std::string& texto) { e.js("aviso", {{"texto", texto}}); }

// The user dismissed a chooser or a question: the page frees its export
// button, with nothing to tell.
void cancelado(EditorAbierto& e) { e.js("exportarCancelado", Json::object()); }

// A side of the mesa as the page sends it; the page's default when absent.
int lado(const Json& m, const char* clave, int porDefecto) {
    const auto v = Mensaje::entero(m, clave);
    return v > 0 && v <= 16384 ? static_cast<int>(v) : porDefecto;
}

Tarea<std::optional<std::string>> contenidoMesa(EditorAbierto& e, const std::string& formato, const Json& m,
                                                const std::string& html) {
    if (formato == "html") co_return Renderizador::documento(html, texto(m, "nombre").value_or("diseño"), true);
    const int ancho = lado(m, "w", 1440);
    const auto png = co_await Renderizador::compartido().png(html, ancho, lado(m, "h", 900), ancho, false, e.id());
    if (!png) co_return std::nullopt;
    co_return std::string(png->begin(), png->end());
}

bool listaDePaginas(const Json& paginas) {
    return paginas.is_array() && !paginas.empty() &&
           std::ranges::all_of(paginas, [](const Json& p) { return p.is_object(); });
}

}  // namespace

Tarea<void> exportarMesa(std::shared_ptr<EditorAbierto> e, Json m) {
    const auto formato = texto(m, "formato");
    const auto html = texto(m, "html");
    if (!html || (formato != "png" && formato != "html")) co_return;
    PeticionRutas peticion{.modo = ModoEleccion::guardar,
                           .titulo = formato == "png" ? "Exportar la mesa como imagen" : "Exportar la mesa como HTML",
                           .boton = "Exportar"};
    peticion.carpetaInicial = Exportacion::carpetaInicial();
    peticion.nombreSugerido = EditorModelo::nombreSeguro(texto(m, "nombre"), "diseño") + "." + *formato;
    const auto rutas = co_await elegirRutas(ventana(*e), std::move(peticion));
    if (!rutas) {
        cancelado(*e);
        co_return;
    }
    const fs::path destino = rutas->front();
    const auto contenido = co_await contenidoMesa(*e, *formato, m, *html);
    if (!contenido) {
        avisar(*e, "No se ha podido sacar la imagen de la mesa.");
        co_return;
    }
    const Hecho escrito = co_await enSegundoPlano(
        [destino, bytes = std::move(*contenido)] { return Exportacion::escribirArchivo(destino, bytes); });
    avisar(*e, escrito ? "Mesa exportada en " + destino.filename().string() + "." : escrito.fallo().mensaje);
}

Tarea<void> exportarWeb(std::shared_ptr<EditorAbierto> e, Json m) {
    const auto paginas = m.find("paginas");
    if (paginas == m.end() || !listaDePaginas(*paginas)) co_return;
    PeticionRutas peticion{
        .modo = ModoEleccion::carpeta, .titulo = "Elige la carpeta donde guardar la web", .boton = "Exportar aquí"};
    peticion.carpetaInicial = Exportacion::carpetaInicial();
    const auto rutas = co_await elegirRutas(ventana(*e), std::move(peticion));
    if (!rutas) {
        cancelado(*e);
        co_return;
    }
    const std::string nombre = EditorModelo::nombreSeguro(texto(m, "nombre"), "web");
    const fs::path carpeta = rutas->front() / nombre;
    std::error_code ec;
    if (fs::exists(carpeta, ec)) {
        // Never written into without asking: the folder may hold the user's
        // own work.
        const auto respuesta = co_await alerta(ventana(*e), "Ya hay una carpeta «" + nombre + "» ahí.",
                                               "Las páginas con el mismo nombre se reemplazarán; lo demás se queda.",
                                               {"Reemplazar", "Cancelar"});
        if (respuesta != std::optional<std::size_t>(0)) {
            cancelado(*e);
            co_return;
        }
    }
    auto archivos = EditorModelo::archivosWeb(*paginas, nombre);
    const auto web = co_await enSegundoPlano([carpeta, archivos = std::move(archivos), doc = e->id()] {
        return Exportacion::escribirWeb(carpeta, archivos, doc);
    });
    if (web.escritas > 0) mostrarEnCarpeta(carpeta / "index.html");
    avisar(*e, Exportacion::aviso(web));
}

}  // namespace sorvenia
