// Saving a design against the local account service: the request it sends,
// new designs and replacements, conflicts, the local copy written on every
// other failure, the copies removed after a success, and the design list.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>

#include "cuenta_prueba.h"

namespace sorvenia::prueba {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

JSONValor documento(const char* texto) { return JSONValor::decodificar(texto).value(); }

// A port on 127.0.0.1 where nothing listens.
std::uint16_t puertoCerrado() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof dir;
    EXPECT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&dir), sizeof dir), 0);
    EXPECT_EQ(::getsockname(s, reinterpret_cast<sockaddr*>(&dir), &largo), 0);
    ::close(s);
    return ntohs(dir.sin_port);
}

// The keys of a JSON object in the order they were written.
std::vector<std::string> clavesEnOrden(const std::string& texto) {
    std::vector<std::string> claves;
    const auto objeto = nlohmann::ordered_json::parse(texto);
    for (const auto& [clave, valor] : objeto.items()) claves.push_back(clave);
    return claves;
}

std::vector<std::string> ids(const std::vector<DisenoResumen>& lista) {
    std::vector<std::string> salida;
    for (const auto& d : lista) salida.push_back(d.id);
    return salida;
}

DisenoResumen resumen(const char* id, const char* modificado) {
    return {id, std::string("Diseño ") + id, 1, std::string("data:image/jpeg;base64,") + id, "2024-01-01 00:00:00",
            modificado};
}

class CuentaGuardar : public CuentaPrueba {
protected:
    void SetUp() override {
        CuentaPrueba::SetUp();
        anaConectada();
        cuenta = crear();
        sinSubir = carpeta.ruta() / "sin-subir";
        cuenta->usarCarpetaCopias(sinSubir);
    }

    Tarea<DisenoResumen> guardar(std::optional<std::string> id, const JSONValor& doc,
                                 std::optional<std::int64_t> version = std::nullopt,
                                 std::optional<std::string> ref = "R1") {
        return cuenta->guardar(std::move(id), "Portada", doc, std::nullopt, version, std::move(ref));
    }

    // The files of the copies' folder, sorted.
    std::vector<std::string> archivos() const {
        std::vector<std::string> nombres;
        std::error_code error;
        for (const auto& e : fs::directory_iterator(sinSubir, error)) nombres.push_back(e.path().filename().string());
        std::sort(nombres.begin(), nombres.end());
        return nombres;
    }

    // The body of the last save the service received.
    std::string ultimoCuerpo() const {
        const auto pedidas = servicio.registroDe("guardar");
        if (pedidas.empty()) return "{}";
        return pedidas.back()["cuerpo"].get<std::string>();
    }

    std::shared_ptr<Cuenta> cuenta;
    fs::path sinSubir;
    const JSONValor doc1 = documento(R"({"mesas":[{"id":"m1","html":"<p>a/b</p>","x":1.5}],"n":null})");
    const JSONValor doc2 = documento(R"({"mesas":[{"id":"m1","html":"<p>Hola</p>","x":2}]})");
};

