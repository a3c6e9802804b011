// The project object, where projects live, how a design finds its project,
// the state file and the copy of the design's web files.

#include "aplicaciones/proyecto_aplicacion.h"

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <system_error>

#include "aplicaciones/escritura_proyecto.h"
#include "aplicaciones/lecturas_proyecto.h"
#include "plataforma/carpetas.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace fs = std::filesystem;

namespace {

constexpr const char* archivoEstado = ".sorvenia-code.json";

// The objects alive now, for the application's quit (main thread only).
std::set<ProyectoAplicacion*>& registrados() {
    static std::set<ProyectoAplicacion*> vivos;
    return vivos;
}

// A plain file name: no separator, not "." or "..", not empty.
bool esNombreSimple(const std::string& nombre) {
    return !nombre.empty() && nombre != "." && nombre != ".." && nombre.find('/') == std::string::npos &&
           nombre.find('\0') == std::string::npos;
}

}  // namespace

ProyectoAplicacion::ProyectoAplicacion(fs::path carpeta) : carpeta_(std::move(carpeta)) { registrados().insert(this); }

ProyectoAplicacion::~ProyectoAplicacion() {
    registrados().erase(this);
    vigia_.cancelar();
}

std::vector<std::shared_ptr<ProyectoAplicacion>> ProyectoAplicacion::vivos() {
    std::vector<std::shared_ptr<ProyectoAplicacion>> lista;
    for (ProyectoAplicacion* p : registrados())
        if (auto fuerte = p->weak_from_this().lock()) lista.push_back(std::move(fuerte));
    return lista;
}

const fs::path& ProyectoAplicacion::raiz() {
    static const fs::path carpeta = Carpetas::sitios() / "Sorvenia Code";
    return carpeta;
}

std::shared_ptr<ProyectoAplicacion> ProyectoAplicacion::de(const std::optional<std::string>& doc) {
    return deBajo(raiz(), doc);
}

std::shared_ptr<ProyectoAplicacion> ProyectoAplicacion::deBajo(const fs::path& raiz,
                                                               const std::optional<std::string>& doc) {
    if (!doc) return nullptr;
    const auto mapa = Preferencias::estandar().mapaTextos("appDeDiseno");
    const auto entrada = mapa.find(*doc);
    // The entry is a folder name; anything that would lead out of the root
    // is no project of ours.
    if (entrada == mapa.end() || !esNombreSimple(entrada->second)) return nullptr;
    const fs::path carpeta = raiz / entrada->second;
    std::error_code error;
    if (!fs::is_directory(carpeta, error)) return nullptr;
    return std::make_shared<ProyectoAplicacion>(carpeta);
}

nlohmann::json ProyectoAplicacion::estado() const {
    std::ifstream entrada(carpeta_ / archivoEstado, std::ios::binary);
    if (!entrada) return nlohmann::json::object();
    const std::string bytes((std::istreambuf_iterator<char>(entrada)), std::istreambuf_iterator<char>());
    if (entrada.bad()) return nlohmann::json::object();
    return LecturasProyecto::estado(bytes);
}

bool ProyectoAplicacion::esMovil() const {
    const auto e = estado();
    const auto tipo = e.find("tipo");
    return tipo != e.end() && tipo->is_string() && tipo->get<std::string>() == "movil";
}

std::optional<std::string> ProyectoAplicacion::sesion() const {
    const auto e = estado();
    const auto valor = e.find("sesion");
    if (valor == e.end() || !valor->is_string()) return std::nullopt;
    return valor->get<std::string>();
}

void ProyectoAplicacion::fijarSesion(const std::optional<std::string>& sesion) {
    guardarEstado("sesion", sesion ? std::optional<nlohmann::json>(*sesion) : std::nullopt);
}

// The file is rewritten in place (it is tiny, and only the main thread
// writes it); a failure leaves the project without the state, as reading a
// damaged file does.
void ProyectoAplicacion::guardarEstado(std::string_view clave, const std::optional<nlohmann::json>& valor) {
    auto e = estado();
    if (valor) {
        e[std::string(clave)] = *valor;
    } else {
        e.erase(std::string(clave));
    }
    std::ofstream salida(carpeta_ / archivoEstado, std::ios::binary | std::ios::trunc);
    salida << LecturasProyecto::textoEstado(e);
}

void ProyectoAplicacion::guardarDiseno(const std::vector<std::pair<std::string, std::string>>& archivos) {
    const fs::path diseno = carpeta_ / "diseno";
    std::error_code error;
    fs::remove_all(diseno, error);
    fs::create_directories(diseno, error);
    for (const auto& [nombre, texto] : archivos)
        if (esNombreSimple(nombre)) (void)escribirArchivo(diseno / nombre, texto);
}

void ProyectoAplicacion::fijarEnviar(Enviar enviar) {
    enviar_ = std::move(enviar);
    vigilarPlan();
}

void ProyectoAplicacion::enviar(const nlohmann::json& mensaje) const {
    if (enviar_) enviar_(mensaje);
}

bool ProyectoAplicacion::enMarcha() const {
    const auto& servidor = ejecucion_->servidor();
    return servidor && servidor->enMarcha();
}

}  // namespace sorvenia
