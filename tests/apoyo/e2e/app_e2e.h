#pragma once
// What every end-to-end test of the test build needs: a fresh home and XDG
// folders, the local account service on a free port, the application
// started with chosen arguments, and its test channel (scripts run in a web
// view, screenshots kept in build/capturas/ for a person to look at).

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "proceso.h"

namespace sorvenia::prueba {

inline constexpr const char* idPruebas = "es.sorvenia.tarvel.pruebas";
inline constexpr const char* cuentaClave = "clave@127.0.0.1";

std::optional<std::string> leer(const std::filesystem::path& archivo);

template <class F>
bool esperarQue(F condicion, std::chrono::milliseconds limite = std::chrono::seconds(20)) {
    const auto fin = std::chrono::steady_clock::now() + limite;
    while (!condicion()) {
        if (std::chrono::steady_clock::now() >= fin) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

class AppE2E : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The local account service on a free port; `opciones` as its command
    // line takes them ("--fallar", "canjear=500"...). Points the test
    // build's "servidor" preference at it.
    void arrancarCuentaLocal(const std::vector<std::string>& opciones = {});
    // Signs the customer of cuenta-local in before the application starts:
    // a key the service knows, in the keychain, and the customer record in
    // the preferences. Call before arrancarCuentaLocal().
    void entrarComoCliente();
    // Stores a design of the signed-in customer in cuenta-local's files.
    void guardarDiseno(const nlohmann::json& diseno);
    // Gives the signed-in customer one VPS of the account (id 7 at
    // 127.0.0.1, "vps-cuenta") and sends the application's ssh to the test's
    // OpenSSH server on `puerto` as `usuario`; call before
    // arrancarCuentaLocal().
    void darVpsDePrueba(int puerto, const std::string& usuario);
    // Puts `programas` (name → program) on the login PATH the application
    // sees, and sends claude to the stand-in model at `urlModelo` with a test
    // key; the machine's own claude settings and proxies stay out, so nothing
    // leaves 127.0.0.1. Call before arrancarAplicacion().
    void darClaudeDePrueba(const std::string& urlModelo,
                           const std::map<std::string, std::filesystem::path>& programas);
    // Sets these keys of the test build's preferences, the others kept; call
    // before arrancarAplicacion().
    void cambiarPreferencias(const nlohmann::json& cambios);
    void arrancarAplicacion(const std::vector<std::string>& argumentos = {});

    // Runs a script in a web view of the application ("conectar",
    // "editor"...): {"ok": true, "valor": …} or {"ok": false, "error": …}.
    std::optional<nlohmann::json> orden(const std::string& cuerpo, const std::string& web = "conectar");
    // Its value; null when it failed.
    nlohmann::json valor(const std::string& cuerpo, const std::string& web);
    // A canvas tool run by the editor page, as an agent would; its text ("" when it failed).
    std::string herramienta(const std::string& nombre, const nlohmann::json& args = nlohmann::json::object());
    // Asks the channel for a screenshot and keeps it in build/capturas/.
    bool capturar(const std::string& peticion, const std::string& nombre, const std::string& web = "conectar");

    static std::optional<std::string> claveGuardada();
    nlohmann::json preferencias();

    std::filesystem::path raiz_, canal_;
    std::vector<std::string> entorno_;
    std::string servidor_;
    std::unique_ptr<Proceso> cuentaLocal_, app_;
};

}  // namespace sorvenia::prueba
