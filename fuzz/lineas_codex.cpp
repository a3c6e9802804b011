// One output line of the codex agent, put between two lines whose events are
// known: the known events must come out unchanged around whatever the line
// gives, and everything the line gives must be well formed (valid UTF-8
// texts, an object as a step's input, printable as JSON).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "centro/agente_lineas.h"
#include "comun/utf8.h"

namespace {

using sorvenia::EventoAgente;

bool textoValido(const std::string& t) { return sorvenia::repararUtf8(t) == t; }

bool valido(const EventoAgente& e) {
    if (const auto* t = std::get_if<EventoAgente::Texto>(&e.valor)) return textoValido(t->texto);
    if (const auto* p = std::get_if<EventoAgente::Paso>(&e.valor))
        return textoValido(p->id) && textoValido(p->herramienta) && p->entrada.is_object() &&
               !p->entrada.dump().empty() && (!p->agente || textoValido(*p->agente));
    if (const auto* h = std::get_if<EventoAgente::PasoHecho>(&e.valor)) return textoValido(h->id);
    if (const auto* s = std::get_if<EventoAgente::Sesion>(&e.valor)) return textoValido(s->id);
    return textoValido(std::get<EventoAgente::Fin>(e.valor).texto);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
    const std::string_view linea(reinterpret_cast<const char*>(datos), tamano);
    const std::string conocida = R"({"type":"item.completed","item":{"id":"i","type":"agent_message","text":"ok"}})";
    std::vector<EventoAgente> antes, medio, despues;
    const auto a = [&](EventoAgente e) { antes.push_back(std::move(e)); };
    const auto m = [&](EventoAgente e) { medio.push_back(std::move(e)); };
    const auto d = [&](EventoAgente e) { despues.push_back(std::move(e)); };
    sorvenia::Agente::leerLineaCodex(conocida, a);
    sorvenia::Agente::leerLineaCodex(linea, m);
    sorvenia::Agente::leerLineaCodex(conocida, d);
    if (antes != std::vector<EventoAgente>{EventoAgente{EventoAgente::Texto{"ok\n"}}} || despues != antes)
        __builtin_trap();
    for (const auto& e : medio)
        if (!valido(e)) __builtin_trap();
    return 0;
}
