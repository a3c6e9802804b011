// The claude and codex output lines as events: what each line gives, in
// order, and that bad lines give nothing without disturbing the others.
#include "centro/agente_lineas.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace sorvenia::Agente {
namespace {

using Json = nlohmann::json;
using E = EventoAgente;

std::vector<E> leer(void (*lector)(std::string_view, const EventosAgente&), const std::vector<std::string>& lineas) {
    std::vector<E> eventos;
    for (const auto& l : lineas) lector(l, [&](E e) { eventos.push_back(std::move(e)); });
    return eventos;
}

E texto(std::string t) { return E{E::Texto{std::move(t)}}; }
E paso(std::string id, std::string h, Json entrada = Json::object(), std::optional<std::string> agente = {}) {
    return E{E::Paso{std::move(id), std::move(h), std::move(entrada), std::move(agente)}};
}
E hecho(std::string id, bool error) { return E{E::PasoHecho{std::move(id), error}}; }
E sesion(std::string s) { return E{E::Sesion{std::move(s)}}; }
E fin(std::string t) { return E{E::Fin{std::move(t)}}; }

struct Caso {
    const char* nombre;
    std::vector<std::string> lineas;
    std::vector<E> eventos;
};

TEST(LineasClaude, Tabla) {
    const std::vector<Caso> casos = {
        {"vacía y texto plano", {"", "hola", "   ", "[1,2]", "\"x\"", "{}", R"({"type":3})"}, {}},
        {"system con sesión",
         {R"({"type":"system","subtype":"init","session_id":"s-1","tools":["Read"]})"},
         {sesion("s-1")}},
        {"system sin sesión o con sesión no textual",
         {R"({"type":"system","subtype":"init"})", R"({"type":"system","session_id":7})"},
         {}},
        {"delta de texto sin salto añadido",
         {R"({"type":"stream_event","event":{"type":"content_block_delta","index":0,"delta":{"type":"text_delta","text":"Monto la "}}})",
          R"({"type":"stream_event","event":{"type":"content_block_delta","delta":{"type":"text_delta","text":"cabecera"}}})"},
         {texto("Monto la "), texto("cabecera")}},
        {"otros eventos del flujo",
         {R"({"type":"stream_event","event":{"type":"content_block_start"}})",
          R"({"type":"stream_event","event":{"type":"content_block_delta","delta":{"type":"input_json_delta","partial_json":"{"}}})",
          R"({"type":"stream_event","event":{"type":"content_block_delta","delta":{"type":"text_delta","text":5}}})",
          R"({"type":"stream_event","event":"x"})"},
         {}},
        {"dos herramientas en orden, texto ignorado",
         {R"({"type":"assistant","message":{"content":[{"type":"text","text":"hola"},)"
          R"({"type":"tool_use","id":"t1","name":"mcp__tarvel__ver_tarvel","input":{}},)"
          R"({"type":"tool_use","id":"t2","name":"mcp__tarvel__escribir","input":{"html":"<p>","n":[1,null,true]}}]}})"},
         {paso("t1", "mcp__tarvel__ver_tarvel"),
          paso("t2", "mcp__tarvel__escribir", Json{{"html", "<p>"}, {"n", Json::array({1, nullptr, true})}})}},
        {"paso de un subagente",
         {R"({"type":"assistant","parent_tool_use_id":"tarea-9","message":{"content":[{"type":"tool_use","id":"t3","name":"Read","input":{"file_path":"a"}}]}})",
          R"({"type":"assistant","parent_tool_use_id":null,"message":{"content":[{"type":"tool_use","id":"t4","name":"Grep"}]}})"},
         {paso("t3", "Read", Json{{"file_path", "a"}}, "tarea-9"), paso("t4", "Grep")}},
        {"entrada que no es objeto y nombre ausente",
         {R"({"type":"assistant","message":{"content":[{"type":"tool_use","id":"t5","input":[1]}]}})"},
         {paso("t5", "")}},
        {"contenido que no es lista",
         {R"({"type":"assistant","message":{"content":"texto"}})", R"({"type":"user","message":{}})"},
         {}},
        {"resultados de herramienta",
         {R"({"type":"user","message":{"content":[{"type":"tool_result","tool_use_id":"t1","content":"ok"},)"
          R"({"type":"tool_result","tool_use_id":"t2","is_error":true},{"type":"tool_result","is_error":"si"}, 4]}})"},
         {hecho("t1", false), hecho("t2", true), hecho("", false)}},
        {"resultado con sesión: sesión y luego fin",
         {R"({"type":"result","subtype":"success","session_id":"s-2","result":"Hecho: cabecera."})"},
         {sesion("s-2"), fin("Hecho: cabecera.")}},
        {"resultado sin texto termina igual", {R"({"type":"result","subtype":"error_max_turns"})"}, {fin("")}},
        {"tipo desconocido", {R"({"type":"rate_limit_event","session_id":"s"})"}, {}},
    };
    for (const auto& c : casos) EXPECT_EQ(leer(leerLineaClaude, c.lineas), c.eventos) << c.nombre;
}

TEST(LineasClaude, PasoSinIdRecibeUnUuidNuevo) {
    const auto eventos = leer(
        leerLineaClaude,
        {R"({"type":"assistant","message":{"content":[{"type":"tool_use","name":"A"},{"type":"tool_use","name":"B"}]}})"});
    ASSERT_EQ(eventos.size(), 2u);
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    const auto& a = std::get<E::Paso>(eventos[0].valor);
    const auto& b = std::get<E::Paso>(eventos[1].valor);
    EXPECT_TRUE(std::regex_match(a.id, uuid)) << a.id;
    EXPECT_TRUE(std::regex_match(b.id, uuid)) << b.id;
    EXPECT_NE(a.id, b.id);
    EXPECT_EQ(a.herramienta, "A");
}

TEST(LineasCodex, Tabla) {
    const std::vector<Caso> casos = {
        {"vacía, texto, lista", {"", "Reading prompt from stdin...", "[]", "{\"type\":\"turn.started\"}"}, {}},
        {"hilo empezado da sólo la sesión", {R"({"type":"thread.started","thread_id":"th-1"})"}, {sesion("th-1")}},
        {"hilo sin id", {R"({"type":"thread.started","thread_id":null})"}, {}},
        {"mensaje: nada al empezar, texto con salto al completar",
         {R"({"type":"item.started","item":{"id":"i0","type":"agent_message","text":"a medias"}})",
          R"({"type":"item.completed","item":{"id":"i0","type":"agent_message","text":"Monto la cabecera"}})",
          R"({"item":{"id":"i1","type":"agent_message","text":"sin tipo de evento"}})",
          R"({"type":"item.completed","item":{"id":"i2","type":"agent_message"}})"},
         {texto("Monto la cabecera\n"), texto("sin tipo de evento\n")}},
        {"herramienta MCP empezada y acabada",
         {R"({"type":"item.started","item":{"id":"i3","type":"mcp_tool_call","server":"tarvel","tool":"escribir","arguments":{"id":"m1"},"status":"in_progress"}})",
          R"({"type":"item.completed","item":{"id":"i3","type":"mcp_tool_call","server":"tarvel","tool":"escribir","status":"completed"}})",
          R"({"type":"item.completed","item":{"id":"i4","type":"mcp_tool_call","status":"failed"}})",
          R"({"type":"item.updated","item":{"id":"i5","type":"mcp_tool_call"}})"},
         {paso("i3", "mcp__tarvel__escribir", Json{{"id", "m1"}}), hecho("i3", false), hecho("i4", true),
          hecho("i5", false)}},
        {"herramienta MCP sin servidor es del tarvel",
         {R"({"type":"item.started","item":{"id":"i6","type":"mcp_tool_call","tool":"captura","arguments":"x"}})",
          R"({"type":"item.started","item":{"id":"i7","type":"mcp_tool_call","server":"otro"}})"},
         {paso("i6", "mcp__tarvel__captura"), paso("i7", "mcp__otro__")}},
        {"búsqueda web",
         {R"({"type":"item.started","item":{"id":"w1","type":"web_search","query":"asador madrid"}})",
          R"({"type":"item.completed","item":{"id":"w1","type":"web_search","status":"failed"}})",
          R"({"type":"item.started","item":{"id":"w2","type":"web_search"}})"},
         {paso("w1", "WebSearch", Json{{"query", "asador madrid"}}), hecho("w1", false),
          paso("w2", "WebSearch", Json{{"query", ""}})}},
        {"otras clases de elemento", {R"({"type":"item.completed","item":{"id":"c","type":"command_execution"}})"}, {}},
        {"el fin de turno no es fin", {R"({"type":"turn.completed","usage":{}})"}, {}},
    };
    for (const auto& c : casos) EXPECT_EQ(leer(leerLineaCodex, c.lineas), c.eventos) << c.nombre;
}

// Damaged lines between good ones cost only themselves.
TEST(LineasAgente, LineasMalasNoSeLlevanLasDeAlrededor) {
    const std::string buena = R"({"type":"result","result":"ok"})";
    const std::string enorme = R"({"type":"result","result":")" + std::string(10 << 20, 'a') + "\"}";
    const std::vector<std::string> malas = {
        R"({"type":"result","result":"ok")",              // cut short
        "{\"type\":\"result\",\"result\":\"\xFF\xFE\"}",  // not UTF-8
        std::string(300, '[') + std::string(300, ']'),    // too deep
        R"({"type":"assistant","message":{"content":[{"type":"tool_use","id":"x","input":)" + std::string(300, '[') +
            std::string(300, ']') + "}]}}",
        R"({"type":"nuevo_tipo","result":"x"})",
        std::string("{\"type\":\"result\"") + '\0' + ",\"result\":\"x\"}",
    };
    for (const auto& mala : malas) {
        const auto eventos = leer(leerLineaClaude, {buena, mala, buena});
        EXPECT_EQ(eventos, (std::vector<E>{fin("ok"), fin("ok")})) << mala.substr(0, 60);
    }
    // A 10 MB line that is well formed still counts.
    const auto eventos = leer(leerLineaClaude, {buena, enorme, buena});
    ASSERT_EQ(eventos.size(), 3u);
    EXPECT_EQ(std::get<E::Fin>(eventos[1].valor).texto.size(), std::size_t{10} << 20);
}

}  // namespace
}  // namespace sorvenia::Agente
