// Opening a design into a ready editor page: where the document comes from
// (the account, a local copy of unsent changes, or a new design of a page
// size), the load payload, and the fixed series of page calls after it.

#include <gtk/gtk.h>

#include "navegacion/navegacion.h"
#include "centro/trabajos.h"
#include "cuenta/cuenta.h"
#include "editor/gui/editor_abierto.h"
#include "editor/gui/preguntar_recuperar.h"
#include "cuenta/direccion_cuenta.h"
#include "ias/deteccion.h"
#include "integraciones/conexion_agente.h"
#include "integraciones/integraciones.h"
#include "medios/fuentes.h"
#include "plataforma/preferencias.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

const std::string prefijoError = "No se ha podido abrir el diseño: ";

// A document as the page receives it: parsed from its compact JSON text;
// nothing when that text does not parse as a JSON object or array.
std::optional<Json> documentoDe(const JSONValor& doc) {
    Json parsed = Json::parse(doc.cadena(), nullptr, false);
    if (parsed.is_discarded() || !(parsed.is_object() || parsed.is_array())) return std::nullopt;
    return parsed;
}

GtkWindow* ventanaActiva() {
    auto* app = g_application_get_default();
    return GTK_IS_APPLICATION(app) ? gtk_application_get_active_window(GTK_APPLICATION(app)) : nullptr;
}

Json plantillaJS(const Plantilla& p) {
    return {{"id", p.id}, {"nombre", p.nombre}, {"w", p.ancho}, {"h", p.alto}, {"auto", p.altoAutomatico}};
}

EditorAbierto::AlCargar& alCargar() {
    static EditorAbierto::AlCargar accion;
    return accion;
}

}  // namespace

void EditorAbierto::alCargarEnPruebas(AlCargar accion) { alCargar() = std::move(accion); }

Json EditorAbierto::argumentosCargar(Json doc, Json ias) {
    return {{"doc", std::move(doc)},
            {"ias", std::move(ias)},
            {"nombre", ""},
            {"chats", Json::array()},
            {"fuentes", Fuentes::json()},
            {"tarjetaAgentes", !Preferencias::estandar().booleano("tarjetaAgentesVista")},
            {"integraciones", Integraciones::estadoActual()},
            {"agentesConectados", agentesConectados()}};
}

Json EditorAbierto::destinosJS(const RegistrosCuenta::Destinos& destinos) {
    Json hostings = Json::array();
    for (const auto& h : destinos.hostings)
        hostings.push_back({{"id", h.id}, {"dominio", h.dominio}, {"plan", h.plan}, {"wordpress", h.wordpress}});
    Json vps = Json::array();
    for (const auto& v : destinos.vps) vps.push_back({{"id", v.id}, {"nombre", v.nombre}, {"ip", v.ip}, {"so", v.so}});
    Json r = {{"hostings", std::move(hostings)}, {"vps", std::move(vps)}};
    if (const auto& p = destinos.publicada)
        r["publicada"] = {{"url", p->url},         {"dominio", p->dominio}, {"carpeta", p->carpeta},
                          {"servicio", p->servicio}, {"paginas", p->paginas}, {"fecha", p->fecha}};
    return r;
}

Tarea<void> EditorAbierto::cargar() {
    const auto yo = shared_from_this();
    const auto cuenta = cuenta_.lock();
    if (!cuenta) co_return;
    ias_ = co_await IAsLocales::detectar();
    Json doc = nullptr;
    bool guardarDeInmediato = false;
    // The copy the home screen chose counts only for this very design.
    const auto nav = nav_.lock();
    std::optional<Cuenta::CopiaLocal> elegida = nav ? std::exchange(nav->copiaParaAbrir, std::nullopt) : std::nullopt;
    if (elegida && elegida->id != id_) elegida.reset();
    if (id_) {
        auto abierto = co_await abrirDeLaCuenta(cuenta, std::move(elegida));
        if (!abierto) co_return;
        doc = std::move(*abierto);
    } else if (elegida) {
        if (auto copia = documentoDe(elegida->doc)) {
            doc = std::move(*copia);
            nombre_ = elegida->nombre;
            if (elegida->ref) ref_ = *elegida->ref;
            autoguardado_.docPendiente_ = elegida->doc;
        }
    } else if (plantilla_) {
        // A template with content of its own (the welcome design) starts
        // the design with it, under its name, and is saved at once: the
        // tutorial then finds and opens this same design.
        if (auto inicial = plantilla_->documentoInicial()) {
            doc = std::move(*inicial);
            if (*plantilla_ == Plantilla::bienvenida()) nombre_ = Plantilla::nombreBienvenida;
            guardarDeInmediato = true;
        }
    }
    if (cerrado_) co_return;
    Json argumentos = argumentosCargar(std::move(doc), IAsLocales::json(ias_));
    argumentos["nombre"] = nombre_;
    argumentos["chats"] = leerChats(id_);
    if (plantilla_) argumentos["plantilla"] = plantillaJS(*plantilla_);
    js("cargar", std::move(argumentos));
    listo_ = true;
    enviarTrabajos();
    despuesDeCargar();
    // The page hands its document over as a change, which uploads it.
    if (guardarDeInmediato) js("forzarCambio", Json::object());
}

