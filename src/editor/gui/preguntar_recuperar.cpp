#include "editor/gui/preguntar_recuperar.h"

#include <time.h>

#include <array>
#include <ctime>
#include <optional>
#include <vector>

#include "plataforma/gui/alerta.h"

namespace sorvenia {

namespace detalle {

std::string fechaLargaEspanol(std::chrono::system_clock::time_point fecha) {
    // A table of our own: the system's "es_ES" locale may not be installed,
    // and the process locale may be anything.
    static constexpr std::array<const char*, 12> meses = {"enero",      "febrero", "marzo",     "abril",
                                                          "mayo",       "junio",   "julio",     "agosto",
                                                          "septiembre", "octubre", "noviembre", "diciembre"};
    const std::time_t segundos = std::chrono::system_clock::to_time_t(fecha);
    std::tm local{};
    if (localtime_r(&segundos, &local) == nullptr) return {};
    const auto mes = static_cast<std::size_t>(local.tm_mon);
    std::string texto = std::to_string(local.tm_mday) + " de " + (mes < meses.size() ? meses[mes] : "") + " de " +
                        std::to_string(local.tm_year + 1900) + ", " + std::to_string(local.tm_hour) + ":";
    if (local.tm_min < 10) texto += '0';
    texto += std::to_string(local.tm_min);
    return texto;
}

}  // namespace detalle

Tarea<Recuperacion> preguntarRecuperar(std::chrono::system_clock::time_point fecha, GtkWindow* padre) {
    const std::optional<std::size_t> boton = co_await alerta(
        padre, "Hay cambios de este ordenador que no se subieron",
        "Son del " + detalle::fechaLargaEspanol(fecha) +
            ". ¿Los recuperas? Si no, se abre la versión guardada en tu cuenta y esos cambios se descartan.",
        {"Recuperar", "Descartar"});
    if (!boton) co_return Recuperacion::ninguna;
    co_return *boton == 0 ? Recuperacion::recuperar : Recuperacion::descartar;
}

}  // namespace sorvenia
