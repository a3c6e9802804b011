#include "pantallas/gui/textos_ajustes.h"

namespace sorvenia::TextosAjustes {

std::string paraServicio(ServicioClave s) {
    switch (s) {
        case ServicioClave::gemini: return "Imágenes con Nano Banana (Gemini)";
        case ServicioClave::fal: return "Generar y editar imágenes con IA (Flux, Kontext)";
        case ServicioClave::openai: return "Generar imágenes con GPT-image";
        case ServicioClave::higgsfield: return "Vídeos con IA para tus anuncios y reels";
        case ServicioClave::elevenlabs: return "Voces en off para tus vídeos";
        case ServicioClave::pexels:
        case ServicioClave::unsplash: return "Fotos de stock buenas y gratis";
    }
    return "";
}

std::string despues(Agentes a) {
    switch (a) {
        case Agentes::claudeApp: return "Confirma la instalación en Claude y abre un chat nuevo.";
        case Agentes::claudeCode: return "Abre Claude Code (o reinícialo si ya estaba abierto).";
        case Agentes::codex: return "Reinicia Codex o ChatGPT.";
        case Agentes::cursor: return "Reinicia Cursor y activa «sorvenia-tarvel» en Ajustes → MCP.";
        case Agentes::vscode: return "Reinicia VS Code y elige «sorvenia-tarvel» en las herramientas del chat.";
        case Agentes::opencode: return "Reinicia OpenCode.";
        case Agentes::otros: return "Añade esta configuración en tu agente y reinícialo.";
    }
    return "";
}

std::string logoAgente(Agentes a) {
    switch (a) {
        case Agentes::claudeApp:
        case Agentes::claudeCode: return "logos/claude.png";
        case Agentes::codex: return "logos/chatgpt.png";
        case Agentes::cursor: return "logos/cursor.png";
        case Agentes::vscode: return "logos/vscode.png";
        case Agentes::opencode: return "logos/opencode.png";
        case Agentes::otros: return "logos/sorvenia.svg";
    }
    return "";
}

nlohmann::json prompts() {
    return {"Crea en Sorvenia Code una web para mi negocio: [qué haces y dónde]",
            "Crea en Sorvenia Code 3 colores de marca como variables y una muestra",
            "Mira lo que tengo seleccionado en Sorvenia Code y mejóralo a nivel agencia"};
}

}  // namespace sorvenia::TextosAjustes
