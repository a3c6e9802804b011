#include "medios/fuentes.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <system_error>

#include "comun/texto.h"
#include "plataforma/carpetas.h"
#include "plataforma/cripto.h"
#include "plataforma/fichero_privado.h"

namespace sorvenia::Fuentes {
namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

constexpr std::array<std::string_view, 4> extensiones = {"ttf", "otf", "woff", "woff2"};

// Preferred when two files share a base name: the smaller web formats first.
int rango(const std::string& extension) {
    if (extension == "woff2") return 0;
    if (extension == "woff") return 1;
    if (extension == "otf") return 2;
    return 3;
}

std::optional<std::string> leerBytes(const fs::path& ruta) {
    // A folder opens like a file but throws when read.
    std::error_code ec;
    if (!fs::is_regular_file(ruta, ec)) return std::nullopt;
    std::ifstream f(ruta, std::ios::binary);
    if (!f) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void escribirIndice(const std::vector<Fuente>& fuentes) {
    (void)escribirPrivado(carpeta() / "fuentes.json", textoIndice(fuentes));
}

// The weight named by the style's words, compound words first.
std::optional<std::string> pesoDeEstilo(const std::string& estilo) {
    static const std::pair<const char*, const char*> tabla[] = {
        {"extrabold", "800"},  {"ultrabold", "800"}, {"semibold", "600"}, {"demibold", "600"}, {"extralight", "200"},
        {"ultralight", "200"}, {"hairline", "100"},  {"thin", "100"},     {"light", "300"},    {"book", "400"},
        {"regular", "400"},    {"medium", "500"},    {"heavy", "900"},    {"black", "900"},    {"bold", "700"}};
    std::string plano;
    for (const char c : enMinusculas(estilo))
        if (c != ' ' && c != '-' && c != '_') plano.push_back(c);
    for (const auto& [palabra, peso] : tabla)
        if (plano.find(palabra) != std::string::npos) return peso;
    return std::nullopt;
}

std::string listaFamilias(const std::set<std::string>& familias) {
    constexpr std::size_t maximo = 6;
    std::string t;
    std::size_t n = 0;
    for (const auto& f : familias) {
        if (n == maximo) return t + ", …";
        t += (n++ ? ", " : "") + f;
    }
    return t;
}

std::vector<fs::path> candidatas(const std::vector<fs::path>& rutas) {
    std::vector<fs::path> archivos;
    std::error_code ec;
    for (const auto& ruta : rutas) {
        if (fs::is_directory(ruta, ec)) {
            for (auto it = fs::recursive_directory_iterator(ruta, fs::directory_options::skip_permission_denied, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                if (it->is_regular_file(ec)) archivos.push_back(it->path());
        } else {
            archivos.push_back(ruta);
        }
    }
    std::map<std::string, fs::path> porBase;
    for (const auto& a : archivos) {
        const std::string nombre = a.filename().string();
        const std::string ext = extensionEnMinusculas(nombre);
        if (nombre.starts_with("._") || std::find(extensiones.begin(), extensiones.end(), ext) == extensiones.end())
            continue;
        const std::string base = enMinusculas(a.stem().string());
        const auto it = porBase.find(base);
        if (it == porBase.end() || rango(ext) < rango(extensionEnMinusculas(it->second.filename().string())))
            porBase[base] = a;
    }
    std::vector<fs::path> r;
    for (const auto& [base, ruta] : porBase) r.push_back(ruta);
    std::sort(r.begin(), r.end());
    return r;
}

std::string nombreGuardado(const std::string& original) {
    std::string limpio;
    for (const char c : original) {
        const bool bueno = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '_' || c == '-';
        limpio.push_back(bueno ? c : '-');
    }
    const auto id = uuid();
    return (id ? id->substr(0, 8) : std::string("00000000")) + "-" + limpio;
}

}  // namespace

fs::path carpeta() {
    const fs::path c = Carpetas::aplicacion() / "fuentes";
    std::error_code ec;
    fs::create_directories(c, ec);
    return c;
}

std::vector<Fuente> lista() {
    const auto texto = leerBytes(carpeta() / "fuentes.json");
    if (!texto) return {};
    auto fuentes = leerIndice(*texto);
    std::error_code ec;
    std::erase_if(fuentes, [&](const Fuente& f) { return !fs::is_regular_file(carpeta() / f.archivo, ec); });
    return fuentes;
}

Json json() {
    auto arreglo = Json::array();
    for (const auto& f : lista())
        arreglo.push_back({{"familia", f.familia},
                           {"peso", f.peso},
                           {"estilo", f.estilo},
                           {"archivo", f.archivo},
                           {"formato", f.formato}});
    return arreglo;
}

std::optional<Datos> leer(const fs::path& archivo) {
    FT_Library biblioteca = nullptr;
    if (FT_Init_FreeType(&biblioteca) != 0) return std::nullopt;
    std::optional<Datos> r;
    FT_Face cara = nullptr;
    if (FT_New_Face(biblioteca, archivo.c_str(), 0, &cara) == 0) {
        if (cara->family_name != nullptr && *cara->family_name != '\0') {
            const std::string estilo = cara->style_name != nullptr ? cara->style_name : "";
            Datos d;
            d.familia = cara->family_name;
            if (auto peso = pesoDeEstilo(estilo)) {
                d.peso = *peso;
            } else if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(cara, FT_SFNT_OS2));
                       os2 != nullptr && os2->usWeightClass >= 1 && os2->usWeightClass <= 1000) {
                const int redondo = std::clamp((os2->usWeightClass + 50) / 100 * 100, 100, 900);
                d.peso = std::to_string(redondo);
            } else {
                d.peso = (cara->style_flags & FT_STYLE_FLAG_BOLD) != 0 ? "700" : "400";
            }
            const bool inclinada = (cara->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
            d.estilo = !inclinada                                                  ? "normal"
                       : enMinusculas(estilo).find("oblique") != std::string::npos ? "oblique"
                                                                                   : "italic";
            r = std::move(d);
        }
        FT_Done_Face(cara);
    }
    FT_Done_FreeType(biblioteca);
    return r;
}

std::string anadir(const std::vector<fs::path>& rutas) {
    const auto elegidas = candidatas(rutas);
    if (elegidas.empty()) return "No había fuentes en lo que has elegido (.ttf, .otf, .woff o .woff2).";
    auto fuentes = lista();
    int anadidas = 0, ilegibles = 0, repetidas = 0;
    std::set<std::string> familias;
    for (const auto& ruta : elegidas) {
        const auto datos = leer(ruta);
        if (!datos) {
            ++ilegibles;
            continue;
        }
        const bool yaEsta = std::any_of(fuentes.begin(), fuentes.end(), [&](const Fuente& f) {
            return f.familia == datos->familia && f.peso == datos->peso && f.estilo == datos->estilo;
        });
        if (yaEsta) {
            ++repetidas;
            continue;
        }
        const std::string guardado = nombreGuardado(ruta.filename().string());
        std::error_code ec;
        if (!nombreValido(guardado) || !fs::copy_file(ruta, carpeta() / guardado, ec) || ec) {
            ++ilegibles;
            continue;
        }
        fuentes.push_back({datos->familia, datos->peso, datos->estilo, guardado,
                           formato(extensionEnMinusculas(ruta.filename().string()))});
        familias.insert(datos->familia);
        ++anadidas;
    }
    if (anadidas > 0) escribirIndice(fuentes);
    std::string mensaje;
    if (anadidas > 0) {
        const auto nf = familias.size();
        mensaje = "Añadidas " + std::to_string(anadidas) + " fuente" + (anadidas == 1 ? "" : "s") + " de " +
                  std::to_string(nf) + " familia" + (nf == 1 ? "" : "s") + ": " + listaFamilias(familias) + ".";
    } else if (repetidas > 0) {
        mensaje = "Esas fuentes ya estaban.";
    }
    if (ilegibles > 0) mensaje += (mensaje.empty() ? "" : " ") + std::to_string(ilegibles) + " no se han podido leer.";
    return mensaje;
}

void borrarFamilia(const std::string& familia) {
    auto fuentes = lista();
    std::error_code ec;
    for (const auto& f : fuentes)
        if (f.familia == familia) fs::remove(carpeta() / f.archivo, ec);
    std::erase_if(fuentes, [&](const Fuente& f) { return f.familia == familia; });
    escribirIndice(fuentes);
}

std::string incrustar(const std::string& html) {
    constexpr std::string_view prefijo = "fuente://local/";
    if (html.find(prefijo) == std::string::npos) return html;
    static const std::regex patron("fuente://local/([A-Za-z0-9][A-Za-z0-9._-]{0,120})");
    std::vector<std::smatch> encontrados;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), patron); it != std::sregex_iterator(); ++it)
        encontrados.push_back(*it);
    std::string r = html;
    std::map<std::string, std::optional<std::string>> hechos;
    for (auto it = encontrados.rbegin(); it != encontrados.rend(); ++it) {
        const std::string nombre = (*it)[1].str();
        auto hecho = hechos.find(nombre);
        if (hecho == hechos.end()) {
            std::optional<std::string> uri;
            if (nombreValido(nombre))
                if (const auto bytes = leerBytes(carpeta() / nombre)) {
                    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes->data());
                    uri = "data:" + mime(nombre) + ";base64," + base64({p, bytes->size()});
                }
            hecho = hechos.emplace(nombre, std::move(uri)).first;
        }
        if (hecho->second)
            r.replace(static_cast<std::size_t>(it->position(0)), static_cast<std::size_t>(it->length(0)),
                      *hecho->second);
    }
    return r;
}

std::optional<std::string> servir(std::string_view url) {
    const auto nombre = nombreDeUrl(url);
    if (!nombre) return std::nullopt;
    // A link in the folder could lead anywhere on the disk.
    const fs::path ruta = carpeta() / *nombre;
    std::error_code ec;
    if (fs::symlink_status(ruta, ec).type() != fs::file_type::regular) return std::nullopt;
    return leerBytes(ruta);
}

}  // namespace sorvenia::Fuentes
