// The design guides: the agent-mode text, the house brief, the shipped
// skills, and topics that try to leave the skills folder.
#include "centro/guias.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "centro/centro.h"
#include "centro/modo_agente.h"
#include "ias/sistema.h"
#include "plataforma/recursos.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const std::string nota =
    "\n\n(Adáptala al tarvel con las reglas de guia(encargo): CSS en <style> o en línea, sin Tailwind ni JavaScript.)";

std::string noHay(const std::string& tema) {
    return "No hay guía «" + tema +
           "». Temas: encargo, agente, nivel-agencia, territorios-visuales, sistema-visual, copy-es, sectores, "
           "secciones-web, landing-page, landing-dios, movil-y-accesible, imagenes-mockup, revisar-mockup.";
}

std::string leer(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

Json guia(const Json& argumentos) {
    return esperarEnBucle(Centro::compartido().ejecutar("guia", argumentos, std::nullopt));
}

Json texto(const std::string& t) { return Json::array({{{"type", "text"}, {"text", t}}}); }

TEST(Guias, TemasPorLaHerramienta) {
    const auto recursos = Recursos::carpeta();
    ASSERT_TRUE(recursos);
    const std::string landing = leer(*recursos / "skills/landing-page/SKILL.md");
    ASSERT_FALSE(landing.empty());
    struct Caso {
        Json argumentos;
        std::string respuesta;
    };
    const Caso casos[] = {
        {{{"tema", "  Agente\t"}}, textoModoAgente()},
        {{{"tema", "agente"}}, textoModoAgente()},
        {{{"tema", "encargo"}}, IAsLocales::sistema()},
        {{{"tema", ""}}, IAsLocales::sistema()},
        {{{"tema", " \t "}}, IAsLocales::sistema()},
        {Json::object(), IAsLocales::sistema()},
        {{{"tema", 3}}, IAsLocales::sistema()},
        {{{"tema", "landing-page"}}, landing + nota},
        {{{"tema", " LANDING-PAGE "}}, landing + nota},
        {{{"tema", "tarvel-sorvenia"}}, leer(*recursos / "skills/tarvel-sorvenia/SKILL.md") + nota},
        {{{"tema", "landing page"}}, noHay("landing page")},
        {{{"tema", " recetas "}}, noHay(" recetas ")},
        {{{"tema", "agente\n"}}, noHay("agente\n")},  // only spaces and tabs are trimmed
        {{{"tema", "../../../../etc/passwd"}}, noHay("../../../../etc/passwd")},
        {{{"tema", "landing-page/../copy-es"}}, noHay("landing-page/../copy-es")},
        {{{"tema", ".."}}, noHay("..")},
        {{{"tema", "."}}, noHay(".")},
        {{{"tema", "skills"}}, noHay("skills")},
    };
    for (const auto& c : casos) EXPECT_EQ(guia(c.argumentos), texto(c.respuesta)) << c.argumentos.dump();
}

TEST(Guias, CadaTemaOfrecidoExiste) {
    // The topics the "no guide" answer offers, read from that answer.
    const std::string respuesta = Centro::guia("?");
    const std::string marca = "Temas: ";
    std::istringstream lista(respuesta.substr(respuesta.find(marca) + marca.size()));
    std::vector<std::string> temas;
    for (std::string tema; std::getline(lista, tema, ',');) {
        tema.erase(0, tema.find_first_not_of(' '));
        if (!tema.empty() && tema.back() == '.') tema.pop_back();
        temas.push_back(tema);
    }
    ASSERT_EQ(temas.size(), 13u);
    for (const auto& tema : temas) {
        const std::string g = Centro::guia(tema);
        EXPECT_EQ(g.find("No hay guía"), std::string::npos) << tema;
        if (tema == "encargo" || tema == "agente") continue;
        // Every skill names itself, the way AI tools load skills from a folder.
        EXPECT_EQ(g.rfind("---\nname: " + tema + "\ndescription: ", 0), 0u) << tema;
        EXPECT_TRUE(g.ends_with(nota)) << tema;
    }
}

TEST(Guias, ElEncargoEsElDeLosRecursos) {
    const auto fichero = Recursos::ruta("skills/tarvel-sorvenia/encargo.md");
    ASSERT_TRUE(fichero);
    EXPECT_EQ(IAsLocales::sistema(), leer(*fichero));
    // Its sections are named by the agent-mode text and by the turn orders.
    EXPECT_NE(IAsLocales::sistema().find("FORMATO DE LA RESPUESTA"), std::string::npos);
    EXPECT_NE(IAsLocales::sistema().find("MODO CAMBIO"), std::string::npos);
    EXPECT_NE(textoModoAgente().find("«FORMATO DE LA RESPUESTA»"), std::string::npos);
}

class CarpetaGuias : public ::testing::Test {
protected:
    void SetUp() override {
        std::string plantilla = (fs::temp_directory_path() / "guias-XXXXXX").string();
        ASSERT_NE(mkdtemp(plantilla.data()), nullptr);
        raiz = plantilla;
        recursos = raiz / "recursos";
        escribir(recursos / "skills/propia/SKILL.md", "propia");
        escribir(recursos / "skills/rota/SKILL.md", "\xC3\x28 no es UTF-8");
        fs::create_directories(recursos / "skills/vacia");
        // SKILL.md files that must never be served: outside "skills".
        escribir(recursos / "fuera/SKILL.md", "secreto de los recursos");
        escribir(raiz / "x/SKILL.md", "secreto de fuera");
        escribir(recursos / "skills/SKILL.md", "el propio índice");
    }
    void TearDown() override { fs::remove_all(raiz); }

    static void escribir(const fs::path& p, const std::string& contenido) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << contenido;
    }

    fs::path raiz, recursos;
};

