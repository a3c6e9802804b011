#pragma once
// The test build's orders for a freshly opened editor, read from its command
// line: "--rehacer-miniatura" (a change, then the back action), "--probar-video
// <destino>", "--js <script>" and "--pedir <texto>" (with "--ia <id>" and
// "--animar").

namespace sorvenia::CanalPruebas {

// Makes every editor carry out those orders once its design is loaded.
// Called once by activar().
void instalarOrdenesEditor();

}  // namespace sorvenia::CanalPruebas
