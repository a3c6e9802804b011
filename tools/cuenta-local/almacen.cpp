#include "almacen.h"

#include <algorithm>
#include <cctype>

#include "utiles.h"

namespace sorvenia::cuenta_local {
namespace {

using nlohmann::json;

json clientePorDefecto() {
    return {{"id", 1},
            {"nombre", "Cliente de prueba"},
            {"email", "cliente@sorvenia.example"},
            {"claves", json::array()},
            {"hostings", json::array({{{"id", 1}, {"dominio", "mi-web.example"}, {"plan", "Hosting Web"}, {"wordpress", false}}})},
            {"vps", json::array({{{"id", 1},
                                  {"nombre", "vps-pruebas"},
                                  {"ip", "192.0.2.10"},
                                  {"so", "Debian 12"},
                                  {"familia", "debian"},
                                  {"cpu", 2},
                                  {"ram_mb", 4096},
                                  {"disco_gb", 80},
                                  {"ubicacion", "Madrid"},
                                  {"pais", "ES"}}})}};
}

json tiendaPorDefecto() {
    const auto producto = [](const char* id, const char* nombre, int precio, const char* periodo) {
        return json{{"id", id},
                    {"nombre", nombre},
                    {"precio", precio},
                    {"periodo", periodo},
                    {"ir", std::string("/panel/comprar.php?producto=") + id}};
    };
    return {{"secciones",
             json::array({{{"id", "hosting"},
                           {"nombre", "Hosting"},
                           {"productos", json::array({producto("web", "Hosting Web", 5, "mes"),
                                                      producto("wordpress", "Hosting WordPress", 8, "mes")})}},
                          {{"id", "vps"},
                           {"nombre", "Servidores VPS"},
                           {"productos", json::array({producto("vps-2", "VPS 2 núcleos", 12, "mes")})}},
                          {{"id", "dominios"},
                           {"nombre", "Dominios"},
                           {"productos", json::array({producto("dominio-es", "Dominio .es", 9, "año")})}}})}};
}

json sinClaves(json cliente) {
    cliente.erase("claves");
    return cliente;
}

std::optional<json> leerJSON(const std::filesystem::path& ruta) {
    const auto texto = leerFichero(ruta);
    if (!texto) return std::nullopt;
    auto j = json::parse(*texto, nullptr, false);
    if (j.is_discarded()) return std::nullopt;
    return j;
}

}  // namespace

bool idValido(const std::string& id) {
    return !id.empty() && id.size() <= 64 &&
           std::all_of(id.begin(), id.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; });
}

Almacen::Almacen(std::filesystem::path carpeta) : carpeta_(std::move(carpeta)) {
    std::filesystem::create_directories(carpeta_);
    if (!std::filesystem::exists(carpeta_ / "cuentas.json"))
        guardarCuentas({{"clientes", json::array({clientePorDefecto()})}});
}

json Almacen::cuentas() const {
    auto c = leerJSON(carpeta_ / "cuentas.json").value_or(json::object());
    if (!c.is_object() || !c.contains("clientes") || !c["clientes"].is_array()) c = {{"clientes", json::array()}};
    return c;
}

bool Almacen::guardarCuentas(const json& c) { return escribirFichero(carpeta_ / "cuentas.json", c.dump(2)); }

std::optional<std::int64_t> Almacen::anadirHosting(std::int64_t cliente, const std::string& dominio) {
    json c = cuentas();
    std::int64_t siguiente = 1;
    for (const auto& cl : c["clientes"])
        for (const auto& h : cl.value("hostings", json::array()))
            siguiente = std::max(siguiente, h.value("id", std::int64_t{0}) + 1);
    for (auto& cl : c["clientes"]) {
        if (cl.value("id", std::int64_t{0}) != cliente) continue;
        if (!cl.contains("hostings") || !cl["hostings"].is_array()) cl["hostings"] = json::array();
        for (const auto& h : cl["hostings"])
            if (h.value("dominio", "") == dominio) return h.value("id", std::int64_t{0});  // bought already
        cl["hostings"].push_back(
            {{"id", siguiente}, {"dominio", dominio}, {"plan", "Hosting Web"}, {"wordpress", false}});
        if (!guardarCuentas(c)) return std::nullopt;
        return siguiente;
    }
    return std::nullopt;
}

std::vector<json> Almacen::clientes() const {
    std::vector<json> todos;
    const json todas = cuentas();  // kept alive: the loop walks inside it
    for (const auto& c : todas["clientes"]) todos.push_back(sinClaves(c));
    return todos;
}

