#pragma once
// GTK is set up once per process, before the first widget or web view.

namespace sorvenia {

// Initialises GTK on the first call (later calls only repeat the answer).
// False when no display can be opened; nothing graphical may be made then.
// Must run on the main thread.
bool iniciarGtk();

}  // namespace sorvenia
