// The awaited alert of the platform layer and the recovery question about
// unsent changes (only the alert's buttons answer it), under Xvfb. The dialogs are driven directly, and once through the test
// channel's alert answering.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cache_propia.h"
#include "esperar_bucle.h"
#include "app/aviso_preferencias.h"
#include "plataforma/gui/canal_pruebas.h"
#include "app/canal_pruebas/dialogos_canal.h"
#include "editor/gui/preguntar_recuperar.h"
#include "plataforma/gui/alerta.h"
#include "plataforma/carpetas.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using prueba::esperarHasta;
using Indice = std::optional<std::size_t>;

const std::string textoRecuperar = "Hay cambios de este ordenador que no se subieron";
const std::string colaRecuperar =
    ". ¿Los recuperas? Si no, se abre la versión guardada en tu cuenta y esos cambios se descartan.";

bool es(gpointer objeto, GType tipo) { return g_type_check_instance_is_a(comoG<GTypeInstance>(objeto), tipo) != FALSE; }

// The shown message dialogs.
std::vector<GtkWindow*> alertasAbiertas() {
    std::vector<GtkWindow*> alertas;
    GListModel* ventanas = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(ventanas); ++i) {
        const auto ventana = Ref<GtkWindow>::adoptar(comoG<GtkWindow>(g_list_model_get_item(ventanas, i)));
        if (es(ventana.get(), gtk_message_dialog_get_type()) && gtk_widget_get_visible(comoG<GtkWidget>(ventana.get())))
            alertas.push_back(ventana.get());  // the list keeps it alive
    }
    return alertas;
}

// Waits for the one alert to show.
GtkWindow* esperarAlerta() {
    if (!esperarHasta([] { return alertasAbiertas().size() == 1; })) return nullptr;
    return alertasAbiertas().front();
}

CanalPruebas::ContenidoAlerta contenido(GtkWindow* alerta) {
    return CanalPruebas::recorrer(gtk_window_get_child(alerta));
}

GtkWidget* boton(GtkWindow* alerta, const std::string& titulo) {
    for (GtkWidget* b : contenido(alerta).botones)
        if (titulo == gtk_button_get_label(comoG<GtkButton>(b))) return b;
    return nullptr;
}

// A local date and time (the zone is fixed by the suite).
std::chrono::system_clock::time_point fechaLocal(int anio, int mes, int dia, int hora, int minuto) {
    std::tm partes{};
    partes.tm_year = anio - 1900;
    partes.tm_mon = mes - 1;
    partes.tm_mday = dia;
    partes.tm_hour = hora;
    partes.tm_min = minuto;
    partes.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(mktime(&partes));
}

class AlertaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prueba::usarCachePropia();
        // Central European time, spelled out so no zone database is needed.
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        ASSERT_TRUE(iniciarGtk()) << "Hace falta una pantalla (xvfb-run).";
    }
    void TearDown() override {
        for (GtkWindow* alerta : alertasAbiertas()) gtk_window_destroy(alerta);
        esperarHasta([] { return alertasAbiertas().empty(); });
    }

    static prueba::Pendiente<Indice> tres(GtkWindow* padre = nullptr) {
        return prueba::Pendiente<Indice>(alerta(padre, "Mensaje", "Más información.", {"Uno", "Dos", "Tres"}));
    }
};

TEST_F(AlertaTest, DevuelveElBotonPulsado) {
    for (std::size_t i = 0; i < 3; ++i) {
        auto pendiente = tres();
        GtkWindow* dialogo = esperarAlerta();
        ASSERT_NE(dialogo, nullptr);
        EXPECT_TRUE(gtk_window_get_modal(dialogo));
        const char* titulos[] = {"Uno", "Dos", "Tres"};
        GtkWidget* b = boton(dialogo, titulos[i]);
        ASSERT_NE(b, nullptr) << titulos[i];
        gtk_widget_activate(b);
        EXPECT_EQ(pendiente.esperar(), Indice(i));
        EXPECT_TRUE(esperarHasta([] { return alertasAbiertas().empty(); })) << "the alert goes with its answer";
    }
}

TEST_F(AlertaTest, TextosYBotonesParaElCanalDePruebas) {
    auto pendiente = tres();
    GtkWindow* dialogo = esperarAlerta();
    ASSERT_NE(dialogo, nullptr);
    // The first button stands at the trailing edge and is the default.
    EXPECT_EQ(contenido(dialogo).comoJSON(),
              nlohmann::json({{"textos", {"Mensaje", "Más información."}}, {"botones", {"Tres", "Dos", "Uno"}}}));
    EXPECT_EQ(gtk_window_get_default_widget(dialogo), boton(dialogo, "Uno"));
    EXPECT_FALSE(gtk_window_get_deletable(dialogo)) << "no close button";
    gtk_dialog_response(comoG<GtkDialog>(dialogo), 1);
    EXPECT_EQ(pendiente.esperar(), Indice(1));
}

