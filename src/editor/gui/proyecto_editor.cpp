// The design's app project on the editor's side: taking the project found or
// made for the design, and making it on first use.

#include "editor/gui/editor_abierto.h"

namespace sorvenia {

void EditorAbierto::usarProyecto(std::shared_ptr<ProyectoAplicacion> proyecto) {
    proyecto_ = std::move(proyecto);
    std::weak_ptr<EditorAbierto> debil = weak_from_this();
    proyecto_->fijarEnviar([debil](const nlohmann::json& mensaje) {
        if (const auto editor = debil.lock()) editor->js("app", mensaje);
    });
    js("app", {{"proyecto", proyecto_->resumen()}});
}

Tarea<std::shared_ptr<ProyectoAplicacion>> EditorAbierto::asegurarProyecto(bool movil) {
    const auto yo = shared_from_this();
    // A request while another is making the project (a double click, an
    // agent run starting meanwhile) gets that project: never a second folder.
    while (creandoProyecto_) co_await dormir(0.1);
    if (proyecto_) co_return proyecto_;
    // Cleared however the creation ends, a cancellation included.
    struct Reserva {
        bool& creando;
        explicit Reserva(bool& b) : creando(b) { creando = true; }
        Reserva(const Reserva&) = delete;
        Reserva& operator=(const Reserva&) = delete;
        ~Reserva() { creando = false; }
    } reserva(creandoProyecto_);
    co_return co_await crearProyecto(movil);
}

Tarea<std::shared_ptr<ProyectoAplicacion>> EditorAbierto::crearProyecto(bool movil) {
    // The project is remembered under the design's id: a design never
    // uploaded, or with changes not yet uploaded, is saved first (an upload
    // under way is waited for, as it brings the id).
    co_await autoguardado_.guardarAntesDePublicar();
    if (!id_) {
        js("app", {{"error", "Guarda el diseño antes de crear la aplicación (¿hay conexión?)."}});
        co_return nullptr;
    }
    const bool esMovil = movil || (plantilla_ && plantilla_->id == "appmovil");
    auto creado = co_await ProyectoAplicacion::crear(*id_, nombre_, esMovil);
    if (!creado) {
        js("app", {{"error", creado.fallo().mensaje}});
        co_return nullptr;
    }
    usarProyecto(std::move(*creado));
    co_return proyecto_;
}

std::string EditorAbierto::encargoMovil(const EntornoMovil& entorno) {
    std::string texto =
        "La app nativa va en ios/ (SwiftUI, skill app-ios) y android/ (Kotlin + Compose, skill app-android): LEE la "
        "skill antes de empezar.";
    if (entorno.xcode && entorno.iphone) {
        texto += " iPhone: Xcode " + *entorno.xcode + "; compila e instala en el simulador «" + entorno.iphone->nombre +
                 "» (id " + entorno.iphone->udid +
                 ") con las órdenes de la skill app-ios (-derivedDataPath ios/build; NO desactives la firma: rompe el "
                 "Llavero) y lánzala con xcrun simctl: el cliente ve esa pantalla EN DIRECTO al lado del chat, así que "
                 "instálala y relánzala cada vez que acabes una parte.";
    } else {
        texto +=
            " En este ordenador NO hay Xcode (o no tiene simulador de iPhone): escribe el código igual y dile al "
            "cliente que instale Xcode desde la App Store para verla.";
    }
    // Without the SDK there is nothing to build Android with, whatever Java
    // home is known.
    if (entorno.sdk) {
        texto += " Android: SDK en " + entorno.sdk->string();
        if (entorno.jdk) texto += ", JDK en " + entorno.jdk->string();
        if (entorno.avds.empty()) {
            texto += " (sin emuladores creados)";
        } else {
            texto += ", emuladores: ";
            for (std::size_t i = 0; i < entorno.avds.size(); ++i) texto += (i ? ", " : "") + entorno.avds[i];
        }
    } else {
        texto +=
            " Android: este ordenador no tiene Android Studio; haz primero el iPhone y la versión Android cuando "
            "el cliente la pida (y dile que instale Android Studio para verla).";
    }
    texto +=
        " Primero el iPhone; Android con las mismas pantallas y el mismo diseño. Si la app necesita datos "
        "compartidos, cuentas o pagos, usa las conexiones del cliente (Supabase, Stripe) o una API en su VPS.";
    return texto;
}

}  // namespace sorvenia
