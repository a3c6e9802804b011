#include "servicio_local_prueba.h"

#include <fstream>
#include <stdexcept>

#include "servicio.h"

namespace sorvenia::prueba {

using nlohmann::json;

CarpetaTemporal::CarpetaTemporal() {
    std::string plantilla = (std::filesystem::temp_directory_path() / "cuenta-prueba-XXXXXX").string();
    if (mkdtemp(plantilla.data()) == nullptr) throw std::runtime_error("mkdtemp");
    ruta_ = plantilla;
}

CarpetaTemporal::~CarpetaTemporal() {
    std::error_code error;
    std::filesystem::remove_all(ruta_, error);
}

namespace {

json cuentasDePrueba() {
    const json vps = json::array({{{"id", 3}, {"nombre", "web-1"}, {"ip", "192.0.2.3"}, {"so", "Debian 12"}, {"cpu", 2}},
                                  {{"id", 4}, {"nombre", "web-2"}, {"ip", "192.0.2.4"}, {"so", "Ubuntu 24.04"}}});
    return {{"clientes",
             json::array({{{"id", 1},
                           {"nombre", "Ana Pérez"},
                           {"email", "ana@ana.example"},
                           {"claves", {"clave-ana"}},
                           {"hostings", json::array({{{"id", 7}, {"dominio", "ana.example"}, {"plan", "Pro"}, {"wordpress", false}}})},
                           {"vps", vps}},
                          {{"id", 2}, {"nombre", "Otro Cliente"}, {"email", "otro@x.example"}, {"claves", {"clave-otro"}}}})}};
}

}  // namespace

ServicioLocalPrueba::ServicioLocalPrueba() {
    std::ofstream(carpeta_.ruta() / "cuentas.json") << cuentasDePrueba().dump();
    servicio_ = std::make_unique<cuenta_local::CuentaLocal>(carpeta_.ruta());
    const auto puerto = servicio_->escuchar(0);
    if (!puerto) throw std::runtime_error("the local account service cannot listen");
    puerto_ = *puerto;
    hilo_ = std::thread([s = servicio_.get()] { s->servir(); });
}

ServicioLocalPrueba::~ServicioLocalPrueba() {
    servicio_->parar();
    hilo_.join();
}

std::string ServicioLocalPrueba::base() const { return "http://127.0.0.1:" + std::to_string(puerto_); }

std::vector<json> ServicioLocalPrueba::registro() const { return servicio_->registro(); }

std::vector<json> ServicioLocalPrueba::registroDe(const std::string& accion) const {
    std::vector<json> entradas;
    for (auto& e : registro())
        if (e["accion"] == accion) entradas.push_back(e);
    return entradas;
}

void ServicioLocalPrueba::interruptores(const json& valor) {
    const auto ruta = carpeta_.ruta() / "interruptores.json";
    const auto temporal = carpeta_.ruta() / ".interruptores.json";
    std::ofstream(temporal) << valor.dump();
    std::filesystem::rename(temporal, ruta);
}

RespuestaHTTP ServicioLocalPrueba::pedirComoAna(const std::string& metodo, const std::string& consulta,
                                                const std::string& cuerpo) {
    PeticionHTTP p;
    p.metodo = metodo;
    p.url = base() + "/api/v1/tarvel" + (consulta.empty() ? "" : "?" + consulta);
    p.cabeceras = {{"Authorization", "Bearer clave-ana"}, {"Content-Type", "application/json"}};
    p.cuerpo = cuerpo;
    p.tiempoLimite = 10;
    auto r = pedir(p);
    if (!r) throw std::runtime_error(r.fallo().mensaje);
    return *r;
}

RespuestaHTTP obtener(const std::string& url) {
    PeticionHTTP p;
    p.url = url;
    p.tiempoLimite = 10;
    auto r = pedir(p);
    if (!r) throw std::runtime_error(r.fallo().mensaje);
    return *r;
}

std::optional<std::string> LlaveroEnMemoria::leer(const std::string& servicio, const std::string& cuenta) {
    std::lock_guard bloqueo(mutex_);
    const auto it = items_.find({servicio, cuenta});
    if (it == items_.end()) return std::nullopt;
    return it->second;
}

bool LlaveroEnMemoria::guardar(const std::string& servicio, const std::string& cuenta, const std::string& valor) {
    std::lock_guard bloqueo(mutex_);
    if (rechazar_) return false;
    items_[{servicio, cuenta}] = valor;
    return true;
}

void LlaveroEnMemoria::borrar(const std::string& servicio, const std::string& cuenta) {
    std::lock_guard bloqueo(mutex_);
    items_.erase({servicio, cuenta});
}

void LlaveroEnMemoria::rechazarEscrituras(bool si) {
    std::lock_guard bloqueo(mutex_);
    rechazar_ = si;
}

std::map<std::pair<std::string, std::string>, std::string> LlaveroEnMemoria::contenido() const {
    std::lock_guard bloqueo(mutex_);
    return items_;
}

}  // namespace sorvenia::prueba
