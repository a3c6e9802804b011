// Every account call against the local account service, which logs what it
// received.
#include "cuenta/llavero.h"
#include "cuenta_prueba.h"
#include "plataforma/cripto.h"

namespace sorvenia::prueba {
namespace {

using nlohmann::json;

class CuentaLlamadas : public CuentaPrueba {
protected:
    void SetUp() override {
        CuentaPrueba::SetUp();
        anaConectada();
        cuenta = crear();
    }

    // A design saved by another computer of Ana's, straight to the service.
    std::string disenoGuardado(const json& doc, const std::string& nombre = "Portada") {
        const auto r = servicio.pedirComoAna("POST", "accion=guardar", json{{"nombre", nombre}, {"doc", doc}}.dump());
        EXPECT_EQ(r.status, 200) << r.cuerpo;
        return json::parse(r.cuerpo)["diseno"]["id"];
    }

    std::shared_ptr<Cuenta> cuenta;
};

TEST_F(CuentaLlamadas, RefrescarPublicaClienteYDisenos) {
    const std::string a = disenoGuardado({{"n", 1}}, "Uno");
    const std::string b = disenoGuardado({{"n", 2}}, "Dos");
    esperarEnBucle(cuenta->refrescar());
    EXPECT_FALSE(cuenta->cargando());
    EXPECT_FALSE(cuenta->error());
    EXPECT_EQ(*cuenta->cliente(), (Cliente{1, "Ana Pérez", "ana@ana.example"}));
    ASSERT_EQ(cuenta->disenos().size(), 2u);
    for (const auto& d : cuenta->disenos()) EXPECT_TRUE(d.id == a || d.id == b);

    const auto pedidas = servicio.registroDe("cuenta");
    ASSERT_EQ(pedidas.size(), 1u);
    EXPECT_EQ(pedidas[0]["metodo"], "GET");
    EXPECT_EQ(pedidas[0]["consulta"], json::object()) << "the bare endpoint, no query";
    EXPECT_EQ(pedidas[0]["cabeceras"]["Authorization"], "Bearer clave-ana");
    EXPECT_EQ(pedidas[0]["cabeceras"]["User-Agent"], "SorveniaTarvel/1.0 (Mac)");
    EXPECT_FALSE(pedidas[0]["cabeceras"].contains("Content-Type"));
    // The record of the customer is stored again for the host.
    EXPECT_TRUE(preferencias.existe("cliente@127.0.0.1"));
}

TEST_F(CuentaLlamadas, RefrescarFallidoNoTocaLaLista) {
    esperarEnBucle(cuenta->refrescar());
    ASSERT_TRUE(cuenta->cliente());
    disenoGuardado({{"n", 1}});
    esperarEnBucle(cuenta->refrescar());
    const auto antes = cuenta->disenos();
    ASSERT_EQ(antes.size(), 1u);
    disenoGuardado({{"n", 2}});

    struct Caso {
        json interruptor;
        const char* error;
    };
    const Caso casos[] = {
        {{{"status", 503}, {"cuerpo", ""}}, "El servidor de Sorvenia no responde bien (503). Se reintentará."},
        {{{"status", 403}, {"cuerpo", R"({"error":{"code":"permiso_insuficiente","message":"Sin permiso."}})"}},
         "Sin permiso."},
        {{{"cuerpo", "<html>no es JSON</html>"}}, "El servidor ha devuelto algo que no se entiende."},
        {{{"cuerpo", R"({"yo":{"id":1,"nombre":"Ana Pérez"},"disenos":[]})"}},
         "El servidor ha devuelto algo que no se entiende."},
        {{{"cuerpo", R"({"yo":{"id":1,"nombre":"Ana Pérez","email":"a"}})"}},
         "El servidor ha devuelto algo que no se entiende."},
        {{{"status", 300}, {"cuerpo", R"({"yo":{"id":1,"nombre":"A","email":"a"},"disenos":[]})"}},
         "El servidor ha contestado 300."},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.interruptor.dump());
        servicio.interruptores({{"cuenta", c.interruptor}});
        esperarEnBucle(cuenta->refrescar());
        EXPECT_EQ(cuenta->error(), c.error);
        EXPECT_FALSE(cuenta->cargando());
        EXPECT_EQ(cuenta->disenos(), antes) << "nothing half-updated";
        EXPECT_EQ(cuenta->cliente()->nombre, "Ana Pérez");
    }
    // A 299 is a success.
    servicio.interruptores({{"cuenta", {{"status", 299}, {"cuerpo", R"({"yo":{"id":1,"nombre":"A","email":"a"},"disenos":[]})"}}}});
    esperarEnBucle(cuenta->refrescar());
    EXPECT_FALSE(cuenta->error());
    EXPECT_TRUE(cuenta->disenos().empty());
}

TEST_F(CuentaLlamadas, ClaveRechazadaOAusenteDesconectaSinRevocar) {
    const char* revocada = "La conexión con tu cuenta ya no vale (¿la revocaste en el panel?). Vuelve a conectar.";
    // The service no longer knows the key.
    ASSERT_TRUE(llavero->guardar(Llavero::servicio(), "clave@127.0.0.1", "clave-vieja"));
    esperarEnBucle(cuenta->refrescar());
    EXPECT_EQ(cuenta->error(), revocada);
    EXPECT_FALSE(cuenta->cliente());
    EXPECT_TRUE(cuenta->disenos().empty());
    EXPECT_FALSE(claveGuardada());
    EXPECT_FALSE(preferencias.existe("cliente@127.0.0.1"));
    EXPECT_TRUE(servicio.registroDe("desconectar").empty()) << "not revoked";

    // No key at all: nothing is sent.
    const auto antes = servicio.registro().size();
    esperarEnBucle(cuenta->refrescar());
    EXPECT_EQ(cuenta->error(), revocada);
    EXPECT_EQ(servicio.registro().size(), antes);

    // A refusal with another code only sets the message.
    anaConectada();
    cuenta = crear();
    servicio.interruptores({{"cuenta", {{"status", 401}, {"cuerpo", R"({"error":{"code":"otra","message":"Otra cosa."}})"}}}});
    esperarEnBucle(cuenta->refrescar());
    EXPECT_EQ(cuenta->error(), "Otra cosa.");
    EXPECT_TRUE(cuenta->cliente());
}

TEST_F(CuentaLlamadas, SinClaveNingunaLlamadaSeEnvia) {
    llavero->borrar(Llavero::servicio(), "clave@127.0.0.1");
    const auto sinClave = [](ErrorAPI e) {
        EXPECT_EQ(e.codigo, "clave_invalida");
        EXPECT_EQ(e.mensaje, "No hay cuenta conectada.");
        EXPECT_EQ(e.status, 0);
    };
    sinClave(errorAPIDe(cuenta->abrir("x")));
    sinClave(errorAPIDe(cuenta->agencia()));
    sinClave(errorAPIDe(cuenta->guardarAgencia(json::object(), 0)));
    sinClave(errorAPIDe(cuenta->buscarDominios("a")));
    sinClave(errorAPIDe(cuenta->tienda()));
    sinClave(errorAPIDe(cuenta->enlaceSesion("/panel/")));
    sinClave(errorAPIDe(cuenta->escenasSubidas("x")));
    sinClave(errorAPIDe(cuenta->subirEscena("x", "a.mp4", "b")));
    sinClave(errorAPIDe(cuenta->listarVPS()));
    sinClave(errorAPIDe(cuenta->publicarHosting("x", 7, "web", {})));
    EXPECT_TRUE(servicio.registro().empty());
}

TEST_F(CuentaLlamadas, AbrirUnDiseno) {
    const json doc{{"mesas", json::array({{{"id", "m1"}, {"html", "<p>Hola</p>"}, {"x", 1.5}}})}};
    const std::string id = disenoGuardado(doc);
    auto [diseno, previa, destinos] = esperarEnBucle(cuenta->abrir(id));
    EXPECT_EQ(diseno.id, id);
    EXPECT_EQ(diseno.nombre, "Portada");
    EXPECT_EQ(diseno.version, 1);
    EXPECT_EQ(diseno.doc.objeto(), doc);
    EXPECT_FALSE(previa);
    EXPECT_FALSE(destinos.publicada);
    ASSERT_EQ(destinos.hostings.size(), 1u);
    EXPECT_EQ(destinos.hostings[0], (Cuenta::Hosting{7, "ana.example", "Pro", false}));
    ASSERT_EQ(destinos.vps.size(), 2u);
    EXPECT_EQ(destinos.vps[0].cpu, 2);
    EXPECT_FALSE(destinos.vps[1].cpu);

    const auto pedida = servicio.registroDe("abrir").at(0);
    EXPECT_EQ(pedida["consulta"], json({{"id", id}})) << "only the id, no accion";

    const auto e = errorAPIDe(cuenta->abrir("0000000000000000"));
    EXPECT_EQ(e.codigo, "no_existe");
    EXPECT_EQ(e.status, 404);
    EXPECT_EQ(e.mensaje, "Ese diseño ya no existe en tu cuenta.");
}

TEST_F(CuentaLlamadas, AgenciaConSuVersion) {
    auto estado = esperarEnBucle(cuenta->agencia());
    EXPECT_TRUE(estado.datos.esNulo());
    EXPECT_EQ(estado.version, 0);

    const json mia{{"clientes", json::array({{{"nombre", "Bar Pepe"}}})}};
    EXPECT_EQ(esperarEnBucle(cuenta->guardarAgencia(mia, 0)), 1);
    estado = esperarEnBucle(cuenta->agencia());
    EXPECT_EQ(estado.datos.objeto(), mia);
    EXPECT_EQ(estado.version, 1);

    // Another computer still on version 0 loses, and learns the account's state.
    try {
        esperarEnBucle(cuenta->guardarAgencia({{"clientes", json::array()}}, 0));
        ADD_FAILURE() << "no conflict";
    } catch (const ErrorAgencia& e) {
        EXPECT_EQ(e.version, 1);
        EXPECT_EQ(e.datos.objeto(), mia);
        EXPECT_STREQ(e.what(), "Otro equipo ha guardado cambios a la vez.");
    }
    EXPECT_EQ(esperarEnBucle(cuenta->agencia()).version, 1) << "the losing save changed nothing";

    const auto pedida = servicio.registroDe("agencia").at(1);
    EXPECT_EQ(pedida["metodo"], "POST");
    EXPECT_EQ(pedida["cabeceras"]["Content-Type"], "application/json");
    EXPECT_EQ(json::parse(pedida["cuerpo"].get<std::string>()), json({{"datos", mia}, {"version", 0}}));

    servicio.interruptores({{"agencia", {{"status", 413}, {"cuerpo", R"({"error":{"code":"x","message":"y"}})"}}}});
    const auto e = errorAPIDe(cuenta->guardarAgencia(mia, 1));
    EXPECT_EQ(e.codigo, "demasiado_grande");
    EXPECT_EQ(e.mensaje, "Hay demasiados datos de agencia para guardarlos en tu cuenta.");
}

TEST_F(CuentaLlamadas, TiendaYDominios) {
    const auto tienda = esperarEnBucle(cuenta->tienda());
    ASSERT_NE(tienda.comoObjeto(), nullptr);
    EXPECT_EQ(tienda.comoObjeto()->at("secciones").comoLista()->size(), 3u);

    servicio.interruptores({{"tienda", {{"cuerpo", "[1,2]"}}}});
    const auto e = errorAPIDe(cuenta->tienda());
    EXPECT_EQ(e.codigo, "respuesta_rara");
    EXPECT_EQ(e.status, 502);
    servicio.interruptores({{"tienda", {{"cuerpo", "{}"}}}});
    EXPECT_TRUE(esperarEnBucle(cuenta->tienda()).esNulo());

    auto [dominios, pack] = esperarEnBucle(cuenta->buscarDominios("Ana.example"));
    ASSERT_FALSE(dominios.empty());
    EXPECT_EQ(dominios[0], (Cuenta::DominioPack{"ana.example", "example", false})) << "her own hosting is taken";
    EXPECT_EQ(dominios[1], (Cuenta::DominioPack{"ana.es", "es", true}));
    EXPECT_EQ(pack.plan, "Hosting Web");
    const auto pedida = servicio.registroDe("dominios").at(0);
    EXPECT_EQ(json::parse(pedida["cuerpo"].get<std::string>()), json({{"q", "Ana.example"}}));

    servicio.interruptores({{"dominios", {{"cuerpo", R"({"dominios":[]})"}}}});
    EXPECT_EQ(errorAPIDe(cuenta->buscarDominios("x")).codigo, "respuesta_rara") << "no pack";
}

TEST_F(CuentaLlamadas, SubirEscenasYListarlas) {
    const std::string id = disenoGuardado({{"n", 1}});
    const std::string video("\x00\x00\x00\x18" "ftypmp42\xff\xfe", 14);
    esperarEnBucle(cuenta->subirEscena(id, "escenas/intro clip.mp4", video));

    const auto pedida = servicio.registroDe("recurso").at(0);
    EXPECT_EQ(pedida["metodo"], "POST");
    EXPECT_EQ(pedida["consulta"], json({{"accion", "recurso"}, {"id", id}, {"ruta", "escenas/intro clip.mp4"}}));
    EXPECT_EQ(pedida["cabeceras"]["Content-Type"], "application/octet-stream");
    EXPECT_EQ(pedida["bytes"], video.size());
    const auto digest = hex(sha256(video));
    EXPECT_EQ(pedida["sha256"], digest) << "the bytes arrive unchanged";

    const auto subidas = esperarEnBucle(cuenta->escenasSubidas(id));
    EXPECT_EQ(subidas, (std::map<std::string, std::string>{{"escenas/intro clip.mp4", digest}}));

    servicio.interruptores({{"recurso", {{"cuerpo", R"({"ok":true})"}}}});
    const auto e = errorAPIDe(cuenta->subirEscena(id, "b.mp4", "x"));
    EXPECT_EQ(e.codigo, "respuesta_rara");
    EXPECT_EQ(e.status, 502);

    servicio.interruptores(json::object());
    EXPECT_EQ(errorAPIDe(cuenta->subirEscena(id, "../fuera.mp4", "x")).status, 400) << "the service refuses the path";
}

TEST_F(CuentaLlamadas, ListaDeVPS) {
    const auto vps = esperarEnBucle(cuenta->listarVPS());
    ASSERT_EQ(vps.size(), 2u);
    EXPECT_EQ(vps[0].id, 3);
    EXPECT_EQ(vps[0].ip, "192.0.2.3");
    EXPECT_EQ(vps[1].so, "Ubuntu 24.04");
    const auto pedida = servicio.registroDe("cuenta").at(0);
    EXPECT_EQ(pedida["consulta"], json::object()) << "the same bare GET as the refresh";

    servicio.interruptores({{"cuenta", {{"cuerpo", R"({"vps":null})"}}}});
    EXPECT_TRUE(esperarEnBucle(cuenta->listarVPS()).empty());
    servicio.interruptores({{"cuenta", {{"cuerpo", R"({"vps":[{"id":1,"nombre":"v","so":"x"}]})"}}}});
    EXPECT_EQ(errorAPIDe(cuenta->listarVPS()).codigo, "respuesta_rara") << "a server without ip";
    servicio.interruptores({{"cuenta", {{"status", 404}, {"cuerpo", R"({"vps":[]})"}}}});
    EXPECT_EQ(errorAPIDe(cuenta->listarVPS()).codigo, "http_404") << "a failed status is never decoded";
}

TEST_F(CuentaLlamadas, EnlaceDeSesionSoloDelPropioHost) {
    const std::string url = esperarEnBucle(cuenta->enlaceSesion("/panel/facturas.php"));
    EXPECT_EQ(url.rfind(servicio.base() + "/panel/entrar.php?token=", 0), 0u) << url;
    // The link signs in once and lands on the page asked for.
    const auto r = obtener(url);
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.cabecera("Location"), "/panel/facturas.php");
    EXPECT_EQ(obtener(url).cabecera("Location"), "/login/") << "used once";

