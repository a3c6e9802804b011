// The editor page's messages. The web view hands over only objects posted by
// our own page's top frame; each "tipo" is one row of a table and one short
// handler that checks the keys it needs, ignores the message when they are
// missing or of the wrong kind, acts, and answers the page. A new message
// is a new row and a new handler here.

#include <map>
#include <string_view>

#include "comun/lectura_mensajes.h"
#include "navegacion/navegacion.h"
#include "centro/trabajos.h"
#include "editor/gui/dominios_editor.h"
#include "editor/gui/editor_abierto.h"
#include "editor/gui/elegir_imagen_editor.h"
#include "editor/gui/exportar_editor.h"
#include "editor/gui/exportar_video.h"
#include "editor/gui/figma_editor.h"
#include "editor/gui/tienda_editor.h"
#include "ias/deteccion.h"
#include "ias/modelos.h"
#include "plataforma/navegador.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

using Mensaje::texto;

bool esWeb(const std::string& url) {
    const auto dosPuntos = url.find(':');
    if (dosPuntos == std::string::npos) return false;
    std::string esquema = url.substr(0, dosPuntos);
    for (char& c : esquema) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return esquema == "http" || esquema == "https";
}

// What the user is told when an action of the page is not built yet.
const std::map<std::string, std::string, std::less<>> acciones = {
    {"app", "Las aplicaciones"},
    {"video", "El estudio de vídeo"},
};

}  // namespace

// The handlers, one per "tipo" (a friend of EditorAbierto: they act on the
// open design's state).
struct MensajesEditor {
    using Manejador = void (*)(EditorAbierto&, const Json&);

    static void listo(EditorAbierto& e, const Json&) { lanzar(e.cargar()); }
    static void cambio(EditorAbierto& e, const Json& m) { e.cambio(m); }

    static void trabajo(EditorAbierto& e, const Json& m) {
        const auto paso = texto(m, "paso");
        const auto nombre = texto(m, "nombre");
        Trabajos::compartido().progreso(e, paso && !paso->empty() ? paso : std::nullopt, texto(m, "texto"),
                                        nombre && !nombre->empty() ? nombre : std::nullopt);
    }

    static void abrirTrabajo(EditorAbierto& e, const Json& m) {
        if (const auto clave = texto(m, "clave")) Trabajos::compartido().abrir(*clave, e.nav_.lock().get());
    }

    static void agente(EditorAbierto& e, const Json& m) { lanzar(e.agente(m, std::nullopt)); }
    static void pararAgente(EditorAbierto& e, const Json&) { e.pararAgente(); }

    static void pararTrabajo(EditorAbierto&, const Json& m) {
        const auto clave = texto(m, "clave");
        if (const auto editor = clave ? Trabajos::compartido().modelo(*clave) : nullptr) editor->pararAgente();
    }

    static void quitarTrabajo(EditorAbierto&, const Json& m) {
        if (const auto clave = texto(m, "clave")) Trabajos::compartido().visto(*clave);
    }

    static void olvidarConversacion(EditorAbierto& e, const Json& m) {
        if (const auto ia = texto(m, "ia")) e.sesiones_.erase(*ia);
    }

    static void guardarChats(EditorAbierto& e, const Json& m) {
        const auto it = m.find("chats");
        if (it == m.end() || !it->is_array()) return;
        std::vector<Json> chats;
        for (const Json& chat : *it) {
            if (!chat.is_object()) return;
            chats.push_back(chat);
        }
        e.chats_ = std::move(chats);
        EditorModelo::escribirChats(Json(e.chats_), e.id_);
    }

    static void usarSesion(EditorAbierto& e, const Json& m) {
        const auto it = m.find("sesiones");
        if (it == m.end() || !it->is_object()) return;
        for (const auto& [ia, sesion] : it->items())
            if (sesion.is_string()) e.sesiones_[ia] = sesion.get<std::string>();
    }

    static void salir(EditorAbierto& e, const Json&) { lanzar(e.salir()); }
    static void redetectarIAs(EditorAbierto& e, const Json&) { lanzar(redetectar(e.shared_from_this())); }

