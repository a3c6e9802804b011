#include "centro/trabajos.h"

#include <glib.h>

#include <algorithm>
#include <ctime>
#include <utility>

#include "centro/apertura_editor.h"
#include "centro/centro.h"
#include "comun/texto.h"
#include "centro/letras.h"
#include "centro/editor_modelo.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

// Spaces, tabs and line ends at either end.
std::string_view recortar(std::string_view t) {
    constexpr std::string_view blancos = " \t\r\n\v\f";
    const auto inicio = t.find_first_not_of(blancos);
    if (inicio == std::string_view::npos) return {};
    return t.substr(inicio, t.find_last_not_of(blancos) - inicio + 1);
}


gboolean avisarCambio(gpointer datos) {
    auto* funcion = static_cast<std::function<void()>*>(datos);
    (*funcion)();
    return G_SOURCE_REMOVE;
}

void liberarFuncion(gpointer datos) { delete static_cast<std::function<void()>*>(datos); }

}  // namespace

Trabajos& Trabajos::compartido() {
    // Never destroyed: the models it holds must not be torn down after the
    // toolkit has gone at exit.
    static Trabajos* registro = new Trabajos();
    return *registro;
}

Trabajos::Trabajos(Avisador avisador, Reloj reloj) : avisador_(std::move(avisador)), reloj_(std::move(reloj)) {}

Trabajos::~Trabajos() = default;

void Trabajos::DestruirFuente::operator()(GSource* fuente) const {
    g_source_destroy(fuente);
    g_source_unref(fuente);
}

void Trabajos::registrar(std::shared_ptr<EditorModelo> modelo) {
    if (!modelo || std::find(modelos_.begin(), modelos_.end(), modelo) != modelos_.end()) return;
    modelos_.push_back(std::move(modelo));
}

void Trabajos::quitar(const EditorModelo& modelo) {
    std::erase_if(modelos_, [&](const auto& m) { return m.get() == &modelo; });
}

std::shared_ptr<EditorModelo> Trabajos::modelo(std::string_view clave) const {
    for (const auto& m : modelos_)
        if (m->clave() == clave) return m;
    return nullptr;
}

void Trabajos::empieza(const EditorModelo& modelo, std::string ia, std::string modo) {
    Info& info = info_[modelo.clave()];
    info.clave = modelo.clave();
    info.id = modelo.id();
    info.nombre = modelo.nombre();
    info.ia = std::move(ia);
    info.estado = "trabajando";
    info.modo = std::move(modo);
    info.desde = reloj_();
    info.hasta.reset();
    info.paso = "Empezando…";
    info.texto.clear();
    alFrente(info.clave);
    cambio(false);
}

void Trabajos::progreso(const EditorModelo& modelo, std::optional<std::string> paso, std::optional<std::string> texto,
                        std::optional<std::string> nombre) {
    const auto it = info_.find(modelo.clave());
    if (it == info_.end()) return;
    Info& info = it->second;
    if (paso && !paso->empty()) info.paso = primerasLetras(*paso, 140);
    if (texto) info.texto = ultimasLetras(*texto, 240);
    if (nombre && !nombre->empty()) info.nombre = std::move(*nombre);
    if (modelo.id()) info.id = modelo.id();
    cambio(true);
}

void Trabajos::termina(const EditorModelo& modelo, std::optional<std::int32_t> codigo,
                       std::optional<std::string> error) {
    const auto it = info_.find(modelo.clave());
    if (it == info_.end()) return;
    Info& info = it->second;
    info.hasta = reloj_();
    if (modelo.id()) info.id = modelo.id();
    info.nombre = modelo.nombre();
    if (error) {
        info.estado = "error";
        info.texto = primerasLetras(*error, 240);
    } else if (codigo && *codigo != 0) {
        info.estado = "parado";
    } else {
        const auto ultimo = recortar(info.texto);
        info.estado = !ultimo.empty() && ultimo.back() == '?' ? "pregunta" : "listo";
    }
    // The user is elsewhere only when the design is parked; an editor on
    // screen shows the end itself.
    if (modelo.aparcado()) avisar(info);
    else borrar(it->first);
    cambio(false);
}

