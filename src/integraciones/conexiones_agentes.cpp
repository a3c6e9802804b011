// The user's active connections as the claude and codex runs take them.
#include "cuenta/llavero.h"
#include "integraciones/conexiones.h"

namespace sorvenia::Conexiones {
namespace {

using Json = nlohmann::json;

std::optional<std::string> secretoDe(const Conexion& c) {
    auto s = Llavero::leer("conexion:" + c.id);
    if (!s || s->empty()) return std::nullopt;
    return s;
}

std::string minusculas(std::string t) {
    for (char& c : t)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return t;
}

bool esAutorizacion(const std::string& cabecera) { return minusculas(cabecera) == "authorization"; }
bool conBearer(const std::string& secreto) { return minusculas(secreto.substr(0, 7)) == "bearer "; }

std::string finalPara(const Conexion& c) { return c.para.empty() ? "" : ": " + c.para; }

std::string lineaClave(const Conexion& c) {
    return "- Clave «" + c.nombre + "» en la variable de entorno $" + c.variable + finalPara(c) +
           " (úsala por la variable, nunca la escribas en el código ni en el chat)";
}

std::string bloque(const std::vector<std::string>& lineas) {
    if (lineas.empty()) return "";
    std::string t = "\n\n[CONEXIONES DEL USUARIO, ya configuradas y disponibles en este encargo:\n";
    for (std::size_t i = 0; i < lineas.size(); ++i) t += (i ? "\n" : "") + lineas[i];
    return t +
           "\nÚsalas cuando ayuden (p. ej. un MCP de componentes o de diseño para inspirarte y mejorar el "
           "resultado).]";
}

bool tipoConocido(const std::string& t) { return t == "mcp-http" || t == "mcp-orden" || t == "clave"; }

// `s` as a JSON string literal ("/" not escaped).
std::string t(const std::string& s) {
    try {
        return Json(s).dump(-1, ' ', false, Json::error_handler_t::strict);
    } catch (const Json::exception&) {
        return "\"\"";
    }
}

std::string variableAgente(const Conexion& c) {
    std::string v(prefijoCodex);
    for (const char ch : c.nombre) v.push_back(ch == '-' ? '_' : (ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch));
    return v;
}

}  // namespace

ParaClaude paraClaude() {
    ParaClaude r;
    std::vector<std::string> lineas;
    for (const auto& c : lista()) {
        if (!c.activa || !tipoConocido(c.tipo)) continue;
        const auto secreto = secretoDe(c);
        if (c.tipo == "clave") {
            if (!secreto || c.variable.empty()) continue;
            r.entorno[c.variable] = *secreto;
            lineas.push_back(lineaClave(c));
            continue;
        }
        Json servidor;
        if (c.tipo == "mcp-http") {
            servidor = {{"type", "http"}, {"url", c.url}};
            if (secreto) {
                // claude expands "${VAR}" in its MCP configuration: the
                // secret stays in the agent's environment and never lands in
                // the configuration file.
                const std::string variable = variableAgente(c);
                const std::string prefijo = esAutorizacion(c.cabecera) && !conBearer(*secreto) ? "Bearer " : "";
                r.entorno[variable] = *secreto;
                servidor["headers"] = {{c.cabecera, prefijo + "${" + variable + "}"}};
            }
        } else {
            servidor = {{"type", "stdio"}, {"command", c.orden}, {"args", c.argumentos}};
            if (secreto && !c.variable.empty()) {
                r.entorno[c.variable] = *secreto;
                servidor["env"] = {{c.variable, "${" + c.variable + "}"}};
            }
        }
        r.servidores[c.nombre] = std::move(servidor);
        r.herramientas.push_back("mcp__" + c.nombre + "__*");
        lineas.push_back("- MCP «" + c.nombre + "» (herramientas mcp__" + c.nombre + "__*)" + finalPara(c));
    }
    r.texto = bloque(lineas);
    return r;
}

ParaCodex paraCodex() {
    ParaCodex r;
    std::vector<std::string> lineas;
    bool hayClaves = false;
    const auto anadir = [&r](std::string valor) { r.args.insert(r.args.end(), {"-c", std::move(valor)}); };
    // codex runs with the approval policy "never": the tools of a server
    // not approved beforehand are all refused.
    const auto aprobar = [&anadir](const std::string& base) {
        anadir(base + ".default_tools_approval_mode=\"approve\"");
    };
    for (const auto& c : lista()) {
        if (!c.activa || !tipoConocido(c.tipo)) continue;
        const auto secreto = secretoDe(c);
        const std::string base = "mcp_servers." + c.nombre;
        if (c.tipo == "clave") {
            if (!secreto || c.variable.empty()) continue;
            r.entorno[c.variable] = *secreto;
            lineas.push_back(lineaClave(c));
            hayClaves = true;
            continue;
        }
        if (c.tipo == "mcp-http") {
            anadir(base + ".url=" + t(c.url));
            aprobar(base);
            if (secreto) {
                const std::string variable = variableAgente(c);
                if (esAutorizacion(c.cabecera)) {
                    r.entorno[variable] = conBearer(*secreto) ? secreto->substr(7) : *secreto;
                    anadir(base + ".bearer_token_env_var=" + t(variable));
                } else {
                    r.entorno[variable] = *secreto;
                    anadir(base + ".env_http_headers={" + t(c.cabecera) + "=" + t(variable) + "}");
                }
            }
        } else {
            std::string args;
            for (std::size_t i = 0; i < c.argumentos.size(); ++i) args += (i ? "," : "") + t(c.argumentos[i]);
            anadir(base + ".command=" + t(c.orden));
            anadir(base + ".args=[" + args + "]");
            aprobar(base);
            if (secreto && !c.variable.empty()) {
                r.entorno[c.variable] = *secreto;
                anadir(base + ".env_vars=[" + t(c.variable) + "]");
            }
        }
        lineas.push_back("- MCP «" + c.nombre + "» (herramientas del servidor " + c.nombre + ")" + finalPara(c));
    }
    if (hayClaves) anadir("shell_environment_policy.ignore_default_excludes=true");
    r.texto = bloque(lineas);
    return r;
}

}  // namespace sorvenia::Conexiones