    static Tarea<void> redetectar(std::shared_ptr<EditorAbierto> e) {
        e->ias_ = co_await IAsLocales::detectar();
        e->js("ias", IAsLocales::json(e->ias_));
    }

    static void modeloIA(EditorAbierto& e, const Json& m) {
        const auto ia = texto(m, "ia");
        const auto modelo = texto(m, "modelo");
        if (!ia || !modelo || !IA::tipoDesde(*ia)) return;
        IAsLocales::fijarModelo(*ia, *modelo);
        e.js("ias", IAsLocales::json(e.ias_));
    }

    static void ajustes(EditorAbierto& e, const Json&) {
        if (const auto nav = e.nav_.lock()) nav->fijarAjustes(true);
    }

    static void integracion(EditorAbierto& e, const Json& m) {
        const auto accion = texto(m, "accion");
        if (!accion) return;
        if (*accion == "instalar") {
            enlace(e, m);
        } else if (const auto nav = e.nav_.lock()) {
            nav->fijarAjustes(true);
        }
    }

    static void conectarAgentes(EditorAbierto& e, const Json&) {
        Preferencias::estandar().fijarBooleano("tarjetaAgentesVista", true);
        if (const auto nav = e.nav_.lock()) nav->fijarAgentes(true);
    }

    static void agentesVisto(EditorAbierto&, const Json&) {
        Preferencias::estandar().fijarBooleano("tarjetaAgentesVista", true);
    }

    static void enlace(EditorAbierto&, const Json& m) {
        if (const auto url = texto(m, "url"); url && esWeb(*url)) Navegador::abrir(*url);
    }

    static void publicar(EditorAbierto& e, const Json& m) { lanzar(e.publicacion_.publicar(m)); }
    static void publicarVPS(EditorAbierto& e, const Json& m) { lanzar(e.publicacion_.publicarVPS(m)); }
    static void comprarPack(EditorAbierto& e, const Json& m) { lanzar(e.publicacion_.comprarPack(m)); }

    // The account and store window at the page's section ("mio" when it
    // names none); a purchase there refreshes the page's destinations.
    static void tienda(EditorAbierto& e, const Json& m) {
        const auto cuenta = e.cuenta_.lock();
        if (!cuenta) return;
        const std::weak_ptr<EditorAbierto> debil = e.shared_from_this();
        const std::weak_ptr<Cuenta> cuentaDebil = cuenta;
        const bool abierta = abrirTienda(cuenta, texto(m, "seccion").value_or("mio"), std::nullopt, [debil, cuentaDebil] {
            const auto editor = debil.lock();
            const auto c = cuentaDebil.lock();
            if (editor && c && editor->id()) lanzar(refrescarDestinos(editor, c, *editor->id()));
        });
        if (!abierta) e.js("aviso", {{"texto", "La tienda no se puede abrir ahora."}});
    }

    // The domain search (dominios_editor.cpp); a missing "q" searches "".
    static void dominios(EditorAbierto& e, const Json& m) {
        lanzar(buscarDominios(e.shared_from_this(), e.cuenta_, texto(m, "q").value_or("")));
    }

    // A pasted Figma link imported as mesas (figma_editor.cpp).
    static void importarFigma(EditorAbierto& e, const Json& m) {
        if (texto(m, "enlace")) lanzar(sorvenia::importarFigma(e.shared_from_this(), m));
    }

    // Exports of a mesa and of the whole design (exportar_editor.cpp).
    static void exportar(EditorAbierto& e, const Json& m) { lanzar(exportarMesa(e.shared_from_this(), m)); }
    static void exportarWeb(EditorAbierto& e, const Json& m) { lanzar(sorvenia::exportarWeb(e.shared_from_this(), m)); }

