#pragma once
// Deploying the open design's app project to a VPS: the name the deploy
// script is given for the site. Pure: no file, no network, no window.

#include <optional>
#include <string>
#include <string_view>

namespace sorvenia::DespliegueApp {

// The wildcard DNS service whose names ("203-0-113-7" + this) resolve to the
// address they spell; a deployment without a domain of its own uses one.
inline constexpr std::string_view sufijoIP = ".sslip.io";

// The domain to deploy to: the typed one cleaned as a publication's
// (lower case, no blanks, no web scheme, no surrounding "/"); with nothing
// typed, the name derived from the server's IP. Nothing when the cleaned
// name is not a domain: it goes to a script that runs as root and writes
// the web server's configuration, so blanks, ";", braces or line ends must
// never reach it (the caller tells the user
// PublicacionVPS::textoDominioNoValido).
std::optional<std::string> dominio(std::string_view escrito, std::string_view ip);

}  // namespace sorvenia::DespliegueApp
