// Llavero on the real Secret Service: the throwaway keyring that
// scripts/entorno-pruebas.sh starts (never a user's).
#include "cuenta/llavero.h"

#include <libsecret/secret.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <thread>

#include "cuenta_prueba.h"
#include "plataforma/cripto.h"

namespace sorvenia::prueba {
namespace {

bool llaveroDesechable() { return std::getenv("SORVENIA_LLAVERO_DESECHABLE") != nullptr; }

// Runs `fn` off the main thread, as the application's callers do.
template <class F>
auto enOtroHilo(F fn) {
    std::optional<decltype(fn())> resultado;
    std::thread hilo([&] { resultado.emplace(fn()); });
    hilo.join();
    return std::move(*resultado);
}

std::string cuentaUnica(const std::string& prefijo) {
    std::random_device azar;
    return prefijo + std::to_string(getpid()) + "-" + std::to_string(azar());
}

std::size_t cuantosElementos(const std::string& cuenta) {
    static const SecretSchema esquema = {
        "es.sorvenia.tarvel.Secreto",
        SECRET_SCHEMA_NONE,
        {{"servicio", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"cuenta", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    GList* lista = secret_password_search_sync(&esquema, SECRET_SEARCH_ALL, nullptr, nullptr, "servicio",
                                               Llavero::servicio().c_str(), "cuenta", cuenta.c_str(), nullptr);
    const auto n = static_cast<std::size_t>(g_list_length(lista));
    g_list_free_full(lista, g_object_unref);
    return n;
}

class LlaveroSistema : public ::testing::Test {
protected:
    void SetUp() override {
        if (!llaveroDesechable()) GTEST_SKIP() << "needs the throwaway keyring of scripts/entorno-pruebas.sh";
    }
};

TEST_F(LlaveroSistema, LeerGuardarReemplazarYBorrar) {
    EXPECT_EQ(Llavero::servicio(), "es.sorvenia.tarvel") << "the application id";
    const std::string cuenta = cuentaUnica("clave@");
    EXPECT_FALSE(enOtroHilo([&] { return Llavero::leer(cuenta); })) << "never written";

    ASSERT_TRUE(enOtroHilo([&] { return Llavero::guardar("a", cuenta); }));
    ASSERT_TRUE(enOtroHilo([&] { return Llavero::guardar("b ñ 🙂", cuenta); }));
    EXPECT_EQ(enOtroHilo([&] { return Llavero::leer(cuenta); }), "b ñ 🙂");
    EXPECT_EQ(enOtroHilo([&] { return cuantosElementos(cuenta); }), 1u) << "replaced, not added";

    enOtroHilo([&] { Llavero::borrar(cuenta); return true; });
    EXPECT_FALSE(enOtroHilo([&] { return Llavero::leer(cuenta); }));
    enOtroHilo([&] { Llavero::borrar(cuenta); return true; });  // nothing there: nothing happens
    EXPECT_EQ(enOtroHilo([&] { return cuantosElementos(cuenta); }), 0u);
}

// A write the keyring refuses reports failure and leaves the earlier secret.
TEST_F(LlaveroSistema, EscrituraRechazadaConservaLaAnterior) {
    const std::string cuenta = cuentaUnica("servicio:");
    ASSERT_TRUE(enOtroHilo([&] { return Llavero::guardar("la buena", cuenta); }));
    EXPECT_FALSE(enOtroHilo([&] { return Llavero::guardar(std::string("con\0nulo", 8), cuenta); }));
    EXPECT_EQ(enOtroHilo([&] { return Llavero::leer(cuenta); }), "la buena");
    enOtroHilo([&] { Llavero::borrar(cuenta); return true; });
}

// On the main thread the keychain is never called (an unlock prompt would
// freeze the window): a read finds nothing, a write fails.
TEST_F(LlaveroSistema, NuncaEnElHiloPrincipal) {
    ASSERT_TRUE(esHiloPrincipal());
    const std::string cuenta = cuentaUnica("conexion:");
    ASSERT_TRUE(enOtroHilo([&] { return Llavero::guardar("x", cuenta); }));
    EXPECT_FALSE(Llavero::leer(cuenta));
    EXPECT_FALSE(Llavero::guardar("y", cuenta));
    EXPECT_EQ(enOtroHilo([&] { return Llavero::leer(cuenta); }), "x");
    enOtroHilo([&] { Llavero::borrar(cuenta); return true; });
}

// The account object keeps its key in the real keychain from the sign-in to
// the next start, and the sign-out removes it.
TEST_F(LlaveroSistema, LaCuentaGuardaSuClaveEnElLlavero) {
    ServicioLocalPrueba servicio;
    CarpetaTemporal carpeta;
    Preferencias preferencias(carpeta.ruta() / "preferencias.json");
    ASSERT_TRUE(preferencias.fijarTexto("servidor", servicio.base()));
    enOtroHilo([&] { Llavero::borrar("clave@127.0.0.1"); return true; });

    // The browser's part of the sign-in.
    const std::string verificador = *Cuenta::aleatorio(48);
    const std::string reto = base64url(sha256(verificador));
    PeticionHTTP p;
    p.metodo = "POST";
    p.url = servicio.base() + "/conectar-app/";
    p.cabeceras = {{"Content-Type", "application/x-www-form-urlencoded"}};
    p.cuerpo = "state=e&challenge=" + reto + "&cliente=1&decision=permitir";
    const auto vuelta = pedir(p);
    ASSERT_TRUE(vuelta);
    const std::string destino = vuelta->cabecera("Location").value_or("");
    const std::string codigo = destino.substr(destino.find("code=") + 5);

    auto cuenta = esperarEnBucle(Cuenta::crear(Cuenta::Entorno{&preferencias, ""}));
    esperarEnBucle(cuenta->canjear(codigo, verificador));
    ASSERT_FALSE(cuenta->error()) << *cuenta->error();
    ASSERT_TRUE(cuenta->cliente());
    const auto clave = enOtroHilo([&] { return Llavero::leer("clave@127.0.0.1"); });
    ASSERT_TRUE(clave);

    auto otraVez = esperarEnBucle(Cuenta::crear(Cuenta::Entorno{&preferencias, ""}));
    EXPECT_TRUE(otraVez->cliente()) << "restored through the keychain";

    esperarEnBucle(otraVez->desconectar(false));
    EXPECT_FALSE(enOtroHilo([&] { return Llavero::leer("clave@127.0.0.1"); }));
    EXPECT_FALSE(esperarEnBucle(Cuenta::crear(Cuenta::Entorno{&preferencias, ""}))->cliente());
}

}  // namespace
}  // namespace sorvenia::prueba