    const auto raro = [&](const std::string& enlace) {
        servicio.interruptores({{"sesion", {{"cuerpo", json{{"url", enlace}}.dump()}}}});
        const auto e = errorAPIDe(cuenta->enlaceSesion("/panel/"));
        EXPECT_EQ(e.codigo, "respuesta_rara") << enlace;
        EXPECT_EQ(e.mensaje, "El servidor ha devuelto un enlace raro.") << enlace;
        EXPECT_EQ(e.status, 0) << enlace;
    };
    raro("https://otro.example/panel/");
    raro("http://127.0.0.10/panel/");
    raro("/panel/");
    raro("no es un enlace");
}

TEST_F(CuentaLlamadas, PublicarEnElHosting) {
    const std::string id = disenoGuardado({{"n", 1}});
    const std::map<std::string, std::string> archivos{{"index.html", "<h1>Hola</h1>"}, {"contacto.html", "<p>ñ</p>"},
                                                      {"css/estilo.css", "p{}"}};
    const auto publicada = esperarEnBucle(cuenta->publicarHosting(id, 7, "web", archivos));
    EXPECT_EQ(publicada.servicio, 7);
    EXPECT_EQ(publicada.dominio, "ana.example");
    EXPECT_EQ(publicada.carpeta, "web");
    EXPECT_EQ(publicada.paginas, 2);
    EXPECT_EQ(obtener(publicada.url + "contacto.html").cuerpo, "<p>ñ</p>");

    const auto pedida = servicio.registroDe("hosting").at(0);
    EXPECT_EQ(json::parse(pedida["cuerpo"].get<std::string>()),
              json({{"id", id}, {"servicio", 7}, {"carpeta", "web"}, {"archivos", archivos}}));

    // Opening the design now tells where it is published.
    auto [diseno, previa, destinos] = esperarEnBucle(cuenta->abrir(id));
    ASSERT_TRUE(destinos.publicada);
    EXPECT_EQ(*destinos.publicada, publicada);

    EXPECT_EQ(errorAPIDe(cuenta->publicarHosting(id, 99, "web", archivos)).codigo, "no_existe");
}

