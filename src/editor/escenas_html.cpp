// Scene references in a page's HTML. Pages come from agents and the web and
// may be of any size, so the patterns run on RE2, whose time grows linearly
// with the text and whose stack does not grow with it at all. Bytes are
// read as Latin-1: the patterns are ASCII, and any other byte is just a
// byte that no class of theirs names.
#include <re2/re2.h>

#include <cstddef>
#include <string>

#include "editor/escenas.h"

namespace sorvenia::Escenas {
namespace {

RE2::Options opciones() {
    RE2::Options o;
    o.set_encoding(RE2::Options::EncodingLatin1);
    o.set_log_errors(false);
    return o;
}

const RE2& referencia() {
    static const RE2 r(R"(escenas/([a-z0-9][a-z0-9-]{0,39})\.(?:mp4|jpg))", opciones());
    return r;
}

// The opening tag may name the scene anywhere; the element runs to the
// first closing tag after it.
const RE2& video() {
    static const RE2 r(R"re(<video\b[^>]*\bdata-escena="([a-z0-9][a-z0-9-]{0,39})"[^>]*>[\s\S]*?</video>)re",
                       opciones());
    return r;
}

// A blank is one of the six ASCII blanks, the vertical tab included.
const RE2& clase() {
    static const RE2 r(R"([\t\n\v\f\r ]class="[^"]*")", opciones());
    return r;
}

const RE2& estilo() {
    static const RE2 r(R"([\t\n\v\f\r ]style="[^"]*")", opciones());
    return r;
}

// One match of `patron` at or after `desde`: the whole match and group 1.
struct Encontrado {
    re2::StringPiece todo;
    re2::StringPiece id;
};

bool buscar(const RE2& patron, std::string_view texto, std::size_t desde, Encontrado& e) {
    re2::StringPiece grupos[2];
    const int cuantos = patron.NumberOfCapturingGroups() + 1;
    if (desde > texto.size() ||
        !patron.Match(re2::StringPiece(texto.data(), texto.size()), desde, texto.size(), RE2::UNANCHORED, grupos, cuantos))
        return false;
    e = {grupos[0], grupos[1]};
    return true;
}

std::size_t finDe(std::string_view texto, re2::StringPiece parte) {
    return static_cast<std::size_t>(parte.data() - texto.data()) + parte.size();
}

// The attribute, written out again with the blank before it; empty when
// the tag has none.
std::string atributo(std::string_view etiqueta, const RE2& patron) {
    Encontrado e;
    return buscar(patron, etiqueta, 0, e) ? std::string(e.todo.data(), e.todo.size()) : "";
}

}  // namespace

std::set<std::string> usadas(std::string_view html) {
    std::set<std::string> ids;
    for (const RE2* patron : {&referencia(), &video()}) {
        Encontrado e;
        for (std::size_t desde = 0; buscar(*patron, html, desde, e); desde = finDe(html, e.todo))
            ids.emplace(e.id.data(), e.id.size());
    }
    return ids;
}

std::string conPoster(const std::string& html, const std::set<std::string>& solo) {
    if (solo.empty()) return html;
    std::string salida;
    std::size_t copiado = 0;
    Encontrado e;
    for (std::size_t desde = 0; buscar(video(), html, desde, e); desde = finDe(html, e.todo)) {
        const std::string id(e.id.data(), e.id.size());
        if (!solo.contains(id)) continue;
        const std::string_view elemento(e.todo.data(), e.todo.size());
        const std::string_view apertura = elemento.substr(0, elemento.find('>'));
        const auto inicio = static_cast<std::size_t>(e.todo.data() - html.data());
        salida.append(html, copiado, inicio - copiado);
        salida += "<img src=\"escenas/" + id + ".jpg\" alt=\"\" data-escena=\"" + id + "\"" +
                  atributo(apertura, clase()) + atributo(apertura, estilo()) + ">";
        copiado = finDe(html, e.todo);
    }
    salida.append(html, copiado);
    return salida;
}

}  // namespace sorvenia::Escenas
