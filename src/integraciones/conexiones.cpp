#include "integraciones/conexiones.h"

#include <glib.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <regex>
#include <sstream>
#include <system_error>

#include "comun/texto.h"
#include "cuenta/llavero.h"
#include "plataforma/fichero_privado.h"
#include "integraciones/texto_integraciones.h"
#include "plataforma/carpetas.h"
#include "plataforma/cripto.h"

namespace sorvenia::Conexiones {
namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

std::mutex& mutexUltima() {
    static std::mutex m;
    return m;
}
std::optional<Conexion>& ultima() {
    static std::optional<Conexion> c;
    return c;
}

std::string cuentaSecreto(const std::string& id) { return "conexion:" + id; }

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

// The whole list, atomically; false when it could not be written.
bool escribir(const std::vector<Conexion>& lista) {
    auto arreglo = Json::array();
    for (const auto& c : lista) arreglo.push_back(comoJson(c));
    std::string texto;
    try {
        texto = arreglo.dump(2, ' ', false, Json::error_handler_t::replace);
    } catch (const Json::exception&) {
        return false;
    }
    return static_cast<bool>(escribirPrivado(fichero(), texto + "\n"));
}

bool coincide(const std::string& texto, const char* patron) {
    return std::regex_match(texto, std::regex(patron, std::regex::ECMAScript));
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
    GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
    if (uri == nullptr) return false;
    const std::string esquema = enMinusculas(g_uri_get_scheme(uri) ? g_uri_get_scheme(uri) : "");
    const std::string host = g_uri_get_host(uri) ? g_uri_get_host(uri) : "";
    g_uri_unref(uri);
    if (esquema == "https") return !host.empty();
    return esquema == "http" && (host == "127.0.0.1" || host == "localhost");
}

// The checks and defaults a connection must pass, in order; the first failing one answers.
std::optional<std::string> validar(Conexion& c, const std::optional<std::string>& secreto) {
    c.nombre = limpiarNombre(c.nombre);
    if (!nombreValido(c.nombre)) return "El nombre tiene que ser corto, con letras y números (p. ej. «heroui»).";
    if (c.tipo == "mcp-http") {
        if (!httpAceptada(c.url)) return "La dirección del MCP tiene que ser https://…";
        if (c.cabecera.empty()) c.cabecera = "Authorization";
        if (!coincide(c.cabecera, "[A-Za-z0-9_-]{1,40}")) return "Nombre de cabecera no válido.";
    } else if (c.tipo == "mcp-orden") {
        if (c.orden.empty() || !coincide(c.orden, "[A-Za-z0-9._/@-]+")) return "Falta la orden del MCP (p. ej. npx).";
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
    if (!c.variable.empty() && (!coincide(c.variable, "[A-Z][A-Z0-9_]{1,50}") || esVariableProhibida(c.variable)))
        return "Nombre de variable no válido.";
    return std::nullopt;
}

// The logo's extensions, in the order they are looked for.
constexpr std::array<std::pair<const char*, const char*>, 3> extensionesLogo = {
    {{"png", "image/png"}, {"ico", "image/x-icon"}, {"svg", "image/svg+xml"}}};

std::optional<std::string> logoDe(const std::string& id) {
    for (const auto& [extension, mime] : extensionesLogo) {
        const fs::path archivo = carpetaLogos() / (id + "." + extension);
        std::error_code ec;
        if (!fs::is_regular_file(archivo, ec)) continue;
        std::ifstream f(archivo, std::ios::binary);
        if (!f) continue;
        const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
        return "data:" + std::string(mime) + ";base64," + base64({p, bytes.size()});
    }
    return std::nullopt;
}

}  // namespace

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
    return coincide(std::string(nombre), "[a-z0-9][a-z0-9-]{1,30}") && nombre != "tarvel";
}

fs::path fichero() {
    std::error_code ec;
    fs::create_directories(Carpetas::aplicacion(), ec);
    return Carpetas::aplicacion() / "conexiones.json";
}

fs::path carpetaLogos() {
    std::error_code ec;
    const fs::path carpeta = Carpetas::aplicacion() / "conexiones-logos";
    fs::create_directories(carpeta, ec);
    return carpeta;
}

std::vector<Conexion> lista() {
    std::error_code ec;
    if (!fs::is_regular_file(fichero(), ec)) return {};
    std::ifstream f(fichero(), std::ios::binary);
    const std::string texto((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const Json todo = Json::parse(texto, nullptr, false);
    if (!todo.is_array()) return {};
    std::vector<Conexion> l;
    for (const auto& entrada : todo)
        if (auto c = desdeJson(entrada)) l.push_back(std::move(*c));
    return l;
}

std::optional<std::string> guardar(Conexion c, std::optional<std::string> secreto) {
    if (auto error = validar(c, secreto)) return error;
    auto l = lista();
    bool nueva = true;
    for (auto& existente : l) {
        if ((!c.id.empty() && existente.id == c.id) || existente.nombre == c.nombre) {
            c.id = existente.id;
            existente = c;
            nueva = false;
            break;
        }
    }
    if (nueva) {
        if (c.id.empty()) {
            const auto id = uuid();
            if (!id) return id.fallo().mensaje;
            c.id = *id;
        }
        l.push_back(c);
    }
    bool secretoNuevo = false;
    if (secreto) {
        const std::string limpio = TextoIntegraciones::recortar(*secreto);
        if (!limpio.empty()) {
            if (!Llavero::guardar(limpio, cuentaSecreto(c.id)))
                return "No se ha podido guardar el secreto: el llavero del ordenador (el servicio de secretos) no "
                       "está disponible. No se ha guardado nada.";
            secretoNuevo = true;
        }
    }
    if (!escribir(l)) {
        // A secret stored for a connection that was never written would be
        // an orphan nobody can see or delete.
        if (secretoNuevo && nueva) Llavero::borrar(cuentaSecreto(c.id));
        return "No se ha podido guardar la lista de conexiones.";
    }
    std::lock_guard bloqueo(mutexUltima());
    ultima() = c;
    return std::nullopt;
}

std::optional<Conexion> ultimaGuardada() {
    std::lock_guard bloqueo(mutexUltima());
    return ultima();
}

void activar(const std::string& id, bool activa) {
    auto l = lista();
    for (auto& c : l)
        if (c.id == id) {
            c.activa = activa;
            escribir(l);
            return;
        }
}

void borrar(const std::string& id) {
    auto l = lista();
    std::erase_if(l, [&](const Conexion& c) { return c.id == id; });
    Llavero::borrar(cuentaSecreto(id));
    escribir(l);
    std::error_code ec;
    for (const auto& [extension, mime] : extensionesLogo) fs::remove(carpetaLogos() / (id + "." + extension), ec);
}

Json json() {
    auto arreglo = Json::array();
    for (const auto& c : lista()) {
        std::string orden = c.orden;
        for (const auto& a : c.argumentos) orden += " " + a;
        const auto secreto = Llavero::leer(cuentaSecreto(c.id));
        arreglo.push_back({{"id", c.id},
                           {"nombre", c.nombre},
                           {"tipo", c.tipo},
                           {"url", c.url},
                           {"cabecera", c.cabecera},
                           {"orden", orden},
                           {"variable", c.variable},
                           {"para", c.para},
                           {"activa", c.activa},
                           {"secreto", secreto.has_value() && !secreto->empty()},
                           {"logo", logoDe(c.id).value_or("")}});
    }
    return arreglo;
}

}  // namespace sorvenia::Conexiones
