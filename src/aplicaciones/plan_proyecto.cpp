// The agents' plan documents in "docs/superpowers/specs" and "plans": the
// latest of each, the plan's progress, the project's phase, the summary the
// editor page shows, and the watch that sends a new summary when they change.
//
// The watch is a 2 s timer on the main loop comparing a signature of both folders (names,
// modification times, sizes). A file monitor would have to follow folders
// that do not exist yet (the agent makes them) and re-arm as they appear;
// listing two small folders every 2 s is cheap and sees every change,
// whichever way the agent writes its files.

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <system_error>

#include "aplicaciones/lecturas_proyecto.h"
#include "aplicaciones/proyecto_aplicacion.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace fs = std::filesystem;

namespace {

// How much of each document the summary carries.
constexpr std::size_t maximoDocumento = 60000;

struct Documento {
    fs::path ruta;
    std::string nombre;
    struct timespec modificado {};
    bool conFecha = false;
    std::uintmax_t tamano = 0;
};

// The ".md" entries directly in the folder, in listing order; nothing when
// it cannot be listed. The extension test is exact: ".MD" does not count.
std::vector<Documento> documentos(const fs::path& carpeta) {
    std::vector<Documento> lista;
    std::error_code error;
    fs::directory_iterator it(carpeta, error);
    if (error) return lista;
    for (const fs::directory_iterator fin; it != fin; it.increment(error)) {
        if (error) break;
        const fs::path& ruta = it->path();
        if (ruta.extension() != ".md") continue;
        Documento d{ruta, ruta.filename().string()};
        struct stat datos {};
        if (::stat(ruta.c_str(), &datos) == 0) {
            d.modificado = datos.st_mtim;
            d.conFecha = true;
            d.tamano = static_cast<std::uintmax_t>(datos.st_size);
        }
        lista.push_back(std::move(d));
    }
    return lista;
}

bool masNuevo(const Documento& a, const Documento& b) {
    if (a.conFecha != b.conFecha) return a.conFecha;  // an unknown date is the distant past
    if (a.modificado.tv_sec != b.modificado.tv_sec) return a.modificado.tv_sec > b.modificado.tv_sec;
    return a.modificado.tv_nsec > b.modificado.tv_nsec;
}

// Seconds since 1970 with their fraction, written without the locale.
std::string segundos(const Documento& d) {
    if (!d.conFecha) return "0.0";
    char texto[48];
    auto [fin, error] = std::to_chars(texto, texto + sizeof texto, static_cast<long long>(d.modificado.tv_sec));
    std::string resultado(texto, fin);
    char fraccion[16];
    auto [finF, errorF] = std::to_chars(fraccion, fraccion + sizeof fraccion, d.modificado.tv_nsec + 1000000000L);
    (void)error;
    (void)errorF;
    return resultado + "." + std::string(fraccion + 1, finF);
}

std::optional<std::string> leerUtf8(const fs::path& ruta) {
    std::ifstream entrada(ruta, std::ios::binary);
    if (!entrada) return std::nullopt;
    std::string texto((std::istreambuf_iterator<char>(entrada)), std::istreambuf_iterator<char>());
    if (entrada.bad() || !LecturasProyecto::esUtf8(texto)) return std::nullopt;
    return texto;
}

}  // namespace

std::optional<std::string> ProyectoAplicacion::ultimo(std::string_view subcarpeta) const {
    const auto lista = documentos(carpeta_ / "docs" / "superpowers" / subcarpeta);
    if (lista.empty()) return std::nullopt;
    // The first of equally new documents in listing order wins.
    const auto elegido = std::min_element(lista.begin(), lista.end(), masNuevo);
    return leerUtf8(elegido->ruta);
}

