#include "comun/id_jsonrpc.h"

#include <nlohmann/json.hpp>

namespace sorvenia {
namespace {

constexpr std::string_view marcaDeOrden = "\xEF\xBB\xBF";  // the parser skips it too

bool esBlanco(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::size_t saltarBlancos(std::string_view t, std::size_t i) {
    while (i < t.size() && esBlanco(t[i])) ++i;
    return i;
}

// `i` is at an opening quote: the offset just past the closing one.
std::size_t finCadena(std::string_view t, std::size_t i) {
    for (++i; i < t.size(); ++i) {
        if (t[i] == '\\') ++i;
        else if (t[i] == '"') return i + 1;
    }
    return t.size();
}

// `i` is at the first byte of a value: the offset just past it.
std::size_t finValor(std::string_view t, std::size_t i) {
    if (t[i] == '"') return finCadena(t, i);
    if (t[i] == '{' || t[i] == '[') {
        std::size_t nivel = 0;
        while (i < t.size()) {
            const char c = t[i];
            if (c == '"') {
                i = finCadena(t, i);
                continue;
            }
            if (c == '{' || c == '[') ++nivel;
            else if ((c == '}' || c == ']') && --nivel == 0) return i + 1;
            ++i;
        }
        return t.size();
    }
    while (i < t.size() && !esBlanco(t[i]) && t[i] != ',' && t[i] != '}' && t[i] != ']') ++i;
    return i;
}

bool nombraId(std::string_view clave) {
    if (clave == R"("id")") return true;
    if (clave.find('\\') == std::string_view::npos) return false;
    const auto nombre = nlohmann::json::parse(clave, nullptr, false);
    return nombre.is_string() && nombre.get_ref<const std::string&>() == "id";
}

std::string sinBlancos(std::string_view valor) {
    std::string r;
    r.reserve(valor.size());
    for (std::size_t i = 0; i < valor.size();) {
        if (valor[i] == '"') {
            const std::size_t fin = finCadena(valor, i);
            r.append(valor.substr(i, fin - i));
            i = fin;
        } else {
            if (!esBlanco(valor[i])) r.push_back(valor[i]);
            ++i;
        }
    }
    return r;
}

}  // namespace

std::optional<std::string> idCrudo(std::string_view t) {
    if (t.starts_with(marcaDeOrden)) t.remove_prefix(marcaDeOrden.size());
    std::size_t i = saltarBlancos(t, 0);
    if (i >= t.size() || t[i] != '{') return std::nullopt;
    std::optional<std::string> id;
    for (i = saltarBlancos(t, i + 1); i < t.size() && t[i] == '"'; i = saltarBlancos(t, i + 1)) {
        const std::size_t finClave = finCadena(t, i);
        const std::string_view clave = t.substr(i, finClave - i);
        i = saltarBlancos(t, finClave);
        if (i >= t.size() || t[i] != ':') break;
        i = saltarBlancos(t, i + 1);
        if (i >= t.size()) break;
        const std::size_t fin = finValor(t, i);
        if (nombraId(clave)) id = sinBlancos(t.substr(i, fin - i));
        i = saltarBlancos(t, fin);
        if (i >= t.size() || t[i] != ',') break;
    }
    return id;
}

std::string mensajeConId(std::string_view id, std::string_view resto) {
    std::string r = R"({"jsonrpc":"2.0","id":)";
    r.append(id);
    if (resto.size() > 2) r.push_back(',');
    r.append(resto.substr(resto.empty() ? 0 : 1));
    return r;
}

}  // namespace sorvenia