// The design from the account, or the unsent changes kept on this computer
// when the user takes them back. Nothing (and errorCarga set) on failure.
Tarea<std::optional<Json>> EditorAbierto::abrirDeLaCuenta(std::shared_ptr<Cuenta> cuenta,
                                                          std::optional<Cuenta::CopiaLocal> elegida) {
    const std::string id = *id_;
    Json doc;
    JSONValor enLaCuenta;
    try {
        auto [diseno, previa, destinos] = co_await cuenta->abrir(id);
        publicacion_.previa = std::move(previa);
        publicacion_.destinos = std::move(destinos);
        nombre_ = diseno.nombre;
        version_ = diseno.version;
        enLaCuenta = diseno.doc;
        Json parsed = Json::parse(diseno.doc.cadena(), nullptr, false);
        if (parsed.is_discarded()) {
            fijarErrorCarga(prefijoError + "el documento guardado no es JSON válido.");
            co_return std::nullopt;
        }
        doc = std::move(parsed);
    } catch (const std::exception& e) {
        fijarErrorCarga(prefijoError + e.what());
        co_return std::nullopt;
    }
    const auto& lista = cuenta->disenos();
    if (const auto resumen = std::ranges::find_if(lista, [&](const DisenoResumen& d) { return d.id == id; });
        resumen != lista.end())
        autoguardado_.modificado_ = resumen->modificado;
    const bool fueElegida = elegida.has_value();
    std::optional<Cuenta::CopiaLocal> copia = std::move(elegida);
    if (!copia) copia = cuenta->copiaPendiente(id, enLaCuenta);
    if (!copia || !copiaUtilizable(*cuenta, *copia)) co_return doc;
    auto suyo = documentoDe(copia->doc);
    const Recuperacion respuesta =
        fueElegida ? Recuperacion::recuperar : co_await preguntarRecuperar(copia->fecha, ventanaActiva());
    if (respuesta == Recuperacion::recuperar) {
        nombre_ = copia->nombre;
        autoguardado_.docPendiente_ = copia->doc;
        co_return std::move(*suyo);
    }
    // Only a deliberate "Descartar" deletes the unsent changes; a dialog
    // that ended any other way leaves them to be offered next time.
    if (respuesta == Recuperacion::descartar) cuenta->borrarCopiaLocal(id, std::nullopt);
    co_return doc;
}

// A local copy is offered only on the account site and for the customer it
// was written for, and only when its document can be read.
bool EditorAbierto::copiaUtilizable(const Cuenta& cuenta, const Cuenta::CopiaLocal& copia) {
    const auto cliente = cuenta.cliente();
    const std::optional<std::int64_t> idCliente = cliente ? std::optional(cliente->id) : std::nullopt;
    return copia.servidor == direccion::host(cuenta.servidor()) && copia.cliente == idCliente &&
           documentoDe(copia.doc).has_value();
}

void EditorAbierto::despuesDeCargar() {
    if (autoguardado_.docPendiente_) {
        js("estado", {{"guardado", "cambios recuperados: guardando…"}});
        lanzar(guardar(false));
    }
    if (!proyecto_) {
        if (auto proyecto = ProyectoAplicacion::de(id_)) proyecto_ = std::move(proyecto);
    }
    if (proyecto_) {
        usarProyecto(proyecto_);
    } else if (plantilla_ && plantilla_->id == "aplicacion") {
        js("app", {{"nuevo", true}});
    } else if (plantilla_ && plantilla_->id == "appmovil") {
        js("app", {{"nuevo", true}, {"movil", true}});
    }
    if (const auto& previa = publicacion_.previa)
        js("publicado", {{"url", previa->url}, {"caduca", previa->caduca}, {"paginas", previa->paginas}});
    if (publicacion_.destinos) js("destinos", destinosJS(*publicacion_.destinos));
    if (id_) {
        const auto publicados = Preferencias::estandar().valor("vpsPublicado");
        if (publicados && publicados->is_object() && publicados->contains(*id_))
            js("vpsPublicado", (*publicados)[*id_]);
    }
    pedidoPendiente();
    if (const auto& enPruebas = alCargar(); enPruebas) enPruebas(*this);
}

// What the home screen left for the next new design: its attached files,
// then its request, a moment after the page has drawn the design.
void EditorAbierto::pedidoPendiente() {
    const auto nav = nav_.lock();
    if (!nav) return;
    auto pendiente = nav->tomarPendiente();
    if (!pendiente) return;
    std::string ia = "claude";
    if (pendiente->ia) {
        ia = *pendiente->ia;
    } else if (const auto conSesion = std::ranges::find_if(ias_, [](const IA& i) { return i.sesion; });
               conSesion != ias_.end()) {
        ia = std::string(IA::texto(conSesion->tipo));
    } else if (!ias_.empty()) {
        ia = std::string(IA::texto(ias_.front().tipo));
    }
    mas(0.8, [recursos = std::move(pendiente->recursos), texto = std::move(pendiente->prompt), ia](EditorAbierto& m) {
        for (const Json& recurso : recursos) m.js("anadirRecursoAdjunto", recurso);
        m.js("pedir", {{"texto", texto}, {"ia", ia}});
    });
}

TareaLanzada EditorAbierto::mas(double segundos, std::function<void(EditorAbierto&)> accion) {
    return lanzar([](std::weak_ptr<EditorAbierto> modelo, double s, std::function<void(EditorAbierto&)> f) -> Tarea<void> {
        co_await dormir(s);
        if (const auto m = modelo.lock(); m && !m->cerrado_) f(*m);
    }(weak_from_this(), segundos, std::move(accion)));
}

}  // namespace sorvenia