namespace {

ProyectoAplicacion::Progreso progresoDe(const std::optional<std::string>& plan) {
    if (!plan) return {};
    const auto tareas = LecturasProyecto::contarTareas(*plan);
    return {tareas.hechas, tareas.total};
}

// Only the latest document of each folder counts: older plans with tasks
// still open do not hold the phase back.
std::string faseDe(bool hayDiseno, bool hayPlan, ProyectoAplicacion::Progreso p, bool hayAplicacion) {
    if (!hayDiseno) return hayAplicacion ? "lista" : "inicio";
    if (!hayPlan) return "diseno";
    return p.total > 0 && p.hechas >= p.total && hayAplicacion ? "lista" : "construccion";
}

}  // namespace

ProyectoAplicacion::Progreso ProyectoAplicacion::progreso() const { return progresoDe(ultimo("plans")); }

std::string ProyectoAplicacion::fase() const {
    std::error_code error;
    const auto plan = ultimo("plans");
    return faseDe(ultimo("specs").has_value(), plan.has_value(), progresoDe(plan),
                  fs::exists(carpeta_ / "package.json", error));
}

// Each document is read once for the whole summary.
nlohmann::json ProyectoAplicacion::resumen() const {
    std::error_code error;
    const auto diseno = ultimo("specs");
    const auto plan = ultimo("plans");
    const auto p = progresoDe(plan);
    const bool hayAplicacion = fs::exists(carpeta_ / "package.json", error);
    const auto texto = [](const std::optional<std::string>& doc) {
        return doc ? nlohmann::json(LecturasProyecto::cortar(*doc, maximoDocumento)) : nlohmann::json(nullptr);
    };
    nlohmann::json r = nlohmann::json::object();
    r["carpeta"] = carpeta_.string();
    r["nombre"] = carpeta_.filename().string();
    r["fase"] = faseDe(diseno.has_value(), plan.has_value(), p, hayAplicacion);
    r["hayAplicacion"] = hayAplicacion;
    r["hechas"] = p.hechas;
    r["total"] = p.total;
    r["vista"] =
        enMarcha() ? nlohmann::json("http://127.0.0.1:" + std::to_string(puerto()) + "/") : nlohmann::json(nullptr);
    r["diseno"] = texto(diseno);
    r["plan"] = texto(plan);
    const auto desplegadas = Preferencias::estandar().valor("appDesplegada");
    if (desplegadas && desplegadas->is_object() &&
        std::all_of(desplegadas->begin(), desplegadas->end(), [](const nlohmann::json& v) { return v.is_object(); })) {
        if (const auto registro = desplegadas->find(carpeta_.string()); registro != desplegadas->end())
            r["desplegada"] = *registro;
    }
    if (esMovil()) r["movil"] = true;
    return r;
}

std::string ProyectoAplicacion::firmaDocs() const {
    std::string firma;
    for (const char* sub : {"specs", "plans"}) {
        std::vector<std::string> partes;
        for (const auto& d : documentos(carpeta_ / "docs" / "superpowers" / sub))
            partes.push_back(d.nombre + ":" + segundos(d) + ":" + std::to_string(d.tamano));
        std::sort(partes.begin(), partes.end());
        if (std::string_view(sub) == "plans") firma += "|";
        for (std::size_t i = 0; i < partes.size(); ++i) firma += (i ? "," : "") + partes[i];
    }
    return firma;
}

void ProyectoAplicacion::vigilarPlan() {
    vigia_.cancelar();
    firmaPlan_ = firmaDocs();  // what is on disk now counts as already sent
    vigia_ = lanzar(vigilar(weak_from_this()));
}

// Holds the project only while it looks: once the project is gone the
// next tick ends the watch without sending anything.
Tarea<void> ProyectoAplicacion::vigilar(std::weak_ptr<ProyectoAplicacion> proyecto) {
    while (true) {
        co_await dormir(segundosVigia);
        const auto vivo = proyecto.lock();
        if (!vivo) co_return;
        vivo->revisarPlan();
    }
}

void ProyectoAplicacion::revisarPlan() {
    auto firma = firmaDocs();
    if (firma == firmaPlan_) return;
    firmaPlan_ = std::move(firma);
    enviar({{"proyecto", resumen()}});
}

}  // namespace sorvenia
