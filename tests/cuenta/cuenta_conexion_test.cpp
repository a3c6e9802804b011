// The redeem of a browser sign-in, sign-out and the sign-in's random texts.
#include "cuenta_prueba.h"
#include "plataforma/cripto.h"

namespace sorvenia::prueba {
namespace {

using nlohmann::json;

class CuentaConexion : public CuentaPrueba {
protected:
    // What the browser does on the account site: the customer agrees (or
    // not) and the site sends back the callback address.
    std::string vueltaDelNavegador(const std::string& verificador, const std::string& decision) {
        const std::string reto = base64url(sha256(verificador));
        const auto pagina = obtener(servicio.base() + "/conectar-app/?app=tarvel&state=e1&challenge=" + reto + "&equipo=PC");
        EXPECT_EQ(pagina.status, 200);
        EXPECT_NE(pagina.cuerpo.find("Ana Pérez"), std::string::npos);
        PeticionHTTP p;
        p.metodo = "POST";
        p.url = servicio.base() + "/conectar-app/";
        p.cabeceras = {{"Content-Type", "application/x-www-form-urlencoded"}};
        p.cuerpo = "state=e1&challenge=" + reto + "&cliente=1&decision=" + decision;
        const auto r = pedir(p);
        EXPECT_TRUE(r);
        EXPECT_EQ(r->status, 302);
        return r->cabecera("Location").value_or("");
    }

    std::string codigo(const std::string& verificador) {
        const std::string vuelta = vueltaDelNavegador(verificador, "permitir");
        const std::string prefijo = "sorvenia-tarvel://conectar?state=e1&code=";
        EXPECT_EQ(vuelta.rfind(prefijo, 0), 0u) << vuelta;
        return vuelta.substr(prefijo.size());
    }

