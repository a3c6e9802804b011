#include "cuenta/registros.h"

#include <gtest/gtest.h>

#include <functional>

#include "cuenta/respuestas.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using Cuenta = RegistrosCuenta;  // the records' names as the account type nests them

// How one record decodes and writes back, for the rule table below.
struct Esquema {
    const char* nombre;
    json completo;                      // every key present, valid
    std::vector<const char*> requeridos;
    std::vector<const char*> opcionales;
    std::function<std::optional<json>(const json&)> idaYVuelta;  // decode, then write (nothing when it fails)
};

template <class R>
std::function<std::optional<json>(const json&)> idaYVuelta() {
    return [](const json& j) -> std::optional<json> {
        R r{};
        if (!leer(j, r)) return std::nullopt;
        return escribir(r);
    };
}

// Previa is read only; it still must decode by the same rules.
std::function<std::optional<json>(const json&)> soloLectura() {
    return [](const json& j) -> std::optional<json> {
        Cuenta::Previa p;
        if (!leer(j, p)) return std::nullopt;
        return json{{"url", p.url}, {"slug", p.slug}, {"caduca", p.caduca}, {"paginas", p.paginas}};
    };
}

std::vector<Esquema> esquemas() {
    return {
        {"Cliente", {{"id", 7}, {"nombre", "Ana"}, {"email", "ana@x.es"}}, {"id", "nombre", "email"}, {},
         idaYVuelta<Cliente>()},
        {"DisenoResumen",
         {{"id", "d1"}, {"nombre", "Web"}, {"version", 3}, {"miniatura", "data:image/jpeg;base64,AA"},
          {"creado", "2024-01-02 03:04:05"}, {"modificado", "2024-02-02 03:04:05"}},
         {"id", "nombre", "version", "creado", "modificado"}, {"miniatura"}, idaYVuelta<DisenoResumen>()},
        {"DisenoCompleto", {{"id", "d1"}, {"nombre", "Web"}, {"version", 3}, {"doc", {{"mesas", json::array({1, "a"})}}}},
         {"id", "nombre", "version"}, {}, idaYVuelta<DisenoCompleto>()},
        {"Hosting", {{"id", 4}, {"dominio", "a.es"}, {"plan", "Pro"}, {"wordpress", true}},
         {"id", "dominio", "plan", "wordpress"}, {}, idaYVuelta<Cuenta::Hosting>()},
        {"Publicada",
         {{"servicio", 4}, {"dominio", "a.es"}, {"carpeta", "web"}, {"url", "https://a.es/web/"}, {"paginas", 2},
          {"fecha", "2024-01-01"}},
         {"servicio", "dominio", "carpeta", "url", "paginas", "fecha"}, {}, idaYVuelta<Cuenta::Publicada>()},
        {"Previa", {{"url", "https://p/x"}, {"slug", "x"}, {"caduca", "mañana"}, {"paginas", 1}},
         {"url", "slug", "caduca", "paginas"}, {}, soloLectura()},
        {"VPS",
         {{"id", 9}, {"nombre", "v"}, {"ip", "10.0.0.1"}, {"so", "Debian"}, {"familia", "linux"}, {"cpu", 2},
          {"ram_mb", 2048}, {"disco_gb", 40}, {"ubicacion", "Madrid"}, {"pais", "ES"}},
         {"id", "nombre", "ip", "so"}, {"familia", "cpu", "ram_mb", "disco_gb", "ubicacion", "pais"},
         idaYVuelta<Cuenta::VPS>()},
        {"DominioPack", {{"dominio", "a.es"}, {"tld", "es"}, {"libre", false}}, {"dominio", "tld"}, {"libre"},
         idaYVuelta<Cuenta::DominioPack>()},
        {"Pack", {{"mes", 5}, {"meses", 12}, {"base", 60}, {"plan", "Web"}, {"checkout", "/c"}},
         {"mes", "meses", "base", "plan", "checkout"}, {}, idaYVuelta<Cuenta::Pack>()},
    };
}