TEST_F(CuentaLlamadas, FallosDeTransporteSeReintentan) {
    // A port nobody listens on.
    CarpetaTemporal otra;
    Preferencias otras(otra.ruta() / "p.json");
    ASSERT_TRUE(otras.fijarTexto("servidor", "http://127.0.0.1:1/"));
    ASSERT_TRUE(llavero->guardar(Llavero::servicio(), "clave@127.0.0.1", "clave-ana"));
    auto aislada = esperarEnBucle(Cuenta::crear(Cuenta::Entorno{&otras, ""}));
    try {
        esperarEnBucle(aislada->listarVPS());
        ADD_FAILURE() << "no error";
    } catch (const ErrorTransporte& e) {
        EXPECT_TRUE(Cuenta::reintentable(e));
        EXPECT_FALSE(e.fallo.mensaje.empty());
    }
    esperarEnBucle(aislada->refrescar());
    EXPECT_TRUE(aislada->error());
    EXPECT_FALSE(aislada->cargando());
}

TEST_F(CuentaLlamadas, CancelarUnRefrescoColgado) {
    esperarEnBucle(cuenta->refrescar());
    servicio.interruptores({{"cuenta", {{"colgar", 30}}}});
    auto lanzada = lanzar(cuenta->refrescar());
    ASSERT_TRUE(bombearHasta([&] { return cuenta->cargando(); }));
    const auto inicio = std::chrono::steady_clock::now();
    lanzada.cancelar();
    ASSERT_TRUE(bombearHasta([&] { return lanzada.terminada(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(5));
    EXPECT_FALSE(cuenta->cargando());
    EXPECT_TRUE(cuenta->error());
    EXPECT_TRUE(cuenta->cliente()) << "a cancelled refresh signs nobody out";
}

}  // namespace
}  // namespace sorvenia::prueba
