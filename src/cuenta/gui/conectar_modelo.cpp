#include "cuenta/gui/conectar_modelo.h"

#include "cuenta/cuenta.h"
#include "cuenta/enlace_conexion.h"
#include "plataforma/navegador.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {

void ConectarModelo::enviar(bool conectando, const std::optional<std::string>& error,
                            const std::optional<std::string>& enlace) {
    ultimo_ = {{"conectando", conectando}, {"error", error ? nlohmann::json(*error) : nlohmann::json(nullptr)}};
    if (enlace) ultimo_["enlace"] = *enlace;
    mandar();
}

void ConectarModelo::mandar() {
    if (web_ == nullptr) return;
    std::string texto;
    try {
        texto = ultimo_.dump();
    } catch (const nlohmann::json::exception&) {
        return;  // kept for the next "listo"
    }
    web_->evaluar("window.conectar && window.conectar.estado(" + texto + ")");
}

void ConectarModelo::recibir(const nlohmann::json& mensaje) {
    // Only our own page's top frame reaches here (the view's relay and
    // origin check); the rest of the shape is checked now.
    if (!mensaje.is_object()) return;
    const auto tipo = mensaje.find("tipo");
    if (tipo == mensaje.end() || !tipo->is_string()) return;
    const auto cuenta = cuenta_.lock();
    if (!cuenta) return;
    actuar(tipo->get<std::string>(), *cuenta);
}

void ConectarModelo::actuar(const std::string& tipo, Cuenta& cuenta) {
    if (tipo == "listo") mandar();
    else if (tipo == "conectar") cuenta.conectar();
    else if (tipo == "reabrir") cuenta.reabrirNavegador();
    else if (tipo == "copiar") cuenta.copiarEnlace();
    else if (tipo == "safari") cuenta.abrirEnSafari();
    else if (tipo == "cancelar") cuenta.cancelarConexion();
    else if (tipo == "registro") Navegador::abrir(anadirRuta(cuenta.servidor(), "registro/"));
}

}  // namespace sorvenia
