#pragma once
// One JSON value of any shape as a typed tree: the design document, the
// agency data, the store catalogue. Read from JSON and written back without
// loss of structure (key order aside), turned into the loose nlohmann::json
// graph for untyped code and pages, or printed as compact JSON text.
//
// Every number is a double: there is no integer case. Copying a tree copies
// it; nothing is shared.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace sorvenia {

class JSONValor {
public:
    using Objeto = std::map<std::string, JSONValor>;
    using Lista = std::vector<JSONValor>;

    // The six cases, in this order. ("bool" is a C++ keyword: its case is
    // `booleano`.)
    enum class Caso { objeto, lista, texto, numero, booleano, nulo };

    // Decoding refuses documents nested deeper than this: a hostile answer
    // must not exhaust the stack of the code that walks the tree.
    static constexpr int profundidadMaxima = 512;

    JSONValor() = default;  // nulo
    JSONValor(std::nullptr_t) {}
    JSONValor(bool b) : v_(b) {}
    JSONValor(double n) : v_(n) {}
    template <class E, std::enable_if_t<std::is_integral_v<E> && !std::is_same_v<E, bool>, int> = 0>
    JSONValor(E n) : v_(static_cast<double>(n)) {}
    JSONValor(std::string t) : v_(std::move(t)) {}
    JSONValor(const char* t) : v_(std::string(t)) {}
    JSONValor(Lista l) : v_(std::move(l)) {}
    JSONValor(Objeto o) : v_(std::move(o)) {}

    Caso caso() const noexcept;
    bool esNulo() const noexcept { return caso() == Caso::nulo; }

    // The payload of the case, or nothing when the value is of another case.
    const Objeto* comoObjeto() const noexcept { return std::get_if<Objeto>(&v_); }
    const Lista* comoLista() const noexcept { return std::get_if<Lista>(&v_); }
    const std::string* comoTexto() const noexcept { return std::get_if<std::string>(&v_); }
    std::optional<double> comoNumero() const noexcept;
    std::optional<bool> comoBool() const noexcept;

    // Reads one JSON value: null, Boolean, number, string, array, object.
    // Nothing when any part is not JSON or the nesting is too deep.
    static std::optional<JSONValor> desde(const nlohmann::json& valor);
    // The same from JSON text (the whole text must be one JSON value).
    static std::optional<JSONValor> decodificar(std::string_view texto);

    // The loose graph: objects, arrays, strings, doubles, Booleans and null
    // (kept as a member or element, never dropped). Never fails.
    nlohmann::json objeto() const;

    // Compact JSON text, every "/" written "\/". "null" when the tree holds a
    // number that is not finite (JSON cannot write it). Texts that are not
    // valid UTF-8 come out repaired.
    std::string cadena() const;

private:
    struct Nulo {};
    // Alternatives in the order of the cases.
    std::variant<Objeto, Lista, std::string, double, bool, Nulo> v_{Nulo{}};
};

}  // namespace sorvenia
