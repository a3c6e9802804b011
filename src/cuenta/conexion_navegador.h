#pragma once
// ConexionNavegador: the account's browser sign-in. conectar() starts an
// attempt: a one-time state and a verifier, and the account site's sign-in
// link with the verifier's challenge, opened in the default browser (the
// test build writes it to "enlace-conectar.txt" in the test channel's folder
// instead). The site sends the browser back to a "sorvenia-tarvel:" address,
// which the desktop hands to recibir(): it must carry the attempt's state;
// then the account redeems its code with the verifier (Cuenta::canjear).
// Every outcome shows in conectando(), enlace() and the account's error().
// When no browser can be opened the attempt stays under way
// (sinNavegador()): the link, opened by hand, can still finish it.
//
// Part of one Cuenta, which owns it, publishes its state to the account's
// observers and offers its calls under the names the callers use. Main
// thread only.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plataforma/resultado.h"

namespace sorvenia {

class Cuenta;

class ConexionNavegador {
public:
    // Where an attempt draws its verifier and state.
    using FuenteAzar = std::function<Resultado<std::vector<std::uint8_t>>(std::size_t)>;

    explicit ConexionNavegador(Cuenta& cuenta) : cuenta_(cuenta) {}
    ConexionNavegador(const ConexionNavegador&) = delete;
    ConexionNavegador& operator=(const ConexionNavegador&) = delete;

    bool conectando() const { return conectando_; }
    const std::optional<std::string>& enlace() const { return enlace_; }
    bool sinNavegador() const { return sinNavegador_; }

    void conectar();
    void reabrirNavegador();
    // The link onto the clipboard (cuenta_portapapeles.cpp, with the window code).
    void copiarEnlace();
    void cancelar();
    void recibir(const std::string& url);
    // By default the system's secure random source (tests put a failing
    // one in place).
    void usarAzar(FuenteAzar fuente) { azar_ = std::move(fuente); }

private:
    void ponerConectando(bool c);
    void ponerEnlace(std::optional<std::string> e);

    // The attempt the next callback must match.
    struct Pendiente {
        std::string state;
        std::string verificador;
    };

    Cuenta& cuenta_;
    bool conectando_ = false;
    std::optional<std::string> enlace_;
    bool sinNavegador_ = false;
    std::optional<Pendiente> pendiente_;
    FuenteAzar azar_;
};

}  // namespace sorvenia
