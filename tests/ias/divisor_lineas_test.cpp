#include "ias/divisor_lineas.h"

#include <gtest/gtest.h>

namespace sorvenia {
namespace {

std::vector<std::string> dividir(const std::vector<std::string>& lecturas) {
    DivisorLineas divisor;
    std::vector<std::string> lineas;
    for (const auto& l : lecturas) divisor.anadir(l, lineas);
    if (auto ultima = divisor.terminar()) lineas.push_back(*ultima);
    return lineas;
}

TEST(DivisorLineas, CortaSoloEnSaltosYConservaElRetornoDeCarro) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        std::vector<std::string> lecturas;
        std::vector<std::string> lineas;
    } casos[] = {
        {{"a\r\nb"}, {"a\r", "b"}},
        {{"\n\n\n"}, {}},
        {{"\r\n"}, {"\r"}},
        {{"uno\n\ndos\n"}, {"uno", "dos"}},
        {{"x\xFFy\n"}, {"x" + r + "y"}},
        {{"a\xC3", "\xB1" "b\n"}, {"añb"}},              // ñ split between two reads
        {{"\xF0\x9F", "\x99", "\x82\n"}, {"🙂"}},       // a 4-byte character over three reads
        {{"fin sin salto\xE2\x82"}, {"fin sin salto" + r}},  // cut short at end of file
        {{"lar", "ga", "\n", "", "otra"}, {"larga", "otra"}},
    };
    for (const auto& c : casos) EXPECT_EQ(dividir(c.lecturas), c.lineas) << ::testing::PrintToString(c.lecturas);
}

TEST(DivisorLineas, DaLoMismoCorteDondeCorteLaLectura) {
    const std::string texto = "añ\r\n\n🙂 x\xFF\nÚltima ñ";
    const auto entera = dividir({texto});
    ASSERT_EQ(entera.size(), 3u);
    for (std::size_t i = 0; i <= texto.size(); ++i)
        for (std::size_t j = i; j <= texto.size(); ++j)
            ASSERT_EQ(dividir({texto.substr(0, i), texto.substr(i, j - i), texto.substr(j)}), entera)
                << "cortes en " << i << " y " << j;
}

}  // namespace
}  // namespace sorvenia
