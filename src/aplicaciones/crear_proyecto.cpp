// Creation of an app project from the application's "apps" resources: the
// project folder, the agents' rules, ".gitignore", the personalised mobile
// templates, the state file, the first git commit and the design's entry.

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "aplicaciones/escritura_proyecto.h"
#include "aplicaciones/lecturas_proyecto.h"
#include "aplicaciones/nombres_proyecto.h"
#include "aplicaciones/proyecto_aplicacion.h"
#include "ias/publicar_vps_correr.h"
#include "plataforma/preferencias.h"
#include "plataforma/recursos.h"

namespace sorvenia {
namespace fs = std::filesystem;

namespace {

constexpr const char* sinReglas = "Faltan las reglas de las aplicaciones dentro de la app.";
// Who makes the first commit: the product, never the user's git identity.
constexpr const char* nombreCommit = "Sorvenia Code";
constexpr const char* correoCommit = "code@sorvenia.example";

constexpr std::array lineasGitignore = {"node_modules/", "datos/", ".env", ".env.*", ".claude/", ".sorvenia-code.json"};
constexpr std::array lineasGitignoreMovil = {"ios/build/",         "android/.gradle/",         "android/build/",
                                             "android/app/build/", "android/local.properties", "*.xcuserstate",
                                             "xcuserdata/"};

// The template files whose text carries the markers.
constexpr std::array extensionesTexto = {".swift", ".pbxproj",      ".plist",           ".xcscheme", ".kts",
                                         ".kt",    ".xml",          ".properties",      ".md",       ".json",
                                         ".pro",   ".entitlements", ".xcworkspacedata", ".sh"};

Fallo falloSistema(const std::string& que, const std::error_code& error) {
    return Fallo{"No se ha podido " + que + ": " + error.message() + ".", ""};
}

void reemplazarTodo(std::string& texto, std::string_view de, std::string_view por) {
    for (std::size_t i = texto.find(de); i != std::string::npos; i = texto.find(de, i + por.size()))
        texto.replace(i, de.size(), por);
}

std::string reemplazado(std::string texto, std::string_view de, std::string_view por) {
    reemplazarTodo(texto, de, por);
    return texto;
}

// Makes root/slug, or root/slug-2, -3...: the first name nothing holds yet.
// Making the folder is the test, so a folder that appears meanwhile (or a
// file, or a dangling link) is never taken over.
Resultado<fs::path> carpetaNueva(const fs::path& raiz, const std::string& slug) {
    for (int n = 1;; ++n) {
        const fs::path candidata = raiz / (n == 1 ? slug : slug + "-" + std::to_string(n));
        if (::mkdir(candidata.c_str(), 0755) == 0) return candidata;
        if (errno != EEXIST)
            return falloSistema("crear la carpeta del proyecto", std::error_code(errno, std::generic_category()));
    }
}

// Personalises one copied template: file contents first, then names, the
// deepest entries before the folders that hold them.
Hecho personalizar(const fs::path& destino, const std::string& tipo, const std::string& id,
                   const std::string& visible) {
    struct Entrada {
        fs::path ruta;
        bool carpeta;
    };
    std::vector<Entrada> entradas;
    std::error_code error;
    for (fs::recursive_directory_iterator it(destino, error), fin; !error && it != fin; it.increment(error)) {
        std::error_code e;
        entradas.push_back({it->path(), it->is_directory(e) && !e});
    }
    if (error) return falloSistema("leer la plantilla copiada", error);
    std::stable_sort(entradas.begin(), entradas.end(), [](const Entrada& a, const Entrada& b) {
        return a.ruta.native().size() > b.ruta.native().size();
    });
    const std::string limpio = NombresProyecto::nombreLimpio(visible);
    for (const auto& entrada : entradas) {
        const auto extension = entrada.ruta.extension().string();
        if (!entrada.carpeta &&
            std::find(extensionesTexto.begin(), extensionesTexto.end(), extension) != extensionesTexto.end()) {
            std::ifstream lectura(entrada.ruta, std::ios::binary);
            std::string texto((std::istreambuf_iterator<char>(lectura)), std::istreambuf_iterator<char>());
            if (lectura && LecturasProyecto::esUtf8(texto) &&
                (texto.find("AppPlantilla") != std::string::npos ||
                 texto.find("es.sorvenia.code.plantilla") != std::string::npos)) {
                reemplazarTodo(texto, "INFOPLIST_KEY_CFBundleDisplayName = \"Mi app\"",
                               "INFOPLIST_KEY_CFBundleDisplayName = \"" + limpio + "\"");
                reemplazarTodo(texto, "<string name=\"app_name\">AppPlantilla</string>",
                               "<string name=\"app_name\">" + limpio + "</string>");
                reemplazarTodo(texto, "es.sorvenia.code.plantilla", id);
                reemplazarTodo(texto, "AppPlantilla", tipo);
                if (auto escrito = escribirArchivo(entrada.ruta, texto); !escrito) return escrito.fallo();
            }
        }
        const auto nombre = entrada.ruta.filename().string();
        if (nombre.find("AppPlantilla") != std::string::npos) {
            fs::rename(entrada.ruta, entrada.ruta.parent_path() / reemplazado(nombre, "AppPlantilla", tipo), error);
            if (error) return falloSistema("renombrar " + nombre, error);
        }
    }
    return hecho();
}

// Copies "plantilla-ios" to "ios" and "plantilla-android" to "android" in
// the project folder (a template missing from the resources is skipped) and
// personalises them with the display name.
Hecho copiarPlantillaMovil(const fs::path& apps, const fs::path& a, const std::string& visible) {
    const std::string tipo = NombresProyecto::nombreTipo(visible);
    const std::string id = NombresProyecto::idAplicacion(tipo);
    for (const auto& [origen, nombre] :
         {std::pair{"plantilla-ios", "ios"}, std::pair{"plantilla-android", "android"}}) {
        std::error_code error;
        if (!fs::is_directory(apps / origen, error)) continue;
        const fs::path destino = a / nombre;
        fs::copy(apps / origen, destino, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
        if (error) return falloSistema(std::string("copiar la plantilla ") + nombre, error);
        if (auto hecho = personalizar(destino, tipo, id, visible); !hecho) return hecho;
        fs::remove(destino / "LEEME.md", error);
        if (std::string_view(nombre) != "android") continue;
        for (const char* ejecutable : {"gradlew", "herramientas/movil.sh"})
            fs::permissions(destino / ejecutable, static_cast<fs::perms>(0755), fs::perm_options::replace, error);
        const fs::path paquetes = destino / "app/src/main/java/es/sorvenia/code";
        if (fs::exists(paquetes / "plantilla", error)) {
            const std::string minusculas = NombresProyecto::idAplicacion(tipo).substr(std::strlen("es.sorvenia.code."));
            if (minusculas != "plantilla") fs::rename(paquetes / "plantilla", paquetes / minusculas, error);
            if (error) return falloSistema("renombrar el paquete de Android", error);
        }
    }
    return hecho();
}

// A git repository on branch "main" with the whole folder in one commit,
// when git is there; each command's failure is left alone.
void primerCommit(const std::string& git, const fs::path& carpeta) {
    if (!PublicarVPS::correr(git, {"--version"}, {}, std::nullopt).first) return;
    const std::string ruta = carpeta.string();
    (void)PublicarVPS::correr(git, {"-C", ruta, "init", "-q", "-b", "main"}, {}, std::nullopt);
    (void)PublicarVPS::correr(git, {"-C", ruta, "add", "-A"}, {}, std::nullopt);
    (void)PublicarVPS::correr(
        git,
        {"-C", ruta, "-c", std::string("user.name=") + nombreCommit, "-c", std::string("user.email=") + correoCommit,
         "-c", "commit.gpgsign=false", "commit", "-q", "-m", "Proyecto nuevo de Sorvenia Code"},
        {}, std::nullopt);
}

}  // namespace

std::string ProyectoAplicacion::slug(std::string_view nombre) { return NombresProyecto::slug(nombre); }

Resultado<fs::path> ProyectoAplicacion::crearCarpeta(const Lugares& lugares, const std::string& nombre, bool movil) {
    if (!lugares.apps) return Fallo{sinReglas, "plantilla"};
    const fs::path reglas = *lugares.apps / (movil ? "REGLAS-MOVIL.md" : "REGLAS.md");
    std::error_code error;
    fs::create_directories(lugares.raiz, error);
    if (error) return falloSistema("crear la carpeta de los proyectos", error);
    const bool sinNombre = nombre.empty() || nombre == "Sin título";
    auto carpeta = carpetaNueva(lugares.raiz, slug(sinNombre ? "mi-aplicacion" : nombre));
    if (!carpeta) return carpeta.fallo();
    for (const char* copia : {"CLAUDE.md", "AGENTS.md"}) {
        fs::copy_file(reglas, *carpeta / copia, error);
        if (error) return falloSistema(std::string("copiar las reglas a ") + copia, error);
    }
    std::string gitignore;
    for (const char* linea : lineasGitignore) gitignore += std::string(linea) + "\n";
    if (movil)
        for (const char* linea : lineasGitignoreMovil) gitignore += std::string(linea) + "\n";
    if (auto escrito = escribirArchivo(*carpeta / ".gitignore", gitignore); !escrito) return escrito.fallo();
    if (movil) {
        if (auto copiado = copiarPlantillaMovil(*lugares.apps, *carpeta, NombresProyecto::nombreVisible(nombre));
            !copiado)
            return copiado.fallo();
        const auto estado = LecturasProyecto::textoEstado({{"tipo", "movil"}});
        if (auto escrito = escribirArchivo(*carpeta / ".sorvenia-code.json", estado); !escrito) return escrito.fallo();
    }
    primerCommit(lugares.git, *carpeta);
    return carpeta;
}

Tarea<Resultado<std::shared_ptr<ProyectoAplicacion>>> ProyectoAplicacion::crear(std::string doc, std::string nombre,
                                                                                bool movil) {
    Lugares lugares{raiz(), Recursos::ruta("apps")};
    auto carpeta = co_await enSegundoPlano([lugares, nombre, movil] { return crearCarpeta(lugares, nombre, movil); });
    if (!carpeta) co_return carpeta.fallo();
    // The design's project is the newest one made for it.
    auto mapa = Preferencias::estandar().mapaTextos("appDeDiseno");
    mapa[doc] = carpeta->filename().string();
    Preferencias::estandar().fijarMapaTextos("appDeDiseno", mapa);
    co_return std::make_shared<ProyectoAplicacion>(*carpeta);
}

}  // namespace sorvenia
