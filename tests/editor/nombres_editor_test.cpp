// The sentence for a failed save, safe names and slugs.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

#include "cuenta/error_api.h"
#include "centro/editor_modelo.h"

namespace sorvenia {
namespace {

const std::string cola = " Lo de este ordenador queda a salvo y se ofrecerá al volver a abrirlo.";
const std::string conexion =
    "No se guarda: la conexión con tu cuenta de Sorvenia ya no vale. Vuelve a conectarla en Ajustes › Cuenta. Lo de "
    "este ordenador queda a salvo y se ofrecerá al volver a abrirlo.";
const std::string grande =
    "No se guarda: el diseño pasa de 4 MB. Quita o reduce alguna imagen. Lo de este ordenador queda a salvo y se ofrecerá "
    "al volver a abrirlo.";

std::string motivo(const ErrorAPI& error) { return EditorModelo::motivoNoGuardado(std::make_exception_ptr(error)); }

std::string repetir(const std::string& pieza, std::size_t veces) {
    std::string texto;
    for (std::size_t i = 0; i < veces; ++i) texto += pieza;
    return texto;
}

// ---------------------------------------------------------------- motivoNoGuardado

TEST(MotivoNoGuardado, TablaDeReglas) {
    struct Caso {
        std::string codigo;
        std::string mensaje;
        int status;
        std::string esperado;
    };
    const std::vector<Caso> casos = {
        // 1: the server's message is not shown, whatever the status.
        {"demasiado_grande", "Ocupa demasiado.", 413, grande},
        {"demasiado_grande", "Otra cosa.", 403, grande},
        // 2: the server's message.
        {"doc_peligroso", "El diseño lleva código que no se admite.", 422,
         "No se guarda: El diseño lleva código que no se admite." + cola},
        // 3: the lost connection, whatever the status.
        {"clave_invalida", "La clave ya no vale.", 401, conexion},
        {"clave_ajena", "x", 0, conexion},
        {"sin_credenciales", "x", 400, conexion},
        {"permiso_insuficiente", "x", 500, conexion},
        // 4: the account's limit, with the server's message.
        {"limite_disenos", "Has llegado al máximo de diseños de tu plan.", 403,
         "No se guarda: Has llegado al máximo de diseños de tu plan." + cola},
        // 5: any other code with 401 or 403.
        {"prohibido", "No puedes.", 403, conexion},
        {"otra_cosa", "No puedes.", 401, conexion},
        // 6: the rest, with the error's message.
        {"prohibido", "No puedes.", 500, "No se ha podido guardar: No puedes." + cola},
        {"conflicto", "Otro Mac lo cambió.", 409, "No se ha podido guardar: Otro Mac lo cambió." + cola},
        {"limite_datos", "Límite.", 402, "No se ha podido guardar: Límite." + cola},
        {"limite_d", "Límite.", 402, "No se ha podido guardar: Límite." + cola},
        // Codes are compared whole and case-sensitive.
        {"Demasiado_Grande", "Grande.", 413, "No se ha podido guardar: Grande." + cola},
        {"clave_invalida ", "Clave.", 400, "No se ha podido guardar: Clave." + cola},
        {"respuesta_rara", "El servidor ha devuelto algo que no se entiende.", 502,
         "No se ha podido guardar: El servidor ha devuelto algo que no se entiende." + cola},
    };
    for (const Caso& caso : casos)
        EXPECT_EQ(motivo(ErrorAPI(caso.codigo, caso.mensaje, caso.status)), caso.esperado)
            << caso.codigo << " " << caso.status;
}

TEST(MotivoNoGuardado, ErroresDeOtroTipo) {
    // A network failure: the platform's sentence.
    EXPECT_EQ(EditorModelo::motivoNoGuardado(
                  std::make_exception_ptr(ErrorTransporte(Fallo{"No hay conexión a internet.", "red"}))),
              "No se ha podido guardar: No hay conexión a internet." + cola);
    EXPECT_EQ(EditorModelo::motivoNoGuardado(std::make_exception_ptr(std::runtime_error("Disco lleno."))),
              "No se ha podido guardar: Disco lleno." + cola);
    EXPECT_EQ(
        EditorModelo::motivoNoGuardado(std::make_exception_ptr(ErrorCodificacion{})),
        "No se ha podido guardar: No se han podido escribir los datos porque no tienen el formato correcto." + cola);
    // Anything else, and no error at all: a plain Spanish sentence.
    const std::string generico = "No se ha podido guardar: Ha ocurrido un error inesperado." + cola;
    EXPECT_EQ(EditorModelo::motivoNoGuardado(std::make_exception_ptr(42)), generico);
    EXPECT_EQ(EditorModelo::motivoNoGuardado(nullptr), generico);
    EXPECT_EQ(EditorModelo::motivoNoGuardado(std::make_exception_ptr(std::runtime_error(""))), generico);
    // The sentence goes to the page as JSON: it is always UTF-8.
    EXPECT_EQ(EditorModelo::motivoNoGuardado(std::make_exception_ptr(std::runtime_error("a\xff"))),
              "No se ha podido guardar: a\xEF\xBF\xBD" + cola);
}

// ---------------------------------------------------------------- nombreSeguro

TEST(NombreSeguro, Tabla) {
    struct Caso {
        std::optional<std::string> nombre;
        std::string esperado;
    };
    const std::vector<Caso> casos = {
        {std::nullopt, "diseño"},
        {"", "diseño"},
        {"   ", "diseño"},
        {"...", "diseño"},
        {" \t\n.. \n", "diseño"},
        {"  ../Mi web: nueva  ", "-Mi web- nueva"},
        {"Mi diseño", "Mi diseño"},
        {"a/b:c", "a-b-c"},
        {"/", "-"},
        {".oculto", "oculto"},
        {"...a.b.", "a.b."},
        // The dots go after trimming, and nothing is trimmed again.
        {". nombre ", " nombre"},
        {"\xC2\xA0Nombre\xE3\x80\x80\xE2\x80\xA8", "Nombre"},  // NBSP, ideographic space, line separator
        {"\xC2\x85Nombre\r\n", "Nombre"},                      // NEL is a line break
        // Nothing else is changed.
        {"C:\\Users\\*?<>|\"'", "C-\\Users\\*?<>|\"'"},
        {"Año 2024/25 — ¿Qué tal?", "Año 2024-25 — ¿Qué tal?"},
        // A dot that carries a combining accent is not a dot.
        {".\xCC\x81x", ".\xCC\x81x"},
    };
    for (const Caso& caso : casos)
        EXPECT_EQ(EditorModelo::nombreSeguro(caso.nombre, "diseño"), caso.esperado) << caso.nombre.value_or("(nada)");
}

// The design's own name: at most 80 characters, whole ones, valid UTF-8.
TEST(NombreDiseno, Tabla) {
    std::string caras;
    for (int i = 0; i < 80; ++i) caras += "😀";
    const struct {
        std::string nombre;
        std::string esperado;
    } casos[] = {
        {"Asador Bilbao", "Asador Bilbao"},
        {std::string(80, 'a'), std::string(80, 'a')},
        {std::string(81, 'a'), std::string(80, 'a')},
        {std::string(2 * 1024 * 1024, 'x'), std::string(80, 'x')},
        {caras + "más", caras},
        {std::string(79, 'e') + "e\xCC\x81" + "z", std::string(79, 'e') + "e\xCC\x81"},  // an accent stays on its letter
        {"Caf\xE9", "Caf\xEF\xBF\xBD"},
    };
    for (const auto& c : casos) EXPECT_EQ(EditorModelo::nombreDiseno(c.nombre), c.esperado) << c.nombre.substr(0, 90);
}

TEST(NombreSeguro, PorDefectoSinCambios) {
    EXPECT_EQ(EditorModelo::nombreSeguro(std::nullopt, "web"), "web");
    EXPECT_EQ(EditorModelo::nombreSeguro("", "animacion"), "animacion");
    EXPECT_EQ(EditorModelo::nombreSeguro("..", " a/b "), " a/b ");
}

TEST(NombreSeguro, CientoVeinteCaracteres) {
    EXPECT_EQ(EditorModelo::nombreSeguro(repetir("a", 200), "x"), repetir("a", 120));
    EXPECT_EQ(EditorModelo::nombreSeguro(repetir("a", 120), "x"), repetir("a", 120));
    // An accented letter is one character, composed or not.
    EXPECT_EQ(EditorModelo::nombreSeguro(repetir("é", 200), "x"), repetir("é", 120));
    EXPECT_EQ(EditorModelo::nombreSeguro(repetir("e\xCC\x81", 200), "x"), repetir("e\xCC\x81", 120));
    // An emoji with a skin tone, a family, a flag: one character each.
    EXPECT_EQ(EditorModelo::nombreSeguro(repetir("👍🏽", 130), "x"), repetir("👍🏽", 120));
    EXPECT_EQ(EditorModelo::nombreSeguro(repetir("👨‍👩‍👧", 121), "x"), repetir("👨‍👩‍👧", 120));
    EXPECT_EQ(EditorModelo::nombreSeguro("a" + repetir("🇪🇸", 130), "x"), "a" + repetir("🇪🇸", 119));
    // Trimming and the leading dots come before the cut.
    EXPECT_EQ(EditorModelo::nombreSeguro("   ..." + repetir("b", 130), "x"), repetir("b", 120));
}

TEST(NombreSeguro, BytesQueNoSonUtf8) {
    EXPECT_EQ(EditorModelo::nombreSeguro(std::string("a\xff/b"), "x"), "a\xEF\xBF\xBD-b");
}

// ---------------------------------------------------------------- slug

TEST(Slug, Tabla) {
    struct Caso {
        std::string texto;
        std::string esperado;
    };
    const std::vector<Caso> casos = {
        // Titles with accents, punctuation and dashes.
        {"Quiénes Somos", "quienes-somos"},
        {"¡Hola, mundo!", "hola-mundo"},
        {"Página 2 — Precios", "pagina-2-precios"},
        {"***", ""},
        {"", ""},
        // Accents go, composed or decomposed; so does the tilde of «ñ».
        {"ÁÉÍÓÚ Ü àèìòù", "aeiou-u-aeiou"},
        {"Que\xCC\x81 tal", "que-tal"},
        {"España y Año", "espana-y-ano"},
        {"Çà", "ca"},
        // Case folding, then lower case.
        {"CONTACTO", "contacto"},
        {"Straße", "strasse"},
        {"İstanbul", "istanbul"},
        {"ΣΟΦΊΑ Ωμέγα", "σοφια-ωμεγα"},
        {"МОСКВА́", "москва"},
        // Runs of anything else become one "-", trimmed at both ends.
        {"--a--b--", "a-b"},
        {"  a  _ . b  ", "a-b"},
        {"a_b.c/d", "a-b-c-d"},
        {"a\r\nb\tc", "a-b-c"},
        {"Hola 👋🏽 mundo", "hola-mundo"},
        {"👨‍👩‍👧", ""},
        {"🇪🇸España🇪🇸", "espana"},
        {"€100 & 50%", "100-50"},
        // Letters and numbers of any script, numeric symbols included.
        {"日本語 ページ", "日本語-ページ"},
        {"हिन्दी पृष्ठ", "हिन्दी-पृष्ठ"},
        {"مرحبا بالعالم", "مرحبا-بالعالم"},
        {"½ kilo", "½-kilo"},
        {"x² + y³", "x²-y³"},
        {"Capítulo Ⅻ", "capitulo-ⅻ"},
        {"١٢٣ ٤", "١٢٣-٤"},
        {"Nº 5", "nº-5"},
        // A keycap is its digit once the marks go.
        {"1️⃣ paso", "1-paso"},
        // Anything: never fails.
        {std::string("a\xff"
                     "b"),
         "a-b"},
        {std::string("a\0b", 3), "a-b"},
        {"\xCC\x81"
         "abc",
         "abc"},
    };
    for (const Caso& caso : casos) EXPECT_EQ(EditorModelo::slug(caso.texto), caso.esperado) << caso.texto;
}

TEST(Slug, CuarentaCaracteresTrasRecortar) {
    EXPECT_EQ(EditorModelo::slug(repetir("a", 50)), repetir("a", 40));
    EXPECT_EQ(EditorModelo::slug("  " + repetir("a", 40) + "  "), repetir("a", 40));
    // The cut comes after the trim: the 40th character may be a "-".
    EXPECT_EQ(EditorModelo::slug(repetir("a", 39) + " b"), repetir("a", 39) + "-");
    EXPECT_EQ(EditorModelo::slug(repetir("a", 39) + " "), repetir("a", 39));
    EXPECT_EQ(EditorModelo::slug("¡¡" + repetir("a", 39) + "!! b"), repetir("a", 39) + "-");
    // An accented letter is one character.
    EXPECT_EQ(EditorModelo::slug(repetir("É", 45)), repetir("e", 40));
    EXPECT_EQ(EditorModelo::slug(repetir("E\xCC\x81", 45)), repetir("e", 40));
    EXPECT_EQ(EditorModelo::slug(repetir("ペ", 45)), repetir("ペ", 40));
    EXPECT_EQ(EditorModelo::slug(repetir("हि", 45)), repetir("हि", 40));
}

TEST(Slug, TextoLargo) {
    // Long runs of separators, plain and not, are walked quickly.
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_EQ(EditorModelo::slug(repetir("!", 200000) + "fin"), "fin");
    EXPECT_EQ(EditorModelo::slug(repetir("— ", 20000) + "fin"), "fin");
    EXPECT_EQ(EditorModelo::slug(repetir("palabra ", 100000)), "palabra-palabra-palabra-palabra-palabra-");
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(10));
}

}  // namespace
}  // namespace sorvenia
