// The editor page's messages. The web view hands over only objects posted by
// our own page's top frame; each "tipo" is one short handler that checks the
// keys it needs, ignores the message when they are missing or of the wrong
// kind, acts, and answers the page.

#include <map>
#include <string_view>

#include "navegacion/navegacion.h"
#include "centro/trabajos.h"
#include "editor/gui/editor_abierto.h"
#include "ias/deteccion.h"
#include "ias/modelos.h"
#include "plataforma/navegador.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

std::optional<std::string> texto(const Json& m, const char* clave) {
    const auto it = m.find(clave);
    if (it == m.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

bool esWeb(const std::string& url) {
    const auto dosPuntos = url.find(':');
    if (dosPuntos == std::string::npos) return false;
    std::string esquema = url.substr(0, dosPuntos);
    for (char& c : esquema) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return esquema == "http" || esquema == "https";
}

// What the user is told when an action of the page is not built yet.
const std::map<std::string, std::string, std::less<>> acciones = {
    {"ia", "El diseño con IA"},
    {"importarFigma", "La importación de Figma"},
    {"exportar", "La exportación"},
    {"iniciarSesionIA", "El inicio de sesión de las IA"},
    {"elegirImagen", "Elegir una imagen del ordenador"},
    {"exportarWeb", "La exportación de la web"},
    {"dominios", "La búsqueda de dominios"},
    {"comprarPack", "La compra de dominio y hosting"},
    {"publicarVPS", "La publicación en un VPS"},
    {"exportarVideo", "La exportación de vídeo"},
    {"generarImagen", "La generación de imágenes"},
    {"app", "Las aplicaciones"},
    {"tienda", "La tienda"},
    {"video", "El estudio de vídeo"},
};

}  // namespace

void EditorAbierto::recibir(const Json& m) {
    const auto tipo = texto(m, "tipo");
    if (!tipo || cerrado_) return;
    const auto yo = shared_from_this();  // a handler may close the editor
    if (*tipo == "listo") {
        lanzar(cargar());
    } else if (*tipo == "cambio") {
        cambio(m);
    } else if (*tipo == "trabajo") {
        const auto paso = texto(m, "paso");
        const auto nombre = texto(m, "nombre");
        Trabajos::compartido().progreso(*this, paso && !paso->empty() ? paso : std::nullopt, texto(m, "texto"),
                                        nombre && !nombre->empty() ? nombre : std::nullopt);
    } else if (*tipo == "abrirTrabajo") {
        if (const auto clave = texto(m, "clave")) Trabajos::compartido().abrir(*clave, nav_.lock().get());
    } else if (*tipo == "agente") {
        lanzar(agente(m, std::nullopt));
    } else if (*tipo == "pararAgente") {
        pararAgente();
    } else if (*tipo == "pararTrabajo") {
        const auto clave = texto(m, "clave");
        if (const auto editor = clave ? Trabajos::compartido().modelo(*clave) : nullptr)
            editor->pararAgente();
    } else if (*tipo == "quitarTrabajo") {
        if (const auto clave = texto(m, "clave")) Trabajos::compartido().visto(*clave);
    } else if (*tipo == "olvidarConversacion") {
        if (const auto ia = texto(m, "ia")) sesiones_.erase(*ia);
    } else if (*tipo == "guardarChats") {
        guardarChats(m);
    } else if (*tipo == "usarSesion") {
        const auto it = m.find("sesiones");
        if (it == m.end() || !it->is_object()) return;
        for (const auto& [ia, sesion] : it->items())
            if (sesion.is_string()) sesiones_[ia] = sesion.get<std::string>();
    } else if (*tipo == "salir") {
        lanzar(salir());
    } else if (*tipo == "redetectarIAs") {
        lanzar(redetectarIAs());
    } else if (*tipo == "modeloIA") {
        modeloIA(m);
    } else if (*tipo == "ajustes") {
        if (const auto nav = nav_.lock()) nav->fijarAjustes(true);
    } else if (*tipo == "integracion") {
        integracion(m);
    } else if (*tipo == "conectarAgentes") {
        Preferencias::estandar().fijarBooleano("tarjetaAgentesVista", true);
        if (const auto nav = nav_.lock()) nav->fijarAgentes(true);
    } else if (*tipo == "agentesVisto") {
        Preferencias::estandar().fijarBooleano("tarjetaAgentesVista", true);
    } else if (*tipo == "enlace") {
        abrirEnlace(m);
    } else if (*tipo == "publicar") {
        lanzar(publicar(m));
    } else if (acciones.contains(*tipo)) {
        noDisponible(m, *tipo);
    }
}

void EditorAbierto::guardarChats(const Json& m) {
    const auto it = m.find("chats");
    if (it == m.end() || !it->is_array()) return;
    std::vector<Json> chats;
    for (const Json& chat : *it) {
        if (!chat.is_object()) return;
        chats.push_back(chat);
    }
    chats_ = std::move(chats);
    escribirChats(Json(chats_), id_);
}

Tarea<void> EditorAbierto::redetectarIAs() {
    const auto yo = shared_from_this();
    ias_ = co_await IAsLocales::detectar();
    js("ias", IAsLocales::json(ias_));
}

void EditorAbierto::modeloIA(const Json& m) {
    const auto ia = texto(m, "ia");
    const auto modelo = texto(m, "modelo");
    if (!ia || !modelo || !IA::tipoDesde(*ia)) return;
    IAsLocales::fijarModelo(*ia, *modelo);
    js("ias", IAsLocales::json(ias_));
}

void EditorAbierto::abrirEnlace(const Json& m) {
    if (const auto url = texto(m, "url"); url && esWeb(*url)) Navegador::abrir(*url);
}

void EditorAbierto::integracion(const Json& m) {
    const auto accion = texto(m, "accion");
    if (!accion) return;
    if (*accion == "instalar") {
        abrirEnlace(m);
    } else if (const auto nav = nav_.lock()) {
        nav->fijarAjustes(true);
    }
}

void EditorAbierto::noDisponible(const Json& m, const std::string& tipo) {
    const std::string frase = acciones.at(tipo) + " todavía no está disponible en Sorvenia Code.";
    // Requests the page waits on get their answer, so nothing stays spinning.
    const Json req = m.contains("req") ? m["req"] : Json(0);
    if (tipo == "ia") {
        js("respuestaIA", {{"req", req}, {"error", frase}});
    } else if (tipo == "generarImagen") {
        js("imagenGenerada", {{"req", req}, {"error", frase}});
    } else if (tipo == "elegirImagen") {
        js("imagenElegida", {{"req", req}, {"cancelado", true}});
        js("aviso", {{"texto", frase}});
    } else if (tipo == "importarFigma") {
        js("figma", {{"error", frase}});
    } else if (tipo == "publicar") {
        js(texto(m, "destino") == std::optional<std::string>("hosting") ? "publicadoHosting" : "publicado",
           {{"error", frase}});
    } else if (tipo == "dominios") {
        js("dominios", {{"error", frase}});
    } else if (tipo == "comprarPack") {
        js("pack", {{"error", frase}});
    } else if (tipo == "publicarVPS") {
        js("vps", {{"estado", "error"}, {"texto", frase}});
    } else if (tipo == "exportarVideo") {
        js("progresoVideo", {{"error", frase}});
    } else if (tipo == "app") {
        js("app", {{"error", frase}});
    } else if (tipo == "iniciarSesionIA") {
        js("elegirIA", {{"ia", texto(m, "ia").value_or("")}, {"estado", "fin"}, {"sesion", false}});
        js("aviso", {{"texto", frase}});
    } else {
        js("aviso", {{"texto", frase}});
    }
}

}  // namespace sorvenia