TEST_F(CuentaGuardar, CreaElDisenoYLuegoLoReemplazaConSuVersion) {
    const auto nuevo = esperarEnBucle(guardar(std::nullopt, doc1));
    EXPECT_EQ(nuevo.id.size(), 16u);
    EXPECT_EQ(nuevo.version, 1);
    EXPECT_EQ(nuevo.nombre, "Portada");
    EXPECT_FALSE(nuevo.miniatura);

    auto pedidas = servicio.registroDe("guardar");
    ASSERT_EQ(pedidas.size(), 1u);
    EXPECT_EQ(pedidas[0]["metodo"], "POST");
    EXPECT_EQ(pedidas[0]["consulta"], (json{{"accion", "guardar"}})) << "nothing else in the query";
    EXPECT_EQ(pedidas[0]["cabeceras"]["Authorization"], "Bearer clave-ana");
    EXPECT_EQ(pedidas[0]["cabeceras"]["Content-Type"], "application/json");
    EXPECT_EQ(pedidas[0]["cabeceras"]["User-Agent"], "SorveniaTarvel/1.0 (Mac)");
    // A new design: its ref travels, absent fields are left out (not null).
    EXPECT_EQ(clavesEnOrden(ultimoCuerpo()), (std::vector<std::string>{"nombre", "doc", "cliente_ref"}));
    const auto cuerpo = json::parse(ultimoCuerpo());
    EXPECT_EQ(cuerpo["cliente_ref"], "R1");
    EXPECT_EQ(cuerpo["doc"], doc1.objeto());
    EXPECT_EQ(cuenta->disenos(), std::vector{nuevo});

    const auto segundo = esperarEnBucle(
        cuenta->guardar(nuevo.id, "Portada 2", doc2, "data:image/jpeg;base64,AA", nuevo.version, "R1"));
    EXPECT_EQ(segundo.id, nuevo.id);
    EXPECT_EQ(segundo.version, 2);
    EXPECT_EQ(segundo.nombre, "Portada 2");
    EXPECT_EQ(segundo.miniatura, "data:image/jpeg;base64,AA");
    // With an id the ref never travels, even when given.
    EXPECT_EQ(clavesEnOrden(ultimoCuerpo()),
              (std::vector<std::string>{"nombre", "doc", "id", "miniatura", "version"}));
    EXPECT_EQ(json::parse(ultimoCuerpo())["version"], 1) << "the version the caller last saw";
    EXPECT_EQ(cuenta->disenos(), std::vector{segundo}) << "replaced, not added";

    const auto [abierto, previa, destinos] = esperarEnBucle(cuenta->abrir(nuevo.id));
    EXPECT_EQ(abierto.doc.cadena(), doc2.cadena());
    EXPECT_TRUE(archivos().empty()) << "no copy is written on success";
}

TEST_F(CuentaGuardar, UnConflictoNoDejaCopia) {
    const auto d = esperarEnBucle(guardar(std::nullopt, doc1));
    const auto d2 = esperarEnBucle(guardar(d.id, doc2, d.version));
    const auto lista = cuenta->disenos();

    const auto e = errorAPIDe(guardar(d.id, doc1, d.version));  // another computer saved meanwhile
    EXPECT_EQ(e.codigo, "conflicto");
    EXPECT_EQ(e.status, 409);
    EXPECT_FALSE(Cuenta::reintentable(e));
    EXPECT_TRUE(archivos().empty());
    EXPECT_EQ(cuenta->disenos(), lista);
    EXPECT_EQ(lista, std::vector{d2});
}

