#include "cuenta/respuestas.h"

#include <gtest/gtest.h>

#include <functional>

namespace sorvenia {
namespace {

struct Decodificador {
    const char* accion;
    std::function<bool(std::string_view)> decodifica;
};

template <class R>
Decodificador de(const char* accion) {
    return {accion, [](std::string_view c) { return decodificar<R>(c).has_value(); }};
}

const std::vector<Decodificador>& decodificadores() {
    static const std::vector<Decodificador> todos{
        de<RespuestaCanjear>("canjear"),   de<RespuestaRefrescar>("refrescar"), de<RespuestaAbrir>("abrir"),
        de<RespuestaAgencia>("agencia"),   de<RespuestaDominios>("dominios"),   de<RespuestaTienda>("tienda"),
        de<RespuestaSesion>("sesion"),     de<RespuestaRecursos>("recursos"),   de<RespuestaRecurso>("recurso"),
        de<RespuestaVPS>("vps"),           de<RespuestaHosting>("hosting"),     de<RespuestaPrevia>("previa"),
        de<RespuestaGuardar>("guardar"),   de<RespuestaBorrar>("borrar"),       de<RespuestaFotos>("fotos"),
    };
    return todos;
}

TEST(Respuestas, SoloUnObjetoJSONEsUnaRespuesta) {
    for (const auto& d : decodificadores()) {
        SCOPED_TRACE(d.accion);
        for (const char* cuerpo : {"", "<html>", "[]", "null", "\"x\"", "{} x", "{\"a\":1", "{\"a\":\"\xff\"}"}) {
            EXPECT_FALSE(d.decodifica(cuerpo)) << cuerpo;
        }
    }
}

// The body of each case and whether it decodes as the action's answer.
struct Caso {
    const char* accion;
    std::string cuerpo;
    bool decodifica;
};

const char* const yo = R"("yo":{"id":1,"nombre":"A","email":"a@b"})";
const char* const vps = R"({"id":1,"nombre":"v","ip":"1.2.3.4","so":"Debian"})";

TEST(Respuestas, ClavesRequeridasYOpcionalesPorAccion) {
    const std::string d1 = R"({"id":"d","nombre":"n","version":1,"creado":"c","modificado":"m"})";
    const Caso casos[] = {
        {"canjear", R"({"clave":"k","cliente":{"id":1,"nombre":"A","email":"a@b"}})", true},
        {"canjear", R"({"clave":"k"})", false},
        {"canjear", R"({"clave":5,"cliente":{"id":1,"nombre":"A","email":"a@b"}})", false},
        {"refrescar", (std::string("{") + yo + R"(,"disenos":[]})"), true},
        {"refrescar", (std::string("{") + yo + "}"), false},
        {"refrescar", R"({"yo":{"id":1,"nombre":"A"},"disenos":[]})", false},
        {"refrescar", (std::string("{") + yo + R"(,"disenos":null})"), false},
        {"abrir", R"({"diseno":{"id":"d","nombre":"n","version":1,"doc":null}})", true},
        {"abrir", R"({"diseno":{"id":"d","nombre":"n","version":1,"doc":{}},"hostings":null,"vps":null,"previa":null})", true},
        {"abrir", R"({"previa":{"url":"u","slug":"s","caduca":"c","paginas":1}})", false},
        {"abrir", R"({"diseno":{"id":"d","nombre":"n","version":1,"doc":{}},"hostings":[{"id":1,"dominio":"a","plan":"p","wordpress":1}]})", false},
        {"agencia", "{}", true},
        {"agencia", R"({"version":"3"})", false},
        {"dominios", R"({"dominios":[{"dominio":"a.es","tld":"es"}],"pack":{"mes":1,"meses":12,"base":3,"plan":"p","checkout":"c"}})", true},
        {"dominios", R"({"dominios":[{"dominio":"a.es","tld":"es"}]})", false},
        {"tienda", "{}", true},
        {"tienda", R"({"tienda":[1,2],"otra":{"x":null}})", true},
        {"sesion", R"({"url":"https://x/panel/"})", true},
        {"sesion", R"({"url":null})", false},
        {"recursos", R"({"recursos":{"a.mp4":"ab12"}})", true},
        {"recursos", R"({"recursos":{"a.mp4":12}})", false},
        {"recursos", R"({"recursos":[]})", false},
        {"recurso", R"({"recurso":{"ruta":"a.mp4","otra":1}})", true},
        {"recurso", R"({"ok":true})", false},
        {"recurso", R"({"recurso":{}})", false},
        {"vps", "{}", true},
        {"vps", R"({"vps":null})", true},
        {"vps", (std::string(R"({"vps":[)") + vps + "]}"), true},
        {"vps", (std::string(R"({"vps":[)") + vps + R"(,{"id":2,"nombre":"w","so":"x"}]})"), false},
        {"vps", R"({"vps":[{"id":2,"nombre":"w","ip":"i","so":"x","ram_mb":"2048"}]})", false},
        {"hosting", R"({"publicada":{"servicio":1,"dominio":"a","carpeta":"c","url":"u","paginas":1,"fecha":"f","estado":"ok"}})", true},
        {"hosting", R"({"publicada":{"servicio":1,"dominio":"a","carpeta":"c","url":"u","paginas":1}})", false},
        {"previa", R"({"previa":{"url":"u","slug":"s","caduca":"c","paginas":2}})", true},
        {"previa", R"({"previa":{"url":"u","slug":"s","caduca":"c","paginas":"2"}})", false},
        {"previa", R"({"previa":{"url":"u","slug":"s","paginas":2}})", false},
        {"guardar", (R"({"diseno":)" + d1 + "}"), true},
        {"guardar", "{}", false},
        {"borrar", R"({"ok":false})", true},
        {"borrar", R"({"ok":1})", false},
        {"fotos", R"({"html":"<p>"})", true},
        {"fotos", R"({"html":null})", false},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(std::string(c.accion) + " " + c.cuerpo);
        bool visto = false;
        for (const auto& d : decodificadores()) {
            if (std::string_view(d.accion) != c.accion) continue;
            visto = true;
            EXPECT_EQ(d.decodifica(c.cuerpo), c.decodifica);
        }
        EXPECT_TRUE(visto);
    }
}

TEST(Respuestas, LoQueValenLasClavesAusentes) {
    const auto abrir = decodificar<RespuestaAbrir>(R"({"diseno":{"id":"d","nombre":"n","version":2,"doc":[1]}})");
    ASSERT_TRUE(abrir);
    EXPECT_EQ(abrir->diseno.version, 2);
    EXPECT_FALSE(abrir->previa);
    EXPECT_FALSE(abrir->publicada);
    EXPECT_TRUE(abrir->hostings.empty());
    EXPECT_TRUE(abrir->vps.empty());

    const auto agencia = decodificar<RespuestaAgencia>("{}");
    ASSERT_TRUE(agencia);
    EXPECT_TRUE(agencia->datos.esNulo());
    EXPECT_EQ(agencia->version, 0);

    const auto tienda = decodificar<RespuestaTienda>(R"({"tienda":[1,2]})");
    ASSERT_TRUE(tienda);
    ASSERT_NE(tienda->tienda.comoLista(), nullptr);
    EXPECT_EQ(tienda->tienda.comoLista()->size(), 2u);
    EXPECT_TRUE(decodificar<RespuestaTienda>("{}")->tienda.esNulo());

    const auto dominio = decodificar<RespuestaDominios>(
        R"({"dominios":[{"dominio":"a.es","tld":"es","libre":false},{"dominio":"b.es","tld":"es"}],)"
        R"("pack":{"mes":1,"meses":12,"base":3,"plan":"p","checkout":"c"}})");
    ASSERT_TRUE(dominio);
    EXPECT_EQ(dominio->dominios[0].libre, false);
    EXPECT_FALSE(dominio->dominios[1].libre.has_value());

    EXPECT_THROW(decodificarORaro<RespuestaRecurso>(R"({"ok":true})"), ErrorAPI);
    try {
        decodificarORaro<RespuestaRecurso>("{}");
    } catch (const ErrorAPI& e) {
        EXPECT_EQ(e.codigo, "respuesta_rara");
        EXPECT_EQ(e.mensaje, "El servidor ha devuelto algo que no se entiende.");
        EXPECT_EQ(e.status, 502);
    }
}

// What an agency save gives for one answer: the new version, or the error.
struct Guardado {
    std::optional<std::int64_t> version;
    std::optional<ErrorAPI> error;
    std::optional<ErrorAgencia> conflicto;
};

Guardado guardado(std::string_view cuerpo, int status) {
    Guardado g;
    try {
        g.version = versionDeGuardadoAgencia(cuerpo, status);
    } catch (const ErrorAgencia& e) {
        g.conflicto = e;
    } catch (const ErrorAPI& e) {
        g.error = e;
    }
    return g;
}

TEST(Respuestas, GuardadoDeAgenciaConConflictos) {
    auto g = guardado(R"({"error":"conflicto","servidor":{"version":7,"datos":{"clientes":[1]}}})", 200);
    ASSERT_TRUE(g.conflicto);
    EXPECT_EQ(g.conflicto->version, 7);
    EXPECT_EQ(g.conflicto->datos.cadena(), R"({"clientes":[1]})");
    EXPECT_STREQ(g.conflicto->what(), "Otro equipo ha guardado cambios a la vez.");

    g = guardado(R"({"error":{"code":"otra","message":"m","servidor":{"version":7}}})", 409);
    ASSERT_TRUE(g.conflicto);
    EXPECT_EQ(g.conflicto->version, 7);
    EXPECT_TRUE(g.conflicto->datos.esNulo());

    const char* ilegible = "Otro equipo ha guardado a la vez y no se ha podido leer su versión.";
    for (const auto& [cuerpo, status] : std::vector<std::pair<const char*, int>>{
             {"", 409},
             {R"({"servidor":{"version":"7"}})", 409},
             {R"({"servidor":[1]})", 409},
             {R"({"version":8,"error":"conflicto"})", 200},
             {R"({"error":{"code":"conflicto","message":"m"}})", 500}}) {
        SCOPED_TRACE(cuerpo);
        g = guardado(cuerpo, status);
        ASSERT_TRUE(g.error);
        EXPECT_EQ(g.error->codigo, "conflicto");
        EXPECT_EQ(g.error->mensaje, ilegible);
        EXPECT_EQ(g.error->status, 409);
    }

    g = guardado(R"({"error":{"code":"x","message":"y"}})", 413);
    ASSERT_TRUE(g.error);
    EXPECT_EQ(g.error->codigo, "demasiado_grande");
    EXPECT_EQ(g.error->mensaje, "Hay demasiados datos de agencia para guardarlos en tu cuenta.");

    g = guardado(R"({"error":{"code":"x","message":"y"}})", 400);
    ASSERT_TRUE(g.error);
    EXPECT_EQ(g.error->codigo, "x");
    EXPECT_EQ(g.error->status, 400);

    g = guardado("", 503);
    ASSERT_TRUE(g.error);
    EXPECT_EQ(g.error->codigo, "http_503");

    for (const char* raro : {R"({"version":"8"})", "", "[8]", R"({"version":8.5})"}) {
        g = guardado(raro, 200);
        ASSERT_TRUE(g.error) << raro;
        EXPECT_EQ(g.error->codigo, "respuesta_rara") << raro;
    }
    EXPECT_EQ(guardado(R"({"version":8})", 200).version, 8);
    EXPECT_EQ(guardado(R"({"version":8})", 0).version, 8) << "an answer without status";
}

}  // namespace
}  // namespace sorvenia
