// The account and store window end to end: the test build against the local
// account service. The home menu opens it at the account's own section; a
// panel page opens signed in through a link that works once; the thank-you
// page of a purchase refreshes the account; addresses that are not panel
// pages go to the browser; a panel page cannot post to native code. The
// store page's screenshot lands in build/capturas/.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "diseno_prueba.h"
#include "app_e2e.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;
using prueba::leer;

constexpr const char* web = "tienda";

class TiendaE2E : public prueba::AppE2E {
protected:
    void SetUp() override {
        AppE2E::SetUp();
        entrarComoCliente();
        guardarDiseno({{"id", "0123456789abcdef"},
                       {"nombre", "Una web"},
                       {"version", 1},
                       {"creado", "2026-01-01 10:00:00"},
                       {"modificado", "2026-01-01 10:00:00"},
                       {"doc", json::object()}});
        arrancarCuentaLocal();
        arrancarAplicacion();
    }

    json js(const std::string& cuerpo) { return valor(cuerpo, web); }
    bool cumple(const std::string& expresion, std::chrono::milliseconds limite = 30s) {
        return esperarQue([&] { return js("return Boolean(" + expresion + ");") == json(true); }, limite);
    }
    std::string direccion() {
        const json d = js("return location.href;");
        return d.is_string() ? d.get<std::string>() : "";
    }
    std::vector<json> peticiones(const std::string& ruta) {
        std::vector<json> r;
        std::istringstream lineas(leer(raiz_ / "cuenta-local/registro.jsonl").value_or(""));
        for (std::string linea; std::getline(lineas, linea);) {
            const json l = json::parse(linea, nullptr, false);
            if (l.is_object() && (l.value("ruta", "") == ruta || l.value("accion", "") == ruta)) r.push_back(l);
        }
        return r;
    }
    std::string enlacesAbiertos() { return leer(canal_ / "enlaces-abiertos.txt").value_or(""); }
};

TEST_F(TiendaE2E, DesdeElMenuHastaElPanelYLaCompra) {
    ASSERT_TRUE(esperarQue([&] { return valor("return Boolean(window.inicio);", "inicio") == json(true); }, 60s));
    valor("document.querySelector('#cuenta-menu [data-accion=tienda]').click(); return 1;", "inicio");
    ASSERT_TRUE(
        cumple("window.tienda && document.getElementById('contenido').dataset.seccion === 'mio' && "
               "document.querySelector('[data-seccion=hosting]')"));
    EXPECT_EQ(js("return document.getElementById('cliente').textContent;"), "Cliente de prueba");
    EXPECT_TRUE(capturar("ventana:tienda", "e2e-tienda.png", web));

    // The store page's own messages: a domain opens in the browser.
    js("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify("
       "{tipo: 'web', dominio: 'mi-web.es'})})); return 1;");
    ASSERT_TRUE(esperarQue([&] { return enlacesAbiertos().find("https://mi-web.es\n") != std::string::npos; }));

    // A panel page, signed in through a one-time link.
    js("[...document.querySelectorAll('#contenido button')].find(b => b.textContent === 'Abrir').click(); return 1;");
    ASSERT_TRUE(cumple("document.querySelector('.sesion')"));
    EXPECT_EQ(js("return document.querySelector('.sesion').textContent;"), "Has entrado como Cliente de prueba.");
    EXPECT_EQ(direccion(), servidor_ + "/panel/");
    const auto entradas = peticiones("/panel/entrar.php");
    ASSERT_EQ(entradas.size(), 1u);
    const std::string token = entradas[0].at("consulta").at("token");
    // The same link again does not sign in: the account site sends it to its sign-in page.
    js("location.href = " + json(servidor_ + "/panel/entrar.php?token=" + token + "&ir=%2Fpanel%2F").dump() +
       "; return 1;");
    ASSERT_TRUE(esperarQue([&] { return direccion() == servidor_ + "/login/"; }));

    // A panel page cannot talk to native code: "cerrar" from it does nothing.
    js("location.href = " + json(servidor_ + "/panel/comprar.php?producto=web").dump() + "; return 1;");
    ASSERT_TRUE(esperarQue([&] { return direccion() == servidor_ + "/panel/comprar.php?producto=web"; }));
    js("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: JSON.stringify({tipo: 'cerrar'})})); return 1;");
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(direccion(), servidor_ + "/panel/comprar.php?producto=web") << "the window is still there";

    // Another site goes to the browser; the view stays.
    js("location.href = 'https://otra.example/oferta'; return 1;");
    ASSERT_TRUE(
        esperarQue([&] { return enlacesAbiertos().find("https://otra.example/oferta\n") != std::string::npos; }));
    EXPECT_EQ(direccion(), servidor_ + "/panel/comprar.php?producto=web");

    // A cancelled payment is no purchase; a paid one refreshes the account.
    const auto refrescos = peticiones("cuenta").size();
    js("[...document.querySelectorAll('a')].find(a => a.textContent === 'Cancelar').click(); return 1;");
    ASSERT_TRUE(esperarQue([&] { return direccion() == servidor_ + "/panel/gracias.php?cancelado=1"; }));
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(peticiones("cuenta").size(), refrescos);
    js("history.back(); return 1;");
    ASSERT_TRUE(esperarQue([&] { return direccion() == servidor_ + "/panel/comprar.php?producto=web"; }));
    js("[...document.querySelectorAll('a')].find(a => a.textContent === 'Pagar').click(); return 1;");
    ASSERT_TRUE(esperarQue([&] { return direccion() == servidor_ + "/panel/gracias.php"; }));
    ASSERT_TRUE(esperarQue([&] { return peticiones("cuenta").size() > refrescos; }));

    // The account site's root brings the store page back.
    js("location.href = " + json(servidor_ + "/").dump() + "; return 1;");
    ASSERT_TRUE(cumple("window.tienda && document.getElementById('contenido')"));
    EXPECT_TRUE(direccion().starts_with("file://")) << direccion();
}

