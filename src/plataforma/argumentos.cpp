#include "plataforma/argumentos.h"

#include <algorithm>

namespace sorvenia::Argumentos {
namespace {

std::vector<std::string>& lista() {
    static std::vector<std::string> argumentos;
    return argumentos;
}

}  // namespace

void fijar(std::vector<std::string> argumentos) { lista() = std::move(argumentos); }

const std::vector<std::string>& todos() { return lista(); }

bool contiene(const std::vector<std::string>& argumentos, std::string_view opcion) {
    return std::ranges::find(argumentos, opcion) != argumentos.end();
}

std::optional<std::string> valorTras(const std::vector<std::string>& argumentos, std::string_view opcion) {
    const auto it = std::ranges::find(argumentos, opcion);
    if (it == argumentos.end() || std::next(it) == argumentos.end()) return std::nullopt;
    return *std::next(it);
}

}  // namespace sorvenia::Argumentos
