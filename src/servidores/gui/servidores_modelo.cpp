// The servers page's frame: page calls, the message table, access, the
// server list, live status and the terminals. The file browser is in
// archivos_servidores.cpp.

#include "servidores/gui/servidores_modelo.h"

#include <glib.h>

#include <algorithm>
#include <functional>
#include <span>
#include <utility>

#include "comun/lectura_mensajes.h"
#include "cuenta/cuenta.h"
#include "ias/deteccion.h"
#include "ias/modelos.h"
#include "ias/path_terminal.h"
#include "navegacion/navegacion.h"
#include "plataforma/argumentos.h"
#include "plataforma/cripto.h"
#include "plataforma/gui/llamada_js.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/navegador.h"
#include "servidores/acceso_vps.h"
#include "servidores/identidad_ssh.h"
#include "servidores/terminal_pty.h"
#include "servidores/vps_propios.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

constexpr double segundosVaciado = 0.016;
constexpr double segundosSaludo = 1.2;
const std::string saludo =
    "clear; echo \"Hola desde Sorvenia Code\"; echo \"columnas: $(tput cols) · filas: $(tput lines)\"; uname -sr\r";

Json servidorDe(const Cuenta::VPS& v) {
    return {{"id", v.id},
            {"nombre", v.nombre},
            {"ip", v.ip},
            {"so", v.so},
            {"familia", v.familia.value_or("")},
            {"cpu", v.cpu.value_or(0)},
            {"ram_mb", v.ram_mb.value_or(0)},
            {"disco_gb", v.disco_gb.value_or(0)},
            {"ubicacion", v.ubicacion.value_or("")},
            {"pais", v.pais.value_or("")}};
}

// An own server as the list shows it: the same ten keys, marked as the
// customer's own.
Json servidorPropio(const Json& e) {
    const auto id = e.find("id");
    Json s = {{"id", id != e.end() && id->is_number_integer() ? id->get<std::int64_t>() : 0},
              {"nombre", ""},
              {"ip", ""},
              {"so", ""},
              {"familia", ""},
              {"cpu", 0},
              {"ram_mb", 0},
              {"disco_gb", 0},
              {"ubicacion", ""},
              {"pais", ""},
              {"propio", true}};
    for (const char* clave : {"nombre", "ip", "so"})
        if (const auto it = e.find(clave); it != e.end() && it->is_string()) s[clave] = *it;
    return s;
}

Tarea<void> vaciarTras(std::weak_ptr<ServidoresModelo> modelo, std::function<void(ServidoresModelo&)> vaciar) {
    co_await dormir(segundosVaciado);
    if (const auto m = modelo.lock()) vaciar(*m);
}

Tarea<void> saludar(std::shared_ptr<TerminalPTY> terminal) {
    co_await dormir(segundosSaludo);
    terminal->escribir(saludo);  // nothing once it is closed
}