void Trabajos::visto(std::string_view clave) {
    const auto it = info_.find(clave);
    if (it == info_.end() || it->second.estado == "trabajando") return;
    borrar(it->first);
    cambio(false);
}

void Trabajos::vistoDiseno(const std::optional<std::string>& id) {
    if (!id) return;
    std::vector<std::string> vistos;
    for (const auto& [clave, info] : info_)
        if (info.id == id && info.estado != "trabajando") vistos.push_back(clave);
    for (const auto& clave : vistos) borrar(clave);
    cambio(false);
}

void Trabajos::abrir(std::string_view clave, AperturaEditor* nav) const {
    const auto it = info_.find(clave);
    if (it == info_.end()) return;
    const auto vivo = modelo(clave);
    const std::optional<std::string> id = vivo && vivo->id() ? vivo->id() : it->second.id;
    if (!id || id->empty() || nav == nullptr) return;
    nav->abrirDiseno(*id);
}

Json Trabajos::lista() const {
    const auto abierto = Centro::compartido().editor.lock();
    Json trabajos = Json::array();
    for (const auto& clave : orden_) {
        const auto it = info_.find(clave);
        if (it == info_.end()) continue;
        const Info& info = it->second;
        const auto vivo = modelo(clave);
        const std::string id = vivo && vivo->id() ? *vivo->id() : info.id.value_or("");
        trabajos.push_back({
            {"clave", clave},
            {"id", id},
            {"nombre", info.nombre},
            {"ia", info.ia},
            {"estado", info.estado},
            {"paso", info.paso},
            {"texto", info.texto},
            {"modo", info.modo},
            {"desde", fechaISO(info.desde)},
            {"hasta", info.hasta ? fechaISO(*info.hasta) : ""},
            {"aqui", vivo != nullptr && vivo == abierto},
            {"abrible", !id.empty()},
        });
    }
    return trabajos;
}

Trabajos::Suscripcion Trabajos::observar(std::function<void()> observador) {
    return cambiaron_.observar(std::move(observador));
}

void Trabajos::cambio(bool pronto) {
    if (!pronto) {
        cambiaron_.avisar();
        return;
    }
    // One announcement covers every progress report of the next 0.35 s.
    if (avisoPendiente_) return;
    avisoPendiente_.reset(g_timeout_source_new(350));
    auto* alVencer = new std::function<void()>([this] {
        avisoPendiente_.reset();
        cambiaron_.avisar();
    });
    g_source_set_callback(avisoPendiente_.get(), avisarCambio, alVencer, liberarFuncion);
    g_source_attach(avisoPendiente_.get(), g_main_context_default());
}

void Trabajos::avisar(const Info& info) const {
    if (avisador_) avisador_(avisoDe(info));
}

void Trabajos::alFrente(const std::string& clave) {
    std::erase(orden_, clave);
    orden_.insert(orden_.begin(), clave);
}

void Trabajos::borrar(std::string clave) {
    std::erase(orden_, clave);
    info_.erase(clave);
}

Trabajos::Aviso avisoDe(const Trabajos::Info& info) {
    const std::string quien = info.ia.empty() ? "Tu IA" : info.ia;
    std::string cuerpo;
    if (info.estado == "listo") cuerpo = quien + " ha terminado.";
    else if (info.estado == "pregunta") cuerpo = quien + " te pregunta algo.";
    else if (info.estado == "parado") cuerpo = "Se ha parado.";
    else if (info.estado == "error") cuerpo = "Ha fallado: " + info.texto;
    else cuerpo = "Ha terminado.";
    if (info.estado == "pregunta" && !info.texto.empty())
        cuerpo += " «" + std::string(ultimasLetras(info.texto, 120)) + "»";
    return {"trabajo-" + info.clave, info.nombre, std::move(cuerpo)};
}

}  // namespace sorvenia