// Every failure the service can answer. Only the code "conflicto" (whatever
// the status) spares the local copy.
TEST_F(CuentaGuardar, CualquierOtroFalloDejaCopiaYSePasaIgual) {
    const auto existente = esperarEnBucle(guardar(std::nullopt, doc1));
    const auto lista = cuenta->disenos();
    const std::string diseno = escribir(resumen("abc", "2024-01-01 00:00:00")).dump();
    struct Caso {
        json interruptor;        // null: the service answers itself
        std::optional<std::string> id;
        const char* codigo;
        int status;
        bool copia;
    };
    const Caso casos[] = {
        {{{"status", 500}, {"cuerpo", ""}}, std::nullopt, "http_500", 500, true},
        {{{"status", 503}}, existente.id, "forzado", 503, true},
        {{{"status", 413}, {"cuerpo", ""}}, existente.id, "demasiado_grande", 413, true},
        {{{"status", 300}, {"cuerpo", R"({"diseno":)" + diseno + "}"}}, std::nullopt, "http_300", 300, true},
        {{{"status", 409}, {"cuerpo", R"({"error":{"code":"conflicto_raro","message":"M"}})"}}, existente.id,
         "conflicto_raro", 409, true},
        {{{"status", 400}, {"cuerpo", R"({"error":{"code":"conflicto","message":"M"}})"}}, existente.id,
         "conflicto", 400, false},
        {{{"cuerpo", R"({"ok":true})"}}, std::nullopt, "respuesta_rara", 502, true},
        {{{"cuerpo", R"({"diseno":{"id":"abc","nombre":"x","version":1.5}})"}}, existente.id, "respuesta_rara", 502, true},
        {nullptr, "ffffffffffffffff", "no_existe", 404, true},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.interruptor.dump() + " " + c.id.value_or("(new)"));
        servicio.interruptores(c.interruptor.is_null() ? json::object() : json{{"guardar", c.interruptor}});
        const auto e = errorAPIDe(guardar(c.id, doc2, 7));
        EXPECT_EQ(e.codigo, c.codigo);
        EXPECT_EQ(e.status, c.status);
        EXPECT_EQ(cuenta->disenos(), lista) << "a failure leaves the list alone";

        const auto copia = cuenta->copiaLocal(c.id, "R1");
        ASSERT_EQ(copia.has_value(), c.copia);
        if (!copia) continue;
        EXPECT_EQ(archivos(), std::vector{Cuenta::nombreCopia(c.id, "R1")});
        EXPECT_EQ(copia->id, c.id);
        EXPECT_EQ(copia->ref, c.id ? std::nullopt : std::optional<std::string>("R1"));
        EXPECT_EQ(copia->nombre, "Portada");
        EXPECT_EQ(copia->doc.cadena(), doc2.cadena());
        EXPECT_EQ(copia->servidor, "127.0.0.1");
        EXPECT_EQ(copia->cliente, 1);
        fs::remove_all(sinSubir);
    }
}

TEST_F(CuentaGuardar, SinClaveNoSeEnviaNadaPeroQuedaLaCopia) {
    llavero->borrar(Llavero::servicio(), "clave@127.0.0.1");
    const auto e = errorAPIDe(guardar(std::nullopt, doc1));
    EXPECT_EQ(e.codigo, "clave_invalida");
    EXPECT_EQ(e.mensaje, "No hay cuenta conectada.");
    EXPECT_EQ(e.status, 0);
    EXPECT_TRUE(servicio.registroDe("guardar").empty());
    const auto copia = cuenta->copiaLocal(std::nullopt, "R1");
    ASSERT_TRUE(copia);
    EXPECT_EQ(copia->doc.cadena(), doc1.cadena());
}

TEST_F(CuentaGuardar, SinServidorQuedaLaCopiaYElErrorDelTransporte) {
    ASSERT_TRUE(preferencias.fijarTexto("servidor", "http://127.0.0.1:" + std::to_string(puertoCerrado())));
    try {
        esperarEnBucle(guardar("abc", doc1, 3));
        ADD_FAILURE() << "no error";
    } catch (const ErrorTransporte& e) {
        EXPECT_TRUE(Cuenta::reintentable(e));
    }
    const auto copia = cuenta->copiaLocal("abc", std::nullopt);
    ASSERT_TRUE(copia);
    EXPECT_EQ(copia->doc.cadena(), doc1.cadena());
    EXPECT_EQ(archivos(), std::vector<std::string>{"abc.json"});
}

TEST_F(CuentaGuardar, UnaSubidaCanceladaDejaCopia) {
    servicio.interruptores({{"guardar", {{"colgar", 30}}}});
    auto fallo = std::make_shared<std::exception_ptr>();
    auto subir = [](Tarea<DisenoResumen> t, std::shared_ptr<std::exception_ptr> f) -> Tarea<void> {
        try {
            (void)co_await std::move(t);
        } catch (...) {
            *f = std::current_exception();
        }
    };
    auto lanzada = lanzar(subir(guardar(std::nullopt, doc1), fallo));
    (void)bombearHasta([] { return false; }, std::chrono::milliseconds(300));  // the request is on its way
    lanzada.cancelar();
    ASSERT_TRUE(bombearHasta([&] { return lanzada.terminada(); }));
    ASSERT_TRUE(*fallo);
    EXPECT_THROW(std::rethrow_exception(*fallo), ErrorTransporte);
    ASSERT_TRUE(cuenta->copiaLocal(std::nullopt, "R1"));
}

