#include "plataforma/gui/relevo_mensajes.h"

namespace sorvenia {

std::string guionRelevo(std::string_view manejador) {
    // The relay posts a text, so nothing of the page's objects crosses into
    // native code; location is read in this world, where the page cannot
    // redefine it.
    const std::string nombre = nlohmann::json(manejador).dump();
    const std::string evento = nlohmann::json(eventoMensaje).dump();
    return "(() => {\n"
           "  const canal = () => window.webkit.messageHandlers[" + nombre + "];\n"
           "  document.addEventListener(" + evento + ", (evento) => {\n"
           "    if (typeof evento.detail !== \"string\") return;\n"
           "    canal().postMessage(JSON.stringify({uri: location.href, mensaje: evento.detail}));\n"
           "  });\n"
           "})();\n";
}

std::optional<MensajeRelevado> leerRelevo(std::string_view texto) {
    const nlohmann::json sobre = nlohmann::json::parse(texto, nullptr, false);
    if (!sobre.is_object()) return std::nullopt;
    const auto uri = sobre.find("uri");
    const auto mensaje = sobre.find("mensaje");
    if (uri == sobre.end() || !uri->is_string() || mensaje == sobre.end() || !mensaje->is_string())
        return std::nullopt;
    nlohmann::json cuerpo = nlohmann::json::parse(mensaje->get_ref<const std::string&>(), nullptr, false);
    if (!cuerpo.is_object()) return std::nullopt;
    return MensajeRelevado{uri->get<std::string>(), std::move(cuerpo)};
}

}  // namespace sorvenia
