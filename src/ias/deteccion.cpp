#include "ias/deteccion.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "comun/conexion_tarvel.h"
#include "comun/texto.h"
#include "ias/correr_corto.h"
#include "ias/path_terminal.h"

namespace sorvenia::IAsLocales {
namespace {

bool esEjecutable(const std::string& ruta) {
    std::error_code ec;
    return std::filesystem::is_regular_file(ruta, ec) && access(ruta.c_str(), X_OK) == 0;
}

std::vector<std::string> argumentosDeSonda(IA::Tipo tipo) {
    switch (tipo) {
        case IA::Tipo::claude: return {"auth", "status"};
        case IA::Tipo::codex: return {"login", "status"};
        case IA::Tipo::gemini: return {"--version"};
    }
    return {};
}

bool contiene(const std::string& texto, std::string_view parte) {
    return texto.find(parte) != std::string::npos;
}

std::string recortar(std::string_view texto) {
    const auto blanco = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!texto.empty() && blanco(texto.front())) texto.remove_prefix(1);
    while (!texto.empty() && blanco(texto.back())) texto.remove_suffix(1);
    return std::string(texto);
}

// npm's own expansions of a configured path: "${NAME}" from the environment,
// then a leading "~" for the home folder.
std::string expandirNpm(const std::string& valor, const Entorno& entorno, const std::filesystem::path& casa) {
    std::string resultado;
    for (std::size_t i = 0; i < valor.size();) {
        const auto fin = valor.find('}', i);
        if (valor.compare(i, 2, "${") == 0 && fin != std::string::npos) {
            const auto variable = entorno.find(valor.substr(i + 2, fin - i - 2));
            if (variable != entorno.end()) resultado += variable->second;
            i = fin + 1;
        } else {
            resultado += valor[i++];
        }
    }
    if (resultado == "~" || resultado.rfind("~/", 0) == 0) resultado = casa.string() + resultado.substr(1);
    return resultado;
}

// The last "prefix" of an npmrc file, or nothing.
std::optional<std::string> prefijoDeNpmrc(const std::filesystem::path& fichero) {
    std::ifstream entrada(fichero);
    std::optional<std::string> prefijo;
    std::string linea;
    while (std::getline(entrada, linea)) {
        const std::string limpia = recortar(linea);
        if (limpia.empty() || limpia.front() == ';' || limpia.front() == '#') continue;
        const auto igual = limpia.find('=');
        if (igual == std::string::npos || recortar(limpia.substr(0, igual)) != "prefix") continue;
        std::string valor = recortar(limpia.substr(igual + 1));
        if (valor.size() >= 2 && (valor.front() == '"' || valor.front() == '\'') && valor.back() == valor.front())
            valor = valor.substr(1, valor.size() - 2);
        prefijo = valor;
    }
    return prefijo;
}

struct FilaDeteccion {
    IA::Tipo tipo;
    const char* nombre;
    const char* detalle;
};

constexpr FilaDeteccion tablaDeteccion[] = {
    {IA::Tipo::claude, "Claude", "Claude Code · tu cuenta de Claude"},
    {IA::Tipo::codex, "ChatGPT Codex", "Codex · tu cuenta de ChatGPT"},
    // Offered for one-shot designs; it answers "--version" whether signed in
    // or not, so a turn is what tells a signed-out gemini apart.
    {IA::Tipo::gemini, "Gemini", "Gemini CLI · tu cuenta de Google"},
};

}  // namespace

