// The main road, end to end: an AI client starts the installed bridge and
// builds a page on the open canvas of the test build with the canvas tools,
// reads it back, takes a screenshot, and the document the page posted ends
// up saved in the account.

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "app_e2e.h"
#include "cliente_mcp.h"
#include "foto_prueba.h"
#include "plataforma/cripto.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using prueba::esperarQue;
using prueba::textoDe;

struct Imagen {
    int ancho = 0, alto = 0;
    std::vector<std::uint8_t> bytes;
    // The colour at (x, y) as "#rrggbb".
    std::string color(int x, int y) const {
        GdkPixbufLoader* cargador = gdk_pixbuf_loader_new();
        gdk_pixbuf_loader_write(cargador, bytes.data(), bytes.size(), nullptr);
        gdk_pixbuf_loader_close(cargador, nullptr);
        GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(cargador);
        std::string r;
        if (p != nullptr && x < gdk_pixbuf_get_width(p) && y < gdk_pixbuf_get_height(p)) {
            const guchar* px = gdk_pixbuf_get_pixels(p) + y * gdk_pixbuf_get_rowstride(p) + x * gdk_pixbuf_get_n_channels(p);
            char texto[8];
            std::snprintf(texto, sizeof texto, "#%02x%02x%02x", px[0], px[1], px[2]);
            r = texto;
        }
        g_object_unref(cargador);
        return r;
    }
};

std::optional<Imagen> leerPNG(const std::string& base64) {
    auto bytes = desdeBase64(base64);
    if (!bytes) return std::nullopt;
    GdkPixbufLoader* cargador = gdk_pixbuf_loader_new_with_type("png", nullptr);
    const bool bien = gdk_pixbuf_loader_write(cargador, bytes->data(), bytes->size(), nullptr) &&
                      gdk_pixbuf_loader_close(cargador, nullptr);
    std::optional<Imagen> r;
    if (GdkPixbuf* p = bien ? gdk_pixbuf_loader_get_pixbuf(cargador) : nullptr)
        r = Imagen{gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p), std::move(*bytes)};
    g_object_unref(cargador);
    return r;
}

std::string capturaDe(const std::string& texto, const std::string& patron) {
    std::smatch m;
    return std::regex_search(texto, m, std::regex(patron)) ? m[1].str() : "";
}

class LienzoE2E : public prueba::AppE2E {
protected:
    // The designs saved in the account of cuenta-local.
    std::vector<json> disenosGuardados() {
        std::vector<json> r;
        std::error_code e;
        for (const auto& f : fs::directory_iterator(raiz_ / "cuenta-local/clientes/1/disenos", e)) {
            const json d = json::parse(prueba::leer(f.path()).value_or(""), nullptr, false);
            if (d.is_object()) r.push_back(d);
        }
        return r;
    }

    // Every call must succeed: its text.
    std::string bien(prueba::ClienteMCP& mcp, const std::string& nombre, const json& args = json::object()) {
        const json r = mcp.herramienta(nombre, args);
        EXPECT_FALSE(r.value("isError", true)) << nombre << " " << args << " → " << r;
        return textoDe(r);
    }
};

