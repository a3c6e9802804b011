#include "entorno_servidores.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "plataforma/identidad.h"

namespace sorvenia::prueba {
namespace {

std::unique_ptr<SshdPrueba> servidor;
std::string motivoSinServidor;

class EntornoServidores : public ::testing::Environment {
public:
    void SetUp() override {
        const auto& r = raizServidores();
        for (const char* c : {"casa", "config", "runtime"}) std::filesystem::create_directories(r / c);
        std::filesystem::permissions(r / "runtime", std::filesystem::perms(0700));
        ::setenv("HOME", (r / "casa").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (r / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (r / "runtime").c_str(), 1);
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        servidor = SshdPrueba::arrancar(claveRoot, motivoSinServidor);
        if (servidor) servidor->apuntarAplicacion();
    }
    void TearDown() override {
        servidor.reset();
        std::error_code ec;
        std::filesystem::remove_all(raizServidores(), ec);
    }
};

}  // namespace

bool registrarEntornoServidores() {
    static const auto* const registrado = ::testing::AddGlobalTestEnvironment(new EntornoServidores);
    return registrado != nullptr;
}

const std::filesystem::path& raizServidores() {
    static const std::filesystem::path r = [] {
        std::string plantilla = (std::filesystem::temp_directory_path() / "sorvenia-servidores-XXXXXX").string();
        if (::mkdtemp(plantilla.data()) == nullptr) throw std::runtime_error("mkdtemp");
        return std::filesystem::path(plantilla);
    }();
    return r;
}

SshdPrueba* sshd(std::string* motivo) {
    if (motivo != nullptr) *motivo = motivoSinServidor;
    return servidor.get();
}

}  // namespace sorvenia::prueba
