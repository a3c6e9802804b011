#include "ias/lineas_turno.h"

#include <filesystem>

namespace sorvenia::IAsLocales {
namespace {

using Json = nlohmann::json;

Json objeto(std::string_view linea) {
    Json valor = Json::parse(linea, nullptr, false);
    return valor.is_object() ? valor : Json();
}

const Json* clave(const Json& o, const char* nombre) {
    if (!o.is_object()) return nullptr;
    const auto it = o.find(nombre);
    return it == o.end() ? nullptr : &*it;
}

std::optional<std::string> textoEn(const Json& o, const char* nombre) {
    const Json* v = clave(o, nombre);
    if (!v || !v->is_string()) return std::nullopt;
    return v->get<std::string>();
}

bool contiene(std::string_view texto, std::string_view parte) { return texto.find(parte) != std::string_view::npos; }

std::string ultimoComponente(const std::string& ruta) {
    std::string_view r = ruta;
    while (r.size() > 1 && r.back() == '/') r.remove_suffix(1);
    const auto barra = r.rfind('/');
    return std::string(barra == std::string_view::npos ? r : r.substr(barra + 1));
}

// The host of an absolute URL ("scheme://host[:port]/..."), if it has one.
std::optional<std::string> anfitrion(const std::string& url) {
    const auto esquema = url.find("://");
    if (esquema == std::string::npos || esquema == 0) return std::nullopt;
    std::string resto = url.substr(esquema + 3);
    resto = resto.substr(0, resto.find_first_of("/?#"));
    if (const auto arroba = resto.rfind('@'); arroba != std::string::npos) resto = resto.substr(arroba + 1);
    if (!resto.empty() && resto.front() == '[') {
        const auto cierre = resto.find(']');
        resto = cierre == std::string::npos ? "" : resto.substr(1, cierre - 1);
    } else {
        resto = resto.substr(0, resto.find(':'));
    }
    if (resto.empty()) return std::nullopt;
    return resto;
}

std::string porDefecto(const std::string& nombre) { return "Usando " + nombre + "…"; }

std::string sinAsteriscosDobles(std::string texto) {
    for (auto i = texto.find("**"); i != std::string::npos; i = texto.find("**", i)) texto.erase(i, 2);
    return texto;
}

bool enBlanco(std::string_view linea) { return linea.find_first_not_of(" \t\r") == std::string_view::npos; }

}  // namespace

std::size_t contarCaracteres(std::string_view utf8) {
    std::size_t n = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

std::string_view primerosCaracteres(std::string_view utf8, std::size_t cuantos) {
    std::size_t vistos = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
        if (vistos == cuantos) return utf8.substr(0, i);
        ++vistos;
    }
    return utf8;
}

std::string lineaEscribiendo(std::string_view pagina) {
    return "Escribiendo la página… " + std::to_string(contarCaracteres(pagina) / 1000) + " mil caracteres";
}

std::string lineaHerramientaClaude(const std::string& nombre, const Json& entrada) {
    if (nombre == "Skill") {
        auto skill = textoEn(entrada, "skill");
        if (!skill) skill = textoEn(entrada, "name");
        return skill ? "Leyendo la skill «" + *skill + "»…" : porDefecto(nombre);
    }
    if (nombre == "Read") {
        const auto ruta = textoEn(entrada, "file_path");
        if (!ruta) return porDefecto(nombre);
        if (ruta->ends_with("captura.png")) return "Mirando la captura de su diseño…";
        const std::string ultimo = ultimoComponente(*ruta);
        if (ultimo == "SKILL.md") {
            const auto barra = ruta->rfind('/');
            const std::string carpeta = barra == std::string::npos ? "" : ultimoComponente(ruta->substr(0, barra));
            return "Leyendo la skill «" + carpeta + "»…";
        }
        return "Leyendo " + ultimo + "…";
    }
    if (nombre == "Glob" || nombre == "Grep") return "Buscando entre las skills de diseño…";
    if (nombre == "WebSearch") {
        const auto consulta = textoEn(entrada, "query");
        if (!consulta) return porDefecto(nombre);
        return "Buscando en internet: «" + std::string(primerosCaracteres(*consulta, 60)) + "»…";
    }
    if (nombre == "WebFetch") {
        const auto url = textoEn(entrada, "url");
        if (!url) return porDefecto(nombre);
        return "Mirando " + anfitrion(*url).value_or(*url) + "…";
    }
    return porDefecto(nombre);
}

std::vector<AvisoTurno> leerLineaClaude(std::string_view linea, EstadoDirecto& estado, Instante ahora) {
    std::vector<AvisoTurno> avisos;
    const Json evento = objeto(linea);
    const auto tipo = textoEn(evento, "type");
    if (!tipo) return avisos;
    if (*tipo == "stream_event") {
        const Json* dentro = clave(evento, "event");
        const auto tipoEvento = dentro ? textoEn(*dentro, "type") : std::nullopt;
        if (tipoEvento == "message_start") {
            estado.texto.clear();
        } else if (tipoEvento == "content_block_delta") {
            const Json* delta = clave(*dentro, "delta");
            if (!delta || textoEn(*delta, "type") != "text_delta") return avisos;
            const auto trozo = textoEn(*delta, "text");
            if (!trozo) return avisos;
            estado.texto += *trozo;
            const bool aTiempo = !estado.ultimoEnvio ||
                                 std::chrono::duration<double>(ahora - *estado.ultimoEnvio).count() >
                                     segundosEntreParciales;
            if (aTiempo && contiene(estado.texto, "<")) {
                estado.ultimoEnvio = ahora;
                avisos.push_back({AvisoTurno::Tipo::parcial, estado.texto});
                avisos.push_back({AvisoTurno::Tipo::progreso, lineaEscribiendo(estado.texto)});
            }
        }
    } else if (*tipo == "assistant") {
        const Json* mensaje = clave(evento, "message");
        const Json* contenido = mensaje ? clave(*mensaje, "content") : nullptr;
        if (!contenido || !contenido->is_array()) return avisos;
        for (const Json& item : *contenido) {
            if (!item.is_object() || textoEn(item, "type") != "tool_use") continue;
            const Json* entrada = clave(item, "input");
            avisos.push_back({AvisoTurno::Tipo::progreso,
                              lineaHerramientaClaude(textoEn(item, "name").value_or(""),
                                                     entrada && entrada->is_object() ? *entrada : Json::object())});
        }
    } else if (*tipo == "result") {
        estado.resultado = textoEn(evento, "result");
    }
    return avisos;
}

std::optional<std::string> leerLineaCodex(std::string_view linea, Vigia& vigia) {
    const Json evento = objeto(linea);
    const Json* item = clave(evento, "item");
    if (!item || !item->is_object()) return std::nullopt;
    const auto tipo = textoEn(*item, "type");
    if (tipo == "reasoning") {
        const auto texto = textoEn(*item, "text");
        if (!texto) return std::nullopt;
        std::string_view resto = *texto;
        while (!resto.empty()) {
            const auto salto = resto.find('\n');
            const std::string_view una = resto.substr(0, salto);
            if (!enBlanco(una)) return std::string(primerosCaracteres(sinAsteriscosDobles(std::string(una)), 90));
            if (salto == std::string_view::npos) break;
            resto.remove_prefix(salto + 1);
        }
        return std::nullopt;
    }
    if (tipo == "file_change") return "Escribiendo la página…";
    if (tipo == "command_execution") {
        const std::string orden = textoEn(*item, "command").value_or("");
        if (contiene(orden, "SKILL.md") || contiene(orden, "skills")) return "Leyendo las skills de diseño de Sorvenia…";
        if (contiene(orden, "captura")) return "Mirando la captura de su diseño…";
        return "Revisando…";
    }
    if (tipo == "agent_message") vigia.mensaje = textoEn(*item, "text");
    return std::nullopt;
}

}  // namespace sorvenia::IAsLocales
