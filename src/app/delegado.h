#pragma once
// The application delegate: the set-up around launch and the road of the
// sign-in callback. The browser hands a "sorvenia-tarvel:" address to the
// desktop, which starts the program with it (the .desktop entry's %u); that
// second process passes it to the running one (GApplication "open"), where
// enlace() hands it to the account.

#include <string_view>

namespace sorvenia {

class Delegado {
public:
    Delegado() = default;

    // Once launch is done, before the window: broken pipes stop killing the
    // process, the shipped fonts are registered, and the interface is dark.
    void alTerminarArranque();

    // A URL event: a text that is not a URL is ignored; otherwise the live
    // account receives it (nothing happens when there is none). Main thread.
    static void enlace(std::string_view texto);
};

}  // namespace sorvenia
