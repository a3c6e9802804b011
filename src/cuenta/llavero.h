#pragma once
// The application's secrets in the system keychain (the Secret Service):
// the account key, the secrets of the user's own MCP connections and the
// customer's API keys for outside services. One service name for the whole
// application; an item is chosen by its account text alone ("clave@" +
// host, "conexion:" + id, "servicio:" + name).
//
// Blocking calls for worker threads only: an unlock prompt would freeze the
// main thread. Coroutines reach them through enSegundoPlano.

#include <memory>
#include <optional>
#include <string>

namespace sorvenia {

class Llavero {
public:
    // Where the secrets live: the Secret Service, or a stand-in in tests.
    class Almacen {
    public:
        virtual ~Almacen() = default;
        // Nothing when there is no such item or the store cannot be read.
        virtual std::optional<std::string> leer(const std::string& servicio, const std::string& cuenta) = 0;
        // Replaces the item in one step; on failure the old one stays.
        virtual bool guardar(const std::string& servicio, const std::string& cuenta, const std::string& valor) = 0;
        virtual void borrar(const std::string& servicio, const std::string& cuenta) = 0;
    };

    // The application id, taken at first use and kept for the run.
    static const std::string& servicio();

    // The stored text; nothing when missing, unreadable or not UTF-8.
    static std::optional<std::string> leer(const std::string& cuenta);
    // Replaces whatever was stored under `cuenta`. False when the store
    // refused: then the earlier secret is still there, unchanged.
    static bool guardar(const std::string& valor, const std::string& cuenta);
    // Removes the item if there is one; a failure is ignored.
    static void borrar(const std::string& cuenta);

    // Puts another store in place (tests); returns the one it replaces.
    static std::shared_ptr<Almacen> usarAlmacen(std::shared_ptr<Almacen> almacen);
};

}  // namespace sorvenia
