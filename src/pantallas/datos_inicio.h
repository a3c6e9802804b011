#pragma once
// What the home page is given: the home data object handed to
// window.inicio.datos, built from the account, the local AI tools, the local
// copies, the integration cards and the job list; and the two fixed tables
// the home page's actions read (the tools' logos and download pages).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cuenta/copia_local.h"
#include "cuenta/registros.h"
#include "ias/ia.h"

namespace sorvenia::DatosInicio {

// Everything the home data is made of, as read at one moment.
struct Fuentes {
    std::optional<Cliente> cliente;
    std::vector<DisenoResumen> disenos;
    std::vector<IA> ias;  // in detection order
    bool iasListas = false;
    std::vector<CopiaLocal> copias;  // as Cuenta::copiasLocales() gives them
    std::optional<std::string> error;
    nlohmann::json integraciones = nlohmann::json::array();  // the cards, passed through
    nlohmann::json trabajos = nlohmann::json::array();       // Trabajos::lista(), passed through
    std::optional<std::string> actualizacion;  // the version of a newer build, once one is known
};

// The object: "disenos", "logo", "cliente" (only with a customer), "ia"
// (only with a tool), "ias", "iasListas", "sinSubir", "error" (text or
// null), "integraciones", "trabajos", and "actualizacion" ({"version"})
// once a newer build is known.
nlohmann::json datos(const Fuentes& f);

// The current tool: the first signed-in one, else the first one, as
// {"nombre", "logo", "lista"}; nothing without tools.
std::optional<nlohmann::json> iaActual(const std::vector<IA>& ias);

// One "sinSubir" entry: {"archivo", "nombre", "nuevo", "abrir": true, "fecha"}.
nlohmann::json copia(const CopiaLocal& c);

// "yyyy-MM-dd HH:mm:ss" in UTC, whole seconds, whatever the time zone and
// locale.
std::string fechaCopia(CopiaLocal::Fecha fecha);

// The logo of a tool, relative to the page's folder.
std::string logo(IA::Tipo tipo);

// Where a tool is downloaded ("claude", "codex", "gemini"); nothing for any
// other id.
std::optional<std::string> paginaDescarga(std::string_view id);

}  // namespace sorvenia::DatosInicio
