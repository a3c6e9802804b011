#pragma once
// The hosting account as the application sees it: who is signed in, the
// account's cloud designs, the state of the sign-in and of the last refresh;
// and the only client of the account API.
//
// One object for the whole run, bound to the main thread: every member is
// read and written there. Screens observe it (observar) and hear of every
// change of its published state. Its calls are coroutines: the network
// exchange and the keychain run off the main thread, and each call keeps
// the object alive until it ends.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "cuenta/copia_local.h"
#include "cuenta/error_api.h"
#include "cuenta/marco_cuenta.h"
#include "cuenta/registros.h"
#include "cuenta/respuestas.h"
#include "plataforma/observadores.h"
#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class Preferencias;

class Cuenta : public RegistrosCuenta, public std::enable_shared_from_this<Cuenta> {
public:
    // What the object reads its settings from.
    using FuenteAzar = std::function<Resultado<std::vector<std::uint8_t>>(std::size_t)>;

    struct Entorno {
        Preferencias* preferencias = nullptr;  // nullptr: Preferencias::estandar()
        std::string servidorIncorporado;       // empty: the address this build was made with
    };

    // The published members, as observers hear of them.
    enum class Cambio { cliente, disenos, conectando, cargando, error, enlaceConexion };
    using Suscripcion = Observadores<Cambio>::Suscripcion;

    using CopiaLocal = sorvenia::CopiaLocal;  // copia_local.h
    using EstadoAgencia = RespuestaAgencia;  // {datos: nulo when none, version: 0 when none}
    using ErrorAgencia = sorvenia::ErrorAgencia;

    // Makes the account object and restores the signed-in customer: signed
    // in only when both the stored customer record and the key exist for
    // the current host (the key is read off the main thread). Makes it the
    // current object (actual()). No network request.
    static Tarea<std::shared_ptr<Cuenta>> crear();
    static Tarea<std::shared_ptr<Cuenta>> crear(Entorno entorno);

    // The object made last, while it lives.
    static std::shared_ptr<Cuenta> actual();

    // Published state.
    const std::optional<Cliente>& cliente() const { return cliente_; }
    const std::vector<DisenoResumen>& disenos() const { return disenos_; }
    bool conectando() const { return conectando_; }
    bool cargando() const { return cargando_; }
    const std::optional<std::string>& error() const { return error_; }
    const std::optional<std::string>& enlaceConexion() const { return enlaceConexion_; }
    // True while the attempt under way could not open any browser: its link
    // is still good, and the sign-in page shows it for the user to copy.
    bool sinNavegador() const { return sinNavegador_; }
    [[nodiscard]] Suscripcion observar(std::function<void(Cambio)> observador);

    // The account site's base address: the "servidor" preference when it is
    // an absolute URL, otherwise the built-in address. Read anew each time.
    std::string servidor() const;
    // The API endpoint on `base` with the query (no "?" when it is empty).
    static std::optional<std::string> url(const std::string& base, const ConsultaCuenta& consulta);

    // The keychain account of the key and the preference of the customer
    // record, both for the current host.
    std::string cuentaClave() const;
    std::string claveCliente() const;

    // Reloads the customer and the design list. Never throws: a refused or
    // missing key signs out (without revoking) and says so in error(); any
    // other failure only sets error().
    Tarea<void> refrescar();
    // One design with its preview (if any) and publishing targets.
    Tarea<std::tuple<DisenoCompleto, std::optional<Previa>, Destinos>> abrir(std::string id);
    Tarea<EstadoAgencia> agencia();
    // Saves the agency data (a JSON object) over `version`; the new version.
    // Throws ErrorAgencia when another computer saved first.
    Tarea<std::int64_t> guardarAgencia(nlohmann::json datos, std::int64_t version);

    Tarea<std::pair<std::vector<DominioPack>, Pack>> buscarDominios(std::string q);
    // The store catalogue ("tienda" of the answer; nulo when absent).
    Tarea<JSONValor> tienda();
    // A signed-in link to a page of the account panel, on the account
    // site's own host.
    Tarea<std::string> enlaceSesion(std::string ir);
    // Resource path → lowercase hexadecimal SHA-256 of the stored scene files.
    Tarea<std::map<std::string, std::string>> escenasSubidas(std::string id);
    Tarea<void> subirEscena(std::string id, std::string ruta, std::string datos);
    Tarea<std::vector<VPS>> listarVPS();
    Tarea<Publicada> publicarHosting(std::string id, std::int64_t servicio, std::string carpeta,
                                     std::map<std::string, std::string> archivos);
    // Publishes the stored design `id` as a temporary preview made of
    // `archivos` (file name → text) (cuenta_previa.cpp). One request, 90 s;
    // nothing changes here. Throws the frame's errors unchanged.
    Tarea<Previa> previa(std::string id, std::string nombre, std::map<std::string, std::string> archivos);

