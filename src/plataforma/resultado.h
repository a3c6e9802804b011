#pragma once
// A value or the reason there is none. The reason is a finished Spanish
// sentence for the user (and a short code for callers that branch on it).

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace sorvenia {

struct Fallo {
    std::string mensaje;  // shown to the user as it is
    std::string codigo;   // optional, for callers that tell failures apart
};

template <class T>
class [[nodiscard]] Resultado {
public:
    Resultado(T valor) : v_(std::in_place_index<0>, std::move(valor)) {}
    Resultado(Fallo fallo) : v_(std::in_place_index<1>, std::move(fallo)) {}

    bool ok() const noexcept { return v_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    T& operator*() & {
        assert(ok());
        return std::get<0>(v_);
    }
    const T& operator*() const& {
        assert(ok());
        return std::get<0>(v_);
    }
    T&& operator*() && {
        assert(ok());
        return std::get<0>(std::move(v_));
    }
    T* operator->() { return &**this; }
    const T* operator->() const { return &**this; }
    const Fallo& fallo() const {
        assert(!ok());
        return std::get<1>(v_);
    }

private:
    std::variant<T, Fallo> v_;
};

// For operations that give nothing back but may fail.
struct Nada {};
using Hecho = Resultado<Nada>;
inline Hecho hecho() { return Nada{}; }

}  // namespace sorvenia