// The editor's domain-and-hosting pack: checkout in the store window, signed
// in; once paid, the design's pages are published on the new domain.
TEST_F(TiendaE2E, ElPackDelEditorSePagaEnLaTiendaYLaWebSePublicaEnElDominio) {
    app_.reset();
    guardarDiseno({{"id", "00112233445566aa"},
                   {"nombre", "Barbería"},
                   {"version", 1},
                   {"creado", "2026-12-01 10:00:00"},
                   {"modificado", "2026-12-01 10:00:00"},
                   {"doc", prueba::disenoGuardado()}});
    arrancarAplicacion({"--abrir", "00112233445566aa"});
    ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find("m1") != std::string::npos; }, 60s));
    const json mensaje = {
        {"tipo", "comprarPack"},
        {"dominio", "barberia.es"},
        {"paginas", json::array({{{"nombre", "Inicio"}, {"inicio", true}, {"html", "<h1>Barbería</h1>"}}})}};
    valor("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: " + json(mensaje.dump()).dump() +
              "})); return 1;",
          "editor");
    ASSERT_TRUE(esperarQue(
        [&] {
            return direccion().find("/panel/checkout.php?pack=tarvel&pack_dominio=barberia.es") != std::string::npos;
        },
        60s))
        << direccion();
    ASSERT_TRUE(cumple("document.querySelector('.sesion')"));
    EXPECT_EQ(js("return document.querySelector('.sesion').textContent;"), "Has entrado como Cliente de prueba.");
    js("[...document.querySelectorAll('a')].find(a => a.textContent === 'Pagar').click(); return 1;");
    ASSERT_TRUE(esperarQue(
        [&] { return direccion().find("/panel/gracias.php?pack_dominio=barberia.es") != std::string::npos; }));

    // The new hosting is the customer's second: its site gets the page.
    const fs::path indice = raiz_ / "cuenta-local/sitios/2/index.html";
    ASSERT_TRUE(esperarQue([&] { return fs::exists(indice); }, 30s));
    EXPECT_NE(leer(indice).value_or("").find("<h1>Barbería</h1>"), std::string::npos);
}

// The same purchase as a person makes it: the publish menu's domain search
// lists free and taken domains, and a free one opens the pack's checkout.
TEST_F(TiendaE2E, LaBusquedaDeDominiosDelEditorListaYLlevaAlPack) {
    app_.reset();
    guardarDiseno({{"id", "00112233445566ab"},
                   {"nombre", "Barbería"},
                   {"version", 1},
                   {"creado", "2026-12-01 10:00:00"},
                   {"modificado", "2026-12-01 10:00:00"},
                   {"doc", prueba::disenoGuardado()}});
    std::ofstream(raiz_ / "cuenta-local/dominios-ocupados.json") << R"(["barberia.com"])";
    arrancarAplicacion({"--abrir", "00112233445566ab"});
    ASSERT_TRUE(esperarQue([&] { return herramienta("ver_tarvel").find("m1") != std::string::npos; }, 60s));
    valor("document.getElementById('publicar-boton').click();"
          "const campo = document.querySelector('.buscar-dominio input');"
          "campo.value = 'Barberia.es';"
          "campo.form.requestSubmit(); return 1;",
          "editor");
    const auto lista = [&] {
        return valor("return document.querySelector('.dominios').innerText;", "editor").get<std::string>();
    };
    ASSERT_TRUE(esperarQue([&] { return lista().find("barberia.com") != std::string::npos; })) << lista();
    EXPECT_NE(lista().find("barberia.es · Libre"), std::string::npos) << lista();
    EXPECT_NE(lista().find("Ocupado"), std::string::npos) << lista();
    EXPECT_TRUE(capturar("ventana", "e2e-dominios.png", "editor"));
    const json pulsado = valor(
        "const b = [...document.querySelectorAll('.dominios .opcion')].find(b => b.textContent.startsWith('barberia.es '));"
        "if (!b) return false; b.click(); return true;",
        "editor");
    ASSERT_EQ(pulsado, true) << lista();
    ASSERT_TRUE(esperarQue(
        [&] {
            return direccion().find("/panel/checkout.php?pack=tarvel&pack_dominio=barberia.es") != std::string::npos;
        },
        60s))
        << direccion();
}

}  // namespace
}  // namespace sorvenia
