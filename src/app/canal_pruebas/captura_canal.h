#pragma once
// The screenshot request: "captura.pedir" holds "ventana" (the window's
// content) or the name of a registered web view (empty: "editor"); the PNG
// appears as "captura.png", whose earlier copy is deleted as the request is
// taken. A request that cannot be carried out writes nothing.

namespace sorvenia::CanalPruebas {

enum class Captura {
    ninguna,  // no request waiting
    ventana,  // the window was photographed: the tick ends here
    web,      // a view's snapshot is on its way: the tick goes on
};

Captura mirarCaptura();

}  // namespace sorvenia::CanalPruebas