    // A mesa recorded as a video (exportar_video.cpp); one at a time per
    // editor, and the page may cancel it.
    static void exportarVideo(EditorAbierto& e, const Json& m) {
        if (e.exportacionVideo_.valida() && !e.exportacionVideo_.terminada()) {
            e.js("aviso", {{"texto", "Ya estoy grabando un vídeo: espera a que termine o cancélalo."}});
            return;
        }
        e.exportacionVideo_ = lanzar(sorvenia::exportarVideo(e.shared_from_this(), m));
    }
    static void cancelarVideo(EditorAbierto& e, const Json&) {
        if (e.exportacionVideo_.valida() && !e.exportacionVideo_.terminada()) e.exportacionVideo_.cancelar();
    }

    // An image file from the computer for the selected <img> (elegir_imagen_editor.cpp).
    static void elegirImagen(EditorAbierto& e, const Json& m) {
        lanzar(sorvenia::elegirImagen(e.shared_from_this(), m));
    }

    // One-shot AI designs and the AI tools' sign-in (ia_editor.cpp).
    static void ia(EditorAbierto& e, const Json& m) { e.empezarIA(m); }
    static void iniciarSesionIA(EditorAbierto& e, const Json& m) { e.iniciarSesionIA(m); }
    static void codigoIA(EditorAbierto& e, const Json& m) { e.codigoIA(m); }
    static void cancelarSesionIA(EditorAbierto& e, const Json&) { e.cancelarSesionIA(); }

    // An image from the customer's image service (imagen_editor.cpp).
    static void generarImagen(EditorAbierto& e, const Json& m) { lanzar(e.generarImagen(m)); }
    static void fotoMesa(EditorAbierto& e, const Json& m) { e.fotoMesa(m); }

    // The app panel: one "app" message per action, "accion" naming it.
    static void app(EditorAbierto& e, const Json& m) {
        const auto accion = texto(m, "accion");
        if (!accion) return;
        const auto& tabla = accionesApp();
        if (const auto fila = tabla.find(*accion); fila != tabla.end()) {
            fila->second(e, m);
        } else {
            noDisponible(e, m, "app");
        }
    }

    // Makes the design's project (nothing when it has one already).
    static void crearApp(EditorAbierto& e, const Json& m) {
        const auto movil = m.find("movil");
        if (movil != m.end() && !movil->is_boolean()) return;
        lanzar(crearProyecto(e.shared_from_this(), movil != m.end() && movil->get<bool>()));
    }
    static Tarea<void> crearProyecto(std::shared_ptr<EditorAbierto> e, bool movil) {
        (void)co_await e->asegurarProyecto(movil);
    }

    static void estadoApp(EditorAbierto& e, const Json&) {
        if (e.proyecto_) e.js("app", {{"proyecto", e.proyecto_->resumen()}});
    }

    // The local run, its tests and the preview (app_editor.cpp).
    static void vistaApp(EditorAbierto& e, const Json&) { lanzar(e.probarApp()); }
    static void pararApp(EditorAbierto& e, const Json&) { e.pararApp(); }
    static void comprobarApp(EditorAbierto& e, const Json&) { lanzar(e.comprobarApp()); }
    static void navegadorApp(EditorAbierto& e, const Json&) { e.abrirAppEnNavegador(); }
    static void finderApp(EditorAbierto& e, const Json&) { e.mostrarCarpetaApp(); }
    static void colocarVistaApp(EditorAbierto& e, const Json& m) { e.colocarVistaApp(m); }
    // Deployment to a VPS (despliegue_editor.cpp): the step reads its own keys.
    static void estadoServidorApp(EditorAbierto& e, const Json& m) { lanzar(e.despliegue("estadoServidor", m)); }
    static void planApp(EditorAbierto& e, const Json& m) { lanzar(e.despliegue("plan", m)); }
    static void desplegarApp(EditorAbierto& e, const Json& m) { lanzar(e.despliegue("desplegar", m)); }
    static void volverApp(EditorAbierto& e, const Json& m) { lanzar(e.despliegue("volver", m)); }
    static void servidoresApp(EditorAbierto& e, const Json&) { lanzar(e.servidoresApp()); }
    static void anadirVPSApp(EditorAbierto& e, const Json& m) { e.anadirVPSApp(m); }

