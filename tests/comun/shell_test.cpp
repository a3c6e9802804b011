#include "comun/shell.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <random>

#include "ejecutar_prueba.h"

namespace sorvenia {
namespace {

TEST(Shell, ComillasEnvuelvenYEscapan) {
    EXPECT_EQ(comillasShell("it's"), "'it'\\''s'");
    EXPECT_EQ(comillasShell(""), "''");
    EXPECT_EQ(comillasShell("a b\nñ"), "'a b\nñ'");
}

// What /bin/sh makes of the quoted word must be the original bytes.
TEST(Shell, ComillasSobrevivenAlShell) {
    std::vector<std::string> textos{"", "'", "''", "it's", "$HOME `id` $(id) \\ \" ; | & * ?", "-n", "\n\t\r", "ñ ü 🙂"};
    std::mt19937 azar(7);
    std::uniform_int_distribution<int> byte(1, 255);
    for (int i = 0; i < 8; ++i) {
        std::string t;
        for (int j = 0; j < 64; ++j) t.push_back(static_cast<char>(byte(azar)));
        textos.push_back(t);
    }
    for (const auto& texto : textos) {
        const auto r = prueba::ejecutarPrograma("/bin/sh", {"-c", "printf '%s' " + comillasShell(texto)}, "");
        EXPECT_EQ(r.estado, 0);
        EXPECT_EQ(r.salida, texto);
    }
}

struct CasoNumero {
    double x;
    const char* texto;
};

void comprobarNumeros() {
    const CasoNumero casos[] = {
        {2.0, "2"},           {1.5, "1.5"},     {10.25, "10.25"},
        {0.0004, "0"},        {0.0005, "0.001"}, {-2.5, "-2.5"},
        {-0.0004, "0"},       {1e15, "1000000000000000"}, {-1e15, "-1000000000000000"},
        {123.4567, "123.457"}, {1e20, "100000000000000000000"},
        {std::numeric_limits<double>::infinity(), "0"}, {-std::numeric_limits<double>::infinity(), "0"},
        {std::nan(""), "0"},  {std::numeric_limits<double>::max(), nullptr},
    };
    for (const auto& caso : casos) {
        const std::string texto = numeroShell(caso.x);
        if (caso.texto != nullptr) {
            EXPECT_EQ(texto, caso.texto) << caso.x;
        }
        // Whatever the number, the word is digits with at most one point.
        EXPECT_EQ(texto.find_first_not_of("-0123456789."), std::string::npos) << texto;
        EXPECT_EQ(texto.find(','), std::string::npos) << texto;
    }
}

TEST(Shell, NumerosConTresDecimalesSinCeros) { comprobarNumeros(); }

// GTK sets the locale from the environment; a Spanish one must not turn the
// point into a comma.
TEST(Shell, NumerosIgualesConLocaleEspanol) {
    const char* anterior = std::setlocale(LC_ALL, nullptr);
    const std::string guardado = anterior != nullptr ? anterior : "C";
    ASSERT_NE(std::setlocale(LC_ALL, "es_ES.UTF-8"), nullptr) << "falta el locale es_ES.UTF-8 (scripts/test.sh lo genera)";
    comprobarNumeros();
    std::setlocale(LC_ALL, guardado.c_str());
}

}  // namespace
}  // namespace sorvenia
