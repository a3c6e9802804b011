// The application's one file chooser, answered through the test channel as
// a person would answer it: the chosen folder, the file named for saving,
// a cancel, and a wait given up while the chooser is open.

#include "plataforma/gui/elegir_rutas.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "app/canal_pruebas/canal.h"
#include "cache_propia.h"
#include "esperar_bucle.h"
#include "plataforma/gui/canal_pruebas.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/identidad.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using prueba::esperarHasta;
using Eleccion = std::optional<std::vector<fs::path>>;

std::string leer(const fs::path& archivo) {
    std::ifstream entrada(archivo, std::ios::binary);
    return {std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

// The chooser shown, if any.
GtkFileChooser* panelVisible() {
    GtkFileChooser* panel = nullptr;
    GListModel* ventanas = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(ventanas); ++i) {
        const auto v = Ref<GObject>::adoptar(comoG<GObject>(g_list_model_get_item(ventanas, i)));
        if (GTK_IS_FILE_CHOOSER(v.get()) && gtk_widget_get_visible(comoG<GtkWidget>(v.get())))
            panel = comoG<GtkFileChooser>(v.get());  // the list keeps it alive
    }
    return panel;
}

// True once the shown chooser has read its folder, as a person would see it
// before answering.
bool panelListo() {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GtkFileChooser* panel = panelVisible();
    return panel != nullptr && Ref<GFile>::adoptar(gtk_file_chooser_get_current_folder(panel)).get() != nullptr;
    G_GNUC_END_IGNORE_DEPRECATIONS
}

// How many file choosers are shown.
int paneles() {
    int n = 0;
    GListModel* ventanas = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(ventanas); ++i) {
        const auto v = Ref<GObject>::adoptar(comoG<GObject>(g_list_model_get_item(ventanas, i)));
        if (GTK_IS_FILE_CHOOSER(v.get()) && gtk_widget_get_visible(comoG<GtkWidget>(v.get()))) ++n;
    }
    return n;
}

class ElegirRutasTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prueba::usarCachePropia();
        ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run).";
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        CanalPruebas::activar();
        CanalPruebas::arrancar();
    }
    void SetUp() override {
        carpeta_ = fs::temp_directory_path() / ("elegir-rutas-" + std::to_string(::getpid()));
        fs::create_directories(carpeta_ / "destino");
        fs::create_directories(CanalPruebas::carpeta());
        fs::remove(CanalPruebas::carpeta() / "panel.hecho");
    }
    void TearDown() override { fs::remove_all(carpeta_); }

    // Shows the chooser, answers it with `respuesta` through the channel
    // and gives what the awaiting caller received.
    static Eleccion responder(PeticionRutas peticion, const std::string& respuesta) {
        prueba::Pendiente<Eleccion> eleccion(elegirRutas(nullptr, std::move(peticion)));
        EXPECT_TRUE(esperarHasta(panelListo));
        std::ofstream(CanalPruebas::carpeta() / "panel.elegir") << respuesta;
        auto r = eleccion.esperar();
        EXPECT_TRUE(r) << "the chooser was not answered";
        return r ? *r : Eleccion{};
    }

    fs::path carpeta_;
};

TEST_F(ElegirRutasTest, DaLoQueSeEligeONadaAlCancelar) {
    PeticionRutas carpeta{.modo = ModoEleccion::carpeta, .titulo = "Elige la carpeta", .boton = "Exportar aquí"};
    carpeta.carpetaInicial = carpeta_ / "destino";
    PeticionRutas guardar{.modo = ModoEleccion::guardar, .titulo = "Guardar", .boton = "Guardar"};
    guardar.carpetaInicial = carpeta_;
    guardar.nombreSugerido = "Mi diseño.png";
    PeticionRutas abrir{.modo = ModoEleccion::abrir, .titulo = "Abrir", .boton = "Abrir", .varios = true};
    abrir.carpetaInicial = carpeta_;

    const struct {
        const char* caso;
        PeticionRutas peticion;
        const char* respuesta;
        Eleccion esperado;
    } casos[] = {
        {"a folder, none selected inside it: the folder shown", carpeta, "elegir",
         std::vector<fs::path>{carpeta_ / "destino"}},
        {"saving: the shown folder and the proposed name", guardar, "elegir",
         std::vector<fs::path>{carpeta_ / "Mi diseño.png"}},
        {"cancelled", abrir, "cancelar", std::nullopt},
        {"cancelled while saving", guardar, "cancelar", std::nullopt},
    };
    for (const auto& caso : casos) {
        EXPECT_EQ(responder(caso.peticion, caso.respuesta), caso.esperado) << caso.caso;
        // The channel's answer is the same path the caller got.
        const std::string hecho = leer(CanalPruebas::carpeta() / "panel.hecho");
        EXPECT_EQ(hecho, caso.esperado ? caso.esperado->front().string() + "\n" : "cancelado\n") << caso.caso;
        EXPECT_TRUE(esperarHasta([] { return paneles() == 0; })) << caso.caso << ": the chooser stays open";
    }
}

TEST_F(ElegirRutasTest, UnaEsperaAbandonadaCierraElPanel) {
    PeticionRutas abrir{.modo = ModoEleccion::abrir, .titulo = "Abrir", .boton = "Abrir"};
    {
        prueba::Pendiente<Eleccion> eleccion(elegirRutas(nullptr, abrir));
        ASSERT_TRUE(esperarHasta([] { return paneles() == 1; }));
        EXPECT_FALSE(eleccion.esperar(std::chrono::milliseconds(200)));  // gives up and cancels the wait
    }
    EXPECT_TRUE(esperarHasta([] { return paneles() == 0; }));
}

}  // namespace
}  // namespace sorvenia
