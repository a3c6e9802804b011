// The sentence for a failed save, safe file names and slugs.
// "Characters" here are user-perceived characters (extended grapheme
// clusters, centro/letras.h); the Unicode properties come from GLib.

#include <glib.h>

#include <array>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "centro/letras.h"
#include "comun/utf8.h"
#include "cuenta/error_api.h"
#include "centro/editor_modelo.h"
#include "plataforma/objeto_g.h"

namespace sorvenia {
namespace {

// The tail of every sentence; it opens with the only space between the
// reason and "Lo".
constexpr std::string_view cola = " Lo de este ordenador queda a salvo y se ofrecerá al volver a abrirlo.";

constexpr std::string_view conexionPerdida =
    "No se guarda: la conexión con tu cuenta de Sorvenia ya no vale. Vuelve a conectarla en Ajustes › Cuenta.";

// The code the account service answers with when the plan's limit of
// designs is reached: the notice then carries the service's own message.
constexpr std::string_view codigoLimite = "limite_disenos";

// The description of an error that is no std::exception.
constexpr std::string_view errorDesconocido = "Ha ocurrido un error inesperado.";

std::string noGuardado(std::string_view descripcion) {
    return "No se ha podido guardar: " + repararUtf8(descripcion) + std::string(cola);
}

std::string segunErrorAPI(const ErrorAPI& error) {
    const std::string& codigo = error.codigo;
    if (codigo == "demasiado_grande")
        return "No se guarda: el diseño pasa de 4 MB. Quita o reduce alguna imagen." + std::string(cola);
    if (codigo == "doc_peligroso") return "No se guarda: " + repararUtf8(error.mensaje) + std::string(cola);
    if (codigo == "clave_invalida" || codigo == "clave_ajena" || codigo == "sin_credenciales" ||
        codigo == "permiso_insuficiente")
        return std::string(conexionPerdida) + std::string(cola);
    if (codigo == codigoLimite) return "No se guarda: " + repararUtf8(error.mensaje) + std::string(cola);
    if (error.status == 401 || error.status == 403) return std::string(conexionPerdida) + std::string(cola);
    return noGuardado(error.mensaje);
}

// The first character of a non-empty text. Two ASCII bytes in a row are
// always two characters (only CR LF is one; callers treat both alike), which
// spares the break iterator for plain text.
std::string_view primeraLetra(std::string_view texto) {
    if (texto.size() == 1 || (static_cast<unsigned char>(texto[0]) < 0x80 &&
                              static_cast<unsigned char>(texto[1]) < 0x80 && !(texto[0] == '\r' && texto[1] == '\n')))
        return texto.substr(0, 1);
    std::string_view letra = primerasLetras(texto, 1);
    if (letra.empty()) {  // the break iterator could not walk the text
        const std::size_t largo = longitudSecuencia(texto);
        letra = texto.substr(0, largo == 0 ? 1 : largo);
    }
    return letra;
}

// Unicode's White_Space as Foundation's whitespacesAndNewlines has it:
// space separators, tab and the line breaks.
bool esBlanco(gunichar c) {
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85) return true;
    const GUnicodeType tipo = g_unichar_type(c);
    return tipo == G_UNICODE_SPACE_SEPARATOR || tipo == G_UNICODE_LINE_SEPARATOR ||
           tipo == G_UNICODE_PARAGRAPH_SEPARATOR;
}

// Trims white space and line breaks (code points) at both ends of valid UTF-8.
std::string_view recortarBlancos(std::string_view texto) {
    while (!texto.empty()) {
        const gunichar c = g_utf8_get_char(texto.data());
        if (!esBlanco(c)) break;
        texto.remove_prefix(static_cast<std::size_t>(g_utf8_next_char(texto.data()) - texto.data()));
    }
    while (!texto.empty()) {
        const char* ultimo = g_utf8_find_prev_char(texto.data(), texto.data() + texto.size());
        if (ultimo == nullptr || !esBlanco(g_utf8_get_char(ultimo))) break;
        texto.remove_suffix(texto.size() - static_cast<std::size_t>(ultimo - texto.data()));
    }
    return texto;
}

// Diacritics are taken off letters of the Latin, Greek and Cyrillic blocks
// (base characters below U+0510, as Foundation's folding does); marks on
// other scripts' letters (Devanagari vowel signs, Arabic vowels) are part of
// the spelling and stay.
constexpr gunichar limiteSinDiacriticos = 0x0510;

// A slug starts with case folding, then the text decomposed and every mark that
// follows a base character of those blocks removed, then composed again.
// Spanish has no folding rules of its own (unlike Turkish or Lithuanian),
// so «ñ» folds to «n» like any other letter with a diacritic. Nothing here
// depends on the process locale.
std::string plegar(const std::string& texto) {
    const TextoG doblado(g_utf8_casefold(texto.data(), static_cast<gssize>(texto.size())));
    if (!doblado) return {};
    const TextoG descompuesto(g_utf8_normalize(doblado.get(), -1, G_NORMALIZE_NFD));
    if (!descompuesto) return {};
    std::string limpio;
    bool baseSinDiacriticos = false;
    for (const char* p = descompuesto.get(); *p != '\0'; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (g_unichar_ismark(c)) {
            if (baseSinDiacriticos) continue;
        } else {
            baseSinDiacriticos = c < limiteSinDiacriticos;
        }
        std::array<char, 6> bytes{};
        limpio.append(bytes.data(), static_cast<std::size_t>(g_unichar_to_utf8(c, bytes.data())));
    }
    const TextoG compuesto(g_utf8_normalize(limpio.data(), static_cast<gssize>(limpio.size()), G_NORMALIZE_NFC));
    return compuesto ? std::string(compuesto.get()) : std::string();
}

// A letter or a number of any script, numeric symbols («½», «²», «Ⅻ»)
// included, judged by the character's first code point.
bool esLetraONumero(std::string_view letra) {
    const gunichar c = g_utf8_get_char(letra.data());
    if (g_unichar_isalpha(c)) return true;
    const GUnicodeType tipo = g_unichar_type(c);
    return tipo == G_UNICODE_DECIMAL_NUMBER || tipo == G_UNICODE_LETTER_NUMBER || tipo == G_UNICODE_OTHER_NUMBER;
}

constexpr std::size_t maximoNombre = 120;
constexpr std::size_t maximoNombreDiseno = 80;
constexpr std::size_t maximoSlug = 40;

}  // namespace