TEST_F(AlertaTest, SinTextoInformativoYConRayas) {
    auto pendiente = prueba::Pendiente<Indice>(alerta(nullptr, "Solo_esto", "", {"Mi_botón"}));
    GtkWindow* dialogo = esperarAlerta();
    ASSERT_NE(dialogo, nullptr);
    EXPECT_EQ(contenido(dialogo).comoJSON(), nlohmann::json({{"textos", {"Solo_esto"}}, {"botones", {"Mi_botón"}}}));
    GtkWidget* b = boton(dialogo, "Mi_botón");
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(gtk_button_get_use_underline(comoG<GtkButton>(b))) << "titles are shown as written";
    gtk_widget_activate(b);
    EXPECT_EQ(pendiente.esperar(), Indice(0));
}

TEST_F(AlertaTest, SinBotonesTieneAceptar) {
    auto pendiente = prueba::Pendiente<Indice>(alerta(nullptr, "Aviso", "", {}));
    GtkWindow* dialogo = esperarAlerta();
    ASSERT_NE(dialogo, nullptr);
    GtkWidget* b = boton(dialogo, "Aceptar");
    ASSERT_NE(b, nullptr);
    gtk_widget_activate(b);
    EXPECT_EQ(pendiente.esperar(), Indice(0));
}

TEST_F(AlertaTest, EscapeYCerrarNoLaTerminan) {
    auto pendiente = tres();
    GtkWindow* dialogo = esperarAlerta();
    ASSERT_NE(dialogo, nullptr);
    // What Escape does in a GtkDialog: its "close" key binding.
    g_signal_emit_by_name(dialogo, "close");
    // The window's close button and the window manager's close.
    gtk_window_close(dialogo);
    gboolean parado = FALSE;
    g_signal_emit_by_name(dialogo, "close-request", &parado);
    EXPECT_TRUE(parado);
    esperarHasta([] { return false; }, 300ms);
    ASSERT_EQ(alertasAbiertas().size(), 1u);
    EXPECT_EQ(alertasAbiertas().front(), dialogo);
    // Still waiting: the next button is its answer.
    gtk_widget_activate(boton(dialogo, "Tres"));
    EXPECT_EQ(pendiente.esperar(), Indice(2));
}

// The control for the test above: in a plain GtkMessageDialog the same
// signals do answer (GTK_RESPONSE_DELETE_EVENT) and close the window.
TEST_F(AlertaTest, EnUnDialogoCorrienteEscapeContesta) {
    for (const bool porEscape : {true, false}) {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GtkWidget* dialogo =
            gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", "Corriente");
        gtk_dialog_add_button(comoG<GtkDialog>(dialogo), "Uno", 0);
        G_GNUC_END_IGNORE_DEPRECATIONS
        std::optional<int> respuesta;
        conectarSenal(
            dialogo, "response",
            +[](GtkDialog*, int id, gpointer datos) { *static_cast<std::optional<int>*>(datos) = id; }, &respuesta);
        gtk_window_present(comoG<GtkWindow>(dialogo));
        ASSERT_NE(esperarAlerta(), nullptr);
        if (porEscape)
            g_signal_emit_by_name(dialogo, "close");
        else
            gtk_window_close(comoG<GtkWindow>(dialogo));
        EXPECT_EQ(respuesta, std::optional<int>(GTK_RESPONSE_DELETE_EVENT)) << porEscape;
        EXPECT_TRUE(esperarHasta([] { return alertasAbiertas().empty(); })) << porEscape;
    }
}

TEST_F(AlertaTest, DestruidaNoHayRespuesta) {
    auto pendiente = tres();
    GtkWindow* dialogo = esperarAlerta();
    ASSERT_NE(dialogo, nullptr);
    gtk_window_destroy(dialogo);
    EXPECT_EQ(pendiente.esperar(), std::optional<Indice>(Indice()));
}

TEST_F(AlertaTest, OtraRespuestaNoEsUnBoton) {
    for (const int respuesta :
         {static_cast<int>(GTK_RESPONSE_DELETE_EVENT), static_cast<int>(GTK_RESPONSE_CANCEL), 3, 99}) {
        auto pendiente = tres();
        GtkWindow* dialogo = esperarAlerta();
        ASSERT_NE(dialogo, nullptr);
        gtk_dialog_response(comoG<GtkDialog>(dialogo), respuesta);
        EXPECT_EQ(pendiente.esperar(), std::optional<Indice>(Indice())) << respuesta;
        EXPECT_TRUE(esperarHasta([] { return alertasAbiertas().empty(); }));
    }
}

