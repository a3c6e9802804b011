// The name an app deployment hands the deploy script, and the script's own
// check of its arguments, which runs as root on the server.
#include "editor/despliegue_app.h"

#include <gtest/gtest.h>

#include "ejecutar_prueba.h"
#include "plataforma/recursos.h"

namespace sorvenia {
namespace {

TEST(DespliegueApp, ElDominioSeLimpiaYSoloPasaUnNombreValido) {
    struct Caso {
        std::string escrito;
        std::string ip;
        std::optional<std::string> dominio;
    };
    const std::vector<Caso> casos = {
        {"HTTPS://Mi-Web.es/", "203.0.113.7", "mi-web.es"},
        {"  http://tienda.ejemplo.com//  ", "203.0.113.7", "tienda.ejemplo.com"},
        {"", "203.0.113.7", "203-0-113-7.sslip.io"},
        {"  /  ", "203.0.113.7", "203-0-113-7.sslip.io"},
        {"mi dominio.com", "203.0.113.7", std::nullopt},
        {"web.es;reboot", "203.0.113.7", std::nullopt},
        {"web.es { }", "203.0.113.7", std::nullopt},
        {"web.es\nserver_name x.es", "203.0.113.7", std::nullopt},
        {"localhost", "203.0.113.7", std::nullopt},
        {"-web.es", "203.0.113.7", std::nullopt},
        {"", "203.0.113.7; rm -rf /", std::nullopt},
    };
    for (const auto& c : casos) EXPECT_EQ(DespliegueApp::dominio(c.escrito, c.ip), c.dominio) << c.escrito << " / " << c.ip;
}

TEST(DespliegueApp, ElGuionRechazaLoQueNoEsUnDominioAntesDeTocarNada) {
    const auto guion = Recursos::ruta("apps/servidor.sh");
    ASSERT_TRUE(guion.has_value());
    const std::string archivo = "/root/tarvel-subida/app.tgz";
    struct Caso {
        std::vector<std::string> argumentos;
        std::string error;
    };
    const std::vector<Caso> casos = {
        {{"plan", "app", archivo, "mi dominio.com", ""}, "El dominio no es válido."},
        {{"plan", "app", archivo, "web.es;reboot", ""}, "El dominio no es válido."},
        {{"plan", "app", archivo, "web.es\nserver_name x.es", ""}, "El dominio no es válido."},
        {{"desplegar", "app", archivo, "", "", "20260101-120000"}, "El dominio no es válido."},
        {{"desplegar", "app", archivo, "web.es", "a b@c.es", "20260101-120000"}, "El correo no es válido."},
        {{"desplegar", "app", archivo, "web.es", "", "../../etc"}, "La versión no es válida."},
        {{"plan", "a/../b", archivo, "web.es", ""}, "El nombre del proyecto no es válido."},
        {{"plan", "app", "/etc/passwd", "web.es", ""}, "El paquete no está en la carpeta de subida."},
        {{"plan", "app"}, "Faltan datos para la orden."},
        {{"borrar", "app"}, "Orden desconocida."},
    };
    for (const auto& c : casos) {
        std::vector<std::string> args{guion->string()};
        args.insert(args.end(), c.argumentos.begin(), c.argumentos.end());
        const auto r = prueba::ejecutarPrograma("/bin/bash", args, "");
        EXPECT_EQ(r.estado, 1) << c.argumentos[0] << " " << c.error;
        EXPECT_EQ(r.salida, "RESULTADO {\"ok\":false,\"error\":\"" + c.error + "\"}\n") << r.errores;
    }
}

}  // namespace
}  // namespace sorvenia
