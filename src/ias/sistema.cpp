#include "ias/sistema.h"

#include "plataforma/recursos.h"
#include "plataforma/texto_utf8.h"

namespace sorvenia::IAsLocales {

namespace detalle {

std::string leerSistema(const std::optional<std::filesystem::path>& fichero) {
    auto texto = fichero ? leerTextoUtf8(*fichero) : std::nullopt;
    return texto ? std::move(*texto) : "Devuelve sólo un bloque <style> y un <div> raíz con el diseño.";
}

}  // namespace detalle

const std::string& sistema() {
    // Thread-safe first use: design turns may ask from several tasks at once.
    static const std::string texto = detalle::leerSistema(Recursos::ruta("skills/tarvel-sorvenia/encargo.md"));
    return texto;
}

}  // namespace sorvenia::IAsLocales
