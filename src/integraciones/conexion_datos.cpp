#include "integraciones/conexion.h"

#include <glib.h>

#include <string_view>

#include "comun/texto.h"
#include "integraciones/texto_integraciones.h"

namespace sorvenia::Conexiones {
using Json = nlohmann::json;

namespace {

std::string textoO(const Json& j, const char* clave, std::string porDefecto = "") {
    const auto it = j.find(clave);
    return it != j.end() && it->is_string() ? it->get<std::string>() : porDefecto;
}

std::optional<Conexion> desdeJson(const Json& j) {
    if (!j.is_object()) return std::nullopt;
    for (const char* requerida : {"id", "nombre", "tipo"}) {
        const auto it = j.find(requerida);
        if (it == j.end() || !it->is_string()) return std::nullopt;
    }
    Conexion c;
    c.id = j["id"].get<std::string>();
    c.nombre = j["nombre"].get<std::string>();
    c.tipo = j["tipo"].get<std::string>();
    c.url = textoO(j, "url");
    c.cabecera = textoO(j, "cabecera", "Authorization");
    c.orden = textoO(j, "orden");
    if (const auto it = j.find("argumentos"); it != j.end() && it->is_array())
        for (const auto& a : *it)
            if (a.is_string()) c.argumentos.push_back(a.get<std::string>());
    c.variable = textoO(j, "variable");
    c.para = textoO(j, "para");
    if (const auto it = j.find("activa"); it != j.end() && it->is_boolean()) c.activa = it->get<bool>();
    return c;
}

Json comoJson(const Conexion& c) {
    return {{"id", c.id},
            {"nombre", c.nombre},
            {"tipo", c.tipo},
            {"url", c.url},
            {"cabecera", c.cabecera},
            {"orden", c.orden},
            {"argumentos", c.argumentos},
            {"variable", c.variable},
            {"para", c.para},
            {"activa", c.activa}};
}

enum Clase : unsigned { mayusculas = 1, minusculas = 2, digitos = 4 };

// Whether `texto` has `minimo` to `maximo` bytes, each of the classes or of
// `otros`. Checked by hand: a backtracking pattern engine needs stack in
// proportion to the text, and these texts come from agents and files.
bool formado(std::string_view texto, std::size_t minimo, std::size_t maximo, unsigned clases, std::string_view otros) {
    if (texto.size() < minimo || texto.size() > maximo) return false;
    for (const char c : texto) {
        const bool bien = ((clases & mayusculas) != 0 && c >= 'A' && c <= 'Z') ||
                          ((clases & minusculas) != 0 && c >= 'a' && c <= 'z') ||
                          ((clases & digitos) != 0 && c >= '0' && c <= '9') || otros.find(c) != std::string_view::npos;
        if (!bien) return false;
    }
    return true;
}

bool esVariableProhibida(const std::string& v) {
    // The loader variables of Linux inject code into every process the
    // agent starts, like the Mac's DYLD_INSERT_LIBRARIES.
    static const char* prohibidas[] = {"PATH",
                                       "HOME",
                                       "USER",
                                       "SHELL",
                                       "CLAUDE_CONFIG_DIR",
                                       "NODE_OPTIONS",
                                       "DYLD_INSERT_LIBRARIES",
                                       "LD_PRELOAD",
                                       "LD_LIBRARY_PATH",
                                       "LD_AUDIT"};
    for (const char* p : prohibidas)
        if (v == p) return true;
    return false;
}

bool httpAceptada(const std::string& url) {
    // GLib reads the address up to its first NUL: what follows would reach
    // the agent's configuration unseen.
    for (const char c : url)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f') return false;
    GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
    if (uri == nullptr) return false;
    const std::string esquema = enMinusculas(g_uri_get_scheme(uri) ? g_uri_get_scheme(uri) : "");
    const std::string host = g_uri_get_host(uri) ? g_uri_get_host(uri) : "";
    g_uri_unref(uri);
    if (esquema == "https") return !host.empty();
    return esquema == "http" && (host == "127.0.0.1" || host == "localhost");
}

}  // namespace

// The checks and defaults a connection must pass, in order; the first failing one answers.
std::optional<std::string> validar(Conexion& c, const std::optional<std::string>& secreto) {
    c.nombre = limpiarNombre(c.nombre);
    if (!nombreValido(c.nombre)) return "El nombre tiene que ser corto, con letras y números (p. ej. «heroui»).";
    if (c.tipo == "mcp-http") {
        if (!httpAceptada(c.url)) return "La dirección del MCP tiene que ser https://…";
        if (c.cabecera.empty()) c.cabecera = "Authorization";
        if (!formado(c.cabecera, 1, 40, mayusculas | minusculas | digitos, "_-"))
            return "Nombre de cabecera no válido.";
    } else if (c.tipo == "mcp-orden") {
        if (c.orden.empty() || !formado(c.orden, 1, std::string_view::npos, mayusculas | minusculas | digitos, "._/@-"))
            return "Falta la orden del MCP (p. ej. npx).";
    } else if (c.tipo == "clave") {
        if ((!secreto || secreto->empty()) && c.id.empty()) return "Falta la clave.";
    } else {
        return "Tipo desconocido.";
    }
    if (c.variable.empty() && c.tipo == "clave") {
        std::string v = c.nombre;
        for (char& ch : v) ch = ch == '-' ? '_' : static_cast<char>(g_ascii_toupper(ch));
        c.variable = v + "_API_KEY";
    }
    if (!c.variable.empty() &&
        (c.variable.front() < 'A' || c.variable.front() > 'Z' ||
         !formado(c.variable, 2, 51, mayusculas | digitos, "_") || esVariableProhibida(c.variable)))
        return "Nombre de variable no válido.";
    return std::nullopt;
}

const std::vector<Conocido>& catalogo() {
    static const std::vector<Conocido> filas = {
        {"heroui",
         "heroui",
         "mcp-http",
         "https://mcp.heroui.pro/mcp",
         "x-heroui-personal-token",
         {},
         "",
         "Componentes, bloques y temas de HeroUI Pro"},
        {"aceternity",
         "aceternity",
         "clave",
         "",
         "",
         {},
         "ACETERNITY_API_KEY",
         "Componentes de Aceternity UI: el índice es https://ui.aceternity.com/registry/index.json y cada "
         "componente https://ui.aceternity.com/registry/<nombre>.json, pedidos con la cabecera «Authorization: "
         "Bearer $ACETERNITY_API_KEY». Son componentes de React+Tailwind: pásalos a HTML y CSS normales."},
        {"magicui",
         "magicui",
         "mcp-orden",
         "",
         "",
         {"npx", "-y", "@magicuidesign/mcp@latest"},
         "",
         "Animaciones y efectos de Magic UI"},
        {"21st",
         "21st",
         "mcp-orden",
         "",
         "",
         {"npx", "-y", "@21st-dev/magic@latest"},
         "API_KEY",
         "Componentes de interfaz de 21st.dev Magic"},
        {"shadcn",
         "shadcn",
         "mcp-orden",
         "",
         "",
         {"npx", "shadcn@latest", "mcp"},
         "",
         "Componentes y bloques de shadcn/ui"},
        {"figma", "figma", "clave", "", "", {}, "FIGMA_TOKEN", "Leer e importar tus diseños de Figma"},
        {"supabase",
         "supabase",
         "mcp-http",
         "https://mcp.supabase.com/mcp",
         "",
         {},
         "",
         "Base de datos, cuentas y archivos de las apps (Supabase)"},
        {"stripe",
         "stripe",
         "mcp-http",
         "https://mcp.stripe.com/",
         "",
         {},
         "",
         "Cobros, clientes y suscripciones de Stripe"},
        {"resend", "resend", "clave", "", "", {}, "RESEND_API_KEY", "Enviar correos desde las apps (Resend)"},
    };
    return filas;
}

std::optional<Conocido> delCatalogo(std::string_view nombre) {
    // "magicui-pro" or "heroui-2" still name their row: the part before the
    // first "-" is tried after the whole name.
    const std::string limpio = limpiarNombre(nombre);
    for (const auto& fila : catalogo())
        if (fila.clave == limpio) return fila;
    if (const auto guion = limpio.find('-'); guion != std::string::npos && guion > 0)
        for (const auto& fila : catalogo())
            if (fila.clave == limpio.substr(0, guion)) return fila;
    return std::nullopt;
}

std::string limpiarNombre(std::string_view nombre) {
    const std::string valido = TextoIntegraciones::extractoUtf8(nombre, nombre.size());
    gchar* minusculas = g_utf8_strdown(valido.c_str(), -1);
    gchar* ascii = g_str_to_ascii(minusculas, "C");
    const std::string plano = ascii;
    g_free(ascii);
    g_free(minusculas);
    std::string r;
    bool guion = false;
    for (const char ch : plano) {
        const char c = static_cast<char>(g_ascii_tolower(ch));
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            if (guion && !r.empty()) r.push_back('-');
            guion = false;
            r.push_back(c);
        } else {
            guion = true;
        }
    }
    return r.substr(0, 30);
}

bool nombreValido(std::string_view nombre) {
    return !nombre.empty() && nombre.front() != '-' && formado(nombre, 2, 31, minusculas | digitos, "-") &&
           nombre != "tarvel";
}

std::vector<Conexion> leerLista(std::string_view texto) {
    const Json todo = Json::parse(texto, nullptr, false);
    if (!todo.is_array()) return {};
    std::vector<Conexion> l;
    for (const auto& entrada : todo)
        if (auto c = desdeJson(entrada)) l.push_back(std::move(*c));
    return l;
}

std::optional<std::string> textoLista(const std::vector<Conexion>& lista) {
    auto arreglo = Json::array();
    for (const auto& c : lista) arreglo.push_back(comoJson(c));
    try {
        return arreglo.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    } catch (const Json::exception&) {
        return std::nullopt;
    }
}

}  // namespace sorvenia::Conexiones
