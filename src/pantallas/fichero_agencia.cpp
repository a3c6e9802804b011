#include "pantallas/fichero_agencia.h"

#include <ctime>
#include <fstream>
#include <sstream>
#include <system_error>

#include "plataforma/carpetas.h"
#include "plataforma/fichero_privado.h"
#include "plataforma/identidad.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

Fallo falloAgencia(std::string mensaje) { return {std::move(mensaje), "agencia"}; }

bool tieneListas(const Json& datos) {
    const auto c = datos.find("clientes");
    const auto p = datos.find("proyectos");
    return datos.is_object() && c != datos.end() && c->is_array() && p != datos.end() && p->is_array();
}

std::optional<std::string> serializar(const Json& v, int sangria) {
    try {
        return v.dump(sangria);  // members are kept sorted by key
    } catch (const Json::exception&) {
        return std::nullopt;
    }
}

std::string fechaArchivo() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char texto[32];
    std::strftime(texto, sizeof texto, "%Y%m%d-%H%M%S", &tm);
    return texto;
}

}  // namespace

std::filesystem::path FicheroAgencia::porDefecto() {
    return Carpetas::aplicacion() / (esCompilacionDePrueba() ? "agencia-pruebas.json" : "agencia.json");
}

std::string FicheroAgencia::claveCuenta(const std::optional<Cliente>& cliente) {
    if (!cliente) return "sin-cuenta";
    std::string clave = cliente->email;
    for (char& c : clave)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return clave;
}

std::optional<std::string> FicheroAgencia::leerTexto() const {
    std::ifstream f(ruta_, std::ios::binary);
    if (!f) return std::nullopt;
    std::ostringstream s;
    s << f.rdbuf();
    if (f.bad()) return std::nullopt;
    return std::move(s).str();
}

EntradaAgencia FicheroAgencia::entrada(const std::string& clave) const {
    const auto texto = leerTexto();
    return texto ? LecturaAgencia::entradaDe(*texto, clave) : EntradaAgencia{};
}

std::filesystem::path FicheroAgencia::rutaApartada() const {
    const std::string nombre = ruta_.filename().string() + ".apartado-" + fechaArchivo();
    std::filesystem::path candidata = ruta_.parent_path() / nombre;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(candidata, ec); ++n)
        candidata = ruta_.parent_path() / (nombre + "-" + std::to_string(n));
    return candidata;
}

Hecho FicheroAgencia::escribir(const std::string& clave, const EntradaAgencia& e) const {
    std::error_code ec;
    std::filesystem::create_directories(ruta_.parent_path(), ec);  // a failure shows in the write
    const auto texto = leerTexto();
    const bool apartar = texto && LecturaAgencia::estadoDe(*texto, clave) != Estado::valido;
    Json raiz = Json::object();
    if (texto && !apartar) raiz = Json::parse(*texto, nullptr, false);  // an object: the state says so
    Json cuentas = raiz.contains("cuentas") && raiz["cuentas"].is_object() ? raiz["cuentas"] : Json::object();
    cuentas[clave] = {{"formato", formato},
                      {"datos", e.datos},
                      {"base", e.base ? *e.base : Json()},
                      {"version", e.version},
                      {"pendiente", e.pendiente}};
    raiz["cuentas"] = std::move(cuentas);
    raiz["version"] = formato;
    const auto bytes = serializar(raiz, 2);
    if (!bytes) return falloAgencia("No se han podido guardar los datos de agencia.");
    if (bytes->size() > tamanoMaximo) return falloAgencia("Hay demasiados datos para guardar.");
    if (apartar) {
        // Someone else's bytes, or ours from a newer build: kept, not replaced.
        std::filesystem::rename(ruta_, rutaApartada(), ec);
        if (ec) return falloAgencia("No se ha podido apartar el archivo de agencia que no se puede leer.");
    }
    if (auto escrito = escribirPrivadoDuradero(ruta_, *bytes); !escrito) return falloAgencia(escrito.fallo().mensaje);
    return hecho();
}

Hecho FicheroAgencia::guardarLocal(const std::string& clave, const Json& datos, const std::optional<Json>& base,
                                   std::optional<std::int64_t> version, bool pendiente) const {
    if (!tieneListas(datos)) return falloAgencia("Datos de agencia no válidos.");
    const EntradaAgencia guardada = entrada(clave);
    EntradaAgencia nueva;
    nueva.datos = datos;
    nueva.base = base ? base : guardada.base;
    nueva.version = version.value_or(guardada.version);
    nueva.pendiente = pendiente;
    return escribir(clave, nueva);
}

bool FicheroAgencia::iguales(const Json& a, const Json& b) {
    const auto sa = serializar(a, -1);
    const auto sb = serializar(b, -1);
    if (!sa || !sb) return !sa && !sb;
    return *sa == *sb;
}

}  // namespace sorvenia
