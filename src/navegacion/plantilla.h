#pragma once
// Plantilla: the page size a new design starts from (a web page, a phone, a
// tablet, a social post, a slide, an app screen), and the fixed table of
// the ones the application offers.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia {

struct Plantilla {
    std::string id;      // stable, lower case, no spaces
    std::string nombre;  // shown to the user
    int ancho = 0;
    int alto = 0;
    // True when the page's height follows its content; false when it stays
    // at `alto`. (Named `auto` in the design documents: a C++ keyword.)
    bool altoAutomatico = false;

    bool operator==(const Plantilla&) const = default;

    // The nine templates, always in this order; "web" first.
    static const std::vector<Plantilla>& todas();

    // The first row whose id is exactly `id` (case-sensitive).
    static std::optional<Plantilla> buscar(std::string_view id);
    // The same, falling back to the "web" row: every caller's default.
    static const Plantilla& conId(std::string_view id);
    static const Plantilla& web();

    // The welcome tutorial's template: not a row of the table.
    static Plantilla bienvenida();
    // The name of the design the welcome template makes, by which the
    // tutorial finds it again.
    static constexpr std::string_view nombreBienvenida = "Bienvenido a Sorvenia Code";

    // The document a new design of this template starts with, from the
    // resource "plantillas/<id>.json": nothing for a template without one
    // (the page then draws one empty mesa of the template's size), nor when
    // the file is missing or is not a JSON object.
    std::optional<nlohmann::json> documentoInicial() const;
};

}  // namespace sorvenia
