// Reading a JSON-RPC id as the text it came in.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "comun/id_jsonrpc.h"

namespace sorvenia {
namespace {

TEST(IdJSONRPC, TextoDelUltimoIdDeArriba) {
    struct Caso {
        std::string objeto;
        std::optional<std::string> id;
    };
    const std::vector<Caso> casos = {
        {R"({"id":123456789012345678901234567890})", "123456789012345678901234567890"},
        {R"({"jsonrpc":"2.0","method":"x","id":"a,b}"})", R"("a,b}")"},
        {R"({"id":"\"}"})", R"("\"}")"},
        {" \t\r\n{ \"id\" :\n -0.50e+3 , \"x\":1}", "-0.50e+3"},
        {R"({"x":{"id":1},"y":[{"id":2}],"id":true})", "true"},  // nested ids are not the message's
        {R"({"x":{"id":1}})", std::nullopt},
        {R"({"id":1,"id":null})", "null"},
        {R"({"\u0069d":7})", "7"},
        {R"({"i\"d":7})", std::nullopt},
        {"{\"id\":{\"a\" : [ 1,\n\"b c\" ]}}", R"({"a":[1,"b c"]})"},
        {"\xEF\xBB\xBF{\"id\":5}", "5"},
        {"{}", std::nullopt},
        {"[1]", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(idCrudo(c.objeto), c.id) << c.objeto;
        // Whatever it gives for a valid object is the value the parser read.
        const auto id = idCrudo(c.objeto);
        const auto leido = nlohmann::json::parse(c.objeto, nullptr, false);
        if (id && leido.is_object()) EXPECT_EQ(nlohmann::json::parse(*id), leido["id"]) << c.objeto;
    }
}

TEST(IdJSONRPC, MensajeConId) {
    EXPECT_EQ(mensajeConId("123456789012345678901234567890", R"({"result":{}})"),
              R"({"jsonrpc":"2.0","id":123456789012345678901234567890,"result":{}})");
    EXPECT_EQ(mensajeConId("null", "{}"), R"({"jsonrpc":"2.0","id":null})");
}

}  // namespace
}  // namespace sorvenia
