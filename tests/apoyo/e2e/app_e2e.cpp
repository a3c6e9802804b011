#include "app_e2e.h"

#include <unistd.h>

#include <fstream>
#include <future>
#include <iterator>
#include <set>

#include "foto_prueba.h"
#include "plataforma/cripto.h"
#include "plataforma/secretos.h"

namespace sorvenia::prueba {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

constexpr const char* claveDePrueba = "clave-de-pruebas-e2e";

void escribirPreferencias(const fs::path& archivo, const json& cambios) {
    json prefs = json::parse(leer(archivo).value_or("{}"), nullptr, false);
    if (!prefs.is_object()) prefs = json::object();
    prefs.update(cambios);
    fs::create_directories(archivo.parent_path());
    std::ofstream(archivo) << prefs;
}

}  // namespace

std::optional<std::string> leer(const fs::path& archivo) {
    std::ifstream entrada(archivo, std::ios::binary);
    if (!entrada) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(entrada)), std::istreambuf_iterator<char>());
}

void AppE2E::SetUp() {
    const auto* prueba = ::testing::UnitTest::GetInstance()->current_test_info();
    raiz_ = fs::temp_directory_path() / (std::string("e2e-") + prueba->name() + "-" + std::to_string(::getpid()));
    fs::remove_all(raiz_);
    for (const char* d : {"home", "config", "data", "cache", "cuenta-local"}) fs::create_directories(raiz_ / d);
    entorno_ = entornoCon({{"HOME", (raiz_ / "home").string()},
                           {"XDG_CONFIG_HOME", (raiz_ / "config").string()},
                           {"XDG_DATA_HOME", (raiz_ / "data").string()},
                           {"XDG_CACHE_HOME", (raiz_ / "cache").string()}});
    canal_ = raiz_ / "cache/SorveniaTarvelPruebas";
}

void AppE2E::TearDown() {
    app_.reset();
    cuentaLocal_.reset();
    std::async(std::launch::async, [] { (void)borrarSecreto(idPruebas, cuentaClave); }).get();
    fs::remove_all(raiz_);
}

void AppE2E::arrancarCuentaLocal(const std::vector<std::string>& opciones) {
    std::vector<std::string> argumentos{"--datos", (raiz_ / "cuenta-local").string(), "--puerto", "0"};
    argumentos.insert(argumentos.end(), opciones.begin(), opciones.end());
    const fs::path salida = raiz_ / "cuenta-local.txt";
    cuentaLocal_ = std::make_unique<Proceso>(CUENTA_LOCAL, argumentos, entorno_, salida.string());
    ASSERT_TRUE(esperarQue([&] {
        const auto texto = leer(salida).value_or("");
        const auto p = texto.find("http://");
        if (p == std::string::npos || texto.find('\n', p) == std::string::npos) return false;
        servidor_ = texto.substr(p, texto.find('\n', p) - p);
        return true;
    })) << "cuenta-local no ha arrancado";
    escribirPreferencias(raiz_ / "config/SorveniaTarvel/preferencias-pruebas.json", {{"servidor", servidor_}});
}

void AppE2E::entrarComoCliente() {
    const json cliente = {{"id", 1}, {"nombre", "Cliente de prueba"}, {"email", "cliente@sorvenia.example"}};
    json registro = cliente;
    registro["claves"] = json::array({claveDePrueba});
    registro["hostings"] =
        json::array({{{"id", 1}, {"dominio", "mi-web.example"}, {"plan", "Hosting Web"}, {"wordpress", false}}});
    registro["vps"] = json::array();
    std::ofstream(raiz_ / "cuenta-local/cuentas.json") << json({{"clientes", json::array({registro})}});
    // The preferences keep the customer's record as data (Base64 text).
    const std::string texto = cliente.dump();
    escribirPreferencias(raiz_ / "config/SorveniaTarvel/preferencias-pruebas.json",
                         {{"cliente@127.0.0.1", base64(std::span(reinterpret_cast<const std::uint8_t*>(texto.data()),
                                                                  texto.size()))}});
    const bool guardada = std::async(std::launch::async, [] {
                              return guardarSecreto(idPruebas, cuentaClave, claveDePrueba).ok();
                          }).get();
    ASSERT_TRUE(guardada) << "no se ha podido guardar la clave en el llavero";
}

void AppE2E::cambiarPreferencias(const json& cambios) {
    escribirPreferencias(raiz_ / "config/SorveniaTarvel/preferencias-pruebas.json", cambios);
}

void AppE2E::guardarDiseno(const json& diseno) {
    const fs::path carpeta = raiz_ / "cuenta-local/clientes/1/disenos";
    fs::create_directories(carpeta);
    std::ofstream(carpeta / (diseno.at("id").get<std::string>() + ".json")) << diseno;
}

