#pragma once
// Signing the user in to a local AI tool from the application: the tool's
// own login command runs in a pseudo-terminal of ours, its sign-in address
// is opened in the browser, the caller hears when the tool asks for a code
// and when it refused one, types codes into it, and hears at the end
// whether the tool now says the user is signed in.
//
// The Mac runs the command under /usr/bin/script; util-linux's script
// takes other arguments and refuses that command line, so the terminal is
// opened here instead.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ias/caja.h"
#include "ias/descriptor.h"
#include "ias/ia.h"
#include "ias/proceso.h"

namespace sorvenia::IAsLocales {

class Inicio {
public:
    Inicio(std::shared_ptr<Descriptor> terminal, std::shared_ptr<Proceso> proceso,
           std::shared_ptr<Caja<std::optional<std::chrono::steady_clock::time_point>>> enviado)
        : terminal_(std::move(terminal)), proceso_(std::move(proceso)), enviado_(std::move(enviado)) {}

    // Types the code into the tool followed by a carriage return: trimmed,
    // and cut before "https://" when the user pasted a link with it. A
    // tool that has closed its terminal is not an error.
    void enviar(std::string_view codigo);
    // The login command, to stop it with matar (its end still reaches
    // alTerminar).
    const std::shared_ptr<Proceso>& proceso() const { return proceso_; }

private:
    std::shared_ptr<Descriptor> terminal_;
    std::shared_ptr<Proceso> proceso_;
    std::shared_ptr<Caja<std::optional<std::chrono::steady_clock::time_point>>> enviado_;
};

// The login's time limit: a tool still waiting then is stopped.
inline constexpr double limiteInicio = 600.0;

// Starts the login of `ia`. The callbacks run on the main thread:
// `pedirCodigo` once when the tool asks for a code, `codigoMalo` when it
// rejects a code sent less than 30 s before, `alTerminar` exactly once when
// the command has ended, with the tool's login state asked afresh (also
// with false when it cannot start). Nothing when the tool has no
// executable (and no callback runs) or cannot be started.
std::shared_ptr<Inicio> iniciarSesion(const IA& ia, std::function<void()> pedirCodigo,
                                      std::function<void()> codigoMalo, std::function<void(bool)> alTerminar);

// Stops every login still running (the application is quitting).
void terminarInicios();

namespace detalle {

// The login command's arguments after the executable.
std::vector<std::string> argumentosInicio(IA::Tipo tipo);
// What one chunk of the tool's output says.
bool rechazaCodigo(std::string_view trozo);
bool pideCodigo(std::string_view trozo);
std::optional<std::string> enlaceInicio(std::string_view trozo);
// The text typed into the tool for a code the user entered (without "\r").
std::string codigoParaEnviar(std::string_view codigo);

// iniciarSesion with the probe of the final state and the opener of the
// sign-in page given (tests).
std::shared_ptr<Inicio> iniciarSesionCon(const IA& ia, std::function<bool()> sonda,
                                         std::function<void()> pedirCodigo, std::function<void()> codigoMalo,
                                         std::function<void(bool)> alTerminar);

}  // namespace detalle

}  // namespace sorvenia::IAsLocales
