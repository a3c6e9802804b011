// Throughput of the agents' output-line parsers in MB/s, printed beside the
// same lines given to plain nlohmann::json::parse (the JSON parsing that
// every line needs anyway), as a ratio. The lines are a made-up but typical
// run: many small text deltas, tool calls whose input carries a few
// kilobytes of HTML, tool results, and one final result; for codex, its
// item events. Each parser takes turns with its peer over a few rounds, and
// the best round of each counts, so a slow patch of the machine does not
// fall on one of them only.
//
//   banco_lineas_agente

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "centro/agente_lineas.h"

namespace {

using Json = nlohmann::json;
using Reloj = std::chrono::steady_clock;

std::string html(int i) {
    std::string h = "<section class=\"hero\" data-lid=\"s" + std::to_string(i) + "\">";
    while (h.size() < 3000)
        h += "<div class=\"tarjeta\"><h2>Brasas y leña</h2><p>Cocina de mercado en Madrid.</p></div>";
    return h + "</section>";
}

std::vector<std::string> lineasClaude() {
    std::vector<std::string> l;
    l.push_back(Json{{"type", "system"}, {"subtype", "init"}, {"session_id", "s-1"}}.dump());
    for (int i = 0; i < 2000; ++i) {
        for (int d = 0; d < 20; ++d)
            l.push_back(Json{{"type", "stream_event"},
                             {"event",
                              {{"type", "content_block_delta"},
                               {"index", 0},
                               {"delta", {{"type", "text_delta"}, {"text", "Monto la cabecera con el logo "}}}}}}
                            .dump());
        const std::string id = "toolu_" + std::to_string(i);
        l.push_back(
            Json{{"type", "assistant"},
                 {"parent_tool_use_id", nullptr},
                 {"message",
                  {{"content", Json::array({Json{{"type", "tool_use"},
                                                 {"id", id},
                                                 {"name", "mcp__tarvel__escribir"},
                                                 {"input", {{"id", "m1"}, {"modo", "dentro"}, {"html", html(i)}}}}})}}}}
                .dump());
        l.push_back(Json{{"type", "user"},
                         {"message",
                          {{"content", Json::array({Json{{"type", "tool_result"},
                                                         {"tool_use_id", id},
                                                         {"content", "Hecho: sección escrita."}}})}}}}
                        .dump());
    }
    l.push_back(Json{{"type", "result"}, {"session_id", "s-1"}, {"result", "Listo."}}.dump());
    return l;
}

std::vector<std::string> lineasCodex() {
    std::vector<std::string> l;
    l.push_back(Json{{"type", "thread.started"}, {"thread_id", "th-1"}}.dump());
    for (int i = 0; i < 4000; ++i) {
        const std::string id = "item_" + std::to_string(i);
        l.push_back(
            Json{{"type", "item.completed"},
                 {"item", {{"id", id + "m"}, {"type", "agent_message"}, {"text", "Monto la cabecera con el logo."}}}}
                .dump());
        l.push_back(Json{{"type", "item.started"},
                         {"item",
                          {{"id", id},
                           {"type", "mcp_tool_call"},
                           {"server", "tarvel"},
                           {"tool", "escribir"},
                           {"arguments", {{"id", "m1"}, {"html", html(i)}}},
                           {"status", "in_progress"}}}}
                        .dump());
        l.push_back(Json{{"type", "item.completed"},
                         {"item",
                          {{"id", id},
                           {"type", "mcp_tool_call"},
                           {"server", "tarvel"},
                           {"tool", "escribir"},
                           {"status", "completed"}}}}
                        .dump());
    }
    return l;
}

// Seconds for one pass; `cuenta` keeps the work from being optimised away.
template <class Fn>
double pasada(const std::vector<std::string>& lineas, Fn&& fn) {
    const auto inicio = Reloj::now();
    for (const auto& linea : lineas) fn(linea);
    return std::chrono::duration<double>(Reloj::now() - inicio).count();
}

void medir(const char* nombre, const std::vector<std::string>& lineas,
           void (*lector)(std::string_view, const sorvenia::EventosAgente&)) {
    std::size_t bytes = 0;
    for (const auto& l : lineas) bytes += l.size() + 1;
    std::size_t eventos = 0, objetos = 0;
    const sorvenia::EventosAgente contar = [&](sorvenia::EventoAgente) { ++eventos; };
    double nuestro = 1e30, par = 1e30;
    for (int ronda = 0; ronda < 5; ++ronda) {
        nuestro = std::min(nuestro, pasada(lineas, [&](const std::string& l) { lector(l, contar); }));
        par = std::min(par, pasada(lineas, [&](const std::string& l) {
                           objetos += Json::parse(l, nullptr, false).is_object() ? 1 : 0;
                       }));
    }
    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("%s: %.1f MB in %zu lines, %zu events\n", nombre, mb, lineas.size(), eventos / 5);
    std::printf("  parser              %8.1f MB/s\n", mb / nuestro);
    std::printf("  json::parse (peer)  %8.1f MB/s  (%zu objects)\n", mb / par, objetos / 5);
    std::printf("  ratio parser/peer   %8.2f\n", par / nuestro);
}

}  // namespace

int main() {
    medir("claude stream-json", lineasClaude(), &sorvenia::Agente::leerLineaClaude);
    medir("codex json", lineasCodex(), &sorvenia::Agente::leerLineaCodex);
    return 0;
}