    static const std::map<std::string, Manejador, std::less<>>& accionesApp() {
        static const std::map<std::string, Manejador, std::less<>> tabla = {
            {"crear", &crearApp},
            {"estado", &estadoApp},
            {"vista", &vistaApp},
            {"parar", &pararApp},
            {"comprobar", &comprobarApp},
            {"navegador", &navegadorApp},
            {"finder", &finderApp},
            {"estadoServidor", &estadoServidorApp},
            {"plan", &planApp},
            {"desplegar", &desplegarApp},
            {"volver", &volverApp},
            {"servidores", &servidoresApp},
            {"anadirVPS", &anadirVPSApp},
        };
        return tabla;
    }

    // An action of the page that is not built yet: the user is told so, and
    // requests the page waits on get their answer, so nothing stays spinning.
    static void noDisponible(EditorAbierto& e, const Json& m, const std::string& tipo) {
        const std::string frase = acciones.at(tipo) + " todavía no está disponible en Sorvenia Code.";
        const Json req = m.contains("req") ? m["req"] : Json(0);
        if (tipo == "elegirImagen") {
            e.js("imagenElegida", {{"req", req}, {"cancelado", true}});
            e.js("aviso", {{"texto", frase}});
        } else if (tipo == "publicar") {
            e.js(texto(m, "destino") == std::optional<std::string>("hosting") ? "publicadoHosting" : "publicado",
                 {{"error", frase}});
        } else if (tipo == "app") {
            e.js("app", {{"error", frase}});
        } else {
            e.js("aviso", {{"texto", frase}});
        }
    }

    static const std::map<std::string, Manejador, std::less<>>& manejadores() {
        static const std::map<std::string, Manejador, std::less<>> tabla = {
            {"listo", &listo},
            {"cambio", &cambio},
            {"trabajo", &trabajo},
            {"abrirTrabajo", &abrirTrabajo},
            {"agente", &agente},
            {"pararAgente", &pararAgente},
            {"pararTrabajo", &pararTrabajo},
            {"quitarTrabajo", &quitarTrabajo},
            {"olvidarConversacion", &olvidarConversacion},
            {"guardarChats", &guardarChats},
            {"usarSesion", &usarSesion},
            {"salir", &salir},
            {"redetectarIAs", &redetectarIAs},
            {"modeloIA", &modeloIA},
            {"ajustes", &ajustes},
            {"integracion", &integracion},
            {"conectarAgentes", &conectarAgentes},
            {"agentesVisto", &agentesVisto},
            {"enlace", &enlace},
            {"publicar", &publicar},
            {"publicarVPS", &publicarVPS},
            {"dominios", &dominios},
            {"tienda", &tienda},
            {"comprarPack", &comprarPack},
            {"ia", &ia},
            {"iniciarSesionIA", &iniciarSesionIA},
            {"codigoIA", &codigoIA},
            {"cancelarSesionIA", &cancelarSesionIA},
            {"generarImagen", &generarImagen},
            {"fotoMesa", &fotoMesa},
            {"exportar", &exportar},
            {"exportarWeb", &exportarWeb},
            {"exportarVideo", &exportarVideo},
            {"cancelarVideo", &cancelarVideo},
            {"importarFigma", &importarFigma},
            {"elegirImagen", &elegirImagen},
            {"app", &app},
            {"vistaApp", &colocarVistaApp},
        };
        return tabla;
    }
};

void EditorAbierto::recibir(const Json& m) {
    const auto tipo = texto(m, "tipo");
    if (!tipo || cerrado_) return;
    const auto yo = shared_from_this();  // a handler may close the editor
    const auto& tabla = MensajesEditor::manejadores();
    if (const auto manejador = tabla.find(*tipo); manejador != tabla.end()) {
        manejador->second(*this, m);
    } else if (acciones.contains(*tipo)) {
        MensajesEditor::noDisponible(*this, m, *tipo);
    }
}

}  // namespace sorvenia
