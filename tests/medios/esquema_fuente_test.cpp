// The "fuente" scheme in a real web view, fetched by a page of its origin:
// a font of the library is served with its type and never cached; a name that is missing, hidden, encoded
// to climb out of the folder, absolute, or a link in the folder that points
// elsewhere gets an HTTP 404 (not a failed load), never cached either.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "aislado.h"
#include "esperar_bucle.h"
#include "medios/fuentes.h"
#include "medios/gui/esquema_fuente.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// What a page of the scheme's own origin gets when it fetches `uri`; a
// failed load (no response at all) is an error.
nlohmann::json pedir(WebVista& vista, const std::string& uri) {
    const auto r = prueba::esperarTarea(vista.llamar(
        "try { const r = await fetch(uri, {cache: 'no-store'});"
        " return {status: r.status, tipo: r.headers.get('content-type') || '',"
        " cache: r.headers.get('cache-control') || '', origen: r.headers.get('access-control-allow-origin') || '',"
        " bytes: (await r.arrayBuffer()).byteLength}; }"
        " catch (e) { return {error: String(e)}; }",
        {{"uri", uri}}));
    if (!r || !r->ok()) return {{"error", "sin respuesta de la página"}};
    return **r;
}

TEST(EsquemaFuente, SirveLaBibliotecaYContesta404ALoDemas) {
    (void)prueba::raizAislada();
    ::unsetenv("XDG_DATA_DIRS");
    ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run).";
    std::error_code ec;
    fs::remove_all(Fuentes::carpeta(), ec);
    const fs::path dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    ASSERT_EQ(Fuentes::anadir({dejavu}), "Añadidas 1 fuente de 1 familia: DejaVu Sans.");
    const std::string archivo = Fuentes::lista().at(0).archivo;
    // A link inside the folder to a file outside it, with a valid name.
    fs::create_symlink(dejavu, Fuentes::carpeta() / "enlace.ttf");

    WebVista vista("prueba", {});
    servirFuentes(vista);
    vista.cargarHTML("<p>fuentes</p>", "fuente://local/");
    ASSERT_TRUE(prueba::esperarHasta([&] { return webkit_web_view_is_loading(vista.vistaWeb()) == FALSE; }));
    EXPECT_EQ(pedir(vista, "fuente://local/" + archivo), json({{"status", 200},
                                                               {"tipo", "font/ttf"},
                                                               {"cache", "no-store"},
                                                               {"origen", "*"},
                                                               {"bytes", fs::file_size(dejavu)}}));

    for (const std::string& uri : std::vector<std::string>{
             "fuente://local/no-existe.ttf", "fuente://local/.oculta.ttf", "fuente://local/..%2F..%2Fetc%2Fpasswd",
             "fuente://local/%2Fetc%2Fpasswd", "fuente://local/" + archivo + "%2F..%2F..%2Ffuentes.json",
             "fuente://local//etc/passwd", "fuente://local/enlace.ttf"})
        EXPECT_EQ(pedir(vista, uri),
                  json({{"status", 404}, {"tipo", ""}, {"cache", "no-store"}, {"origen", "*"}, {"bytes", 0}}))
            << uri;
}

}  // namespace
}  // namespace sorvenia
