#include "editor/gui/editor_abierto.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "aplicaciones/gui/vista_app.h"
#include "navegacion/navegacion.h"
#include "centro/centro.h"
#include "centro/trabajos.h"
#include "cuenta/cuenta.h"
#include "editor/gui/herramienta_editor.h"
#include "editor/gui/renderizador.h"
#include "editor/gui/web_editor.h"
#include "plataforma/cripto.h"
#include "plataforma/gui/llamada_js.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

std::string uuidNuevo() {
    auto u = uuid();
    if (!u) throw std::runtime_error(u.fallo().mensaje);
    return *std::move(u);
}

std::string enMayusculas(std::string texto) {
    std::ranges::transform(texto, texto.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return texto;
}

// 16 lower-case hexadecimal digits from a UUID of its own.
std::string claveNueva() {
    std::string hex = uuidNuevo();
    std::erase(hex, '-');
    return hex.substr(0, 16);
}

// The account's photo service, while the account lives.
Tarea<std::string> fotosDeCuenta(std::weak_ptr<Cuenta> cuenta, std::string html) {
    const auto c = cuenta.lock();
    if (!c) co_return html;
    co_return co_await c->fotos(std::move(html));
}

}  // namespace

std::shared_ptr<EditorAbierto> EditorAbierto::crear(Agente::Lanzador lanzador) {
    return std::make_shared<EditorAbierto>(Clave{}, std::move(lanzador));
}

std::string EditorAbierto::refNueva() { return enMayusculas(uuidNuevo()); }

EditorAbierto::EditorAbierto(Clave, Agente::Lanzador lanzador)
    : ref_(refNueva()), clave_(claveNueva()), lanzador_(std::move(lanzador)) {}

EditorAbierto::~EditorAbierto() = default;

WebVista& EditorAbierto::webEditor() {
    if (!webRetenida_) webRetenida_ = crearWebEditor(weak_from_this());
    return *webRetenida_;
}

std::optional<std::string> EditorAbierto::textoLlamada(const std::string& funcion, const nlohmann::json& argumento) {
    return llamadaPagina("tarvel", funcion, argumento);
}

void EditorAbierto::js(std::string funcion, nlohmann::json argumento) {
    if (!webRetenida_) return;
    if (const auto texto = textoLlamada(funcion, argumento)) webRetenida_->evaluar(*texto);
}

Tarea<nlohmann::json> EditorAbierto::herramienta(std::string nombre, nlohmann::json argumentos,
                                                 std::optional<std::string> externo) {
    const std::weak_ptr<EditorAbierto> yo = weak_from_this();
    PuertaEditor puerta;
    puerta.id = id_;
    puerta.fotos = [cuenta = cuenta_](std::string html) { return fotosDeCuenta(cuenta, std::move(html)); };
    puerta.js = [yo](const std::string& funcion, const nlohmann::json& argumento) {
        if (const auto m = yo.lock()) m->js(funcion, argumento);
    };
    puerta.recurso = [yo](const std::string& src) -> std::string {
        const auto m = yo.lock();
        return m ? m->anadirRecursoGenerado(src) : std::string();
    };
    if (webRetenida_) {
        puerta.llamar = [yo](std::string cuerpo, nlohmann::json args) -> Tarea<Resultado<nlohmann::json>> {
            const auto m = yo.lock();
            if (!m || !m->webRetenida_) co_return Fallo{"El editor no está abierto.", "sin_editor"};
            co_return co_await m->webRetenida_->llamar(std::move(cuerpo), std::move(args));
        };
    }
    co_return co_await herramientaEnEditor(std::move(puerta), Renderizador::compartido(), std::move(nombre),
                                           std::move(argumentos), std::move(externo));
}

std::string EditorAbierto::anadirRecursoGenerado(const std::string& src) {
    const std::string nombre = recursosGenerados_.nombrarAhora();
    js("anadirRecurso", {{"nombre", nombre}, {"src", src}});
    return "recurso:" + nombre;
}

void EditorAbierto::renombrar(std::string nombre) {
    nombre_ = nombreDiseno(nombre);
    js("estado", {{"guardado", "—"}, {"nombre", nombre_}});
}

void EditorAbierto::fijarErrorCarga(std::optional<std::string> error) {
    errorCarga_ = std::move(error);
    cambios_.avisar();
}

void EditorAbierto::preparar(std::weak_ptr<Cuenta> cuenta, std::weak_ptr<Navegacion> nav,
                             std::optional<std::string> id, std::optional<Plantilla> plantilla) {
    cuenta_ = std::move(cuenta);
    nav_ = std::move(nav);
    const bool estabaAparcado = aparcado_;
    reservado_ = false;
    if (!estabaAparcado) {
        id_ = std::move(id);
        plantilla_ = std::move(plantilla);
    }
    Centro::compartido().editor = weak_from_this();
    Trabajos::compartido().registrar(shared_from_this());
    if (estabaAparcado) {
        aparcado_ = false;
        js("segundoPlano", {{"si", false}});
    }
    Trabajos::compartido().vistoDiseno(id_);
    if (!observadorTrabajos_) {
        const std::weak_ptr<EditorAbierto> yo = weak_from_this();
        observadorTrabajos_ = Trabajos::compartido().observar([yo] {
            if (const auto m = yo.lock()) m->enviarTrabajos();
        });
    }
    enviarTrabajos();
}

void EditorAbierto::enviarTrabajos() { js("trabajos", Trabajos::compartido().lista()); }

}  // namespace sorvenia
