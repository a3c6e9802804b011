#include "ias/disenar.h"

#include <filesystem>
#include <fstream>
#include <utility>

#include "plataforma/fichero_privado.h"
#include "ias/preparar_carpeta.h"
#include "plataforma/cripto.h"

namespace sorvenia::IAsLocales {
namespace fs = std::filesystem;

namespace {

const char* const instruccionRevision =
    "\n\nEste es el HTML que has propuesto y en `captura.png` tienes cómo se ve de verdad en el tarvel.\n"
    "Ábrela, critícala con la checklist de `revisar-mockup` y la prueba final de `nivel-agencia`\n"
    "(textos que se salen o se cortan, contraste, alineaciones, jerarquía, huecos, lo que delate a una IA)\n"
    "y devuelve el HTML COMPLETO corregido. Si de verdad está perfecto, devuélvelo igual.\n\nHTML actual:\n";

bool soloBlancos(const std::string& texto) {
    return texto.find_first_not_of(" \t\n\r\f\v") == std::string::npos;
}

std::string clausulaRecursos(const std::vector<std::pair<std::string, std::string>>& recursos) {
    if (recursos.empty()) return {};
    std::string texto =
        "\n\nRecursos del cliente (imágenes suyas de verdad, también en esta carpeta como recurso-NOMBRE.*; ábrelas con "
        "Read para ver colores y forma): ";
    for (std::size_t i = 0; i < recursos.size(); ++i) {
        if (i > 0) texto += ", ";
        texto += "«recurso:" + recursos[i].first + "»";
    }
    return texto + ".";
}

std::string extension(const std::string& url) {
    if (url.starts_with("data:image/svg")) return "svg";
    if (url.starts_with("data:image/png")) return "png";
    return "jpg";
}

// The review pass: the first answer's screenshot and the corrected page, or
// the first answer when anything in it fails.
Tarea<std::string> revisar(IA con, std::string ruta, PedidoDiseno pedido, fs::path carpeta, std::string primera,
                           AvisosTurno avisos, Capturar capturar) {
    if (avisos.progreso) avisos.progreso("Mirando la captura y corrigiendo…");
    const auto png = co_await capturar(primera);
    if (!png) co_return primera;
    // A screenshot that cannot be written ends only the review: the first
    // answer is a finished design and is kept.
    const fs::path captura = carpeta / "captura.png";
    if (!escribirPrivado(captura, std::string_view(reinterpret_cast<const char*>(png->data()), png->size())))
        co_return primera;
    (void)escribirPrivado(carpeta / "pagina.html", primera);
    auto corregida = co_await turno(std::move(con), std::move(ruta), detalle::ordenDeRevision(pedido, primera), carpeta,
                                    captura, "medium", std::move(avisos));
    if (!corregida || corregida->empty()) co_return primera;
    co_return std::move(*corregida);
}

}  // namespace

std::string detalle::ordenDeDiseno(const PedidoDiseno& p) {
    const std::string recursos = clausulaRecursos(p.recursos);
    if (p.cambio && p.html)
        return "Encargo: CAMBIO SOBRE UNA PÁGINA EXISTENTE (sigue el MODO CAMBIO del encargo: responde sólo con los "
               "bloques <cambio>).\n\nPetición del cliente: " +
               p.peticion + recursos + "\n\nHTML actual:\n" + *p.html;
    std::string texto = p.web ? "Encargo: WEB COMPLETA de " + std::to_string(p.ancho) +
                                    "px de ancho (alto libre, crece con el contenido).\n\nPetición del cliente: "
                              : "Encargo: PIEZA de " + std::to_string(p.ancho) + "×" + std::to_string(p.alto) +
                                    "px (ocupa la mesa entera).\n\nPetición del cliente: ";
    texto += p.peticion;
    if (p.html && !soloBlancos(*p.html)) texto += "\n\nHTML actual (modifícalo según la petición):\n" + *p.html;
    return texto + recursos;
}

std::string detalle::ordenDeRevision(const PedidoDiseno& p, const std::string& primera) {
    return "Mesa de trabajo de " + std::to_string(p.ancho) + "×" + std::to_string(p.alto) +
           " px. Petición original: " + p.peticion + instruccionRevision + primera;
}

void detalle::escribirRecursos(const fs::path& carpeta,
                               const std::vector<std::pair<std::string, std::string>>& recursos) {
    for (const auto& [nombre, url] : recursos) {
        const auto coma = url.find(',');
        if (coma == std::string::npos) continue;
        const auto bytes = desdeBase64(std::string_view(url).substr(coma + 1));
        if (!bytes) continue;
        // The name is the customer's; a name that would leave the folder
        // ("/" or "..") gets no file, only its label in the order text.
        const fs::path fichero = carpeta / ("recurso-" + nombre + "." + extension(url));
        if (nombre.find('/') != std::string::npos || fichero.parent_path() != carpeta) continue;
        (void)escribirPrivado(fichero, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    }
}

Tarea<Resultado<std::string>> disenar(IA con, PedidoDiseno pedido, AvisosTurno avisos,
                                      std::optional<Capturar> capturar) {
    if (!con.ruta) co_return Fallo{"Esta IA no está instalada.", "sin_ruta"};
    // Owned by this frame: removed when the turn returns, fails or is cancelled.
    auto preparada = co_await enSegundoPlano([] { return prepararCarpeta(); });
    if (!preparada) co_return preparada.fallo();
    const CarpetaTemporal carpeta = std::move(*preparada);
    const fs::path dir = carpeta.ruta();
    co_await enSegundoPlano([dir, recursos = pedido.recursos] { detalle::escribirRecursos(dir, recursos); });
    if (avisos.progreso) avisos.progreso(con.nombre + " está diseñando…");

    const std::string esfuerzo = pedido.cambio ? "medium" : "high";
    const std::string ruta = *con.ruta;
    auto primera = co_await turno(con, ruta, detalle::ordenDeDiseno(pedido), dir, std::nullopt, esfuerzo, avisos);
    if (!primera) co_return primera.fallo();
    if (!capturar) co_return std::move(*primera);
    co_return co_await revisar(con, ruta, std::move(pedido), dir, std::move(*primera), std::move(avisos),
                               std::move(*capturar));
}

}  // namespace sorvenia::IAsLocales
