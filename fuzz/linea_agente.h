#pragma once
// The check both agents' line readers get under the fuzzer: one output line
// put between two lines whose events are known. The known events must come
// out unchanged around whatever the line gives, and everything the line
// gives must be well formed (valid UTF-8 texts, an object as a step's input,
// printable as JSON).
#include <string>
#include <string_view>
#include <vector>

#include "centro/agente_lineas.h"
#include "comun/utf8.h"

namespace sorvenia::fuzz {

inline bool textoValido(const std::string& t) { return repararUtf8(t) == t; }

inline bool valido(const EventoAgente& e) {
    if (const auto* t = std::get_if<EventoAgente::Texto>(&e.valor)) return textoValido(t->texto);
    if (const auto* p = std::get_if<EventoAgente::Paso>(&e.valor))
        return textoValido(p->id) && textoValido(p->herramienta) && p->entrada.is_object() &&
               !p->entrada.dump().empty() && (!p->agente || textoValido(*p->agente));
    if (const auto* h = std::get_if<EventoAgente::PasoHecho>(&e.valor)) return textoValido(h->id);
    if (const auto* s = std::get_if<EventoAgente::Sesion>(&e.valor)) return textoValido(s->id);
    return textoValido(std::get<EventoAgente::Fin>(e.valor).texto);
}

// `leer` is one of the readers; `conocida` a line it turns into `esperados`.
template <class Lector>
void probarLinea(Lector leer, const std::string& conocida, const std::vector<EventoAgente>& esperados,
                 std::string_view linea) {
    std::vector<EventoAgente> antes, medio, despues;
    leer(conocida, [&](EventoAgente e) { antes.push_back(std::move(e)); });
    leer(linea, [&](EventoAgente e) { medio.push_back(std::move(e)); });
    leer(conocida, [&](EventoAgente e) { despues.push_back(std::move(e)); });
    if (antes != esperados || despues != antes) __builtin_trap();
    for (const auto& e : medio)
        if (!valido(e)) __builtin_trap();
}

}  // namespace sorvenia::fuzz