TEST_F(CarpetaGuias, SoloLetrasCifrasYGuionesNombranUnaSkill) {
    EXPECT_EQ(textoGuia("propia", recursos), "propia" + nota);
    EXPECT_EQ(textoGuia("\tPropia ", recursos), "propia" + nota);
    const std::string fuera[] = {"../fuera", "../../x", "..\\..\\x", "propia/../../fuera", "/etc",
                                 "propia/",  "./propia", ".",         ".."};
    for (const auto& tema : fuera) EXPECT_EQ(textoGuia(tema, recursos), noHay(tema)) << tema;
    const std::string conNulo("propia\0/../../x", 15);
    EXPECT_EQ(textoGuia(conNulo, recursos), noHay(conNulo));
    EXPECT_EQ(textoGuia("prop_ia", recursos), noHay("prop_ia"));
    EXPECT_EQ(textoGuia("ñandú", recursos), noHay("ñandú"));

    // Missing, unreadable or not UTF-8: no guide either.
    EXPECT_EQ(textoGuia("rota", recursos), noHay("rota"));
    EXPECT_EQ(textoGuia("vacia", recursos), noHay("vacia"));
    EXPECT_EQ(textoGuia("no-esta", recursos), noHay("no-esta"));
    EXPECT_EQ(textoGuia("propia", std::nullopt), noHay("propia"));
    EXPECT_EQ(textoGuia("", recursos), IAsLocales::sistema());
}

TEST_F(CarpetaGuias, ElEncargoSinFicheroEsUnaFrase) {
    const std::string frase = "Devuelve sólo un bloque <style> y un <div> raíz con el diseño.";
    EXPECT_EQ(IAsLocales::detalle::leerSistema(std::nullopt), frase);
    EXPECT_EQ(IAsLocales::detalle::leerSistema(recursos / "no-esta.md"), frase);
    EXPECT_EQ(IAsLocales::detalle::leerSistema(recursos / "skills/rota/SKILL.md"), frase);
    EXPECT_EQ(IAsLocales::detalle::leerSistema(recursos / "skills"), frase);
    EXPECT_EQ(IAsLocales::detalle::leerSistema(recursos / "skills/propia/SKILL.md"), "propia");
}

}  // namespace
}  // namespace sorvenia
