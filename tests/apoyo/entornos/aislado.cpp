#include "aislado.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace sorvenia::prueba {
namespace {

std::filesystem::path crearRaiz() {
    std::string plantilla = (std::filesystem::temp_directory_path() / "sorvenia-ias-XXXXXX").string();
    if (mkdtemp(plantilla.data()) == nullptr) throw std::runtime_error("mkdtemp");
    return plantilla;
}

class EntornoAislado : public ::testing::Environment {
public:
    void SetUp() override {
        const auto& r = raizAislada();
        for (const char* c : {"casa", "config", "datos", "datos-sistema", "path-login", "npm"})
            std::filesystem::create_directories(r / c);
        setenv("HOME", (r / "casa").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (r / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (r / "datos").c_str(), 1);
        setenv("XDG_DATA_DIRS", (r / "datos-sistema").c_str(), 1);
        setenv("SHELL", apoyoBin("shell-login").c_str(), 1);
        setenv("SORVENIA_PATH_LOGIN", (r / "path-login").c_str(), 1);
        setenv("npm_config_prefix", (r / "npm").c_str(), 1);
        unsetenv("CLAUDECODE");
        unsetenv("SORVENIA_SESION_CLAUDE");
        unsetenv("SORVENIA_SESION_CODEX");
        unsetenv("SORVENIA_SESION_GEMINI");
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(raizAislada(), ec);
    }
};

}  // namespace

bool registrarAislado() {
    static ::testing::Environment* const registrado = ::testing::AddGlobalTestEnvironment(new EntornoAislado);
    return registrado != nullptr;
}

const std::filesystem::path& raizAislada() {
    static const std::filesystem::path raiz = crearRaiz();
    return raiz;
}

std::string apoyoBin(const std::string& nombre) {
    return std::string(SORVENIA_FUENTE) + "/tests/apoyo/bin/" + nombre;
}

}  // namespace sorvenia::prueba
