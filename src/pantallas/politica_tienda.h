#pragma once
// What the account and store window does with each address, without the
// window: only the account site's panel pages load inside it (they are
// signed in through the window's own one-time links); the site's root and a
// click on its sign-in page go back to the store page; every other web
// address goes to the default browser; mail, telephone and other app links
// go to the system. Also the bar's text and lock, the purchase's thank-you
// page, and the checks on the store page's messages.

#include <string>
#include <string_view>

namespace sorvenia::PoliticaTienda {

enum class Destino {
    permitir,   // load it in the window
    tienda,     // load the store page instead
    navegador,  // open it in the default browser, not here
    sistema,    // hand it to the system's handler of its scheme, not here
    cancelar,   // nothing at all
};

// One navigation of the window's view. `propia`: the address is a file of
// our own store page's folder. `servidor`: the account site's base address.
Destino decidir(std::string_view uri, bool marcoPrincipal, bool clic, bool propia, std::string_view servidor);

// A window the page asks for: its address opens in the browser (true) when
// it is http or https, and is dropped otherwise.
bool abrirVentanaEnNavegador(std::string_view uri);

// The page counts as local when the view has no address or a file one.
bool esLocal(std::string_view uri);
// The bar's address: host followed by path, nothing for a local page.
std::string textoBarra(std::string_view uri);
// The lock shows for https pages that are not local.
bool candado(std::string_view uri);

// The account site's thank-you page ending a purchase (not a cancelled one).
bool esCompra(std::string_view uri, std::string_view servidor);

// A path of the account panel ("/panel/...").
bool esRutaPanel(std::string_view ir);
// A lower-case domain name of two or more labels that the store page may
// ask to open.
bool esDominio(std::string_view dominio);

}  // namespace sorvenia::PoliticaTienda
