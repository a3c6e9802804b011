#include "cuenta/registros.h"

#include "cuenta/campos_json.h"

namespace sorvenia {

using campos::opcional;
using campos::requerido;

bool leer(const nlohmann::json& v, Cliente& d) {
    return v.is_object() && requerido(v, "id", d.id) && requerido(v, "nombre", d.nombre) &&
           requerido(v, "email", d.email);
}

bool leer(const nlohmann::json& v, DisenoResumen& d) {
    return v.is_object() && requerido(v, "id", d.id) && requerido(v, "nombre", d.nombre) &&
           requerido(v, "version", d.version) && opcional(v, "miniatura", d.miniatura) &&
           requerido(v, "creado", d.creado) && requerido(v, "modificado", d.modificado);
}

bool leer(const nlohmann::json& v, DisenoCompleto& d) {
    return v.is_object() && requerido(v, "id", d.id) && requerido(v, "nombre", d.nombre) &&
           requerido(v, "version", d.version) && requerido(v, "doc", d.doc);
}

bool leer(const nlohmann::json& v, RegistrosCuenta::Hosting& d) {
    return v.is_object() && requerido(v, "id", d.id) && requerido(v, "dominio", d.dominio) &&
           requerido(v, "plan", d.plan) && requerido(v, "wordpress", d.wordpress);
}

bool leer(const nlohmann::json& v, RegistrosCuenta::Publicada& d) {
    return v.is_object() && requerido(v, "servicio", d.servicio) && requerido(v, "dominio", d.dominio) &&
           requerido(v, "carpeta", d.carpeta) && requerido(v, "url", d.url) && requerido(v, "paginas", d.paginas) &&
           requerido(v, "fecha", d.fecha);
}

bool leer(const nlohmann::json& v, RegistrosCuenta::Previa& d) {
    return v.is_object() && requerido(v, "url", d.url) && requerido(v, "slug", d.slug) &&
           requerido(v, "caduca", d.caduca) && requerido(v, "paginas", d.paginas);
}

bool leer(const nlohmann::json& v, RegistrosCuenta::VPS& d) {
    return v.is_object() && requerido(v, "id", d.id) && requerido(v, "nombre", d.nombre) &&
           requerido(v, "ip", d.ip) && requerido(v, "so", d.so) && opcional(v, "familia", d.familia) &&
           opcional(v, "cpu", d.cpu) && opcional(v, "ram_mb", d.ram_mb) && opcional(v, "disco_gb", d.disco_gb) &&
           opcional(v, "ubicacion", d.ubicacion) && opcional(v, "pais", d.pais);
}

bool leer(const nlohmann::json& v, RegistrosCuenta::DominioPack& d) {
    return v.is_object() && requerido(v, "dominio", d.dominio) && requerido(v, "tld", d.tld) &&
           opcional(v, "libre", d.libre);
}

bool leer(const nlohmann::json& v, RegistrosCuenta::Pack& d) {
    return v.is_object() && requerido(v, "mes", d.mes) && requerido(v, "meses", d.meses) &&
           requerido(v, "base", d.base) && requerido(v, "plan", d.plan) && requerido(v, "checkout", d.checkout);
}

nlohmann::json escribir(const Cliente& r) { return {{"id", r.id}, {"nombre", r.nombre}, {"email", r.email}}; }

nlohmann::json escribir(const DisenoResumen& r) {
    nlohmann::json j{{"id", r.id},
                     {"nombre", r.nombre},
                     {"version", r.version},
                     {"creado", r.creado},
                     {"modificado", r.modificado}};
    campos::escribirOpcional(j, "miniatura", r.miniatura);
    return j;
}

nlohmann::json escribir(const DisenoCompleto& r) {
    return {{"id", r.id}, {"nombre", r.nombre}, {"version", r.version}, {"doc", r.doc.objeto()}};
}

nlohmann::json escribir(const RegistrosCuenta::Hosting& r) {
    return {{"id", r.id}, {"dominio", r.dominio}, {"plan", r.plan}, {"wordpress", r.wordpress}};
}

nlohmann::json escribir(const RegistrosCuenta::Publicada& r) {
    return {{"servicio", r.servicio}, {"dominio", r.dominio}, {"carpeta", r.carpeta},
            {"url", r.url},           {"paginas", r.paginas}, {"fecha", r.fecha}};
}

nlohmann::json escribir(const RegistrosCuenta::VPS& r) {
    nlohmann::json j{{"id", r.id}, {"nombre", r.nombre}, {"ip", r.ip}, {"so", r.so}};
    campos::escribirOpcional(j, "familia", r.familia);
    campos::escribirOpcional(j, "cpu", r.cpu);
    campos::escribirOpcional(j, "ram_mb", r.ram_mb);
    campos::escribirOpcional(j, "disco_gb", r.disco_gb);
    campos::escribirOpcional(j, "ubicacion", r.ubicacion);
    campos::escribirOpcional(j, "pais", r.pais);
    return j;
}

nlohmann::json escribir(const RegistrosCuenta::DominioPack& r) {
    nlohmann::json j{{"dominio", r.dominio}, {"tld", r.tld}};
    campos::escribirOpcional(j, "libre", r.libre);
    return j;
}

nlohmann::json escribir(const RegistrosCuenta::Pack& r) {
    return {{"mes", r.mes}, {"meses", r.meses}, {"base", r.base}, {"plan", r.plan}, {"checkout", r.checkout}};
}

std::optional<Cliente> clienteDeTexto(std::string_view texto) {
    const auto raiz = nlohmann::json::parse(texto, nullptr, false);
    Cliente c;
    if (raiz.is_discarded() || !leer(raiz, c)) return std::nullopt;
    return c;
}

}  // namespace sorvenia
