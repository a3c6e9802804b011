#include "app/canal_pruebas/editor_canal.h"

#include "editor/gui/editor_abierto.h"
#include "plataforma/argumentos.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia::CanalPruebas {
namespace {

using Json = nlohmann::json;

void ordenesDeLaLineaDeOrdenes(EditorAbierto& editor) {
    const auto& args = Argumentos::todos();
    if (Argumentos::contiene(args, "--rehacer-miniatura")) {
        editor.mas(2.5, [](EditorAbierto& m) { m.js("forzarCambio", Json::object()); });
        editor.mas(4.0, [](EditorAbierto& m) { lanzar(m.salir()); });
    }
    if (const auto destino = Argumentos::valorTras(args, "--probar-video"))
        editor.mas(2.0, [destino = *destino](EditorAbierto& m) { m.js("probarVideo", {{"destino", destino}}); });
    if (const auto guion = Argumentos::valorTras(args, "--js"))
        editor.mas(4.0, [guion = *guion](EditorAbierto& m) {
            if (m.web()) m.web()->evaluar(guion);
        });
    if (const auto pedido = Argumentos::valorTras(args, "--pedir"))
        editor.js("pedir", {{"texto", *pedido},
                            {"ia", Argumentos::valorTras(args, "--ia").value_or("claude")},
                            {"animar", Argumentos::contiene(args, "--animar")}});
}

}  // namespace

void instalarOrdenesEditor() { EditorAbierto::alCargarEnPruebas(&ordenesDeLaLineaDeOrdenes); }

}  // namespace sorvenia::CanalPruebas
