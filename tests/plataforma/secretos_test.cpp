#include "plataforma/secretos.h"

#include <libsecret/secret.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <thread>

#include "ejecutar_prueba.h"

namespace sorvenia {
namespace {

// Runs `fn` off the main thread, as the application's callers do.
template <class F>
auto enOtroHilo(F fn) {
    std::optional<decltype(fn())> resultado;
    std::thread hilo([&] { resultado.emplace(fn()); });
    hilo.join();
    return std::move(*resultado);
}

std::string servicioUnico() {
    std::random_device azar;
    return "prueba-" + std::to_string(getpid()) + "-" + std::to_string(azar());
}

prueba::Salida programa(const std::vector<std::string>& argumentos, const std::map<std::string, std::string>& entorno = {}) {
    return prueba::ejecutarPrograma(SECRETOS_PROGRAMA, argumentos, "", entorno, std::chrono::seconds(30));
}

// The items stored under the application's schema for a service and account.
std::size_t cuantosElementos(const std::string& servicio, const std::string& cuenta) {
    static const SecretSchema esquema = {
        "es.sorvenia.tarvel.Secreto",
        SECRET_SCHEMA_NONE,
        {{"servicio", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"cuenta", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    GHashTable* atributos = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(atributos, const_cast<char*>("servicio"), const_cast<char*>(servicio.c_str()));
    g_hash_table_insert(atributos, const_cast<char*>("cuenta"), const_cast<char*>(cuenta.c_str()));
    GError* error = nullptr;
    GList* lista = secret_password_searchv_sync(&esquema, atributos, SECRET_SEARCH_ALL, nullptr, &error);
    g_hash_table_unref(atributos);
    EXPECT_EQ(error, nullptr) << (error ? error->message : "");
    if (error) g_error_free(error);
    const std::size_t n = g_list_length(lista);
    g_list_free_full(lista, g_object_unref);
    return n;
}

// The keychain tests write into the session's keyring: only into the
// throwaway one that scripts/entorno-pruebas.sh starts, never a user's.
bool llaveroDesechable() { return std::getenv("SORVENIA_LLAVERO_DESECHABLE") != nullptr; }

TEST(Secretos, EnElHiloPrincipalSeNieganSinLlamarAlLlavero) {
    const auto leido = leerSecreto("s", "c");
    const auto guardado = guardarSecreto("s", "c", "v");
    const auto borrado = borrarSecreto("s", "c");
    ASSERT_FALSE(leido.ok() || guardado.ok() || borrado.ok());
    for (const Fallo* f : {&leido.fallo(), &guardado.fallo(), &borrado.fallo()}) {
        EXPECT_EQ(f->codigo, "hilo");
        EXPECT_EQ(f->mensaje, "No se puede usar el llavero del sistema desde el hilo principal.");
    }
}

TEST(Secretos, GuardarReemplazarLeerYBorrar) {
    if (!llaveroDesechable()) GTEST_SKIP() << "needs the throwaway keyring of scripts/entorno-pruebas.sh";
    const std::string servicio = servicioUnico();
    const std::string cuenta = "ana@ejemplo.es";
    auto leer = [&](const std::string& s, const std::string& c) { return enOtroHilo([&] { return leerSecreto(s, c); }); };
    auto guardar = [&](const std::string& s, const std::string& c, const std::string& v) {
        return enOtroHilo([&] { return guardarSecreto(s, c, v); });
    };

    auto r = leer(servicio, cuenta);
    ASSERT_TRUE(r.ok()) << r.fallo().mensaje;
    EXPECT_EQ(*r, std::nullopt);

    ASSERT_TRUE(guardar(servicio, cuenta, "primera").ok());
    ASSERT_TRUE(guardar(servicio, "otra cuenta", "ajena").ok());
    const auto reemplazo = guardar(servicio, cuenta, "segunda ñ 🙂");
    ASSERT_TRUE(reemplazo.ok()) << reemplazo.fallo().mensaje;
    r = leer(servicio, cuenta);
    ASSERT_TRUE(r.ok()) << r.fallo().mensaje;
    EXPECT_EQ(*r, "segunda ñ 🙂");
    EXPECT_EQ(enOtroHilo([&] { return cuantosElementos(servicio, cuenta); }), 1u);

    // Really in the Secret Service, not kept by this process.
    EXPECT_EQ(programa({"leer", servicio, cuenta}).salida, "ok segunda ñ 🙂\n");

    // An empty secret is a secret.
    ASSERT_TRUE(guardar(servicio, "vacia", "").ok());
    r = leer(servicio, "vacia");
    ASSERT_TRUE(r.ok()) << r.fallo().mensaje;
    EXPECT_EQ(*r, "");

    for (const char* c : {cuenta.c_str(), "vacia"}) {
        const auto borrado = enOtroHilo([&] { return borrarSecreto(servicio, c); });
        ASSERT_TRUE(borrado.ok()) << borrado.fallo().mensaje;
        r = leer(servicio, c);
        ASSERT_TRUE(r.ok()) << r.fallo().mensaje;
        EXPECT_EQ(*r, std::nullopt) << c;
    }
    const auto otraVez = enOtroHilo([&] { return borrarSecreto(servicio, cuenta); });
    EXPECT_TRUE(otraVez.ok()) << "deleting what is not there";

    // The other account of the service was left alone.
    r = leer(servicio, "otra cuenta");
    ASSERT_TRUE(r.ok()) << r.fallo().mensaje;
    EXPECT_EQ(*r, "ajena");
    EXPECT_TRUE(enOtroHilo([&] { return borrarSecreto(servicio, "otra cuenta"); }).ok());
}

TEST(Secretos, TextosQueElLlaveroNoAdmite) {
    const std::string nulo("a\0b", 3);
    const std::string malUTF8 = "\xff\xfe";
    auto r1 = enOtroHilo([&] { return guardarSecreto("s", "c", nulo); });
    auto r2 = enOtroHilo([&] { return guardarSecreto(malUTF8, "c", "v"); });
    auto r3 = enOtroHilo([&] { return leerSecreto("s", nulo); });
    ASSERT_FALSE(r1.ok() || r2.ok() || r3.ok());
    for (const Fallo* f : {&r1.fallo(), &r2.fallo(), &r3.fallo()}) EXPECT_EQ(f->codigo, "llavero");
}

// With no Secret Service to talk to, every operation is a failure: a read is
// not "nothing stored", a write is not saved.
TEST(Secretos, SinServicioSecretoTodoEsFallo) {
    const std::map<std::string, std::string> sinBus{{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/sorvenia-bus"}};
    for (const std::vector<std::string>& orden :
         {std::vector<std::string>{"guardar", "s", "c", "v"}, {"leer", "s", "c"}, {"borrar", "s", "c"}}) {
        const auto salida = programa(orden, sinBus);
        EXPECT_EQ(salida.estado, 0) << salida.errores;
        EXPECT_TRUE(salida.salida.starts_with("fallo llavero No se pudo usar el llavero del sistema: "))
            << orden[0] << ": " << salida.salida;
        EXPECT_TRUE(salida.salida.ends_with(".\n")) << salida.salida;
    }
}

}  // namespace
}  // namespace sorvenia