std::optional<json> Almacen::cliente(std::int64_t id) const {
    const json todas = cuentas();
    for (const auto& c : todas["clientes"])
        if (c.value("id", std::int64_t{-1}) == id) return sinClaves(c);
    return std::nullopt;
}

std::optional<json> Almacen::clientePorClave(const std::string& clave) const {
    const json todas = cuentas();
    for (const auto& c : todas["clientes"]) {
        const auto claves = c.value("claves", json::array());
        if (std::find(claves.begin(), claves.end(), clave) != claves.end()) return sinClaves(c);
    }
    return std::nullopt;
}

std::optional<std::string> Almacen::nuevaClave(std::int64_t cliente) {
    auto c = cuentas();
    for (auto& registro : c["clientes"]) {
        if (registro.value("id", std::int64_t{-1}) != cliente) continue;
        const std::string clave = "clave-" + azarUrl(32);
        if (!registro.contains("claves") || !registro["claves"].is_array()) registro["claves"] = json::array();
        registro["claves"].push_back(clave);
        if (!guardarCuentas(c)) return std::nullopt;
        return clave;
    }
    return std::nullopt;
}

bool Almacen::quitarClave(const std::string& clave) {
    auto c = cuentas();
    for (auto& registro : c["clientes"]) {
        auto& claves = registro["claves"];
        if (!claves.is_array()) continue;
        const auto it = std::find(claves.begin(), claves.end(), clave);
        if (it == claves.end()) continue;
        claves.erase(it);
        return guardarCuentas(c);
    }
    return false;
}

std::filesystem::path Almacen::carpetaCliente(std::int64_t cliente) const {
    return carpeta_ / "clientes" / std::to_string(cliente);
}

std::vector<json> Almacen::disenos(std::int64_t cliente) const {
    std::vector<json> todos;
    std::error_code error;
    for (const auto& entrada : std::filesystem::directory_iterator(carpetaCliente(cliente) / "disenos", error)) {
        if (entrada.path().extension() != ".json") continue;
        if (auto d = leerJSON(entrada.path()); d && d->is_object()) todos.push_back(std::move(*d));
    }
    return todos;
}

std::optional<json> Almacen::diseno(std::int64_t cliente, const std::string& id) const {
    if (!idValido(id)) return std::nullopt;
    return leerJSON(carpetaCliente(cliente) / "disenos" / (id + ".json"));
}

bool Almacen::guardarDiseno(std::int64_t cliente, const json& registro) {
    const std::string id = registro.value("id", "");
    if (!idValido(id)) return false;
    return escribirFichero(carpetaCliente(cliente) / "disenos" / (id + ".json"), registro.dump());
}

bool Almacen::borrarDiseno(std::int64_t cliente, const std::string& id) {
    if (!idValido(id)) return false;
    std::error_code error;
    const bool habia = std::filesystem::remove(carpetaCliente(cliente) / "disenos" / (id + ".json"), error);
    std::filesystem::remove_all(carpetaEscenas(cliente, id), error);
    return habia;
}

json Almacen::agencia(std::int64_t cliente) const {
    auto a = leerJSON(carpetaCliente(cliente) / "agencia.json").value_or(json::object());
    return a.is_object() ? a : json::object();
}

bool Almacen::guardarAgencia(std::int64_t cliente, const json& estado) {
    return escribirFichero(carpetaCliente(cliente) / "agencia.json", estado.dump());
}

std::filesystem::path Almacen::carpetaEscenas(std::int64_t cliente, const std::string& diseno) const {
    return carpetaCliente(cliente) / "escenas" / diseno;
}

std::filesystem::path Almacen::carpetaPrevia(const std::string& slug) const { return carpeta_ / "previas" / slug; }

std::filesystem::path Almacen::carpetaSitio(std::int64_t servicio, const std::string& carpeta) const {
    return carpeta_ / "sitios" / std::to_string(servicio) / carpeta;
}

std::vector<std::string> Almacen::dominiosOcupados() const {
    std::vector<std::string> ocupados;
    const json todas = cuentas();
    for (const auto& c : todas["clientes"])
        for (const auto& h : c.value("hostings", json::array()))
            if (h.is_object() && h.contains("dominio") && h["dominio"].is_string()) ocupados.push_back(h["dominio"]);
    const auto lista = leerJSON(carpeta_ / "dominios-ocupados.json").value_or(json::array());
    for (const auto& d : lista)
        if (d.is_string()) ocupados.push_back(d);
    return ocupados;
}

json Almacen::tienda() const {
    auto t = leerJSON(carpeta_ / "tienda.json");
    return t ? *t : tiendaPorDefecto();
}

}  // namespace sorvenia::cuenta_local
