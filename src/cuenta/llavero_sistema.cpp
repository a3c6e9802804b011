#include "cuenta/llavero_sistema.h"

#include "comun/utf8.h"
#include "plataforma/secretos.h"

namespace sorvenia {
namespace {

bool esUtf8(const std::string& texto) {
    for (std::size_t i = 0; i < texto.size();) {
        const auto largo = longitudSecuencia(std::string_view(texto).substr(i));
        if (largo == 0) return false;
        i += largo;
    }
    return true;
}

class AlmacenSecretService final : public Llavero::Almacen {
public:
    std::optional<std::string> leer(const std::string& servicio, const std::string& cuenta) override {
        auto r = leerSecreto(servicio, cuenta);
        if (!r || !*r || !esUtf8(**r)) return std::nullopt;
        return **r;
    }
    bool guardar(const std::string& servicio, const std::string& cuenta, const std::string& valor) override {
        return guardarSecreto(servicio, cuenta, valor).ok();
    }
    void borrar(const std::string& servicio, const std::string& cuenta) override {
        (void)borrarSecreto(servicio, cuenta);
    }
};

}  // namespace

std::shared_ptr<Llavero::Almacen> almacenDelSistema() { return std::make_shared<AlmacenSecretService>(); }

}  // namespace sorvenia
