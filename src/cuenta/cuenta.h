#pragma once
// The hosting account as the application sees it: who is signed in, the
// account's cloud designs, the state of the sign-in and of the last refresh;
// and the only client of the account API. It owns two parts with headers of
// their own: the local copies of unsent designs (CopiasLocales) and the
// browser sign-in (ConexionNavegador); their calls are offered here too.
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

#include "cuenta/conexion_navegador.h"
#include "cuenta/copia_local.h"
#include "cuenta/copias_locales.h"
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
    using FuenteAzar = ConexionNavegador::FuenteAzar;

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
    bool conectando() const { return conexion_.conectando(); }
    bool cargando() const { return cargando_; }
    const std::optional<std::string>& error() const { return error_; }
    const std::optional<std::string>& enlaceConexion() const { return conexion_.enlace(); }
    // True while the attempt under way could not open any browser: its link
    // is still good, and the sign-in page shows it for the user to copy.
    bool sinNavegador() const { return conexion_.sinNavegador(); }
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

    // The browser sign-in: ConexionNavegador (conexion_navegador.h) does
    // the work; these are its calls under the names the callers use.
    void conectar() { conexion_.conectar(); }
    void reabrirNavegador() { conexion_.reabrirNavegador(); }
    void copiarEnlace() { conexion_.copiarEnlace(); }
    // There is no Safari on Linux: nothing to open it in.
    void abrirEnSafari() {}
    void cancelarConexion() { conexion_.cancelar(); }
    void recibir(const std::string& url) { conexion_.recibir(url); }
    void usarAzar(FuenteAzar fuente) { conexion_.usarAzar(std::move(fuente)); }

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

    // Local copies of unsent designs, stamped with this account's site and
    // signed-in customer: CopiasLocales (copias_locales.h) does the work;
    // these are its calls under the names the callers use.
    CopiasLocales& copias() { return copias_; }
    const CopiasLocales& copias() const { return copias_; }
    static std::string nombreCopia(const std::optional<std::string>& id, const std::optional<std::string>& ref) {
        return CopiasLocales::nombreCopia(id, ref);
    }
    static std::filesystem::path carpetaCopias() { return CopiasLocales::carpetaPorDefecto(); }
    void usarCarpetaCopias(std::filesystem::path carpeta) { copias_.usarCarpeta(std::move(carpeta)); }
    void guardarCopiaLocal(const std::optional<std::string>& id, const std::string& nombre, const JSONValor& doc,
                           const std::optional<std::string>& ref, std::optional<CopiaLocal::Base> base = std::nullopt) {
        copias_.guardar(id, nombre, doc, ref, std::move(base));
    }
    void borrarCopiaLocal(const std::optional<std::string>& id, const std::optional<std::string>& ref) {
        copias_.borrar(id, ref);
    }
    std::optional<CopiaLocal> copiaLocal(const std::optional<std::string>& id,
                                         const std::optional<std::string>& ref) const {
        return copias_.leer(id, ref);
    }
    std::optional<CopiaLocal> copiaPendiente(const std::string& id, const JSONValor& enLaCuenta) {
        return copias_.pendiente(id, enLaCuenta);
    }
    std::vector<CopiaLocal> copiasLocales() const { return copias_.delDueno(); }
    void descartarCopia(const std::string& archivo) { copias_.descartar(archivo); }

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
    // The sign-in publishes through this object.
    friend class ConexionNavegador;

    Entorno entorno_;
    std::optional<Cliente> cliente_;
    std::vector<DisenoResumen> disenos_;
    bool cargando_ = false;
    std::optional<std::string> error_;
    CopiasLocales copias_;
    ConexionNavegador conexion_{*this};
    Observadores<Cambio> observadores_;
};

// The user-facing sentence of any failure.
std::string descripcionDe(const std::exception_ptr& error);

}  // namespace sorvenia