void AppE2E::darVpsDePrueba(int puerto, const std::string& usuario) {
    const fs::path archivo = raiz_ / "cuenta-local/cuentas.json";
    auto cuentas = json::parse(*leer(archivo));
    cuentas["clientes"][0]["vps"] = json::array({{{"id", 7},
                                                  {"nombre", "vps-cuenta"},
                                                  {"ip", "127.0.0.1"},
                                                  {"so", "Debian 12"},
                                                  {"familia", "debian"},
                                                  {"cpu", 2},
                                                  {"ram_mb", 2048},
                                                  {"disco_gb", 40},
                                                  {"ubicacion", "Madrid"},
                                                  {"pais", "ES"}}});
    std::ofstream(archivo) << cuentas;
    entorno_.push_back("SORVENIA_SSH_PUERTO=" + std::to_string(puerto));
    entorno_.push_back("SORVENIA_SSH_USUARIO=" + usuario);
}

void AppE2E::darClaudeDePrueba(const std::string& urlModelo, const std::map<std::string, fs::path>& programas) {
    const fs::path bin = raiz_ / "path-login";
    fs::create_directories(bin);
    for (const auto& [nombre, programa] : programas) fs::create_symlink(programa, bin / nombre);
    const std::map<std::string, std::string> cambios = {
        {"SHELL", (fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/shell-login").string()},
        {"SORVENIA_PATH_LOGIN", bin.string() + ":/usr/bin:/bin"},
        {"ANTHROPIC_BASE_URL", urlModelo},
        {"ANTHROPIC_API_KEY", "sk-ant-prueba"},
        {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "1"},
        {"DISABLE_AUTOUPDATER", "1"},
        {"DISABLE_TELEMETRY", "1"},
        {"DISABLE_ERROR_REPORTING", "1"}};
    const std::set<std::string> fuera = {"CLAUDECODE",  "CLAUDE_CONFIG_DIR", "http_proxy",
                                         "https_proxy", "HTTP_PROXY",        "HTTPS_PROXY",
                                         "all_proxy",   "ALL_PROXY",         "ANTHROPIC_AUTH_TOKEN"};
    std::erase_if(entorno_, [&](const std::string& e) {
        const std::string nombre = e.substr(0, e.find('='));
        return cambios.contains(nombre) || fuera.contains(nombre);
    });
    for (const auto& [nombre, valor] : cambios) entorno_.push_back(nombre + "=" + valor);
}

void AppE2E::arrancarAplicacion(const std::vector<std::string>& argumentos) {
    app_ = std::make_unique<Proceso>(APLICACION_PRUEBAS, argumentos, entorno_);
    ASSERT_TRUE(app_->iniciado());
}

std::optional<json> AppE2E::orden(const std::string& cuerpo, const std::string& web) {
    fs::create_directories(canal_);
    fs::remove(canal_ / "respuesta.json");
    std::ofstream(canal_ / "orden.js.tmp") << "// web: " << web << "\n" << cuerpo;
    fs::rename(canal_ / "orden.js.tmp", canal_ / "orden.js");
    std::optional<json> respuesta;
    esperarQue([&] {
        const auto texto = leer(canal_ / "respuesta.json");
        if (!texto) return false;
        respuesta = json::parse(*texto, nullptr, false);
        return !respuesta->is_discarded();
    });
    return respuesta;
}

json AppE2E::valor(const std::string& cuerpo, const std::string& web) {
    const auto r = orden(cuerpo, web);
    return r && r->value("ok", false) ? r->value("valor", json()) : json();
}

std::string AppE2E::herramienta(const std::string& nombre, const json& args) {
    const json r = valor("const r = await window.tarvel.herramienta(" + json(nombre).dump() + ", " + args.dump() +
                             "); return r.texto;",
                         "editor");
    return r.is_string() ? r.get<std::string>() : "";
}

bool AppE2E::capturar(const std::string& peticion, const std::string& nombre, const std::string& web) {
    // Two animation frames: what the page shows has been painted.
    orden("await new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r))); return 1;", web);
    fs::create_directories(canal_);
    std::ofstream(canal_ / "captura.pedir") << peticion;
    if (!esperarQue([&] { return fs::exists(canal_ / "captura.png") && !fs::exists(canal_ / "captura.pedir"); }, 45s))
        return false;
    std::this_thread::sleep_for(100ms);  // written atomically; just let it land
    fs::copy_file(canal_ / "captura.png", rutaCaptura(nombre), fs::copy_options::overwrite_existing);
    fs::remove(canal_ / "captura.png");
    return true;
}

// The keyring is never read on the main thread (an unlock prompt would
// freeze it): the test asks from a thread of its own too.
std::optional<std::string> AppE2E::claveGuardada() {
    return std::async(std::launch::async, [] {
               const auto leida = leerSecreto(idPruebas, cuentaClave);
               EXPECT_TRUE(leida) << leida.fallo().mensaje;
               return leida ? *leida : std::nullopt;
           }).get();
}

json AppE2E::preferencias() {
    const auto texto = leer(raiz_ / "config/SorveniaTarvel/preferencias-pruebas.json");
    return texto ? json::parse(*texto, nullptr, false) : json();
}

}  // namespace sorvenia::prueba