std::span<const std::uint8_t> bytesDe(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

ServidoresModelo::~ServidoresModelo() { cerrarTodo(); }

bool ServidoresModelo::prueba() {
    static const bool valor = Argumentos::contiene(Argumentos::todos(), "--servidores-prueba");
    return valor;
}

std::optional<std::string> ServidoresModelo::textoLlamada(const std::string& funcion, const Json& argumento) {
    return llamadaPagina("servidores", funcion, argumento);
}

void ServidoresModelo::js(const std::string& nombre, const Json& datos) {
    if (web_ == nullptr) return;
    if (const auto guion = textoLlamada(nombre, datos)) web_->evaluar(*guion);
}

void ServidoresModelo::recibir(const Json& mensaje) {
    static const std::map<std::string, Manejador, std::less<>> manejadores = {
        {"listo", &ServidoresModelo::listo},
        {"volver", &ServidoresModelo::volver},
        {"acceso", &ServidoresModelo::acceso},
        {"abrirTerminal", &ServidoresModelo::abrirTerminal},
        {"teclas", &ServidoresModelo::teclas},
        {"tam", &ServidoresModelo::tam},
        {"cerrarTerminal", &ServidoresModelo::cerrarTerminal},
        {"estado", &ServidoresModelo::pedirEstado},
        {"archivos", &ServidoresModelo::pedirArchivos},
        {"ver", &ServidoresModelo::pedirVer},
        {"descargar", &ServidoresModelo::pedirDescarga},
        {"subir", &ServidoresModelo::pedirSubida},
        {"carpeta", &ServidoresModelo::operacion},
        {"renombrar", &ServidoresModelo::operacion},
        {"borrar", &ServidoresModelo::operacion},
        {"anadirVPS", &ServidoresModelo::anadirVPS},
        {"modelo", &ServidoresModelo::elegirModelo},
        {"chat", &ServidoresModelo::pedirChat},
        {"parar", &ServidoresModelo::parar},
        {"olvidar", &ServidoresModelo::olvidar},
        {"enlace", &ServidoresModelo::enlace},
    };
    if (!mensaje.is_object()) return;
    const auto tipo = Mensaje::texto(mensaje, "tipo");
    if (!tipo) return;
    if (const auto m = manejadores.find(*tipo); m != manejadores.end()) (this->*(m->second))(mensaje);
}

void ServidoresModelo::cerrarTodo() {
    for (auto& [tid, terminal] : terminales_) terminal->cerrar();
    terminales_.clear();
    if (chat_) chat_->parar();
    std::vector<std::int64_t> servidores;
    for (const auto s : usados_)
        if (!(prueba() && s == 0)) servidores.push_back(s);
    PublicarVPS::cerrarMaestros(servidores);
    usados_.clear();
}

void ServidoresModelo::listo(const Json&) { lanzar(enviarLista()); }

void ServidoresModelo::volver(const Json&) {
    cerrarTodo();
    if (const auto nav = nav_.lock()) nav->fijarPantalla(Navegacion::Pantalla::inicio());
}

void ServidoresModelo::acceso(const Json& m) {
    lanzar(comprobarAcceso(Mensaje::entero(m, "servidor"), Mensaje::texto(m, "ip").value_or(""),
                           Mensaje::texto(m, "password")));
}

void ServidoresModelo::abrirTerminal(const Json& m) {
    std::string tid = Mensaje::texto(m, "tid").value_or("");
    if (tid.empty()) {
        const auto nuevo = uuid();
        if (!nuevo) return;
        tid = *nuevo;
    }
    const auto servidor = Mensaje::entero(m, "servidor");
    const bool local = prueba() && servidor == 0;
    auto terminal = std::make_shared<TerminalPTY>();
    const std::weak_ptr<ServidoresModelo> yo = weak_from_this();
    terminal->salida = [yo, tid](std::string bytes) {
        if (const auto s = yo.lock()) s->encolar(tid, std::move(bytes));
    };
    terminal->fin = [yo, tid] {
        if (const auto s = yo.lock()) s->js("terminalFin", {{"tid", tid}});
    };
    const std::string programa = local ? "/usr/bin/env" : "/usr/bin/ssh";
    const std::vector<std::string> argumentos =
        local ? std::vector<std::string>{"TROSCA_NOCLAUDE=1", IAsLocales::shellDeUsuario(), "-il"}
              : std::vector<std::string>{"-F",
                                         PublicarVPS::rutaConfiguracion().string(),
                                         "-tt",
                                         "-o",
                                         "BatchMode=yes",
                                         PublicarVPS::alias(servidor)};
    const auto arrancado = terminal->arrancar(programa, argumentos, static_cast<int>(Mensaje::entero(m, "cols")),
                                              static_cast<int>(Mensaje::entero(m, "filas")));
    if (!arrancado) {
        js("terminalFin", {{"tid", tid}, {"error", arrancado.fallo().mensaje}});
        return;
    }
    if (!local) usar(servidor);
    terminales_[tid] = terminal;  // a terminal replaced under the same id closes as it goes
    if (local) lanzar(saludar(terminal));
}

void ServidoresModelo::teclas(const Json& m) {
    const auto t = terminales_.find(Mensaje::texto(m, "tid").value_or(""));
    const auto b64 = Mensaje::texto(m, "b64");
    if (t == terminales_.end() || !b64) return;
    const auto bytes = desdeBase64(*b64);
    if (!bytes) return;
    t->second->escribir(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

void ServidoresModelo::tam(const Json& m) {
    const auto t = terminales_.find(Mensaje::texto(m, "tid").value_or(""));
    if (t == terminales_.end()) return;
    t->second->redimensionar(static_cast<int>(Mensaje::entero(m, "cols")),
                             static_cast<int>(Mensaje::entero(m, "filas")));
}

void ServidoresModelo::cerrarTerminal(const Json& m) {
    const auto t = terminales_.find(Mensaje::texto(m, "tid").value_or(""));
    if (t == terminales_.end()) return;
    const auto terminal = t->second;
    terminales_.erase(t);
    terminal->cerrar();
}

void ServidoresModelo::encolar(const std::string& tid, std::string bytes) {
    pendiente_[tid] += bytes;
    if (vaciando_) return;
    vaciando_ = true;
    lanzar(vaciarTras(weak_from_this(), [](ServidoresModelo& m) { m.vaciar(); }));
}

void ServidoresModelo::vaciar() {
    vaciando_ = false;
    const auto lote = std::exchange(pendiente_, {});
    for (const auto& [tid, bytes] : lote) js("datos", {{"tid", tid}, {"b64", base64(bytesDe(bytes))}});
}

void ServidoresModelo::pedirEstado(const Json& m) { lanzar(estado(Mensaje::entero(m, "servidor"))); }

void ServidoresModelo::anadirVPS(const Json& m) {
    const auto nombre = Mensaje::texto(m, "nombre").value_or("");
    std::string ip = Mensaje::texto(m, "ip").value_or("");
    const auto blanco = [](char c) { return c == ' ' || c == '\t'; };
    while (!ip.empty() && blanco(ip.back())) ip.pop_back();
    while (!ip.empty() && blanco(ip.front())) ip.erase(0, 1);
    const auto anadido = PropiosVPS::anadirVPS(nombre, ip);
    if (!anadido) {
        js("aviso", {{"texto", anadido.fallo().mensaje}});
        return;
    }
    lanzar(enviarLista());
}

void ServidoresModelo::enlace(const Json& m) {
    const auto url = Mensaje::texto(m, "url");
    if (!url || !(url->starts_with("https://") || url->starts_with("http://"))) return;
    Navegador::abrir(*url);
}

ChatAdministrador& ServidoresModelo::chat() {
    if (!chat_) {
        const std::weak_ptr<ServidoresModelo> yo = weak_from_this();
        auto enviar = [yo](Json m) {
            if (const auto s = yo.lock()) s->js("chat", m);
        };
        chat_ = std::make_shared<ChatAdministrador>(std::move(enviar),
                                                    piezasChat_ ? *piezasChat_ : ChatAdministrador::piezasReales());
    }
    return *chat_;
}

void ServidoresModelo::elegirModelo(const Json& m) {
    const bool hayClaude =
        std::any_of(ias_.begin(), ias_.end(), [](const IA& ia) { return ia.tipo == IA::Tipo::claude; });
    if (!hayClaude) return;  // the page has no list yet
    IAsLocales::fijarModelo("claude", Mensaje::texto(m, "modelo").value_or(""));
}

void ServidoresModelo::pedirChat(const Json& m) {
    lanzar(chat().chat(ias_, Mensaje::entero(m, "servidor"), Mensaje::texto(m, "ip").value_or(""),
                       Mensaje::texto(m, "texto").value_or("")));
}

void ServidoresModelo::parar(const Json&) {
    if (chat_) chat_->parar();
}

void ServidoresModelo::olvidar(const Json& m) { chat().olvidar(Mensaje::entero(m, "servidor")); }

Tarea<void> ServidoresModelo::enviarLista() {
    const std::weak_ptr<ServidoresModelo> yo = weak_from_this();
    if (cuenta_.expired()) co_return;
    auto ias = co_await IAsLocales::detectar();
    if (const auto m = yo.lock()) m->ias_ = ias;
    else co_return;
    auto cuenta = cuenta_.lock();
    if (!cuenta) co_return;
    Json vps = Json::array();
    Json error = nullptr;
    try {
        for (const auto& v : co_await cuenta->listarVPS()) vps.push_back(servidorDe(v));
    } catch (const std::exception& e) {
        error = e.what();
    }
    const auto m = yo.lock();
    if (!m) co_return;
    if (prueba())
        vps.insert(vps.begin(), Json{{"id", 0},
                                     {"nombre", "Este ordenador (prueba)"},
                                     {"ip", "127.0.0.1"},
                                     {"so", "Linux"},
                                     {"familia", "linux"},
                                     {"cpu", 0},
                                     {"ram_mb", 0},
                                     {"disco_gb", 0},
                                     {"ubicacion", ""},
                                     {"pais", ""}});
    for (const auto& e : PropiosVPS::vpsPropios()) vps.push_back(servidorPropio(e));
    const auto& cliente = cuenta->cliente();
    Json ia = nullptr;
    if (const auto administrador = AdministradorVPS::herramienta(ias)) {
        const Json pagina = IAsLocales::json({*administrador})[0];
        ia = {{"id", pagina["id"]},
              {"nombre", pagina["nombre"]},
              {"modelo", pagina["modelo"]},
              {"modelos", pagina["modelos"]}};
    }
    m->js("lista", {{"vps", vps}, {"ia", ia}, {"cliente", cliente ? cliente->email : ""}, {"error", error}});
    const auto& argumentos = Argumentos::todos();
    if (const auto vista = Argumentos::valorTras(argumentos, "--vista")) m->js("prueba", {{"vista", *vista}});
    if (const auto chat = Argumentos::valorTras(argumentos, "--chat")) m->js("prueba", {{"chat", *chat}});
}

Tarea<void> ServidoresModelo::comprobarAcceso(std::int64_t servidor, std::string ip,
                                              std::optional<std::string> password) {
    const std::weak_ptr<ServidoresModelo> yo = weak_from_this();
    const auto responder = [yo, servidor](bool ok, std::optional<std::string> error = std::nullopt) {
        const auto m = yo.lock();
        if (!m) return;
        Json r = {{"servidor", servidor}, {"ok", ok}};
        if (error) r["error"] = *error;
        m->js("acceso", r);
    };
    if (prueba() && servidor == 0) co_return responder(true);
    if (const auto preparado = co_await PublicarVPS::prepararFuera(servidor, ip); !preparado)
        co_return responder(false, preparado.fallo().mensaje);
    if (const auto m = yo.lock()) m->usar(servidor);
    if (co_await PublicarVPS::tieneAcceso(servidor)) co_return responder(true);
    if (!password || password->empty()) co_return responder(false);
    const auto instalado = co_await PublicarVPS::instalarLlave(servidor, *password);
    if (!instalado) co_return responder(false, instalado.fallo().mensaje);
    responder(true);
}

Tarea<void> ServidoresModelo::estado(std::int64_t servidor) {
    if (prueba() && servidor == 0) {
        js("estado", {{"servidor", 0}, {"error", "El modo de prueba no tiene estado."}});
        co_return;
    }
    const std::weak_ptr<ServidoresModelo> yo = weak_from_this();
    usar(servidor);
    const auto [ok, salida] = co_await PublicarVPS::remoto(servidor, EstadoServidor::ordenRemota);
    const auto m = yo.lock();
    if (!m) co_return;
    if (!ok) {
        m->js("estado", {{"servidor", servidor}, {"error", "No se ha podido leer el estado."}});
        co_return;
    }
    const auto anterior = m->anterior_.find(servidor);
    const double ahora = static_cast<double>(g_get_monotonic_time()) / 1e6;
    auto lectura =
        EstadoServidor::leer(servidor, salida, anterior == m->anterior_.end() ? nullptr : &anterior->second, ahora);
    if (lectura.muestra) m->anterior_[servidor] = std::move(*lectura.muestra);
    m->js("estado", lectura.respuesta);
}

}  // namespace sorvenia
