#include "aplicaciones/registro_ejecucion.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "medios/puerto_libre.h"

namespace sorvenia {
namespace {

TEST(RegistroEjecucion, LineasVaciasFueraYTope) {
    RegistroEjecucion r;
    r.anotar("a\n\nb\n");
    EXPECT_EQ(r.tamano(), 2u);
    r.anotar("\n\n\n");
    EXPECT_EQ(r.tamano(), 2u);
    // A chunk without a final line feed is a line of its own: a server line
    // split across two chunks gives two lines.
    r.anotar("mitad");
    r.anotar(" otra\n");
    EXPECT_EQ(r.ultimas(60), "a\nb\nmitad\n otra");
    EXPECT_EQ(r.ultimas(2), "mitad\n otra");
    EXPECT_EQ(r.ultimas(0), "");

    RegistroEjecucion lleno;
    for (int i = 1; i <= 301; ++i) lleno.anotar("linea " + std::to_string(i) + "\n");
    EXPECT_EQ(lleno.tamano(), 300u);
    EXPECT_EQ(lleno.ultimas(300).substr(0, 8), "linea 2\n");
    EXPECT_EQ(lleno.ultimas(1), "linea 301");
}

TEST(DecodificadorUtf8, UnCaracterPartidoEntreTrozosLlegaEntero) {
    const std::string texto = "año €uro 😀 fin";
    // Every cut of the text into two chunks gives back the text.
    for (std::size_t corte = 0; corte <= texto.size(); ++corte) {
        DecodificadorUtf8 d;
        std::string junto = d.anadir(texto.substr(0, corte));
        junto += d.anadir(texto.substr(corte));
        junto += d.terminar();
        EXPECT_EQ(junto, texto) << corte;
    }
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        std::vector<std::string> trozos;
        std::string esperado;
    } casos[] = {
        {{"a\xFF", "b"}, "a" + r + "b"},          // an invalid byte is replaced at once
        {{"fin\xC3"}, "fin" + r},                 // a cut-short character at the end
        {{"\xE2\x82", "x"}, r + "x"},             // a sequence that never completes
        {{"\x80\x80\x80\x80", ""}, r + r + r + r},  // stray continuation bytes
    };
    for (const auto& c : casos) {
        DecodificadorUtf8 d;
        std::string junto;
        for (const auto& t : c.trozos) junto += d.anadir(t);
        junto += d.terminar();
        EXPECT_EQ(junto, c.esperado);
    }
}

// A listening socket on 127.0.0.1 at `puerto`, or -1.
int ocupar(int puerto) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in d{};
    d.sin_family = AF_INET;
    d.sin_port = htons(static_cast<std::uint16_t>(puerto));
    d.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&d), sizeof d) != 0 || ::listen(s, 1) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

TEST(PuertoLibre, SaltaLosOcupadosYSinNingunoDaElPrimero) {
    const int inicio = 23310;
    std::vector<int> ocupados;
    for (int p = inicio; p < inicio + 3; ++p) ocupados.push_back(ocupar(p));
    ASSERT_TRUE(std::all_of(ocupados.begin(), ocupados.end(), [](int s) { return s >= 0; }));
    EXPECT_GE(VideoEnDirecto::puertoLibre(inicio), inicio + 3);
    EXPECT_LT(VideoEnDirecto::puertoLibre(inicio), inicio + 200);
    for (int p = inicio + 3; p < inicio + 200; ++p) {
        const int s = ocupar(p);
        if (s >= 0) ocupados.push_back(s);
    }
    EXPECT_EQ(VideoEnDirecto::puertoLibre(inicio), inicio);
    for (const int s : ocupados) ::close(s);
    EXPECT_EQ(VideoEnDirecto::puertoLibre(inicio), inicio);
    // Never past the last port.
    EXPECT_LE(VideoEnDirecto::puertoLibre(65500), 65535);
}

}  // namespace
}  // namespace sorvenia