TEST_F(AlertaTest, SeVaConSuVentana) {
    GtkWindow* ventana = comoG<GtkWindow>(gtk_window_new());
    gtk_window_present(ventana);
    auto pendiente = tres(ventana);
    GtkWindow* dialogo = esperarAlerta();
    ASSERT_NE(dialogo, nullptr);
    EXPECT_EQ(gtk_window_get_transient_for(dialogo), ventana);
    gtk_window_destroy(ventana);
    EXPECT_EQ(pendiente.esperar(), std::optional<Indice>(Indice()));
    EXPECT_TRUE(esperarHasta([] { return alertasAbiertas().empty(); }));
}

TEST_F(AlertaTest, CancelarLaTareaCierraLaAlerta) {
    bool cancelada = false;
    auto envoltura = [](bool* marca) -> Tarea<void> {
        try {
            (void)co_await alerta(nullptr, "Mensaje", "", {"Uno"});
        } catch (const TareaCancelada&) {
            *marca = true;
        }
    };
    const TareaLanzada lanzada = lanzar(envoltura(&cancelada));
    ASSERT_NE(esperarAlerta(), nullptr);
    lanzada.cancelar();
    EXPECT_TRUE(esperarHasta([&] { return lanzada.terminada(); }));
    EXPECT_TRUE(cancelada);
    EXPECT_TRUE(esperarHasta([] { return alertasAbiertas().empty(); }));
}

TEST_F(AlertaTest, ElCanalDePruebasPulsaSusBotones) {
    fs::create_directories(CanalPruebas::carpeta());
    const fs::path peticion = CanalPruebas::carpeta() / "boton.pulsar";
    const fs::path hecho = CanalPruebas::carpeta() / "boton.hecho";
    auto pendiente = prueba::Pendiente<Recuperacion>(preguntarRecuperar(fechaLocal(2026, 12, 10, 14, 5), nullptr));
    ASSERT_NE(esperarAlerta(), nullptr);
    std::ofstream(peticion) << "Descartar\n";
    CanalPruebas::mirarBoton();
    EXPECT_FALSE(fs::exists(peticion));
    std::ifstream entrada(hecho);
    const std::string respuesta((std::istreambuf_iterator<char>(entrada)), std::istreambuf_iterator<char>());
    EXPECT_EQ(nlohmann::json::parse(respuesta, nullptr, false),
              nlohmann::json({{"textos", {textoRecuperar, "Son del 10 de diciembre de 2026, 14:05" + colaRecuperar}},
                              {"botones", {"Descartar", "Recuperar"}}}));
    EXPECT_EQ(pendiente.esperar(), Recuperacion::descartar);
}

// ---------------------------------------------------------------- preguntarRecuperar

class PreguntarRecuperarTest : public AlertaTest {};

TEST_F(PreguntarRecuperarTest, TextosExactos) {
    auto pendiente = prueba::Pendiente<Recuperacion>(preguntarRecuperar(fechaLocal(2026, 12, 10, 14, 5), nullptr));
    GtkWindow* dialogo = esperarAlerta();
    ASSERT_NE(dialogo, nullptr);
    const auto visto = contenido(dialogo);
    ASSERT_EQ(visto.textos.size(), 2u);
    EXPECT_EQ(visto.textos[0], "Hay cambios de este ordenador que no se subieron");
    EXPECT_EQ(visto.textos[1],
              "Son del 10 de diciembre de 2026, 14:05. ¿Los recuperas? Si no, se abre la versión guardada en tu "
              "cuenta y esos cambios se descartan.");
    EXPECT_EQ(gtk_window_get_default_widget(dialogo), boton(dialogo, "Recuperar"));
    gtk_widget_activate(boton(dialogo, "Recuperar"));
    EXPECT_EQ(pendiente.esperar(), Recuperacion::recuperar);
}