namespace detalle {

std::optional<std::string> buscarEn(const std::string& path, const std::string& nombre) {
    for (const auto& carpeta : carpetasDelPath(path)) {
        std::string ruta = carpeta + "/" + nombre;
        if (esEjecutable(ruta)) return ruta;
    }
    return std::nullopt;
}

std::vector<std::string> candidatasEn(IA::Tipo tipo, const Lugares& lugares) {
    std::vector<std::string> lista;
    const auto anadir = [&](const std::optional<std::string>& ruta) {
        if (ruta && std::find(lista.begin(), lista.end(), *ruta) == lista.end()) lista.push_back(*ruta);
    };
    const std::string nombre(IA::texto(tipo));
    const auto enLugares = [&] {
        for (const auto& carpeta : lugares.carpetas) anadir(carpeta + "/" + nombre);
    };
    switch (tipo) {
        case IA::Tipo::claude:
            enLugares();
            anadir(buscarEn(lugares.path, nombre));
            break;
        case IA::Tipo::codex:
            anadir(buscarEn(lugares.path, nombre));
            enLugares();
            break;
        case IA::Tipo::gemini: anadir(buscarEn(lugares.path, nombre)); break;
    }
    std::erase_if(lista, [](const std::string& ruta) { return !esEjecutable(ruta); });
    return lista;
}

Entorno entornoDeSonda(const std::string& path) {
    Entorno entorno = entornoPropio();
    entorno["PATH"] = path;
    entorno.erase("CLAUDECODE");
    return entorno;
}

bool conSesionCon(IA::Tipo tipo, const std::string& ruta, const Entorno& entorno, double limite) {
    const auto salida = correrCorto(ruta, argumentosDeSonda(tipo), entorno, limite);
    if (!salida) return false;
    switch (tipo) {
        case IA::Tipo::claude:
            return contiene(salida->texto, "\"loggedIn\": true") || contiene(salida->texto, "\"loggedIn\":true");
        case IA::Tipo::codex: {
            const std::string texto = enMinusculas(salida->texto);
            return contiene(texto, "logged in") && !contiene(texto, "not logged");
        }
        case IA::Tipo::gemini: return salida->estado == 0;
    }
    return false;
}

std::vector<IA> detectarEn(const Lugares& lugares, const Entorno& entorno, double limite, std::stop_token parar) {
    std::vector<IA> lista;
    for (const auto& fila : tablaDeteccion) {
        const auto candidatas = candidatasEn(fila.tipo, lugares);
        if (candidatas.empty()) continue;
        std::optional<std::string> conCuenta;
        for (const auto& ruta : candidatas) {
            if (parar.stop_requested()) return lista;
            if (conSesionCon(fila.tipo, ruta, entorno, limite)) {
                conCuenta = ruta;
                break;
            }
        }
        lista.push_back(IA{fila.tipo, fila.nombre, fila.detalle, conCuenta.value_or(candidatas.front()),
                           conCuenta.has_value()});
    }
    return lista;
}

std::optional<std::string> binGlobalNpm(const Entorno& entorno, const std::filesystem::path& casa,
                                        const std::string& path) {
    std::optional<std::string> prefijo;
    for (const auto& [nombre, valor] : entorno) {
        if (!valor.empty() && enMinusculas(nombre) == "npm_config_prefix") {
            prefijo = valor;
            break;
        }
    }
    if (!prefijo) prefijo = prefijoDeNpmrc(casa / ".npmrc");
    if (prefijo) {
        prefijo = expandirNpm(*prefijo, entorno, casa);
    } else if (const auto node = buscarEn(path, "node")) {
        std::error_code ec;
        const auto real = std::filesystem::canonical(*node, ec);
        if (!ec) prefijo = real.parent_path().parent_path().string();
    }
    if (!prefijo || prefijo->empty() || prefijo->front() != '/') return std::nullopt;
    return (std::filesystem::path(*prefijo) / "bin").string();
}

std::vector<std::string> lugaresPara(const std::filesystem::path& casa, const std::optional<std::string>& binNpm) {
    // The home folder is written as pathDeTerminal writes it, so that a
    // folder that is on both lists is recognised as the same.
    const std::string h = casa.string();
    std::vector<std::string> carpetas;
    if (binNpm) carpetas.push_back(*binNpm);
    for (std::string c : {h + "/.local/bin", std::string("/usr/local/bin"), h + "/.npm-global/bin"})
        carpetas.push_back(std::move(c));
    return carpetas;
}

Lugares lugaresDelSistema() {
    const std::string& path = pathDeTerminal();
    const auto& casa = ConexionTarvel::casa();
    return {path, lugaresPara(casa, binGlobalNpm(entornoPropio(), casa, path))};
}

}  // namespace detalle

std::vector<std::string> lugaresDeInstalacion() {
    return detalle::lugaresDelSistema().carpetas;
}

std::optional<std::string> buscar(const std::string& nombre) {
    return detalle::buscarEn(pathDeTerminal(), nombre);
}

std::vector<std::string> candidatas(IA::Tipo tipo) {
    return detalle::candidatasEn(tipo, detalle::lugaresDelSistema());
}

bool conSesion(IA::Tipo tipo, const std::string& ruta) {
    return detalle::conSesionCon(tipo, ruta, detalle::entornoDeSonda(pathDeTerminal()), limiteSonda);
}

Tarea<std::vector<IA>> detectar() {
    try {
        co_return co_await enSegundoPlano([](std::stop_token parar) {
            try {
                const auto lugares = detalle::lugaresDelSistema();
                return detalle::detectarEn(lugares, detalle::entornoDeSonda(lugares.path), limiteSonda, parar);
            } catch (...) {
                return std::vector<IA>{};
            }
        });
    } catch (...) {
        co_return std::vector<IA>{};
    }
}

}  // namespace sorvenia::IAsLocales
