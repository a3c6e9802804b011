#include "flujos_modelo.h"

namespace sorvenia::prueba {
namespace {

using nlohmann::json;

std::string evento(const std::string& nombre, const json& datos) {
    return "event: " + nombre + "\ndata: " + datos.dump() + "\n\n";
}

json usoMensajes() { return {{"input_tokens", 1}, {"output_tokens", 1}}; }

json bloqueHerramienta(const LlamadaModelo& llamada, const json& entrada) {
    return {{"type", "tool_use"}, {"id", llamada.id}, {"name", llamada.nombre}, {"input", entrada}};
}

json usoRespuestas() {
    return {{"input_tokens", 1},
            {"input_tokens_details", {{"cached_tokens", 0}}},
            {"output_tokens", 1},
            {"output_tokens_details", {{"reasoning_tokens", 0}}},
            {"total_tokens", 2}};
}

json mensajeRespuestas(const std::string& id, const std::string& texto, bool hecho) {
    json contenido = json::array();
    if (hecho) contenido.push_back({{"type", "output_text"}, {"text", texto}, {"annotations", json::array()}});
    return {{"type", "message"},
            {"id", id},
            {"role", "assistant"},
            {"status", hecho ? "completed" : "in_progress"},
            {"content", contenido}};
}

json llamadaRespuestas(const LlamadaModelo& llamada) {
    if (llamada.busqueda)
        return {{"type", "tool_search_call"},
                {"id", "ts_" + llamada.id},
                {"call_id", llamada.id},
                {"execution", "client"},
                {"arguments", llamada.argumentos},
                {"status", "completed"}};
    json item = {{"type", "function_call"},
                 {"id", "fc_" + llamada.id},
                 {"call_id", llamada.id},
                 {"name", llamada.nombre},
                 {"arguments", llamada.argumentos.dump()},
                 {"status", "completed"}};
    if (!llamada.espacio.empty()) item["namespace"] = llamada.espacio;
    return item;
}

std::vector<std::string> piezas(const TurnoModelo& turno) {
    if (!turno.trozos.empty()) return turno.trozos;
    return {turno.texto};
}

json trozoGemini(const std::string& texto, bool ultimo) {
    json candidato = {{"content", {{"parts", json::array({{{"text", texto}}})}, {"role", "model"}}}, {"index", 0}};
    if (ultimo) candidato["finishReason"] = "STOP";
    return {{"candidates", json::array({candidato})},
            {"usageMetadata", {{"promptTokenCount", 1}, {"candidatesTokenCount", 1}, {"totalTokenCount", 2}}},
            {"modelVersion", "gemini-falso"}};
}

}  // namespace

std::vector<std::string> eventos(const std::string& flujo) {
    std::vector<std::string> lista;
    std::size_t desde = 0;
    while (desde < flujo.size()) {
        auto fin = flujo.find("\n\n", desde);
        fin = fin == std::string::npos ? flujo.size() : fin + 2;
        lista.push_back(flujo.substr(desde, fin - desde));
        desde = fin;
    }
    return lista;
}

std::string flujoGemini(const TurnoModelo& turno) {
    std::string flujo;
    for (const std::string& trozo : piezas(turno)) flujo += "data: " + trozoGemini(trozo, false).dump() + "\n\n";
    flujo += "data: " + trozoGemini("", true).dump() + "\n\n";
    return flujo;
}

json respuestaGemini(const std::string& texto) { return trozoGemini(texto, true); }

std::string flujoMensajes(const TurnoModelo& turno, const std::string& idMensaje, const std::string& modelo) {
    std::string flujo = evento("message_start", {{"type", "message_start"},
                                                 {"message",
                                                  {{"id", idMensaje},
                                                   {"type", "message"},
                                                   {"role", "assistant"},
                                                   {"model", modelo},
                                                   {"content", json::array()},
                                                   {"stop_reason", nullptr},
                                                   {"stop_sequence", nullptr},
                                                   {"usage", usoMensajes()}}}});
    int indice = 0;
    if (!turno.texto.empty()) {
        flujo += evento("content_block_start", {{"type", "content_block_start"},
                                                {"index", indice},
                                                {"content_block", {{"type", "text"}, {"text", ""}}}});
        for (const std::string& trozo : piezas(turno))
            flujo += evento("content_block_delta", {{"type", "content_block_delta"},
                                                    {"index", indice},
                                                    {"delta", {{"type", "text_delta"}, {"text", trozo}}}});
        flujo += evento("content_block_stop", {{"type", "content_block_stop"}, {"index", indice}});
        ++indice;
    }
    if (turno.llamada) {
        // The input arrives as JSON text in deltas, as the real API streams it.
        flujo += evento("content_block_start", {{"type", "content_block_start"},
                                                {"index", indice},
                                                {"content_block", bloqueHerramienta(*turno.llamada, json::object())}});
        flujo += evento("content_block_delta",
                        {{"type", "content_block_delta"},
                         {"index", indice},
                         {"delta", {{"type", "input_json_delta"}, {"partial_json", turno.llamada->argumentos.dump()}}}});
        flujo += evento("content_block_stop", {{"type", "content_block_stop"}, {"index", indice}});
    }
    flujo += evento("message_delta",
                    {{"type", "message_delta"},
                     {"delta", {{"stop_reason", turno.llamada ? "tool_use" : "end_turn"}, {"stop_sequence", nullptr}}},
                     {"usage", {{"output_tokens", 1}}}});
    flujo += evento("message_stop", {{"type", "message_stop"}});
    return flujo;
}

json mensajeEntero(const TurnoModelo& turno, const std::string& idMensaje, const std::string& modelo) {
    json contenido = json::array();
    if (!turno.texto.empty()) contenido.push_back({{"type", "text"}, {"text", turno.texto}});
    if (turno.llamada) contenido.push_back(bloqueHerramienta(*turno.llamada, turno.llamada->argumentos));
    return {{"id", idMensaje},
            {"type", "message"},
            {"role", "assistant"},
            {"model", modelo},
            {"content", contenido},
            {"stop_reason", turno.llamada ? "tool_use" : "end_turn"},
            {"stop_sequence", nullptr},
            {"usage", usoMensajes()}};
}

std::string flujoRespuestas(const TurnoModelo& turno, const std::string& idRespuesta) {
    std::string flujo =
        evento("response.created", {{"type", "response.created"}, {"response", {{"id", idRespuesta}}}});
    int indice = 0;
    if (!turno.texto.empty()) {
        const std::string id = "msg_" + idRespuesta;
        flujo += evento("response.output_item.added", {{"type", "response.output_item.added"},
                                                       {"output_index", indice},
                                                       {"item", mensajeRespuestas(id, "", false)}});
        for (const std::string& trozo : piezas(turno))
            flujo += evento("response.output_text.delta", {{"type", "response.output_text.delta"},
                                                           {"item_id", id},
                                                           {"output_index", indice},
                                                           {"content_index", 0},
                                                           {"delta", trozo}});
        flujo += evento("response.output_item.done", {{"type", "response.output_item.done"},
                                                      {"output_index", indice},
                                                      {"item", mensajeRespuestas(id, turno.texto, true)}});
        ++indice;
    }
    if (turno.parche) {
        const json item = {{"type", "custom_tool_call"},
                           {"id", "ctc_" + idRespuesta},
                           {"call_id", "call_parche_" + idRespuesta},
                           {"name", "apply_patch"},
                           {"input", *turno.parche},
                           {"status", "completed"}};
        flujo += evento("response.output_item.added",
                        {{"type", "response.output_item.added"}, {"output_index", indice}, {"item", item}});
        flujo += evento("response.output_item.done",
                        {{"type", "response.output_item.done"}, {"output_index", indice}, {"item", item}});
    } else if (turno.llamada) {
        const json item = llamadaRespuestas(*turno.llamada);
        flujo += evento("response.output_item.added",
                        {{"type", "response.output_item.added"}, {"output_index", indice}, {"item", item}});
        flujo += evento("response.output_item.done",
                        {{"type", "response.output_item.done"}, {"output_index", indice}, {"item", item}});
    }
    flujo += evento("response.completed", {{"type", "response.completed"},
                                           {"response", {{"id", idRespuesta}, {"usage", usoRespuestas()}}}});
    return flujo;
}

}  // namespace sorvenia::prueba
