// A keyring that is locked when the application starts (a login that did not
// unlock it, a new session bus): reading the key asks the keyring to unlock,
// the stand-in user answers its prompt, and the key is found; a refused
// prompt is a keyring failure, not "no key stored". Each case runs on a bus
// and keyring daemon of its own (llavero_bloqueado.sh).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ejecutar_prueba.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

struct Carpeta {
    fs::path ruta;
    Carpeta() {
        std::string plantilla = (fs::temp_directory_path() / "llavero-bloqueado-XXXXXX").string();
        ruta = ::mkdtemp(plantilla.data());
        for (const char* sub : {"home", "config", "data", "runtime"}) fs::create_directories(ruta / sub);
        ::chmod((ruta / "runtime").c_str(), 0700);
    }
    ~Carpeta() {
        std::error_code ec;
        fs::remove_all(ruta, ec);
    }
};

prueba::Salida leerConLlaveroBloqueado(const std::string& respuesta) {
    const Carpeta carpeta;
    const std::map<std::string, std::string> entorno{
        {"HOME", (carpeta.ruta / "home").string()},
        {"XDG_CONFIG_HOME", (carpeta.ruta / "config").string()},
        {"XDG_DATA_HOME", (carpeta.ruta / "data").string()},
        {"XDG_RUNTIME_DIR", (carpeta.ruta / "runtime").string()},
        // No display: a prompt that went anywhere but to the stand-in would
        // hang instead of passing.
        {"DISPLAY", ""},
        {"WAYLAND_DISPLAY", ""},
        {"DBUS_SESSION_BUS_ADDRESS", ""},
        {"GNOME_KEYRING_CONTROL", ""},
    };
    return prueba::ejecutarPrograma("/usr/bin/dbus-run-session",
                                    {"--", "bash", GUION_LLAVERO_BLOQUEADO, SECRETOS_PROGRAMA, CONTESTADOR_LLAVERO,
                                     respuesta},
                                    "", entorno, std::chrono::seconds(60));
}

TEST(LlaveroBloqueado, ElDesbloqueoContestadoDaLaClaveYElNegadoEsUnFallo) {
    struct Caso {
        std::string respuesta;
        std::string lectura;  // how the read's line starts
        std::string alFinal;
    };
    const Caso casos[] = {
        {"prueba", "ok clave-guardada\n", "bloqueado: no"},
        {"--negar", "fallo llavero No se pudo usar el llavero del sistema: ", "bloqueado: si"},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.respuesta);
        const auto salida = leerConLlaveroBloqueado(caso.respuesta);
        ASSERT_EQ(salida.estado, 0) << salida.salida << salida.errores;
        // The keyring really started locked, and the stand-in was asked.
        ASSERT_TRUE(salida.salida.starts_with("bloqueado: si\n")) << salida.salida;
        const std::string resto = salida.salida.substr(std::string("bloqueado: si\n").size());
        EXPECT_TRUE(resto.starts_with(caso.lectura)) << resto;
        EXPECT_NE(resto.find("\ncontestado\n"), std::string::npos) << resto;
        EXPECT_TRUE(resto.ends_with(caso.alFinal + "\n")) << resto;
    }
}

}  // namespace
}  // namespace sorvenia