    const std::string verificador_ = *Cuenta::aleatorio(48);
};

TEST_F(CuentaConexion, CanjearGuardaClaveYClienteYRefresca) {
    auto cuenta = crear();
    esperarEnBucle(cuenta->canjear(codigo(verificador_), verificador_));
    EXPECT_FALSE(cuenta->error());
    ASSERT_TRUE(cuenta->cliente());
    EXPECT_EQ(cuenta->cliente()->nombre, "Ana Pérez");
    const auto clave = claveGuardada();
    ASSERT_TRUE(clave);
    EXPECT_EQ(clave->rfind("clave-", 0), 0u);
    EXPECT_TRUE(preferencias.existe("cliente@127.0.0.1"));

    const auto canje = servicio.registroDe("canjear").at(0);
    EXPECT_FALSE(canje["cabeceras"].contains("Authorization")) << "no key yet";
    EXPECT_EQ(json::parse(canje["cuerpo"].get<std::string>())["verificador"], verificador_);
    const auto refresco = servicio.registroDe("cuenta").at(0);
    EXPECT_EQ(refresco["cabeceras"]["Authorization"], "Bearer " + *clave) << "the refresh uses the new key";
    // Signed in for the next start too.
    EXPECT_TRUE(crear()->cliente());
}

TEST_F(CuentaConexion, CanjeRechazadoNoGuardaNada) {
    auto cuenta = crear();
    const std::string k = codigo(verificador_);
    esperarEnBucle(cuenta->canjear(k, verificador_ + "x"));
    EXPECT_EQ(cuenta->error(), "El código de conexión no vale o ha caducado.");
    EXPECT_FALSE(cuenta->cliente());
    EXPECT_FALSE(claveGuardada());
    // The code was spent by the failed attempt.
    esperarEnBucle(cuenta->canjear(k, verificador_));
    EXPECT_FALSE(cuenta->cliente());

    servicio.interruptores({{"canjear", {{"cuerpo", R"({"clave":"k"})"}}}});
    esperarEnBucle(cuenta->canjear(codigo(verificador_), verificador_));
    EXPECT_EQ(cuenta->error(), "El servidor ha devuelto algo que no se entiende.");
    EXPECT_FALSE(claveGuardada());
}

TEST_F(CuentaConexion, ElSitioDevuelveLaNegativa) {
    EXPECT_EQ(vueltaDelNavegador(verificador_, "denegar"), "sorvenia-tarvel://conectar?state=e1&error=denegado");
}

// A key the keychain would not store must leave nobody signed in, keep the
// secret stored before, and not come back later as a "revoked" key.
TEST_F(CuentaConexion, ClaveQueNoSePuedeGuardar) {
    ASSERT_TRUE(llavero->guardar(Llavero::servicio(), "clave@127.0.0.1", "clave-de-antes"));
    llavero->rechazarEscrituras(true);
    auto cuenta = crear();
    esperarEnBucle(cuenta->canjear(codigo(verificador_), verificador_));
    EXPECT_EQ(cuenta->error(), "No se ha podido guardar la clave en el llavero del sistema.");
    EXPECT_FALSE(cuenta->cliente());
    EXPECT_FALSE(preferencias.existe("cliente@127.0.0.1"));
    EXPECT_EQ(claveGuardada(), "clave-de-antes");
    EXPECT_TRUE(servicio.registroDe("cuenta").empty()) << "no refresh that would blame a revoked key";
    EXPECT_FALSE(crear()->cliente()) << "nor at the next start";
}

TEST_F(CuentaConexion, DesconectarConYSinRevocar) {
    anaConectada();
    auto cuenta = crear();
    esperarEnBucle(cuenta->refrescar());
    ASSERT_TRUE(cuenta->cliente());

    esperarEnBucle(cuenta->desconectar(true));
    EXPECT_FALSE(cuenta->cliente());
    EXPECT_TRUE(cuenta->disenos().empty());
    EXPECT_FALSE(cuenta->error());
    EXPECT_FALSE(claveGuardada());
    EXPECT_FALSE(preferencias.existe("cliente@127.0.0.1"));
    // The revoke goes on its own; nothing waited for it.
    ASSERT_TRUE(bombearHasta([&] { return !servicio.registroDe("desconectar").empty(); }));
    const auto revocacion = servicio.registroDe("desconectar").at(0);
    EXPECT_EQ(revocacion["metodo"], "POST");
    EXPECT_EQ(revocacion["cabeceras"]["Authorization"], "Bearer clave-ana");
    EXPECT_EQ(revocacion["cabeceras"]["Content-Type"], "application/json");
    EXPECT_EQ(revocacion["cuerpo"], "{}");
    EXPECT_EQ(servicio.pedirComoAna("GET", "").status, 401) << "the key no longer works";

    // Without revoking, or without a key, nothing is sent.
    const auto antes = servicio.registro().size();
    ASSERT_TRUE(llavero->guardar(Llavero::servicio(), "clave@127.0.0.1", "clave-otro"));
    esperarEnBucle(cuenta->desconectar(false));
    EXPECT_FALSE(claveGuardada());
    esperarEnBucle(cuenta->desconectar(true));
    bombearHasta([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(servicio.registro().size(), antes);
}

TEST(Aleatorio, LongitudesYAlfabeto) {
    const std::pair<std::size_t, std::size_t> casos[] = {{0, 0}, {1, 2}, {2, 3}, {3, 4}, {24, 32}, {48, 64}};
    for (const auto& [n, largo] : casos) {
        const auto t = Cuenta::aleatorio(n);
        ASSERT_TRUE(t);
        EXPECT_EQ(t->size(), largo) << n;
        EXPECT_EQ(t->find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
                  std::string::npos);
    }
    EXPECT_NE(Cuenta::aleatorio(48), Cuenta::aleatorio(48));
}

TEST(Aleatorio, UnaFuenteQueFallaNoDaNada) {
    const Cuenta::FuenteAzar falla = [](std::size_t) -> Resultado<std::vector<std::uint8_t>> {
        return Fallo{"sin entropía", "azar"};
    };
    EXPECT_FALSE(Cuenta::aleatorio(48, falla));
    const Cuenta::FuenteAzar corta = [](std::size_t n) -> Resultado<std::vector<std::uint8_t>> {
        return std::vector<std::uint8_t>(n / 2, 7);
    };
    EXPECT_FALSE(Cuenta::aleatorio(48, corta));
    const Cuenta::FuenteAzar fija = [](std::size_t n) -> Resultado<std::vector<std::uint8_t>> {
        return std::vector<std::uint8_t>(n, 0xFB);
    };
    EXPECT_EQ(Cuenta::aleatorio(3, fija), "-_v7") << "URL-safe alphabet, no padding";
}

TEST(NombreCopia, Tabla) {
    struct Caso {
        std::optional<std::string> id, ref;
        std::string nombre;
    };
    const Caso casos[] = {
        {"abc/12", std::nullopt, "abc12.json"},
        {"12", "R", "12.json"},
        {std::nullopt, "x y", "nuevo-xy.json"},
        {std::nullopt, "A1-B2", "nuevo-A1-B2.json"},
        {std::nullopt, std::nullopt, "nuevo.json"},
        {"///", std::nullopt, "nuevo.json"},
        {"ñ", std::nullopt, "nuevo.json"},
        {"", "R", "nuevo.json"},
        {std::string(100, 'a'), std::nullopt, std::string(80, 'a') + ".json"},
        {"ñandú", std::nullopt, "and.json"},
        {"a.b", std::nullopt, "ab.json"},
        {"a\r\nb", std::nullopt, "ab.json"},
        {"e\xCC\x81x", std::nullopt, "x.json"},  // "e" with a combining accent is one character, not ASCII
        {"1\xEF\xB8\x8F\xE2\x83\xA3" "2", std::nullopt, "2.json"},  // keycap one
        {"../x", std::nullopt, "x.json"},
        {std::string("a\xff" "b"), std::nullopt, "ab.json"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(Cuenta::nombreCopia(c.id, c.ref), c.nombre) << c.id.value_or("-") << " " << c.ref.value_or("-");
    }
}

}  // namespace
}  // namespace sorvenia::prueba
