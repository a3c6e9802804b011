#include "agentes_prueba.h"

namespace sorvenia::prueba {

nlohmann::json guionContacto() {
    using nlohmann::json;
    return {{"pasos",
             {{{"herramienta", "ver_tarvel"}},
              {{"texto", "Creo la mesa de contacto."},
               {"herramienta", "crear_mesa"},
               {"argumentos", {{"nombre", "Contacto"}, {"ancho", 390}, {"web", true}}}},
              {{"herramienta", "escribir"},
               {"argumentos", {{"id", "m1"}, {"modo", "dentro"}, {"html", seccionContacto}}}},
              {{"herramienta", "captura"}, {"argumentos", {{"id", "m1"}}}},
              {{"herramienta", "terminar"}},
              {{"texto", textoFinalContacto}, {"esperaMs", 2500}},
              {{"texto", "Sigo donde lo dejé."}}}}};
}

std::string configuracionCodex(const std::string& url) {
    return "model = \"gpt-5.5\"\n"
           "model_provider = \"modelo-falso\"\n"
           "check_for_update_on_startup = false\n"
           // Without these codex looks up its plugin and app services.
           "[features]\napps = false\nplugins = false\nremote_plugin = false\nplugin_sharing = false\n"
           "in_app_updates = false\ndaemon_auto_start = false\n"
           "[analytics]\nenabled = false\n"
           "[model_providers.modelo-falso]\n"
           "name = \"Modelo falso\"\n"
           "base_url = \"" +
           url +
           "/v1\"\n"
           "env_key = \"MODELO_FALSO_API_KEY\"\n"
           "wire_api = \"responses\"\n";
}

std::vector<std::string> resumenDelChat(const std::vector<nlohmann::json>& chat, std::set<std::string>& sesiones) {
    std::vector<std::string> r;
    std::set<std::string> busquedas;
    for (const nlohmann::json& m : chat) {
        const std::string tipo = m.value("tipo", "");
        if (tipo == "sesion") {
            sesiones.insert(m.value("sesion", ""));
        } else if (tipo == "paso") {
            const std::string h = m.value("herramienta", "");
            if (h == "ToolSearch" || h == "tool_search")
                busquedas.insert(m.value("id", ""));
            else
                r.push_back("paso " + h);
        } else if (tipo != "pasoHecho" || !busquedas.contains(m.value("id", ""))) {
            r.push_back(tipo == "pasoHecho" && m.value("error", false) ? "pasoHecho con error" : tipo);
        }
    }
    return r;
}

}  // namespace sorvenia::prueba