// Nothing is sent or written when JSON cannot carry the document; that
// comes before looking for the key.
TEST_F(CuentaGuardar, UnDocumentoQueNoSePuedeEscribir) {
    const JSONValor malo(JSONValor::Objeto{{"x", JSONValor(std::nan(""))}});
    for (const bool conClave : {true, false}) {
        SCOPED_TRACE(conClave);
        if (!conClave) llavero->borrar(Llavero::servicio(), "clave@127.0.0.1");
        EXPECT_THROW(esperarEnBucle(guardar(std::nullopt, malo)), ErrorCodificacion);
        EXPECT_TRUE(servicio.registroDe("guardar").empty());
        EXPECT_TRUE(archivos().empty());
    }
}

// The list as the account returned it (A, B, C, unsorted), then one save
// whose answer the service is made to give.
TEST_F(CuentaGuardar, LaListaQuedaAlDiaYDeMasNuevoAMasViejo) {
    const json lista = json::array({escribir(resumen("A", "2024-01-03 00:00:00")),
                                    escribir(resumen("B", "2024-01-01 00:00:00")),
                                    escribir(resumen("C", "2024-01-02 00:00:00"))});
    const json cuentaAna{{"cuerpo", json{{"yo", {{"id", 1}, {"nombre", "Ana Pérez"}, {"email", "ana@ana.example"}}},
                                         {"disenos", lista}}
                                        .dump()}};
    struct Caso {
        DisenoResumen respuesta;
        std::vector<std::string> orden;
    };
    const Caso casos[] = {
        {resumen("B", "2024-01-05 00:00:00"), {"B", "A", "C"}},  // a listed design, now the newest
        {resumen("C", "2024-01-02 00:00:00"), {"A", "C", "B"}},  // replaced in place, then the list sorted
        {resumen("D", "2024-01-02 00:00:00"), {"A", "D", "C", "B"}},  // new in front; equal times keep their order
        {resumen("D", "2023-12-31 23:59:59"), {"A", "C", "B", "D"}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.respuesta.id + " " + c.respuesta.modificado);
        servicio.interruptores({{"cuenta", cuentaAna}});
        esperarEnBucle(cuenta->refrescar());
        ASSERT_EQ(ids(cuenta->disenos()), (std::vector<std::string>{"A", "B", "C"}));
        servicio.interruptores(
            {{"cuenta", cuentaAna}, {"guardar", {{"cuerpo", json{{"diseno", escribir(c.respuesta)}}.dump()}}}});
        int avisos = 0;
        const auto suscripcion = cuenta->observar([&](Cuenta::Cambio cambio) {
            if (cambio == Cuenta::Cambio::disenos) ++avisos;
        });

        const bool listado = c.respuesta.id != "D";
        const auto d = esperarEnBucle(guardar(listado ? std::optional(c.respuesta.id) : std::nullopt, doc1));
        EXPECT_EQ(d, c.respuesta);
        EXPECT_EQ(ids(cuenta->disenos()), c.orden);
        const auto& enLista = cuenta->disenos();
        const auto entrada = std::find_if(enLista.begin(), enLista.end(), [&](const auto& e) { return e.id == d.id; });
        ASSERT_NE(entrada, enLista.end());
        EXPECT_EQ(*entrada, d) << "the answer as it came, thumbnail and times included";
        EXPECT_EQ(avisos, 1);
    }
}

