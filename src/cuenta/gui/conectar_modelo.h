#pragma once
// The native side of the sign-in page ("conectar.html"): passes the
// account's sign-in state into the page and turns the page's messages into
// the account's sign-in operations.
//
//   native → page: window.conectar && window.conectar.estado({"conectando": bool, "error": text or null,
//                  "enlace": the link to copy, only while no browser could be opened})
//   page → native: {"tipo": "listo" | "conectar" | "reabrir" | "copiar" | "safari" | "cancelar" | "registro"}

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>

namespace sorvenia {

class Cuenta;
class WebVista;

class ConectarModelo {
public:
    ConectarModelo() = default;
    ConectarModelo(const ConectarModelo&) = delete;
    ConectarModelo& operator=(const ConectarModelo&) = delete;

    // The page's view, not owned: set by its wrapper, cleared (nullptr)
    // before the view goes.
    void fijarWeb(WebVista* web) { web_ = web; }
    void fijarCuenta(std::weak_ptr<Cuenta> cuenta) { cuenta_ = std::move(cuenta); }

    // Makes the state the page's last one and sends it. `enlace` is the
    // sign-in link the user must open by hand, when no browser could be.
    void enviar(bool conectando, const std::optional<std::string>& error,
                const std::optional<std::string>& enlace = std::nullopt);
    // Sends the last state (or {"conectando": false} before any); nothing
    // while there is no page.
    void mandar();
    // One message from the page; anything malformed is ignored.
    void recibir(const nlohmann::json& mensaje);

    const nlohmann::json& ultimo() const { return ultimo_; }

private:
    void actuar(const std::string& tipo, Cuenta& cuenta);

    WebVista* web_ = nullptr;
    std::weak_ptr<Cuenta> cuenta_;
    nlohmann::json ultimo_ = {{"conectando", false}};
};

}  // namespace sorvenia
