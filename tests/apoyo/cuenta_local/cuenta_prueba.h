#pragma once
// The fixture of the account object's tests: a local account service, a
// preferences file of the test's own that points "servidor" at it, and the
// keychain in memory.

#include <gtest/gtest.h>
#include <glib.h>

#include <chrono>
#include <thread>

#include "cuenta/cuenta.h"
#include "plataforma/preferencias.h"
#include "servicio_local_prueba.h"

namespace sorvenia::prueba {

class CuentaPrueba : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::shared_ptr<Cuenta> crear();

    // Ana signed in on this computer: her key and her record for the host.
    void anaConectada();

    std::optional<std::string> claveGuardada() const;

    // Runs the main context until `listo` holds (at most `limite`).
    template <class P>
    static bool bombearHasta(P listo, std::chrono::milliseconds limite = std::chrono::seconds(5)) {
        const auto fin = std::chrono::steady_clock::now() + limite;
        while (!listo()) {
            if (std::chrono::steady_clock::now() > fin) return false;
            if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    ServicioLocalPrueba servicio;
    CarpetaTemporal carpeta;
    Preferencias preferencias{carpeta.ruta() / "preferencias.json"};
    std::shared_ptr<LlaveroEnMemoria> llavero = std::make_shared<LlaveroEnMemoria>();

private:
    std::shared_ptr<Llavero::Almacen> anterior_;
};

// The ErrorAPI a task ends with; a failed expectation when it ends otherwise.
template <class T>
ErrorAPI errorAPIDe(Tarea<T> tarea) {
    try {
        esperarEnBucle(std::move(tarea));
    } catch (const ErrorAPI& e) {
        return e;
    } catch (const std::exception& e) {
        ADD_FAILURE() << "another error: " << e.what();
        return {"", "", -1};
    }
    ADD_FAILURE() << "no error";
    return {"", "", -1};
}

}  // namespace sorvenia::prueba