// A value of another JSON type than the one given.
json deOtroTipo(const json& v) {
    if (v.is_string()) return 5;
    if (v.is_boolean()) return 1;  // a number is not a Boolean
    if (v.is_number()) return "5";  // a numeric text is not a number
    return "x";
}

TEST(Registros, ReglasDeClavesDeCadaRegistro) {
    for (const auto& e : esquemas()) {
        SCOPED_TRACE(e.nombre);
        // Complete, it writes back exactly what was read.
        EXPECT_EQ(e.idaYVuelta(e.completo), e.completo);
        // Extra keys are ignored, and not written back.
        json extra = e.completo;
        extra["estado"] = "x";
        EXPECT_EQ(e.idaYVuelta(extra), e.completo);
        for (const char* clave : e.requeridos) {
            SCOPED_TRACE(clave);
            json j = e.completo;
            j.erase(clave);
            EXPECT_FALSE(e.idaYVuelta(j)) << "missing";
            j[clave] = nullptr;
            EXPECT_FALSE(e.idaYVuelta(j)) << "null";
            j[clave] = deOtroTipo(e.completo[clave]);
            EXPECT_FALSE(e.idaYVuelta(j)) << "wrong type";
        }
        for (const char* clave : e.opcionales) {
            SCOPED_TRACE(clave);
            json sin = e.completo;
            sin.erase(clave);
            EXPECT_EQ(e.idaYVuelta(sin), sin) << "missing: absent, and left out when written";
            json nulo = e.completo;
            nulo[clave] = nullptr;
            EXPECT_EQ(e.idaYVuelta(nulo), sin) << "null counts as absent, never written as null";
            json otro = e.completo;
            otro[clave] = deOtroTipo(e.completo[clave]);
            EXPECT_FALSE(e.idaYVuelta(otro)) << "wrong type";
        }
        EXPECT_FALSE(e.idaYVuelta(json::array())) << "not an object";
    }
}

TEST(Registros, EnterosSoloNumerosEnteros) {
    const json base{{"id", 1}, {"nombre", "v"}, {"ip", "1.2.3.4"}, {"so", "x"}};
    struct Caso {
        json cpu;
        std::optional<std::int64_t> esperado;  // nothing: the record fails
    };
    const Caso casos[] = {
        {json::parse("2"), 2},
        {json::parse("2.0"), 2},
        {json::parse("3e2"), 300},
        {json::parse("-4"), -4},
        {json::parse("2.5"), std::nullopt},
        {json::parse("9223372036854775807"), 9223372036854775807},
        {json::parse("9223372036854775808"), std::nullopt},
        {json::parse("1e19"), std::nullopt},
        {json::parse("true"), std::nullopt},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.cpu.dump());
        json j = base;
        j["cpu"] = c.cpu;
        Cuenta::VPS vps;
        ASSERT_EQ(leer(j, vps), c.esperado.has_value());
        if (c.esperado) {
            EXPECT_EQ(vps.cpu, c.esperado);
        }
    }
}

TEST(Registros, ElDocumentoAdmiteCualquierValorJSON) {
    for (const char* doc : {"\"texto\"", "3", "[1,{\"a\":null}]", "null", "{}"}) {
        SCOPED_TRACE(doc);
        const json j{{"id", "d"}, {"nombre", "n"}, {"version", 1}, {"doc", json::parse(doc)}};
        DisenoCompleto d;
        ASSERT_TRUE(leer(j, d));
        EXPECT_EQ(escribir(d)["doc"], json::parse(doc));
    }
    DisenoCompleto d;
    EXPECT_FALSE(leer(json{{"id", "d"}, {"nombre", "n"}, {"version", 1}}, d)) << "doc is required";
}

TEST(Registros, ClienteGuardadoComoTexto) {
    const Cliente c{12, "Ñandú S.L.", "a@b.es"};
    EXPECT_EQ(clienteDeTexto(escribir(c).dump()), c);
    EXPECT_FALSE(clienteDeTexto("{\"id\":\"12\",\"nombre\":\"x\",\"email\":\"y\"}"));
    EXPECT_FALSE(clienteDeTexto("no es json"));
}

}  // namespace
}  // namespace sorvenia
