// Prints the native tool catalogue for the page's contract test: a JSON
// array of {"nombre", "responde": "centro" | "editor" | "pagina"}, in the
// catalogue's order.
#include <iostream>

#include "comun/herramientas_tarvel.h"

int main() {
    using namespace sorvenia::HerramientasTarvel;
    nlohmann::json salida = nlohmann::json::array();
    for (const auto& h : lista()) {
        const auto nombre = h.at("name").get<std::string>();
        const Responde quien = quienResponde(nombre);
        salida.push_back({{"nombre", nombre},
                          {"responde", quien == Responde::centro   ? "centro"
                                       : quien == Responde::editor ? "editor"
                                                                   : "pagina"}});
    }
    std::cout << salida.dump() << '\n';
    return 0;
}
