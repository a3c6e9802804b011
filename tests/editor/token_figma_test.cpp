// The Figma token dialog and where the token it takes is kept: the user's
// connection "figma" (made when missing, else the one of that name, whatever
// its id), so that the next import finds it without asking again. The
// keychain is an in-memory stand-in; the connections file is the program's
// own (aislado.h). Under Xvfb.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "aislado.h"
#include "cuenta/llavero.h"
#include "editor/gui/token_figma.h"
#include "esperar_bucle.h"
#include "integraciones/conexiones.h"
#include "medios/figma_token.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/objeto_g.h"
#include "servicio_local_prueba.h"

namespace sorvenia {
namespace {

using prueba::esperarHasta;
using Token = std::optional<std::string>;

// The stored token as the editor looks it up.
Token tokenDeLasConexiones() {
    std::vector<Figma::ConexionGuardada> conexiones;
    for (const auto& c : Conexiones::lista()) conexiones.push_back({c.id, c.nombre});
    return Figma::token(conexiones);
}

GtkWindow* dialogoAbierto() {
    GListModel* ventanas = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(ventanas); ++i) {
        const auto v = Ref<GtkWindow>::adoptar(comoG<GtkWindow>(g_list_model_get_item(ventanas, i)));
        if (gtk_widget_get_visible(comoG<GtkWidget>(v.get())) && gtk_window_get_modal(v.get())) return v.get();
    }
    return nullptr;
}

GtkWidget* buscar(GtkWidget* raiz, const char* nombre) {
    if (g_strcmp0(gtk_widget_get_name(raiz), nombre) == 0) return raiz;
    for (GtkWidget* h = gtk_widget_get_first_child(raiz); h != nullptr; h = gtk_widget_get_next_sibling(h))
        if (GtkWidget* r = buscar(h, nombre)) return r;
    return nullptr;
}

class TokenFigma : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run)."; }
    void SetUp() override {
        anterior_ = Llavero::usarAlmacen(llavero_);
        for (const auto& c : Conexiones::lista()) Conexiones::borrar(c.id);
    }
    void TearDown() override {
        if (GtkWindow* d = dialogoAbierto()) gtk_window_destroy(d);
        Llavero::usarAlmacen(anterior_);
    }

    // Opens the dialog, types `texto` and answers with button `respuesta`
    // (0 "Guardar y seguir", 1 "Cancelar"); the dialog's answer.
    Token responder(const std::string& texto, int respuesta) {
        prueba::Pendiente<Token> pendiente(
            pedirTokenFigma(nullptr, [this](const std::string& aviso) { avisos_.push_back(aviso); }));
        EXPECT_TRUE(esperarHasta([] { return dialogoAbierto() != nullptr; }));
        GtkWindow* dialogo = dialogoAbierto();
        if (dialogo == nullptr) return std::nullopt;
        GtkWidget* campo = buscar(comoG<GtkWidget>(dialogo), "token-figma");
        EXPECT_NE(campo, nullptr);
        if (campo != nullptr) gtk_editable_set_text(comoG<GtkEditable>(campo), texto.c_str());
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_dialog_response(comoG<GtkDialog>(dialogo), respuesta);
        G_GNUC_END_IGNORE_DEPRECATIONS
        return pendiente.esperar().value_or(Token("(sin respuesta)"));
    }

    std::shared_ptr<prueba::LlaveroEnMemoria> llavero_ = std::make_shared<prueba::LlaveroEnMemoria>();
    std::shared_ptr<Llavero::Almacen> anterior_;
    std::vector<std::string> avisos_;
};

// A "figma" connection made from the settings catalogue has a generated id:
// the token saved from the dialog goes to it, and the next import finds it.
TEST_F(TokenFigma, ConUnaConexionDeIdGenerado) {
    Conexiones::Conexion figma;
    figma.nombre = "figma";
    figma.tipo = "clave";
    figma.variable = "FIGMA_TOKEN";
    ASSERT_EQ(Conexiones::guardar(figma, std::string("figd-viejo")), std::nullopt);
    const std::string id = Conexiones::lista().at(0).id;
    ASSERT_NE(id, "figma");
    EXPECT_EQ(tokenDeLasConexiones(), "figd-viejo");

    EXPECT_EQ(responder("  figd-nuevo\n", 0), "figd-nuevo");
    EXPECT_EQ(tokenDeLasConexiones(), "figd-nuevo");
    EXPECT_EQ(Llavero::leer("conexion:" + id), "figd-nuevo");
    EXPECT_EQ(Llavero::leer("conexion:figma"), std::nullopt);
    ASSERT_EQ(Conexiones::lista().size(), 1u);
    EXPECT_TRUE(avisos_.empty());
}

TEST_F(TokenFigma, SinConexionLaCrea) {
    EXPECT_EQ(tokenDeLasConexiones(), std::nullopt);
    EXPECT_EQ(responder("figd-primero", 0), "figd-primero");
    const auto lista = Conexiones::lista();
    ASSERT_EQ(lista.size(), 1u);
    EXPECT_EQ(lista[0].id, "figma");
    EXPECT_EQ(lista[0].nombre, "figma");
    EXPECT_EQ(lista[0].tipo, "clave");
    EXPECT_EQ(lista[0].variable, "FIGMA_TOKEN");
    EXPECT_EQ(lista[0].para, "Leer e importar tus diseños de Figma");
    EXPECT_EQ(tokenDeLasConexiones(), "figd-primero");
}

// Cancelling, or saving an empty field, gives nothing and stores nothing.
TEST_F(TokenFigma, CancelarOVacioNoDanNada) {
    EXPECT_EQ(responder("figd-no", 1), std::nullopt);
    EXPECT_EQ(responder("   ", 0), std::nullopt);
    EXPECT_TRUE(Conexiones::lista().empty());
    EXPECT_TRUE(llavero_->contenido().empty());
}

// A keychain that refuses keeps nothing, says so, and the token still
// serves the import under way.
TEST_F(TokenFigma, SinLlaveroSirveParaEstaVez) {
    llavero_->rechazarEscrituras(true);
    EXPECT_EQ(responder("figd-solo-hoy", 0), "figd-solo-hoy");
    ASSERT_EQ(avisos_.size(), 1u);
    EXPECT_NE(avisos_[0].find("llavero"), std::string::npos) << avisos_[0];
    EXPECT_EQ(tokenDeLasConexiones(), std::nullopt);
}

}  // namespace
}  // namespace sorvenia
