#include "plataforma/cripto.h"

#include <gtest/gtest.h>

#include <regex>

namespace sorvenia {
namespace {

std::vector<std::uint8_t> bytesDe(std::string_view texto) { return {texto.begin(), texto.end()}; }

TEST(Cripto, Sha256DeVectoresConocidos) {
    EXPECT_EQ(hex(sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(bytesDe(std::string_view("\x00\x0f\xa0\xff", 4))), "000fa0ff");
}

// RFC 4648 section 10, plus the two characters where the alphabets differ.
TEST(Cripto, Base64DeLaRfc4648) {
    const struct {
        std::string_view bytes, estandar, url;
    } casos[] = {
        {"", "", ""},
        {"f", "Zg==", "Zg"},
        {"fo", "Zm8=", "Zm8"},
        {"foo", "Zm9v", "Zm9v"},
        {"foob", "Zm9vYg==", "Zm9vYg"},
        {"fooba", "Zm9vYmE=", "Zm9vYmE"},
        {"foobar", "Zm9vYmFy", "Zm9vYmFy"},
        {"\xfb\xff\xbf", "+/+/", "-_-_"},
        {"\xfb\xff", "+/8=", "-_8"},
    };
    for (const auto& caso : casos) {
        auto bytes = bytesDe(caso.bytes);
        EXPECT_EQ(base64(bytes), caso.estandar);
        EXPECT_EQ(base64url(bytes), caso.url);
        EXPECT_EQ(desdeBase64(caso.estandar), bytes) << caso.estandar;
        EXPECT_EQ(desdeBase64(caso.url), bytes) << caso.url;
    }
}

TEST(Cripto, Base64RechazaLoQueNoEsBase64) {
    using namespace std::string_view_literals;
    for (std::string_view malo : {"Z"sv, "Zg="sv, "Zg==="sv, "Z==="sv, "===="sv, "Zm9v="sv, "Zg==Zg=="sv, "Zm 9v"sv,
                                  "Zm9v\n"sv, "Zm9v."sv, "Zh=="sv, "Zh"sv, "Zm9="sv, "@@@@"sv, "Zm\0v"sv})
        EXPECT_FALSE(desdeBase64(malo).has_value()) << malo;
}

TEST(Cripto, AleatoriosYUuid) {
    auto a = bytesAleatorios(48);
    auto b = bytesAleatorios(48);
    ASSERT_TRUE(a && b);
    EXPECT_NE(*a, *b);
    EXPECT_EQ(base64url(*a).size(), 64u);
    EXPECT_EQ(desdeBase64(base64url(*a)), *a);
    auto vacio = bytesAleatorios(0);
    ASSERT_TRUE(vacio);
    EXPECT_TRUE(vacio->empty());

    // Every length of the last group, through both alphabets.
    for (std::size_t n = 0; n < 40; ++n) {
        auto x = bytesAleatorios(n);
        ASSERT_TRUE(x);
        EXPECT_EQ(desdeBase64(base64(*x)), *x);
        EXPECT_EQ(desdeBase64(base64url(*x)), *x);
    }

    const std::regex forma("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    auto u1 = uuid();
    auto u2 = uuid();
    ASSERT_TRUE(u1 && u2);
    EXPECT_TRUE(std::regex_match(*u1, forma)) << *u1;
    EXPECT_NE(*u1, *u2);
}

}  // namespace
}  // namespace sorvenia
