// The editor's "publicarVPS" with the real editor page, the local account
// service, the stand-in claude of tests/apoyo/bin as the detected tool, the
// tests' own OpenSSH server as the VPS (its /root a folder of the test) and a
// scripted runner in place of the agent: what the page hears at each phase,
// when no agent may start, and that a publication is recorded only when the
// run ended well and the site answers. And the app panel's deployment of
// the design's app project to the same server, step by step.

#include "editor/gui/editor_abierto.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "centro/trabajos.h"
#include "cuenta_prueba.h"
#include "diseno_prueba.h"
#include "esperar_bucle.h"
#include "navegacion/navegacion.h"
#include "plataforma/gui/iniciar_gtk.h"
#include "plataforma/gui/web_vista.h"
#include "plataforma/identidad.h"
#include "plataforma/preferencias.h"
#include "programas_vps.h"
#include "servidor_http_prueba.h"
#include "sshd_prueba.h"

namespace sorvenia {
namespace {

using nlohmann::json;
using prueba::esperarHasta;
using prueba::esperarTarea;
namespace fs = std::filesystem;

constexpr const char* clave = "la de root";
const std::string noPublicada = "No se ha podido publicar la web en tu VPS.";

// The runner: notes each run and ends it with the status the test chose.
struct Guion {
    std::int32_t estado = 0;
    bool retener = false;  // the run lasts until the test lets it go
    std::vector<Agente::PeticionAgente> peticiones;
};

class PublicarVPSEditor : public prueba::CuentaPrueba {
protected:
    static void SetUpTestSuite() {
        static prueba::CarpetaTemporal raiz;
        raiz_ = raiz.ruta();
        for (const char* c : {"casa", "config", "datos", "runtime", "path-login", "vps", "vps-programas"})
            fs::create_directories(raiz_ / c);
        fs::permissions(raiz_ / "runtime", fs::perms(0700));
        fs::create_symlink(fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/claude", raiz_ / "path-login/claude");
        ::setenv("HOME", (raiz_ / "casa").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (raiz_ / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (raiz_ / "datos").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (raiz_ / "runtime").c_str(), 1);
        ::setenv("SHELL", (fs::path(SORVENIA_FUENTE) / "tests/apoyo/bin/shell-login").c_str(), 1);
        ::setenv("SORVENIA_PATH_LOGIN", ((raiz_ / "path-login").string() + ":/usr/bin:/bin").c_str(), 1);
        ::unsetenv("CLAUDECODE");
        ::unsetenv("SORVENIA_SESION_CLAUDE");
        // The test build's identity: its ssh configuration may point at the
        // test's server, and its site check at the test's web server.
        fijarIdAplicacion("es.sorvenia.tarvel.pruebas");
        ASSERT_TRUE(iniciarGtk());
        sshd_ = prueba::SshdPrueba::arrancar(clave, motivo_, prueba::RaizServidor{raiz_ / "vps", raiz_ / "vps-programas"});
        if (sshd_) sshd_->apuntarAplicacion();
        ::setenv("SORVENIA_VPS_PUERTO_WEB", std::to_string(web_->puerto()).c_str(), 1);
    }
    static void TearDownTestSuite() { sshd_.reset(); }

    void SetUp() override {
        if (!sshd_) GTEST_SKIP() << motivo_;
        prueba::CuentaPrueba::SetUp();
        anaConectada();
        cuenta_ = crear();
        ASSERT_TRUE(cuenta_->cliente());
        Preferencias::estandar().quitar("vpsPublicado");
        respuestaWeb_ = 200;
    }

    void TearDown() override {
        if (modelo_) {
            modelo_->cerrar();
            esperarHasta([&] { return !modelo_->agenteEnMarcha(); });
            Trabajos::compartido().visto(modelo_->clave());
            modelo_ = nullptr;
        }
        if (sshd_) prueba::CuentaPrueba::TearDown();
    }

    void abrir() {
        const auto r = servicio.pedirComoAna("POST", "accion=guardar",
                                             json({{"nombre", "Barbería"}, {"doc", prueba::disenoGuardado()}}).dump());
        ASSERT_EQ(r.status, 200) << r.cuerpo;
        id_ = json::parse(r.cuerpo).at("diseno").at("id").get<std::string>();
        cuenta_->usarCarpetaCopias(carpeta.ruta() / "copias");
        auto guion = guion_;
        modelo_ = EditorAbierto::crear([guion](Agente::PeticionAgente p, auto, EventosAgente) -> Tarea<Resultado<std::int32_t>> {
            guion->peticiones.push_back(std::move(p));
            while (guion->retener) co_await dormir(0.05);
            co_return guion->estado;
        });
        modelo_->webEditor();
        modelo_->preparar(cuenta_, nav_, id_, std::nullopt);
        ASSERT_TRUE(esperarHasta([&] { return modelo_->listo() || modelo_->errorCarga(); }, std::chrono::seconds(30)));
        ASSERT_FALSE(modelo_->errorCarga()) << *modelo_->errorCarga();
        pagina("window.__vps = []; const o = window.tarvel.vps;\n"
               "window.tarvel.vps = d => { window.__vps.push(d); return o.call(window.tarvel, d); };\n"
               "return true;");
    }

    json pagina(const std::string& cuerpo, json args = json::object()) {
        const auto r = esperarTarea(modelo_->web()->llamar(cuerpo, std::move(args)));
        return r && r->ok() ? **r : json("sin respuesta");
    }
    std::vector<json> respuestas() {
        const json l = pagina("return window.__vps;");
        return l.is_array() ? std::vector<json>(l.begin(), l.end()) : std::vector<json>{};
    }
    // The page posts "publicarVPS" with its two pages, and the answers to
    // it are awaited up to the one that ends the call.
    std::vector<json> publicar(json extra) {
        pagina("window.__vps = []; return 1;");
        enviarPublicar(std::move(extra));
        const auto final = [](const json& r) {
            const std::string e = r.value("estado", "");
            return e == "error" || e == "pidePass" || e == "hecho";
        };
        esperarHasta([&] { return std::ranges::any_of(respuestas(), final); }, std::chrono::seconds(60));
        return respuestas();
    }
    void enviarPublicar(json extra) {
        json m = {{"tipo", "publicarVPS"},
                  {"servicio", servicio_},
                  {"ip", "127.0.0.1"},
                  {"paginas", json::array({{{"html", "<h1>Inicio</h1>"}, {"nombre", "Inicio"}, {"inicio", true}},
                                           {{"html", "<p>Ven</p>"}, {"nombre", "Contacto"}, {"inicio", false}}})}};
        m.update(extra);
        pagina("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: t})); return 1;", {{"t", m.dump()}});
    }
    bool hay(const json& respuesta) { return std::ranges::count(respuestas(), respuesta) > 0; }
    json registro() {
        const auto v = Preferencias::estandar().valor("vpsPublicado");
        return v && v->contains(id_) ? (*v)[id_] : json();
    }

    // The app panel's deployment: the page's "app" messages, one step at a
    // time.
    void escucharApp() {
        pagina("window.__app = []; const a = window.tarvel.app;\n"
               "window.tarvel.app = d => { window.__app.push(d); return a.call(window.tarvel, d); };\n"
               "return true;");
    }
    std::vector<json> mensajesApp() {
        const json l = pagina("return window.__app;");
        return l.is_array() ? std::vector<json>(l.begin(), l.end()) : std::vector<json>{};
    }
    // Whether the page was sent this output line of the current step.
    bool hayLinea(const std::string& linea) {
        return esperarHasta([&] { return std::ranges::count(mensajesApp(), json({{"linea", linea}})) == 1; });
    }
    // Sends one step and gives its phase messages once one ends it.
    std::vector<json> paso(const std::string& accion, json extra) {
        pagina("window.__app = []; return 1;");
        json m = {{"tipo", "app"}, {"accion", accion}, {"servidor", servicio_}, {"ip", "127.0.0.1"}};
        m.update(extra);
        pagina("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: t})); return 1;", {{"t", m.dump()}});
        const auto final = [](const json& r) {
            const std::string d = r.value("despliegue", "");
            return r.contains("estadoServidor") || d == "plan" || d == "hecho" || d == "vuelto" || d == "pidePass" ||
                   d == "error";
        };
        esperarHasta([&] { return std::ranges::any_of(mensajesApp(), final); }, std::chrono::seconds(120));
        std::vector<json> fases;
        for (const auto& r : mensajesApp())
            if (r.contains("despliegue") || r.contains("estadoServidor")) fases.push_back(r);
        return fases;
    }

    static inline fs::path raiz_;
    static inline std::unique_ptr<prueba::SshdPrueba> sshd_;
    static inline std::string motivo_;
    static inline int respuestaWeb_ = 200;
    static inline std::unique_ptr<prueba::ServidorHTTPPrueba> web_ = std::make_unique<prueba::ServidorHTTPPrueba>(
        [](const prueba::PeticionHTTP& p) {
            // 301: the address sends the visitor on, as http to https does.
            if (respuestaWeb_ == 301 && p.ruta == "/")
                return std::string("HTTP/1.1 301 Moved Permanently\r\nLocation: /portada\r\nContent-Length: 0\r\n"
                                   "Connection: close\r\n\r\n");
            return prueba::ServidorHTTPPrueba::respuesta(respuestaWeb_ == 301 ? 200 : respuestaWeb_, "web", "text/html");
        });

    std::shared_ptr<Guion> guion_ = std::make_shared<Guion>();
    std::shared_ptr<Cuenta> cuenta_;
    std::shared_ptr<Navegacion> nav_ = std::make_shared<Navegacion>();
    std::shared_ptr<EditorAbierto> modelo_;
    std::string id_;
    std::int64_t servicio_ = 0;
};

const json error(const std::string& texto) { return {{"estado", "error"}, {"texto", texto}}; }

TEST_F(PublicarVPSEditor, SinAccesoNiSubidaNoArrancaNingunAgente) {
    abrir();
    struct Caso {
        const char* que;
        json extra;
        std::vector<json> esperado;
    };
    const std::vector<Caso> casos = {
        {"a domain that is no domain", {{"dominio", "mi negocio"}},
         {error("Ese dominio no es válido. Pon sólo el nombre, p. ej. minegocio.es.")}},
        {"a name with no dot", {{"dominio", "minegocio"}},
         {error("Ese dominio no es válido. Pon sólo el nombre, p. ej. minegocio.es.")}},
        {"an IP that is no IP", {{"ip", "127.0.0.1; rm -rf /"}},
         {{{"estado", "acceso"}}, error("No se ha podido preparar la web: La IP del VPS no es válida.")}},
        {"the key not yet accepted, no password", json::object(), {{{"estado", "acceso"}}, {{"estado", "pidePass"}}}},
        {"a wrong password", {{"password", "otra"}},
         {{{"estado", "acceso"}}, error("No se ha podido preparar la web: La contraseña de root no es correcta.")}},
    };
    servicio_ = 51;
    for (const auto& c : casos) EXPECT_EQ(publicar(c.extra), c.esperado) << c.que;

    // With the key installed, an upload the server refuses (its mkdir fails)
    // ends the call too.
    const fs::path mkdir = raiz_ / "vps-programas" / "mkdir";
    std::ofstream(mkdir) << "#!/bin/sh\necho 'mkdir: no queda espacio' >&2\nexit 1\n";
    fs::permissions(mkdir, fs::perms(0755));
    const auto r = publicar({{"password", clave}});
    fs::remove(mkdir);
    ASSERT_EQ(r.size(), 2u) << json(r).dump();
    EXPECT_EQ(r[0], json({{"estado", "acceso"}}));
    EXPECT_EQ(r[1].value("texto", ""),
              "No se ha podido preparar la web: No se ha podido subir la web al VPS: mkdir: no queda espacio\n");
    EXPECT_TRUE(guion_->peticiones.empty());
    EXPECT_FALSE(fs::exists(raiz_ / "vps/root/tarvel-subida/index.html"));
    EXPECT_TRUE(registro().is_null());

    // A message without its required keys gets no answer at all.
    pagina("window.__vps = []; return 1;");
    for (const json& m : {json{{"tipo", "publicarVPS"}, {"ip", "127.0.0.1"}, {"paginas", json::array()}},
                          json{{"tipo", "publicarVPS"}, {"servicio", "51"}, {"ip", "127.0.0.1"}, {"paginas", json::array()}},
                          json{{"tipo", "publicarVPS"}, {"servicio", 51}, {"ip", "127.0.0.1"}, {"paginas", "x"}}})
        pagina("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: t})); return 1;", {{"t", m.dump()}});
    pagina("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: t})); return 1;",
           {{"t", json({{"tipo", "aviso"}}).dump()}});
    esperarHasta([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_TRUE(respuestas().empty()) << json(respuestas()).dump();
}

TEST_F(PublicarVPSEditor, SoloUnaCorridaBuenaConLaWebContestandoQuedaAnotada) {
    abrir();
    servicio_ = 52;
    struct Caso {
        const char* que;
        std::int32_t estado;
        int web;
        bool hecho;
    };
    for (const auto& c : {Caso{"the agent failed", 1, 200, false}, Caso{"the site does not answer", 0, 404, false},
                          Caso{"the site sends the visitor on", 0, 301, true}, Caso{"all went well", 0, 200, true}}) {
        guion_->estado = c.estado;
        respuestaWeb_ = c.web;
        const auto r = publicar({{"password", clave}, {"dominio", ""}});
        ASSERT_GE(r.size(), 3u) << c.que << json(r).dump();
        EXPECT_EQ(r[0], json({{"estado", "acceso"}})) << c.que;
        EXPECT_EQ(r[1].value("estado", ""), "trabajando") << c.que;
        const std::string url = "http://127.0.0.1:" + std::to_string(web_->puerto()) + "/";
        EXPECT_EQ(r.back(), c.hecho ? json({{"estado", "hecho"}, {"url", url}}) : error(noPublicada)) << c.que;
        EXPECT_EQ(!registro().is_null(), c.hecho) << c.que;
    }
    // The pages were uploaded before every run.
    for (const char* f : {"index.html", "contacto.html"})
        EXPECT_TRUE(fs::exists(raiz_ / "vps/root/tarvel-subida" / f)) << f;

    // Each run was claude on this VPS through its alias, with the brief.
    ASSERT_EQ(guion_->peticiones.size(), 4u);
    const auto& p = guion_->peticiones.back();
    EXPECT_EQ(p.ia.tipo, IA::Tipo::claude);
    ASSERT_TRUE(p.vps);
    EXPECT_EQ(p.vps->alias, "tarvel-vps-52");
    EXPECT_TRUE(fs::exists(p.vps->carpeta / "index.html"));
    EXPECT_TRUE(p.peticion.starts_with("PUBLICAR EN VPS. Usa la skill publicar-en-vps")) << p.peticion;
    EXPECT_NE(p.peticion.find("(2 páginas, ya lista)"), std::string::npos) << p.peticion;
    EXPECT_NE(p.peticion.find("Correo para Let's Encrypt: " + cuenta_->cliente()->email), std::string::npos);
    EXPECT_EQ(p.esfuerzo, "high");
    EXPECT_FALSE(p.sesion);

    const json r = registro();
    EXPECT_EQ(r.value("servicio", 0), 52);
    EXPECT_EQ(r.value("dominio", "?"), "");
    EXPECT_EQ(r.value("fecha", "").size(), 20u) << r;
}

TEST_F(PublicarVPSEditor, DosPublicacionesEnElMismoVPSNoSeCruzan) {
    abrir();
    servicio_ = 54;
    guion_->retener = true;
    pagina("window.__vps = []; return 1;");
    enviarPublicar({{"password", clave}});
    ASSERT_TRUE(esperarHasta([&] { return guion_->peticiones.size() == 1; }, std::chrono::seconds(60)))
        << json(respuestas()).dump();
    // The second one, while the first agent works from the upload folder,
    // is refused before it touches the server.
    const auto subida = raiz_ / "vps/root/tarvel-subida/index.html";
    const auto antes = fs::last_write_time(subida);
    enviarPublicar({{"password", clave}});
    ASSERT_TRUE(esperarHasta([&] { return hay(error("Ya se está publicando una web en ese VPS. Espera a que termine.")); }));
    EXPECT_EQ(fs::last_write_time(subida), antes);
    guion_->retener = false;
    ASSERT_TRUE(esperarHasta([&] { return std::ranges::any_of(respuestas(), [](const json& r) { return r.value("estado", "") == "hecho"; }); }));
    EXPECT_EQ(guion_->peticiones.size(), 1u);
    // Once it is over, the server takes the next one.
    EXPECT_EQ(publicar({{"password", clave}}).back().value("estado", ""), "hecho");
}

TEST_F(PublicarVPSEditor, SinClaudeConectadoNoSeEmpieza) {
    ::setenv("SORVENIA_SESION_CLAUDE", "fuera", 1);
    abrir();
    ::unsetenv("SORVENIA_SESION_CLAUDE");
    servicio_ = 53;
    EXPECT_EQ(publicar({{"password", clave}}),
              std::vector<json>{error("Para publicar en tu VPS hace falta Claude conectado (la app de Claude). "
                                      "Conéctalo en el menú de la IA.")});
    EXPECT_TRUE(guion_->peticiones.empty());
}

// The app panel's deployment, one step per page action, with the project
// made from the design, a small Node app in it, and the deploy script run
// for real on the test's server (stand-ins for systemctl, nginx, certbot).
TEST_F(PublicarVPSEditor, UnaAppSePlaneaYSeDespliegaYQuedaRecordada) {
    prueba::escribirProgramasVPS(raiz_ / "vps-programas", NODE_APPS_BIN);
    struct ParadaApps {
        ~ParadaApps() { prueba::pararAppsVPS(raiz_ / "vps-programas"); }
    } parada;
    abrir();
    escucharApp();
    pagina("document.dispatchEvent(new CustomEvent('sorvenia-mensaje', {detail: t})); return 1;",
           {{"t", json({{"tipo", "app"}, {"accion", "crear"}}).dump()}});
    ASSERT_TRUE(esperarHasta([&] { return modelo_->proyecto() != nullptr; }, std::chrono::seconds(60)));
    const fs::path carpeta = modelo_->proyecto()->carpeta();
    std::ofstream(carpeta / "package.json") << R"({"name":"app","private":true,"scripts":{"start":"node s.js"}})";
    std::ofstream(carpeta / "s.js") << "require('node:http').createServer((q, r) => r.end('ok'))"
                                       ".listen(Number(process.env.PORT), process.env.HOST);\n";
    servicio_ = 71;
    Preferencias::estandar().quitar("appDesplegada");

    // A domain that is no domain never reaches the server.
    EXPECT_EQ(paso("plan", {{"dominio", "mi dominio.com"}}),
              (std::vector<json>{{{"despliegue", "error"},
                                  {"texto", "Ese dominio no es válido. Pon sólo el nombre, p. ej. minegocio.es."}}}));

    const auto plan = paso("plan", {{"dominio", "HTTPS://App.Ejemplo.es/"}, {"password", clave}});
    EXPECT_EQ(plan, (std::vector<json>{{{"despliegue", "acceso"}},
                                       {{"despliegue", "subiendo"}},
                                       {{"despliegue", "planeando"}},
                                       {{"despliegue", "plan"}, {"dominio", "app.ejemplo.es"}, {"texto", ""}}}));
    EXPECT_TRUE(hayLinea("Revisando Node.js…"));
    const auto desplegado = paso("desplegar", {{"dominio", "app.ejemplo.es"}});
    ASSERT_EQ(desplegado.size(), 3u) << json(desplegado).dump();
    EXPECT_EQ(desplegado[1], json({{"despliegue", "desplegando"}}));
    EXPECT_EQ(desplegado[2]["despliegue"], "hecho") << desplegado[2].dump();
    EXPECT_EQ(desplegado[2]["resultado"]["url"], "https://app.ejemplo.es/");
    EXPECT_EQ(desplegado[2]["proyecto"]["desplegada"]["url"], "https://app.ejemplo.es/");
    EXPECT_TRUE(hayLinea("Instalando los paquetes…"));

    const auto registro = Preferencias::estandar().valor("appDesplegada").value_or(json())[carpeta.string()];
    EXPECT_EQ(registro["servidor"], 71);
    EXPECT_EQ(registro["ip"], "127.0.0.1");
    EXPECT_EQ(registro["dominio"], "app.ejemplo.es");
    EXPECT_EQ(registro["version"].get<std::string>().size(), std::string("20260101-120000").size());
    EXPECT_EQ(paso("estadoServidor", json::object()).back(),
              json({{"estadoServidor", {{"ok", true}, {"activo", true}, {"version", registro["version"]}}}}));
}

}  // namespace
}  // namespace sorvenia
