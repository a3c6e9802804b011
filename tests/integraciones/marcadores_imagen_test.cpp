// Where the image placeholders lie in a text and which words they hold,
// in the cases where the rule's backtracking is easy to get wrong: blanks
// after the prefix, values too short or too long once the prefix is taken,
// and what counts as a blank.
#include "integraciones/marcadores_imagen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorvenia {
namespace {

// Each placeholder as "<start>:<length>:<words>".
std::vector<std::wstring> describir(const std::vector<MarcadorImagen>& lista) {
    std::vector<std::wstring> descritos;
    for (const auto& m : lista)
        descritos.push_back(std::to_wstring(m.inicio) + L":" + std::to_wstring(m.largo) + L":" + m.palabras);
    return descritos;
}

TEST(MarcadoresImagen, Fotos) {
    const struct {
        std::wstring html;
        std::vector<std::wstring> esperados;
    } casos[] = {
        {LR"(<img src="foto:playa">)", {L"5:16:playa"}},
        {LR"(<img SRC = "PHOTO:  gato">)", {L"5:20:gato"}},
        // The words need two characters: the blanks give them back, and
        // failing that the prefix is part of the words.
        {LR"(<img src="foto:  x">)", {L"5:14: x"}},
        {LR"(<img src="foto: ">)", {L"5:12:foto: "}},
        {LR"(<img src="foto:a">)", {L"5:12:foto:a"}},
        {LR"(<img src="a">)", {}},
        // 120 characters at most, up to the closing quote.
        {L"<img src=\"" + std::wstring(120, L'q') + L"\">", {L"5:126:" + std::wstring(120, L'q')}},
        {L"<img src=\"" + std::wstring(121, L'q') + L"\">", {}},
        {L"<img src=\"foto:" + std::wstring(120, L'q') + L"\">", {L"5:131:" + std::wstring(120, L'q')}},
        // Addresses, data and resources are no placeholders, in any case.
        {LR"(<img src="HTTPS://a.example/x.jpg"><img src="http:x"><img src="Data:x"><img src="recurso:x">)", {}},
        {LR"(<img src="httpx">)", {L"5:11:httpx"}},
        // Scene videos and posters keep their paths; other relative paths
        // are still words.
        {LR"(<video src="escenas/ola.mp4" poster="escenas/ola.jpg"><source src="ESCENA:ola">)", {}},
        {LR"(<img src="escenasx/a.jpg">)", {L"5:20:escenasx/a.jpg"}},
        // Any src, also inside a longer attribute name; no closing quote,
        // no placeholder.
        {LR"(<img data-src="ab"><img src="cd)", {L"10:8:ab"}},
        // The six ASCII blanks count, other spaces do not.
        {L"<img src\v=\t\"foto:\f\r\nmar\">", {L"5:19:mar"}},
        {L"<img src\u00a0=\"mar\"><img src=\"foto:\u3000mar\">", {L"21:15:\u3000mar"}},
    };
    for (const auto& c : casos)
        EXPECT_EQ(describir(marcadoresFoto(c.html)), c.esperados) << std::string(c.html.begin(), c.html.end());
}

TEST(MarcadoresImagen, Logos) {
    const struct {
        std::wstring html;
        std::vector<std::wstring> esperados;
    } casos[] = {
        {LR"(<img src = "logo:Notion"><img Src="LOGO:AT&T">)", {L"5:19:Notion", L"30:15:AT&T"}},
        {LR"(<img src="logo:">)", {}},
        {L"<img src=\"logo:" + std::wstring(60, L'n') + L"\">", {L"5:71:" + std::wstring(60, L'n')}},
        {L"<img src=\"logo:" + std::wstring(61, L'n') + L"\">", {}},
        {LR"(<img src="foto:logo:x">)", {}},
    };
    for (const auto& c : casos)
        EXPECT_EQ(describir(marcadoresLogo(c.html)), c.esperados) << std::string(c.html.begin(), c.html.end());
}

}  // namespace
}  // namespace sorvenia