TEST_F(LienzoE2E, UnClienteConstruyeUnaPaginaPorElPuente) {
    entrarComoCliente();
    arrancarCuentaLocal();
    arrancarAplicacion({"--nuevo", "web"});
    ASSERT_TRUE(esperarQue([&] {
        const json v = valor("return (await window.tarvel.herramienta('ver_tarvel', {})).texto;", "editor");
        return v.is_string() && v.get<std::string>().find("«Página web»") != std::string::npos;
    }, 40s));
    const fs::path puente = raiz_ / "home/.sorvenia-tarvel/bin/tarvel";
    ASSERT_TRUE(esperarQue([&] { return fs::exists(raiz_ / "home/.local/share/SorveniaTarvel/mcp.json"); }));

    prueba::ClienteMCP mcp(puente.string(), entorno_);
    const auto inicio = mcp.pedir("initialize", {{"protocolVersion", "2025-06-18"},
                                                 {"capabilities", json::object()},
                                                 {"clientInfo", {{"name", "claude-code"}, {"version", "1.0"}}}});
    ASSERT_TRUE(inicio && inicio->contains("result")) << (inicio ? inicio->dump() : "sin respuesta");

    EXPECT_NE(bien(mcp, "ver_tarvel").find("Página web"), std::string::npos);
    const std::string creada = bien(mcp, "crear_mesa", {{"nombre", "Landing"}, {"ancho", 1200}, {"web", true}});
    const std::string mesa = capturaDe(creada, "Mesa creada: (\\S+) «Landing»");
    ASSERT_FALSE(mesa.empty()) << creada;

    // A sheet that starts with a Google Fonts @import (a ";" inside its
    // address) keeps every rule: the screenshot below shows them.
    bien(mcp, "css", {{"mesa", mesa},
                      {"css", "@import url(\"https://fonts.googleapis.com/css2?family=Inter:wght@400;700&display=swap\");\n"
                              ".hero{background:#d81b60;color:#fff;padding:80px;min-height:420px}"
                              ".precios{background:#1e88e5;color:#fff;padding:60px;min-height:300px}"}});
    bien(mcp, "escribir", {{"id", mesa}, {"modo", "dentro"},
                           {"html", "<section class=\"hero\"><h1>Clases de surf en Zarautz</h1>"
                                    "<p>Tablas y neopreno incluidos.</p></section>"}});
    bien(mcp, "escribir", {{"id", mesa}, {"modo", "dentro"},
                           {"html", "<section class=\"precios\"><h2>Precios</h2><p>Desde 35 € la clase.</p></section>"}});

    // Read back: every element has its data-lid, and the mesa's CSS comes along.
    const std::string leido = bien(mcp, "leer", {{"id", mesa}});
    EXPECT_NE(leido.find(".hero{background:#d81b60"), std::string::npos) << leido;
    const std::string h1 = capturaDe(leido, "<h1 data-lid=\"([^\"]+)\"");
    const std::string h2 = capturaDe(leido, "<h2 data-lid=\"([^\"]+)\"");
    const std::string parrafo = capturaDe(leido, "<p data-lid=\"([^\"]+)\">Desde 35");
    ASSERT_FALSE(h1.empty() || h2.empty() || parrafo.empty()) << leido;

    // The screenshot: a PNG of the mesa, 1000 px wide at most, hero on top.
    const json captura = mcp.herramienta("captura", {{"id", mesa}});
    ASSERT_FALSE(captura.value("isError", true)) << captura;
    const json imagen = captura.at("content").at(0);
    EXPECT_EQ(imagen.value("type", ""), "image");
    EXPECT_EQ(imagen.value("mimeType", ""), "image/png");
    const auto png = leerPNG(imagen.value("data", ""));
    ASSERT_TRUE(png);
    EXPECT_TRUE(prueba::guardarCaptura("lienzo-captura-mesa.png", png->bytes));
    EXPECT_EQ(png->ancho, 1000);
    EXPECT_EQ(png->alto, 750);  // the mesa's least height, 900, scaled by 1000/1200
    EXPECT_EQ(png->color(20, 20), "#d81b60");   // the hero: 420 px tall, 350 in the picture
    EXPECT_EQ(png->color(20, 450), "#1e88e5");  // then the prices
    EXPECT_EQ(png->color(20, 700), "#ffffff");  // then the mesa's own background

    // Each tool changes what it says.
    bien(mcp, "estilo", {{"id", h1}, {"css", "color:#ffeb3b"}});
    bien(mcp, "texto", {{"id", h2}, {"texto", "Tarifas"}});
    const std::string copia = capturaDe(bien(mcp, "duplicar", {{"id", parrafo}}), "Duplicado: (\\S+)");
    ASSERT_FALSE(copia.empty());
    bien(mcp, "mover", {{"id", copia}, {"destino", h2}, {"como", "antes"}});
    std::string ahora = bien(mcp, "leer", {{"id", mesa}});
    EXPECT_LT(ahora.find("data-lid=\"" + copia + "\""), ahora.find("data-lid=\"" + h2 + "\"")) << ahora;
    bien(mcp, "borrar", {{"id", copia}});
    bien(mcp, "animar", {{"id", h1}, {"tipo", "subir"}, {"duracion", 600}});
    bien(mcp, "variables", {{"variables", json::array({{{"nombre", "marca"}, {"valor", "#d81b60"}}})}});
    EXPECT_NE(bien(mcp, "variables").find("--marca"), std::string::npos);
    EXPECT_NE(bien(mcp, "paginas", {{"crear", "Blog"}}).find("«Blog»"), std::string::npos);
    bien(mcp, "paginas", {{"abrir", 0}});
    EXPECT_NE(bien(mcp, "mesas", {{"accion", "listar"}}).find("Landing"), std::string::npos);
    EXPECT_NE(bien(mcp, "enfocar", {{"id", h1}, {"nota", "Mira el título"}}).find("Señalado"), std::string::npos);
    bien(mcp, "terminar");
    EXPECT_NE(bien(mcp, "nombrar", {{"nombre", "Surf Zarautz"}}).find("Surf Zarautz"), std::string::npos);

    ahora = bien(mcp, "leer", {{"id", mesa}});
    EXPECT_NE(ahora.find("color: rgb(255, 235, 59)"), std::string::npos) << ahora;
    EXPECT_NE(ahora.find(">Tarifas</h2>"), std::string::npos) << ahora;
    EXPECT_EQ(ahora.find("data-lid=\"" + copia + "\""), std::string::npos) << ahora;

    // A photo placeholder is filled by the account's photo service before
    // the page gets the HTML.
    bien(mcp, "escribir", {{"id", mesa}, {"modo", "dentro"}, {"html", "<img src=\"foto:olas grandes\" alt=\"Olas\">"}});
    ahora = bien(mcp, "leer", {{"id", mesa}});
    EXPECT_NE(ahora.find("src=\"" + servidor_ + "/fotos/"), std::string::npos) << ahora;
    EXPECT_EQ(ahora.find("foto:olas"), std::string::npos) << ahora;

    // A call without what it needs says what to send.
    const json mal = mcp.herramienta("texto", {{"id", h2}});
    EXPECT_TRUE(mal.value("isError", false));
    EXPECT_NE(textoDe(mal).find("texto"), std::string::npos) << mal;

    // The document the page posted after those changes is what the account
    // now holds: the new design was saved with its name, texts and tokens.
    json guardado;
    ASSERT_TRUE(esperarQue([&] {
        for (const json& d : disenosGuardados())
            if (d.value("nombre", "") == "Surf Zarautz" && d.at("doc").dump().find("Tarifas") != std::string::npos) {
                guardado = d;
                return true;
            }
        return false;
    }, 30s)) << "la cuenta no tiene el diseño";
    const std::string doc = guardado.at("doc").dump();
    EXPECT_NE(doc.find("Clases de surf en Zarautz"), std::string::npos);
    EXPECT_NE(doc.find("\"marca\""), std::string::npos);
    EXPECT_NE(doc.find("Blog"), std::string::npos);
    EXPECT_TRUE(guardado.value("miniatura", "").starts_with("data:image/jpeg;base64,"));
    EXPECT_TRUE(esperarQue([&] { return valor("return document.getElementById('guardado').textContent;", "editor") == "guardado"; }));
    EXPECT_EQ(valor("return document.getElementById('nombre').textContent;", "editor"), "Surf Zarautz");
    EXPECT_TRUE(capturar("ventana", "lienzo-agente.png", "editor"));
}

}  // namespace
}  // namespace sorvenia
