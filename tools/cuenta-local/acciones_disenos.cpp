// Designs: open, save with version checks, delete, photos, previews, scene
// files and publication to a hosting service.
#include <regex>

#include "acciones.h"
#include "utiles.h"

namespace sorvenia::cuenta_local {
namespace {

using nlohmann::json;

constexpr std::size_t disenoMaximo = 4u * 1024u * 1024u;
constexpr std::int64_t vidaPrevia = 7 * 24 * 3600;

// The design named by the body's "id", or nothing.
std::optional<json> disenoDelCuerpo(Estado& e, const json& cuerpo, const json& cliente) {
    if (!cuerpo.contains("id") || !cuerpo["id"].is_string()) return std::nullopt;
    return e.almacen.diseno(idDe(cliente), cuerpo["id"]);
}

std::optional<json> porReferencia(Estado& e, const json& cliente, const std::string& ref) {
    for (auto& d : e.almacen.disenos(idDe(cliente)))
        if (d.value("cliente_ref", "") == ref) return d;
    return std::nullopt;
}

bool tiposDeGuardado(const json& c) {
    const auto textoOpcional = [&](const char* k) { return !c.contains(k) || c[k].is_string() || c[k].is_null(); };
    return c.contains("nombre") && c["nombre"].is_string() && c.contains("doc") && textoOpcional("id") &&
           textoOpcional("miniatura") && textoOpcional("cliente_ref") &&
           (!c.contains("version") || c["version"].is_number_integer());
}

json disenoNuevo(const json& cuerpo, const std::string& fecha) {
    json d{{"id", azarHex(8)}, {"version", 0}, {"creado", fecha}};
    if (cuerpo.contains("cliente_ref") && cuerpo["cliente_ref"].is_string()) d["cliente_ref"] = cuerpo["cliente_ref"];
    return d;
}

std::int64_t paginasEn(const std::map<std::string, std::string>& archivos) {
    std::int64_t n = 0;
    for (const auto& [ruta, texto] : archivos)
        if (ruta.size() > 5 && ruta.compare(ruta.size() - 5, 5, ".html") == 0) ++n;
    return n;
}

bool escribirArchivos(const std::filesystem::path& carpeta, const std::map<std::string, std::string>& archivos) {
    std::error_code error;
    std::filesystem::remove_all(carpeta, error);
    for (const auto& [ruta, texto] : archivos)
        if (!escribirFichero(carpeta / ruta, texto)) return false;
    return true;
}

std::optional<json> hostingDe(const json& cliente, const json& servicio) {
    if (!servicio.is_number_integer()) return std::nullopt;
    for (const auto& h : cliente.value("hostings", json::array()))
        if (h.value("id", std::int64_t{-1}) == servicio.get<std::int64_t>()) return h;
    return std::nullopt;
}

}  // namespace

Respuesta abrir(Estado& e, const Peticion& p, const json& cliente) {
    const auto d = e.almacen.diseno(idDe(cliente), p.consulta.at("id"));
    if (!d) return disenoNoExiste();
    json r{{"diseno", {{"id", (*d)["id"]}, {"nombre", (*d)["nombre"]}, {"version", (*d)["version"]}, {"doc", d->value("doc", json())}}},
           {"hostings", cliente.value("hostings", json::array())},
           {"vps", cliente.value("vps", json::array())}};
    if (d->contains("publicada")) r["publicada"] = (*d)["publicada"];
    if (d->contains("previa") && (*d)["previa"].value("caduca", "") > fechaTexto()) r["previa"] = (*d)["previa"];
    return respuestaJSON(r);
}

Respuesta guardar(Estado& e, const Peticion& p, const json& cliente) {
    if (p.cuerpo.size() > disenoMaximo) return {413, "", "text/plain", {}};
    const auto cuerpo = objetoDelCuerpo(p);
    if (!cuerpo || !tiposDeGuardado(*cuerpo)) return cuerpoNoValido();
    std::optional<json> d;
    if (cuerpo->contains("id") && (*cuerpo)["id"].is_string()) {
        d = e.almacen.diseno(idDe(cliente), (*cuerpo)["id"]);
        if (!d) return disenoNoExiste();
        if (cuerpo->contains("version") && (*cuerpo)["version"] != (*d)["version"])
            return respuestaError(409, "conflicto", "Este diseño se ha cambiado en otro equipo.");
    } else if (cuerpo->contains("cliente_ref") && (*cuerpo)["cliente_ref"].is_string()) {
        d = porReferencia(e, cliente, (*cuerpo)["cliente_ref"]);  // a retry whose answer was lost
    }
    // One clock reading: a new design is created and modified at the same
    // second even when a second boundary falls in between.
    const std::string ahora = fechaTexto();
    if (!d) d = disenoNuevo(*cuerpo, ahora);
    (*d)["nombre"] = (*cuerpo)["nombre"];
    (*d)["doc"] = (*cuerpo)["doc"];
    if (cuerpo->contains("miniatura") && (*cuerpo)["miniatura"].is_string()) (*d)["miniatura"] = (*cuerpo)["miniatura"];
    (*d)["version"] = d->value("version", std::int64_t{0}) + 1;
    (*d)["modificado"] = ahora;
    if (!e.almacen.guardarDiseno(idDe(cliente), *d)) return respuestaError(500, "almacen", "No se ha podido guardar.");
    return respuestaJSON({{"diseno", resumenDeDiseno(*d)}});
}

Respuesta borrar(Estado& e, const Peticion& p, const json& cliente) {
    const auto cuerpo = objetoDelCuerpo(p);
    if (!cuerpo || !cuerpo->contains("id") || !(*cuerpo)["id"].is_string()) return cuerpoNoValido();
    return respuestaJSON({{"ok", e.almacen.borrarDiseno(idDe(cliente), (*cuerpo)["id"])}});
}

Respuesta fotos(Estado&, const Peticion& p, const json&) {
    const auto cuerpo = objetoDelCuerpo(p);
    if (!cuerpo || !cuerpo->contains("html") || !(*cuerpo)["html"].is_string()) return cuerpoNoValido();
    static const std::regex marcador(R"re(src\s*=\s*"(?:foto:|photo:)\s*([^"]{2,120})")re", std::regex::icase);
    const std::string html = (*cuerpo)["html"];
    std::string salida;
    int n = 0;
    auto desde = html.cbegin();
    for (std::sregex_iterator it(html.begin(), html.end(), marcador), fin; it != fin; ++it) {
        salida.append(desde, (*it)[0].first);
        salida += "src=\"" + p.base + "/fotos/" + std::to_string(++n) + ".svg?q=" + codificarURL((*it)[1].str()) + "\"";
        desde = (*it)[0].second;
    }
    salida.append(desde, html.cend());
    return respuestaJSON({{"html", salida}});
}

Respuesta previa(Estado& e, const Peticion& p, const json& cliente) {
    const auto cuerpo = objetoDelCuerpo(p);
    const auto archivos = cuerpo ? archivosDe(*cuerpo) : std::nullopt;
    if (!archivos) return cuerpoNoValido();
    auto d = disenoDelCuerpo(e, *cuerpo, cliente);
    if (!d) return disenoNoExiste();
    if (d->contains("previa")) {
        std::error_code error;
        std::filesystem::remove_all(e.almacen.carpetaPrevia((*d)["previa"].value("slug", "x")), error);
    }
    const std::string slug = azarHex(5);
    if (!escribirArchivos(e.almacen.carpetaPrevia(slug), *archivos))
        return respuestaError(500, "almacen", "No se ha podido guardar la previa.");
    const json registro{{"url", p.base + "/p/" + slug + "/"}, {"slug", slug}, {"caduca", fechaTexto(vidaPrevia)},
                        {"paginas", paginasEn(*archivos)}};
    (*d)["previa"] = registro;
    e.almacen.guardarDiseno(idDe(cliente), *d);
    return respuestaJSON({{"previa", registro}});
}

Respuesta recursos(Estado& e, const Peticion& p, const json& cliente) {
    const auto cuerpo = objetoDelCuerpo(p);
    if (!cuerpo) return cuerpoNoValido();
    const auto d = disenoDelCuerpo(e, *cuerpo, cliente);
    if (!d) return disenoNoExiste();
    const auto carpeta = e.almacen.carpetaEscenas(idDe(cliente), (*d)["id"]);
    json mapa = json::object();
    std::error_code error;
    for (const auto& f : std::filesystem::recursive_directory_iterator(carpeta, error))
        if (f.is_regular_file())
            mapa[f.path().lexically_relative(carpeta).generic_string()] = sha256Hex(leerFichero(f.path()).value_or(""));
    return respuestaJSON({{"recursos", mapa}});
}

Respuesta recurso(Estado& e, const Peticion& p, const json& cliente) {
    const auto id = p.consulta.find("id");
    const auto ruta = p.consulta.find("ruta");
    if (id == p.consulta.end() || ruta == p.consulta.end() || !rutaRelativaSegura(ruta->second)) return cuerpoNoValido();
    if (!e.almacen.diseno(idDe(cliente), id->second)) return disenoNoExiste();
    if (!escribirFichero(e.almacen.carpetaEscenas(idDe(cliente), id->second) / ruta->second, p.cuerpo))
        return respuestaError(500, "almacen", "No se ha podido guardar el archivo.");
    return respuestaJSON({{"recurso", {{"ruta", ruta->second}, {"sha256", sha256Hex(p.cuerpo)}, {"bytes", p.cuerpo.size()}}}});
}

Respuesta hosting(Estado& e, const Peticion& p, const json& cliente) {
    const auto cuerpo = objetoDelCuerpo(p);
    const auto archivos = cuerpo ? archivosDe(*cuerpo) : std::nullopt;
    if (!archivos || !cuerpo->contains("carpeta") || !(*cuerpo)["carpeta"].is_string() ||
        !rutaRelativaSegura((*cuerpo)["carpeta"].get<std::string>(), true))
        return cuerpoNoValido();
    auto d = disenoDelCuerpo(e, *cuerpo, cliente);
    if (!d) return disenoNoExiste();
    const auto h = hostingDe(cliente, cuerpo->value("servicio", json()));
    if (!h) return respuestaError(404, "no_existe", "Ese hosting no está en tu cuenta.");
    const std::string carpeta = (*cuerpo)["carpeta"];
    const std::int64_t servicio = (*h)["id"];
    if (!escribirArchivos(e.almacen.carpetaSitio(servicio, carpeta), *archivos))
        return respuestaError(500, "almacen", "No se ha podido publicar.");
    const json publicada{{"servicio", servicio},
                         {"dominio", (*h)["dominio"]},
                         {"carpeta", carpeta},
                         {"url", p.base + "/sitios/" + std::to_string(servicio) + "/" + carpeta + (carpeta.empty() ? "" : "/")},
                         {"paginas", paginasEn(*archivos)},
                         {"fecha", fechaTexto()}};
    (*d)["publicada"] = publicada;
    e.almacen.guardarDiseno(idDe(cliente), *d);
    return respuestaJSON({{"publicada", publicada}});
}

}  // namespace sorvenia::cuenta_local
