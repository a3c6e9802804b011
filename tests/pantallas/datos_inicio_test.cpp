// The home data object and what goes into it, with no page: the current AI tool,
// the local copies' entries and dates, the keys that are always there and
// the ones that come only with their value.
#include "pantallas/datos_inicio.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

namespace sorvenia::DatosInicio {
namespace {

using nlohmann::json;
using namespace std::chrono;

IA ia(IA::Tipo tipo, const char* nombre, bool sesion) { return IA{tipo, nombre, "detalle", "/bin/x", sesion}; }

// 2025-03-01 14:05:09.750 UTC.
CopiaLocal::Fecha marzo() {
    return sys_days{year{2025} / March / 1} + hours{14} + minutes{5} + seconds{9} + milliseconds{750};
}

TEST(DatosInicio, LaIAActual) {
    const IA claudeFuera = ia(IA::Tipo::claude, "Claude", false);
    const IA codexFuera = ia(IA::Tipo::codex, "ChatGPT Codex", false);
    const IA codexDentro = ia(IA::Tipo::codex, "ChatGPT Codex", true);
    const IA geminiDentro = ia(IA::Tipo::gemini, "Gemini", true);
    const struct {
        std::vector<IA> ias;
        std::optional<json> esperada;
    } casos[] = {
        {{}, std::nullopt},
        {{claudeFuera, codexFuera}, json{{"nombre", "Claude"}, {"logo", "logos/claude.png"}, {"lista", false}}},
        {{claudeFuera, codexDentro}, json{{"nombre", "ChatGPT Codex"}, {"logo", "logos/chatgpt.png"}, {"lista", true}}},
        {{codexDentro, geminiDentro}, json{{"nombre", "ChatGPT Codex"}, {"logo", "logos/chatgpt.png"}, {"lista", true}}},
        {{claudeFuera, geminiDentro}, json{{"nombre", "Gemini"}, {"logo", "logos/gemini.png"}, {"lista", true}}},
    };
    for (const auto& caso : casos) {
        EXPECT_EQ(iaActual(caso.ias), caso.esperada) << json(caso.ias);
        Fuentes f;
        f.ias = caso.ias;
        const json d = datos(f);
        EXPECT_EQ(d.contains("ia"), caso.esperada.has_value());
        if (caso.esperada) EXPECT_EQ(d["ia"], *caso.esperada);
    }
}

TEST(DatosInicio, ElObjetoEntero) {
    Fuentes f;
    f.cliente = Cliente{1, "Ana Pérez", "ana@ana.example"};
    f.disenos = {{"a1", "Con foto", 3, "https://x.example/a1.jpg", "2025-01-01 00:00:00", "2025-02-02 10:00:00"},
                 {"b2", "Sin foto", 1, std::nullopt, "2025-01-01 00:00:00", "2025-01-05 09:00:00"}};
    f.ias = {ia(IA::Tipo::claude, "Claude", true)};
    f.iasListas = true;
    f.copias = {CopiaLocal{std::nullopt, "Nueva", JSONValor(), marzo(), std::nullopt, std::nullopt, "R-1", std::nullopt},
                CopiaLocal{"b2", "Sin foto", JSONValor(), marzo(), std::nullopt, std::nullopt, std::nullopt, std::nullopt}};
    f.error = "Sin conexión.";
    f.integraciones = json::array({{{"id", "pexels"}}});
    f.trabajos = json::array({{{"clave", "k1"}}});
    f.actualizacion = "2.1";
    EXPECT_EQ(datos(f), json({
        {"disenos", {{{"id", "a1"}, {"nombre", "Con foto"}, {"modificado", "2025-02-02 10:00:00"}, {"miniatura", "https://x.example/a1.jpg"}},
                     {{"id", "b2"}, {"nombre", "Sin foto"}, {"modificado", "2025-01-05 09:00:00"}, {"miniatura", ""}}}},
        {"logo", "logos/sorvenia.svg"},
        {"cliente", {{"nombre", "Ana Pérez"}, {"email", "ana@ana.example"}}},
        {"ia", {{"nombre", "Claude"}, {"logo", "logos/claude.png"}, {"lista", true}}},
        {"ias", {{{"id", "claude"}, {"nombre", "Claude"}, {"sesion", true}}}},
        {"iasListas", true},
        {"sinSubir", {{{"archivo", "nuevo-R-1.json"}, {"nombre", "Nueva"}, {"nuevo", true}, {"abrir", true}, {"fecha", "2025-03-01 14:05:09"}},
                      {{"archivo", "b2.json"}, {"nombre", "Sin foto"}, {"nuevo", false}, {"abrir", true}, {"fecha", "2025-03-01 14:05:09"}}}},
        {"error", "Sin conexión."},
        {"integraciones", {{{"id", "pexels"}}}},
        {"trabajos", {{{"clave", "k1"}}}},
        {"actualizacion", {{"version", "2.1"}}},
    }));
}

TEST(DatosInicio, SinNadaLasClavesFijasSiguenAhi) {
    EXPECT_EQ(datos(Fuentes{}), json({{"disenos", json::array()},
                                      {"logo", "logos/sorvenia.svg"},
                                      {"ias", json::array()},
                                      {"iasListas", false},
                                      {"sinSubir", json::array()},
                                      {"error", nullptr},
                                      {"integraciones", json::array()},
                                      {"trabajos", json::array()}}));
}

TEST(DatosInicio, LaFechaDeUnaCopiaEsUTCEnCualquierZonaYIdioma) {
    const char* zona = std::getenv("TZ");
    const std::string antes = zona ? zona : "";
    for (const char* tz : {"UTC", "Pacific/Kiritimati", "America/Los_Angeles"}) {
        ::setenv("TZ", tz, 1);
        ::tzset();
        std::setlocale(LC_ALL, "");
        EXPECT_EQ(fechaCopia(marzo()), "2025-03-01 14:05:09") << tz;
    }
    EXPECT_EQ(fechaCopia(sys_days{year{1999} / December / 31} + hours{23} + minutes{59} + seconds{59}), "1999-12-31 23:59:59");
    if (zona) ::setenv("TZ", antes.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
}

}  // namespace
}  // namespace sorvenia::DatosInicio