TEST_F(CuentaGuardar, BorraLasCopiasQueLaSubidaDejaAtras) {
    using Nombre = std::pair<std::optional<std::string>, std::optional<std::string>>;  // (id, ref)
    const auto escribirCopias = [&](const std::vector<Nombre>& nombres) {
        for (const auto& [id, ref] : nombres) cuenta->guardarCopiaLocal(id, "Portada", doc1, ref);
    };

    // A new design whose earlier answer was lost: the service already holds
    // it under its ref, so the id comes back and its copy goes too.
    const auto previo = servicio.pedirComoAna(
        "POST", "accion=guardar", json{{"nombre", "Portada"}, {"doc", json::object()}, {"cliente_ref", "R1"}}.dump());
    const std::string x = json::parse(previo.cuerpo)["diseno"]["id"];
    escribirCopias({{std::nullopt, "R1"}, {x, std::nullopt}, {"otro", std::nullopt}, {std::nullopt, "R2"}});
    auto d = esperarEnBucle(guardar(std::nullopt, doc2));
    ASSERT_EQ(d.id, x);
    EXPECT_EQ(archivos(), (std::vector<std::string>{"nuevo-R2.json", "otro.json"}));

    // With its id: the copy of the id, and the one kept under the ref before
    // the design had an id.
    escribirCopias({{std::nullopt, "R1"}, {x, std::nullopt}});
    d = esperarEnBucle(guardar(x, doc2, d.version));
    EXPECT_EQ(archivos(), (std::vector<std::string>{"nuevo-R2.json", "otro.json"}));

    // The account answers with another id than the one sent: both copies go.
    const json otroId{{"diseno", escribir(resumen("nuevoid", "2024-01-01 00:00:00"))}};
    servicio.interruptores({{"guardar", {{"cuerpo", otroId.dump()}}}});
    escribirCopias({{"viejo", std::nullopt}, {"nuevoid", std::nullopt}});
    esperarEnBucle(guardar("viejo", doc2, 1, std::nullopt));
    EXPECT_EQ(archivos(), (std::vector<std::string>{"nuevo-R2.json", "otro.json"}));
}

// An editor that could not wait for a slow upload keeps its newest changes
// as a local copy while the upload is still on its way. The upload's success
// must not remove changes it did not carry; the upload of those changes
// does.
TEST_F(CuentaGuardar, UnaCopiaEscritaDuranteLaSubida) {
    const auto existente = esperarEnBucle(guardar(std::nullopt, doc1));
    struct Caso {
        std::optional<std::string> id;
        bool otroDocumento;  // the copy holds later changes than the upload
    };
    const Caso casos[] = {{existente.id, true}, {existente.id, false}, {std::nullopt, true}, {std::nullopt, false}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.id.value_or("(new)") + (c.otroDocumento ? " later changes" : " the same document"));
        const JSONValor despues = c.otroDocumento ? doc2 : doc1;
        servicio.interruptores({{"guardar", {{"colgar", 1}}}});
        auto escrita = std::make_shared<bool>(false);
        auto escribirLuego = [](std::shared_ptr<Cuenta> cu, std::optional<std::string> id, JSONValor doc,
                                std::shared_ptr<bool> hecho) -> Tarea<void> {
            co_await dormir(0.3);
            cu->guardarCopiaLocal(id, "Portada", doc, "R9");
            *hecho = true;
        };
        (void)lanzar(escribirLuego(cuenta, c.id, despues, escrita));
        const auto d = esperarEnBucle(guardar(c.id, doc1, std::nullopt, "R9"));
        ASSERT_TRUE(*escrita) << "the copy was written before the answer came";

        const auto copia = cuenta->copiaLocal(c.id, "R9");
        ASSERT_EQ(copia.has_value(), c.otroDocumento);
        if (!copia) continue;
        EXPECT_EQ(copia->doc.cadena(), doc2.cadena());
        // Uploading those changes (now with the design's id) removes the copy.
        servicio.interruptores(json::object());
        esperarEnBucle(guardar(d.id, doc2, d.version, "R9"));
        EXPECT_TRUE(archivos().empty());
    }
}

}  // namespace
}  // namespace sorvenia::prueba