    // Uploads a design with its whole document (cuenta_guardar.cpp): a new
    // one when `id` is absent, otherwise the stored one, which the account
    // refuses with the "conflicto" ErrorAPI when `version` (the one the
    // caller last saw) is not its own. `ref` is the caller's identity of
    // this copy of the design: it names the local copy of a design without
    // id, and travels while the design has none, so that a retry whose
    // answer was lost updates the same design. Gives the design as the
    // account now lists it (the new id and version), after putting it in
    // disenos() (newest first by modificado) and removing the local copies
    // the upload made obsolete.
    //
    // Any failure other than "conflicto" first writes the design (without
    // thumbnail and version) as the local copy named by (id, ref), then is
    // thrown on unchanged: ErrorAPI ("clave_invalida" with nothing sent, the
    // service's codes, "http_…", "respuesta_rara") or ErrorTransporte (a
    // cancelled task's included). A document JSON cannot write (a number
    // that is not finite) throws ErrorCodificacion: nothing is sent or
    // written. One request; retrying is the caller's decision.
    Tarea<DisenoResumen> guardar(std::optional<std::string> id, std::string nombre, JSONValor doc,
                                 std::optional<std::string> miniatura, std::optional<std::int64_t> version,
                                 std::optional<std::string> ref);

    // Deletes the cloud design `id` (cuenta_borrar.cpp). Never throws: a
    // failure only sets error(), and leaves the list, the local copy and
    // the settings as they were. On success every trace this computer keeps
    // goes: its entries in disenos(), its local copy and its entries in the
    // "vpsPublicado" and "videoDeDiseno" preferences.
    Tarea<void> borrar(std::string id);

    // Hands HTML to the account's photo service, which fills its photo
    // placeholders (cuenta_fotos.cpp). Never throws and publishes nothing:
    // any failure, or an answer of JSON null or without a text "html",
    // gives `html` back unchanged.
    Tarea<std::string> fotos(std::string html);

    // The browser sign-in. conectar() starts an attempt: a one-time state
    // and a verifier, and the account site's sign-in link with the
    // verifier's challenge, opened in the default browser (the test build
    // writes it to "enlace-conectar.txt" in the test channel's folder
    // instead). The site sends the browser back to a "sorvenia-tarvel:"
    // address, which the desktop hands to recibir(): it must carry the
    // attempt's state; then its code is redeemed with the verifier. Every
    // outcome shows in conectando(), error() and enlaceConexion(). When no
    // browser can be opened the attempt stays under way (sinNavegador()):
    // the link, opened by hand, can still finish it.
    void conectar();
    void reabrirNavegador();
    void copiarEnlace();
    // There is no Safari on Linux: does nothing.
    void abrirEnSafari();
    void cancelarConexion();
    void recibir(const std::string& url);
    // Where the sign-in draws its verifier and state; by default the
    // system's secure random source (tests put a failing one in place).
    void usarAzar(FuenteAzar fuente) { azar_ = std::move(fuente); }

    // Redeems a browser sign-in's code. On success keeps the key in the
    // keychain and the customer in the preferences, then refreshes. Never
    // throws: a failure goes to error() and signs nobody in; so does a key
    // the keychain would not store.
    Tarea<void> canjear(std::string code, std::string verificador);
    // Publishes the customer and stores its record for the current host.
    void fijarCliente(Cliente c);
    // Signs out: the key and the customer record go, cliente() and
    // disenos() empty. With `revocar` the account site is asked, in the
    // background, to revoke the key.
    Tarea<void> desconectar(bool revocar);

    static ErrorAPI errorDe(std::string_view cuerpo, int status) { return sorvenia::errorDe(cuerpo, status); }
    static bool reintentable(const std::exception& e) noexcept { return sorvenia::reintentable(e); }
    static bool reintentable(const std::exception_ptr& e) noexcept { return sorvenia::reintentable(e); }

    // `n` secure random bytes as unpadded base64url. Nothing when the random
    // source fails: a sign-in must not go on with predictable values.
    static std::optional<std::string> aleatorio(std::size_t n);
    static std::optional<std::string> aleatorio(std::size_t n, const FuenteAzar& fuente);

