#include "servidores/archivos_remotos.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "comun/shell.h"

namespace sorvenia::ArchivosRemotos {
namespace {

using nlohmann::json;

constexpr std::array<std::string_view, 17> sistema = {"/bin",   "/boot", "/dev",  "/etc",  "/home", "/lib",
                                                      "/lib64", "/proc", "/root", "/sbin", "/sys",  "/usr",
                                                      "/var",   "/opt",  "/srv",  "/run",  "/tmp"};

double numero(std::string_view t) {
    double v = 0;
    const auto [fin, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || fin != t.data() + t.size() || !std::isfinite(v)) return 0;
    return v;
}

std::optional<json> entrada(std::string_view linea) {
    std::vector<std::string_view> campos;
    while (campos.size() < 4) {
        const auto tab = linea.find('\t');
        if (tab == std::string_view::npos) return std::nullopt;
        campos.push_back(linea.substr(0, tab));
        linea.remove_prefix(tab + 1);
    }
    campos.push_back(linea);  // the name keeps any tab it holds
    const std::string tipo = campos[0] == "d" ? "dir" : campos[0] == "l" ? "enlace" : "fich";
    return json{{"tipo", tipo},
                {"tam", numero(campos[1])},
                {"fecha", numero(campos[2])},
                {"permisos", std::string(campos[3])},
                {"nombre", std::string(campos[4])}};
}

std::vector<std::string_view> lineasNoVacias(std::string_view t) {
    std::vector<std::string_view> r;
    std::size_t i = 0;
    while (i <= t.size()) {
        const auto fin = std::min(t.find('\n', i), t.size());
        if (fin > i) r.push_back(t.substr(i, fin - i));
        i = fin + 1;
    }
    return r;
}

}  // namespace

std::string ordenListar(const std::string& ruta) {
    return "cd " + comillasShell(ruta) +
           " 2>/dev/null || cd /root; pwd -P; find . -maxdepth 1 -mindepth 1 -printf '%y\\t%s\\t%T@\\t%M\\t%f\\n' "
           "2>/dev/null | sort -t$'\\t' -k1,1 -k5,5f | head -2000";
}

json leerListado(std::string_view salida) {
    json items = json::array();
    const auto primera = salida.find('\n');
    const std::string ruta(salida.substr(0, primera));
    if (primera != std::string_view::npos) {
        std::string_view resto = salida.substr(primera + 1);
        for (;;) {
            const auto fin = resto.find('\n');
            if (auto e = entrada(resto.substr(0, fin))) items.push_back(std::move(*e));
            if (fin == std::string_view::npos) break;
            resto.remove_prefix(fin + 1);
        }
    }
    return {{"ruta", ruta}, {"items", items}};
}

std::string ordenTipo(const std::string& ruta) {
    const std::string q = comillasShell(ruta);
    return "file -b --mime-encoding " + q + " 2>/dev/null; stat -c %s " + q;
}

std::string ordenLeer(const std::string& ruta) { return "head -c 262144 " + comillasShell(ruta); }

std::optional<json> verBinario(const std::string& ruta, std::string_view tipo) {
    const auto l = lineasNoVacias(tipo);
    if (l.empty() || l.front() != "binary") return std::nullopt;
    return json{{"ruta", ruta}, {"binario", true}, {"tam", numero(l.back())}};
}

json leerTexto(const std::string& ruta, std::string_view tipo, bool ok, std::string texto) {
    const auto l = lineasNoVacias(tipo);
    const bool cortado = !l.empty() && numero(l.back()) > static_cast<double>(maximoVer);
    return {{"ruta", ruta},
            {"texto", ok ? std::move(texto) : std::string()},
            {"error", ok ? json(nullptr) : json("No se ha podido abrir.")},
            {"cortado", cortado}};
}

std::optional<std::string> normalizar(std::string_view ruta) {
    if (ruta.empty() || ruta.front() != '/') return std::nullopt;
    std::vector<std::string_view> partes;
    std::size_t i = 0;
    while (i < ruta.size()) {
        const auto fin = std::min(ruta.find('/', i), ruta.size());
        const auto parte = ruta.substr(i, fin - i);
        if (parte == "..") {
            if (!partes.empty()) partes.pop_back();
        } else if (!parte.empty() && parte != ".") {
            partes.push_back(parte);
        }
        i = fin + 1;
    }
    std::string r;
    for (const auto p : partes) (r += '/') += p;
    return r.empty() ? "/" : r;
}

bool protegida(std::string_view ruta) {
    return ruta == "/" || std::find(sistema.begin(), sistema.end(), ruta) != sistema.end();
}

std::string ordenCarpeta(const std::string& ruta) { return "mkdir -p " + comillasShell(ruta); }

std::string ordenRenombrar(const std::string& ruta, const std::string& destino) {
    return "mv -n " + comillasShell(ruta) + " " + comillasShell(destino);
}

std::string ordenBorrar(const std::string& ruta) { return "rm -rf -- " + comillasShell(ruta); }

std::string avisoHecho(std::string_view tipo) {
    if (tipo == "carpeta") return "Carpeta creada";
    if (tipo == "renombrar") return "Renombrado";
    if (tipo == "borrar") return "Borrado";
    return "Hecho";
}

std::vector<std::string> argumentosScp(const std::filesystem::path& configuracion,
                                       const std::vector<std::string>& fuentes, const std::string& destino) {
    std::vector<std::string> a{"-F", configuracion.string(), "-o", "BatchMode=yes", "-r", "-q", "-O"};
    a.insert(a.end(), fuentes.begin(), fuentes.end());
    a.push_back(destino);
    return a;
}

std::string remota(const std::string& alias, const std::string& ruta) { return alias + ":" + comillasShell(ruta); }

std::string nombreDe(std::string_view ruta) {
    while (ruta.size() > 1 && ruta.back() == '/') ruta.remove_suffix(1);
    const auto barra = ruta.rfind('/');
    return std::string(barra == std::string_view::npos ? ruta : ruta.substr(barra + 1));
}

std::string padreDe(std::string_view ruta) {
    const auto barra = ruta.rfind('/');
    if (barra == std::string_view::npos || barra == 0) return "/";
    return std::string(ruta.substr(0, barra));
}

std::filesystem::path destinoLibre(const std::filesystem::path& carpeta, const std::string& nombre) {
    std::error_code ec;
    const auto libre = [&](const std::filesystem::path& p) {
        return !std::filesystem::exists(std::filesystem::symlink_status(p, ec));
    };
    if (libre(carpeta / nombre)) return carpeta / nombre;
    // "a.txt" gives "a (2).txt"; a leading dot belongs to the name
    // (".bashrc (2)").
    const auto punto = nombre.rfind('.');
    const bool conExtension = punto != std::string::npos && punto > 0;
    const std::string base = conExtension ? nombre.substr(0, punto) : nombre;
    const std::string extension = conExtension ? nombre.substr(punto) : "";
    for (int n = 2;; ++n) {
        const auto candidato = carpeta / (base + " (" + std::to_string(n) + ")" + extension);
        if (libre(candidato)) return candidato;
    }
}

std::string avisoSubiendo(std::size_t n) {
    return "Subiendo " + std::to_string(n) + (n == 1 ? " elemento" : " elementos") + "\u2026";
}

}  // namespace sorvenia::ArchivosRemotos
