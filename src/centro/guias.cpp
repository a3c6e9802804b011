#include "centro/guias.h"

#include <algorithm>

#include "centro/centro.h"
#include "centro/modo_agente.h"
#include "comun/texto.h"
#include "ias/sistema.h"
#include "plataforma/recursos.h"
#include "plataforma/texto_utf8.h"

namespace sorvenia {
namespace {

std::string_view sinBlancos(std::string_view t) {
    constexpr std::string_view blancos = " \t";
    const auto inicio = t.find_first_not_of(blancos);
    if (inicio == std::string_view::npos) return {};
    return t.substr(inicio, t.find_last_not_of(blancos) - inicio + 1);
}

bool nombreDeSkill(std::string_view clave) {
    return !clave.empty() && std::all_of(clave.begin(), clave.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

std::optional<std::string> leerSkill(const std::string& clave, const std::optional<std::filesystem::path>& recursos) {
    if (!recursos || !nombreDeSkill(clave)) return std::nullopt;
    return leerTextoUtf8(*recursos / "skills" / clave / "SKILL.md");
}

}  // namespace

std::string textoGuia(std::string_view tema, const std::optional<std::filesystem::path>& recursos) {
    const std::string clave = enMinusculas(sinBlancos(tema));
    if (clave == "agente") return textoModoAgente();
    if (clave == "encargo" || clave.empty()) return IAsLocales::sistema();
    if (auto skill = leerSkill(clave, recursos))
        return *skill +
               "\n\n(Adáptala al tarvel con las reglas de guia(encargo): CSS en <style> o en línea, sin Tailwind ni "
               "JavaScript.)";
    return "No hay guía «" + std::string(tema) +
           "». Temas: encargo, agente, nivel-agencia, territorios-visuales, sistema-visual, copy-es, sectores, "
           "secciones-web, landing-page, landing-dios, movil-y-accesible, imagenes-mockup, revisar-mockup.";
}

std::string Centro::guia(std::string_view tema) { return textoGuia(tema, Recursos::carpeta()); }

}  // namespace sorvenia
