// The standalone HTML document around design HTML. It needs no display, so
// the website files can be built without one.
#include <fstream>
#include <iterator>

#include "editor/documento_web.h"
#include "medios/fuentes.h"
#include "plataforma/recursos.h"

namespace sorvenia {
namespace {

std::optional<std::string> leerTexto(const std::filesystem::path& ruta) {
    std::ifstream entrada(ruta, std::ios::binary);
    if (!entrada) return std::nullopt;
    return std::string{std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

}  // namespace

std::string documentoWeb(const std::string& html, const std::string& titulo, bool fuentesWeb) {
    std::string d =
        "<!doctype html><html lang=\"es\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
        "content=\"width=device-width,initial-scale=1\">\n<title>";
    for (char c : titulo)
        if (c != '<') d += c;
    d += "</title>";
    if (fuentesWeb)
        d += "<link rel=\"stylesheet\" href=\"https://fonts.googleapis.com/css2?family=Inter:wght@100..900&family="
             "JetBrains+Mono:wght@100..800&display=swap\">";
    else
        d += "<style>@font-face{font-family:Inter;src:url(fuentes/inter.woff2) format('woff2');font-weight:100 900}"
             "@font-face{font-family:'JetBrains Mono';src:url(fuentes/jetbrains-mono.woff2) format('woff2');"
             "font-weight:100 800}</style>";
    d += "\n<style>*{box-sizing:border-box}html,body{margin:0;height:100%}body{font-family:Inter,system-ui,sans-serif;"
         "-webkit-font-smoothing:antialiased}h1,h2,h3,h4,h5,h6,p,ul,ol{margin:0}img{display:block;max-width:100%}"
         "</style>\n</head><body>";
    // A page that leaves the application takes the user's fonts with it:
    // no other browser can read "fuente://local/".
    d += fuentesWeb ? Fuentes::incrustar(html) : html;
    if (html.find("data-shader") != std::string::npos)
        if (const auto ruta = Recursos::ruta("editor/shaders.js"))
            if (const auto shaders = leerTexto(*ruta)) d += "<script>" + *shaders + "</script>";
    d += "</body></html>";
    return d;
}

}  // namespace sorvenia
