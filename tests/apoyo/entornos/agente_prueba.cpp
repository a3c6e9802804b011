#include "agente_prueba.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "aislado.h"

namespace sorvenia::prueba {
namespace {

class EntornoAgente : public ::testing::Environment {
public:
    void SetUp() override {
        std::filesystem::create_directories(runtimeAislado());
        chmod(runtimeAislado().c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtimeAislado().c_str(), 1);
        const auto skills = recursosAislados() / "skills";
        for (const char* s :
             {"tarvel-sorvenia", "nivel-agencia", "territorios-visuales", "sistema-visual", "copy-es"}) {
            std::filesystem::create_directories(skills / s);
            std::ofstream(skills / s / "SKILL.md") << "skill " << s;
        }
        std::ofstream(skills / "tarvel-sorvenia" / "encargo.md") << encargoDePrueba;
        std::filesystem::create_directories(recursosAislados() / "plugins" / "superpowers");
        setenv("SORVENIA_RECURSOS", recursosAislados().c_str(), 1);
        unsetenv("CLAUDE_CONFIG_DIR");
    }
};

}  // namespace

bool registrarAgente() {
    static ::testing::Environment* const registrado = ::testing::AddGlobalTestEnvironment(new EntornoAgente);
    return registrado != nullptr;
}

std::filesystem::path runtimeAislado() { return raizAislada() / "runtime"; }
std::filesystem::path recursosAislados() { return raizAislada() / "recursos"; }

}  // namespace sorvenia::prueba
