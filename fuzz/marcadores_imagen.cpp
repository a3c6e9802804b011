// Agents' HTML through the logo and photo placeholder scan, as the resolver
// sees it: the bytes repaired to UTF-8 and read as code points. Nothing may
// crash or recurse with the input's length; the placeholders come in order,
// apart, each an src attribute ending at its closing quote with its words
// at the end. Where the backtracking patterns the rules are written as are
// safe to run (short texts), the placeholders must be exactly theirs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "comun/utf8.h"
#include "integraciones/marcadores_imagen.h"

namespace {

using namespace sorvenia;

void comprobar(bool condicion) {
    if (!condicion) std::abort();
}

constexpr std::size_t largoReferencia = 1000;

// Valid UTF-8 (repararUtf8's output) as code points.
std::wstring codigos(std::string_view utf8) {
    std::wstring texto;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t largo = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        std::uint32_t c = largo == 1 ? b : largo == 2 ? (b & 0x1Fu) : largo == 3 ? (b & 0x0Fu) : (b & 0x07u);
        for (std::size_t k = 1; k < largo; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        texto.push_back(static_cast<wchar_t>(c));
        i += largo;
    }
    return texto;
}

std::vector<MarcadorImagen> referencia(const std::wstring& texto, const std::wregex& patron) {
    std::vector<MarcadorImagen> lista;
    for (auto it = std::wsregex_iterator(texto.begin(), texto.end(), patron); it != std::wsregex_iterator(); ++it)
        lista.push_back(
            {static_cast<std::size_t>(it->position(0)), static_cast<std::size_t>(it->length(0)), it->str(1)});
    return lista;
}

bool iguales(const std::vector<MarcadorImagen>& a, const std::vector<MarcadorImagen>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].inicio != b[i].inicio || a[i].largo != b[i].largo || a[i].palabras != b[i].palabras) return false;
    return true;
}

void bienFormados(const std::wstring& texto, const std::vector<MarcadorImagen>& lista, std::size_t minimo,
                  std::size_t maximo) {
    std::size_t fin = 0;
    for (const auto& m : lista) {
        comprobar(m.inicio >= fin && m.largo > m.palabras.size() && m.inicio + m.largo <= texto.size());
        fin = m.inicio + m.largo;
        const std::wstring_view todo(texto.data() + m.inicio, m.largo);
        comprobar(todo.size() >= 3 && (todo[0] | 0x20) == L's' && (todo[1] | 0x20) == L'r' && (todo[2] | 0x20) == L'c');
        comprobar(todo.back() == L'"');
        comprobar(todo.substr(todo.size() - 1 - m.palabras.size(), m.palabras.size()) == m.palabras);
        comprobar(m.palabras.size() >= minimo && m.palabras.size() <= maximo);
        comprobar(m.palabras.find(L'"') == std::wstring::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    const std::wstring texto =
        codigos(repararUtf8(std::string_view(reinterpret_cast<const char*>(datos), tamano)));
    const auto logos = marcadoresLogo(texto);
    const auto fotos = marcadoresFoto(texto);
    bienFormados(texto, logos, 1, 60);
    bienFormados(texto, fotos, 2, 120);
    if (texto.size() <= largoReferencia) {
        static const std::wregex logo(LR"re(src\s*=\s*"logo:([^"]{1,60})")re",
                                      std::regex::ECMAScript | std::regex::icase);
        static const std::wregex foto(
            LR"re(src\s*=\s*"(?!https?:|data:|recurso:|escenas/|escena:)(?:foto:|photo:)?\s*([^"]{2,120})")re",
            std::regex::ECMAScript | std::regex::icase);
        comprobar(iguales(logos, referencia(texto, logo)));
        comprobar(iguales(fotos, referencia(texto, foto)));
    }
    return 0;
}
