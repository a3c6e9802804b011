#pragma once
// Editors that have closed while their last change is still on its way to
// the account. Nothing else refers to them any more (the job registry and
// the hub let them go when they closed), yet quitting must wait for their
// upload, or leave their document on this computer, like any open editor's.
//
// Main thread only.

#include <memory>
#include <vector>

namespace sorvenia {

class EditorModelo;

namespace SubidasFinales {

// Keeps `editor` until quitar(); adding it twice keeps it once.
void anotar(std::shared_ptr<EditorModelo> editor);
void quitar(const EditorModelo& editor);
std::vector<std::shared_ptr<EditorModelo>> lista();

}  // namespace SubidasFinales
}  // namespace sorvenia