std::string EditorModelo::motivoNoGuardado(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const ErrorAPI& e) {
        return segunErrorAPI(e);
    } catch (const std::exception& e) {
        const char* descripcion = e.what();
        if (descripcion != nullptr && *descripcion != '\0') return noGuardado(descripcion);
    } catch (...) {
    }
    return noGuardado(errorDesconocido);
}

std::string EditorModelo::nombreSeguro(const std::optional<std::string>& nombre, std::string_view porDefecto) {
    std::string texto = nombre ? repararUtf8(*nombre) : std::string();
    for (char& c : texto)
        if (c == '/' || c == ':') c = '-';
    std::string_view resto = recortarBlancos(texto);
    // Whole characters only: a dot carrying a combining mark is not a dot.
    while (!resto.empty() && primeraLetra(resto) == ".") resto.remove_prefix(1);
    resto = primerasLetras(resto, maximoNombre);
    if (resto.empty()) return std::string(porDefecto);
    return std::string(resto);
}

std::string EditorModelo::nombreDiseno(std::string_view nombre) {
    const std::string valido = repararUtf8(nombre);
    return std::string(primerasLetras(valido, maximoNombreDiseno));
}

std::string EditorModelo::slug(std::string_view texto) {
    // GLib's normalisation stops at a NUL; it is a separator like any other
    // control character.
    std::string valido = repararUtf8(texto);
    for (char& c : valido)
        if (c == '\0') c = ' ';
    const std::string plegado = plegar(valido);
    const TextoG minusculas(g_utf8_strdown(plegado.data(), static_cast<gssize>(plegado.size())));
    std::string_view resto = minusculas ? std::string_view(minusculas.get()) : std::string_view();

    // Then one walk: letters and numbers are kept whole, each run
    // of other characters gives one "-" (never at the start; at the end it
    // is dropped below). The walk stops once 41 characters are in: the cut
    // to 40 then cannot depend on what follows.
    std::vector<std::string_view> letras;
    bool separador = false;
    while (!resto.empty() && letras.size() <= maximoSlug) {
        const std::string_view letra = primeraLetra(resto);
        resto.remove_prefix(letra.size());
        if (!esLetraONumero(letra)) {
            separador = !letras.empty();
            continue;
        }
        if (separador) letras.emplace_back("-");
        separador = false;
        letras.push_back(letra);
    }
    if (letras.size() > maximoSlug) letras.resize(maximoSlug);
    std::string resultado;
    for (const std::string_view letra : letras) resultado += letra;
    return resultado;
}

}  // namespace sorvenia