    // The file name of a design's local copy: the id (even an empty one),
    // else "nuevo-" + ref, else "nuevo"; only ASCII letters, digits, "_" and
    // "-", at most 80 of them, "nuevo" when none is left, then ".json".
    static std::string nombreCopia(const std::optional<std::string>& id, const std::optional<std::string>& ref);

    // Local copies of unsent designs (copias_locales.cpp): one file per
    // design, named by nombreCopia(id, ref), in carpetaCopias(). Synchronous
    // and small; nothing is cached, every call reads the folder anew. No
    // call reports a failure: a copy that cannot be written, read or decoded
    // is simply not there, and a file that is not a copy is left alone.
    //
    // ~/.local/share/SorveniaTarvel/<application id>/sin-subir: the test
    // build ("….pruebas") keeps its copies apart. Made (mode 0700) only when
    // a copy is written.
    static std::filesystem::path carpetaCopias();
    // Where this object keeps its copies instead (tests); empty: carpetaCopias().
    void usarCarpetaCopias(std::filesystem::path carpeta) { carpetaCopias_ = std::move(carpeta); }
    // Writes (or replaces) the design's copy, dated now and stamped with the
    // account site's host and the signed-in customer's id; `ref` is kept
    // only when `id` is absent. Nothing is written when the document holds a
    // number that is not finite. `base` is the account's version the
    // changes were made on, as far as the caller knows it.
    void guardarCopiaLocal(const std::optional<std::string>& id, const std::string& nombre, const JSONValor& doc,
                           const std::optional<std::string>& ref,
                           std::optional<CopiaLocal::Base> base = std::nullopt);
    // Removes the design's copy, if there is one.
    void borrarCopiaLocal(const std::optional<std::string>& id, const std::optional<std::string>& ref);
    // The design's copy, whichever site and customer it belongs to.
    std::optional<CopiaLocal> copiaLocal(const std::optional<std::string>& id,
                                         const std::optional<std::string>& ref) const;
    // The copy of the cloud design `id` to offer when the design opens with
    // the account's document `enLaCuenta`. A copy holding exactly that
    // document is obsolete and deleted; any other is offered: no clock,
    // this computer's or the account's, decides that changes are lost.
    std::optional<CopiaLocal> copiaPendiente(const std::string& id, const JSONValor& enLaCuenta);
    // The copies of the current account site and signed-in customer (an
    // absent host or customer matches only an absent one), newest first.
    std::vector<CopiaLocal> copiasLocales() const;
    // Removes the file `archivo` of the folder: only a bare file name
    // ending in ".json" (no "/", no NUL); anything else does nothing.
    void descartarCopia(const std::string& archivo);

    ~Cuenta();
    Cuenta(const Cuenta&) = delete;
    Cuenta& operator=(const Cuenta&) = delete;

private:
    struct Clave {};  // only crear() makes objects
public:
    Cuenta(Clave, Entorno entorno);

private:
    Tarea<void> restaurar();
    Preferencias& preferencias() const;
    std::string hostOIncorporado() const;
    // The copies' folder of this object (usarCarpetaCopias, else carpetaCopias()).
    std::filesystem::path carpetaDeCopias() const;

    // The frame: the key (unless the call has none), the request, the
    // answer. intercambiar() gives any answer; enviar() the body of one
    // below 300 and errorDe() for the others.
    Tarea<RespuestaHTTP> intercambiar(LlamadaCuenta llamada);
    Tarea<std::string> enviar(LlamadaCuenta llamada);
    template <class R>
    Tarea<R> llamar(LlamadaCuenta llamada);

    // The saved design in place of its entry (or in front), list re-sorted.
    void colocarDiseno(const DisenoResumen& d);

    void ponerCliente(std::optional<Cliente> c);
    void ponerDisenos(std::vector<DisenoResumen> d);
    void ponerCargando(bool c);
    void ponerError(std::optional<std::string> e);
    void ponerConectando(bool c);
    void ponerEnlace(std::optional<std::string> e);

    // The sign-in attempt the next callback must match.
    struct Pendiente {
        std::string state;
        std::string verificador;
    };

    Entorno entorno_;
    std::optional<Cliente> cliente_;
    std::vector<DisenoResumen> disenos_;
    bool conectando_ = false;
    bool cargando_ = false;
    std::optional<std::string> error_;
    std::optional<std::string> enlaceConexion_;
    bool sinNavegador_ = false;
    std::optional<Pendiente> pendiente_;
    FuenteAzar azar_;
    std::filesystem::path carpetaCopias_;
    Observadores<Cambio> observadores_;
};

// The user-facing sentence of any failure.
std::string descripcionDe(const std::exception_ptr& error);

}  // namespace sorvenia