TEST_F(PreguntarRecuperarTest, CadaRespuesta) {
    {
        auto pendiente = prueba::Pendiente<Recuperacion>(preguntarRecuperar(std::chrono::system_clock::now(), nullptr));
        GtkWindow* dialogo = esperarAlerta();
        ASSERT_NE(dialogo, nullptr);
        gtk_widget_activate(boton(dialogo, "Descartar"));
        EXPECT_EQ(pendiente.esperar(), Recuperacion::descartar);
    }
    {
        // Closed any other way is not "Descartar".
        auto pendiente = prueba::Pendiente<Recuperacion>(preguntarRecuperar(std::chrono::system_clock::now(), nullptr));
        GtkWindow* dialogo = esperarAlerta();
        ASSERT_NE(dialogo, nullptr);
        g_signal_emit_by_name(dialogo, "close");
        gtk_window_close(dialogo);
        esperarHasta([] { return false; }, 300ms);
        ASSERT_EQ(alertasAbiertas().size(), 1u) << "Escape and close do not answer";
        // Destroyed (its window went, the application quit): no answer.
        gtk_window_destroy(dialogo);
        EXPECT_EQ(pendiente.esperar(), Recuperacion::ninguna);
    }
    {
        auto pendiente = prueba::Pendiente<Recuperacion>(preguntarRecuperar(std::chrono::system_clock::now(), nullptr));
        GtkWindow* dialogo = esperarAlerta();
        ASSERT_NE(dialogo, nullptr);
        gtk_dialog_response(comoG<GtkDialog>(dialogo), GTK_RESPONSE_DELETE_EVENT);
        EXPECT_EQ(pendiente.esperar(), Recuperacion::ninguna);
    }
}

TEST_F(PreguntarRecuperarTest, FechaEnEspanolSinLocale) {
    struct Caso {
        std::chrono::system_clock::time_point fecha;
        std::string esperado;
    };
    const std::vector<Caso> casos = {
        {fechaLocal(2026, 12, 10, 14, 5), "10 de diciembre de 2026, 14:05"},
        {fechaLocal(2026, 3, 1, 9, 0), "1 de marzo de 2026, 9:00"},
        {fechaLocal(2025, 1, 31, 0, 59), "31 de enero de 2025, 0:59"},
        {fechaLocal(2024, 9, 15, 23, 30), "15 de septiembre de 2024, 23:30"},
    };
    // Zone: 2026-07-01 10:00 UTC is noon in summer time in this zone.
    const auto mediodia = std::chrono::system_clock::from_time_t(1782900000);  // 2026-07-01 10:00:00 UTC
    for (const char* locale : {"C", "", "es_ES.UTF-8", "en_US.UTF-8", "de_DE.UTF-8"}) {
        std::setlocale(LC_ALL, locale);
        for (const Caso& caso : casos) EXPECT_EQ(detalle::fechaLargaEspanol(caso.fecha), caso.esperado) << locale;
        EXPECT_EQ(detalle::fechaLargaEspanol(mediodia), "1 de julio de 2026, 12:00") << locale;
    }
    std::setlocale(LC_ALL, "C");
}

// ---------------------------------------------------------------- unreadable settings

// A settings file that could not be read is announced once, with where it
// was kept; readable settings announce nothing.
TEST_F(AlertaTest, PreferenciasIlegiblesSeAnuncianUnaVez) {
    auto carpeta = CarpetaTemporal::crear("aviso-preferencias-");
    ASSERT_TRUE(carpeta) << carpeta.fallo().mensaje;
    const fs::path fichero = carpeta->ruta() / "preferencias.json";
    std::ofstream(fichero) << "{\"cliente@sorvenia.example\": \"e30=\"";
    Preferencias preferencias(fichero);
    EXPECT_FALSE(preferencias.existe("cliente@sorvenia.example"));

    auto pendiente = prueba::Pendiente<bool>(avisarPreferenciasApartadas(nullptr, preferencias));
    GtkWindow* dialogo = esperarAlerta();
    ASSERT_NE(dialogo, nullptr);
    const auto visto = contenido(dialogo);
    ASSERT_EQ(visto.textos.size(), 2u);
    EXPECT_EQ(visto.textos[0], "No se han podido leer tus preferencias");
    const std::string apartado = fs::directory_iterator(carpeta->ruta())->path().filename().string();
    EXPECT_TRUE(apartado.starts_with("preferencias.json.ilegible-")) << apartado;
    EXPECT_EQ(visto.textos[1], "El fichero de preferencias estaba dañado. Se ha guardado aparte como «" + apartado +
                                   "» en " + carpeta->ruta().string() +
                                   " y se empieza con los ajustes de siempre. Si tenías la sesión iniciada, vuelve a "
                                   "conectar tu cuenta.");
    gtk_widget_activate(boton(dialogo, "Aceptar"));
    EXPECT_EQ(pendiente.esperar(), true);

    auto otraVez = prueba::Pendiente<bool>(avisarPreferenciasApartadas(nullptr, preferencias));
    EXPECT_EQ(otraVez.esperar(), false);
    EXPECT_TRUE(alertasAbiertas().empty());
}

}  // namespace
}  // namespace sorvenia
