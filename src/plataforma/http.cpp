#include "plataforma/http.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>

#include "plataforma/descriptores.h"

namespace sorvenia {
namespace {

using Reloj = std::chrono::steady_clock;

// Response headers beyond this many bytes are refused like an oversized body.
constexpr std::size_t limiteCabeceras = 256u * 1024u;

Fallo falloConexion() { return {"No se pudo conectar con el servidor. Comprueba tu conexión a internet.", "conexion"}; }
Fallo falloTiempo() { return {"El servidor ha tardado demasiado en contestar.", "tiempo"}; }
Fallo falloCancelada() { return {"Se ha cancelado la petición.", "cancelada"}; }
Fallo falloTLS() { return {"No se pudo establecer una conexión segura con el servidor.", "tls"}; }
Fallo falloGrande() { return {"La respuesta del servidor es demasiado grande.", "grande"}; }
Fallo falloURL() { return {"La dirección del servidor no es válida.", "url"}; }
Fallo falloPeticion() { return {"La petición no es válida.", "peticion"}; }
Fallo falloRed() { return {"No se pudo completar la comunicación con el servidor.", "red"}; }

struct LiberarEasy {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct LiberarMulti {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct LiberarLista {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Lista = std::unique_ptr<curl_slist, LiberarLista>;

// One multi handle per worker thread, kept for the thread's life: it keeps
// connections open for the next request, and its wake-up descriptors, which
// libcurl opens inheritable, are created and marked once.
CURLM* multiDelHilo() {
    thread_local std::unique_ptr<CURLM, LiberarMulti> multi;
    if (!multi) sinHerencia([] { multi.reset(curl_multi_init()); });
    return multi.get();
}

// An easy handle inside the thread's multi handle; the multi interface lets
// a cancellation wake the transfer at once.
class Transferencia {
public:
    Transferencia() : easy_(curl_easy_init()), multi_(multiDelHilo()) {}
    ~Transferencia() {
        if (anadido_) curl_multi_remove_handle(multi_, easy_.get());
    }
    Transferencia(const Transferencia&) = delete;
    Transferencia& operator=(const Transferencia&) = delete;

    bool valida() const { return easy_ && multi_ != nullptr; }
    CURL* easy() const { return easy_.get(); }
    CURLM* multi() const { return multi_; }
    bool empezar() { return anadido_ = curl_multi_add_handle(multi_, easy_.get()) == CURLM_OK; }

private:
    std::unique_ptr<CURL, LiberarEasy> easy_;
    CURLM* multi_;  // the thread's
    bool anadido_ = false;
};

// What the callbacks collect; they all run on the thread that drives the
// transfer.
struct Recepcion {
    std::stop_token parar;
    std::size_t limite = 0;
    LectorCabeceras lector;
    std::size_t bytesCabeceras = 0;
    std::string cuerpo;
    bool cortar = false;  // keep what fits and stop, instead of failing
    bool demasiado = false;
    bool cortada = false;
    Reloj::time_point ultimaActividad = Reloj::now();
    curl_off_t bajado = 0;
    curl_off_t subido = 0;
};

std::size_t alRecibirCabecera(char* datos, std::size_t tamano, std::size_t cantidad, void* usuario) {
    auto& r = *static_cast<Recepcion*>(usuario);
    const std::size_t n = tamano * cantidad;
    r.ultimaActividad = Reloj::now();
    r.bytesCabeceras += n;
    if (r.bytesCabeceras > limiteCabeceras) {
        r.demasiado = true;
        return 0;
    }
    r.lector.linea(std::string_view(datos, n));
    return n;
}

std::size_t alRecibirCuerpo(char* datos, std::size_t tamano, std::size_t cantidad, void* usuario) {
    auto& r = *static_cast<Recepcion*>(usuario);
    const std::size_t n = tamano * cantidad;
    r.ultimaActividad = Reloj::now();
    if (n > r.limite - r.cuerpo.size()) {
        if (r.cortar) {
            r.cuerpo.append(datos, r.limite - r.cuerpo.size());
            r.cortada = true;
        } else {
            r.demasiado = true;
        }
        return 0;
    }
    r.cuerpo.append(datos, n);
    return n;
}

int alProgresar(void* usuario, curl_off_t, curl_off_t bajado, curl_off_t, curl_off_t subido) {
    auto& r = *static_cast<Recepcion*>(usuario);
    if (bajado != r.bajado || subido != r.subido) {
        r.bajado = bajado;
        r.subido = subido;
        r.ultimaActividad = Reloj::now();
    }
    return r.parar.stop_requested() ? 1 : 0;
}

// libcurl of this vintage leaves its sockets inheritable; a process the
// application starts must not hold the connection open.
curl_socket_t abrirSocket(void*, curlsocktype, curl_sockaddr* direccion) {
    return socket(direccion->family, direccion->socktype | SOCK_CLOEXEC, direccion->protocol);
}

Hecho iniciarCurl() {
    static const CURLcode inicio = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (inicio != CURLE_OK) return falloRed();
    return hecho();
}

bool peticionValida(const PeticionHTTP& p) {
    if (!esTokenHTTP(p.metodo)) return false;
    return std::all_of(p.cabeceras.begin(), p.cabeceras.end(),
                       [](const auto& c) { return esTokenHTTP(c.first) && esValorCabecera(c.second); });
}

bool tieneCabecera(const PeticionHTTP& p, std::string_view nombre) {
    return buscarCabecera(p.cabeceras, nombre).has_value();
}

// The caller's headers, with libcurl's "Expect: 100-continue" switched off:
// it delays every larger body by a round trip or a second.
Lista listaCabeceras(const PeticionHTTP& p) {
    Lista lista;
    auto anadir = [&lista](const std::string& linea) {
        if (curl_slist* nueva = curl_slist_append(lista.get(), linea.c_str())) {
            static_cast<void>(lista.release());
            lista.reset(nueva);
            return true;
        }
        return false;
    };
    for (const auto& [nombre, valor] : p.cabeceras) {
        // "Name:" would remove the header; "Name;" sends it empty.
        if (!anadir(valor.empty() ? nombre + ";" : nombre + ": " + valor)) return nullptr;
    }
    if (!tieneCabecera(p, "Expect") && !anadir("Expect:")) return nullptr;
    return lista;
}

bool llevaCuerpo(const PeticionHTTP& p) {
    return !p.cuerpo.empty() || p.metodo == "POST" || p.metodo == "PUT" || p.metodo == "PATCH";
}

// Zero, negative and NaN mean the default; a huge limit is cut to what the
// clocks can count.
double limiteEfectivo(double segundos) {
    if (std::isnan(segundos) || segundos <= 0) return 60.0;
    return std::min(segundos, 1e7);
}

// The whole transfer's limit: ten times the idle one unless given.
double limiteTotal(double segundos, double inactivo) {
    if (std::isnan(segundos) || segundos <= 0) return std::min(inactivo * 10.0, 1e7);
    return std::min(segundos, 1e7);
}

bool configurarTransporte(CURL* c, const PeticionHTTP& p, const curl_slist* cabeceras) {
    const long conectar = static_cast<long>(std::ceil(limiteEfectivo(p.tiempoLimite) * 1000.0));
    bool ok = curl_easy_setopt(c, CURLOPT_URL, p.url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, p.seguirRedirecciones ? 1L : 0L) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_MAXREDIRS, 20L) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_HTTPHEADER, cabeceras) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_USERAGENT, "SorveniaTarvel/1.0 (Linux)") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, conectar) == CURLE_OK;
    return ok && curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, abrirSocket) == CURLE_OK;
}

bool configurarRecepcion(CURL* c, Recepcion& r) {
    const curl_off_t maximo = std::numeric_limits<curl_off_t>::max();
    const curl_off_t limite = r.limite > static_cast<std::size_t>(maximo) ? maximo : static_cast<curl_off_t>(r.limite);
    // A body that will be cut must not be refused for its announced size.
    bool ok = curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, r.cortar ? curl_off_t{0} : limite) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, alRecibirCabecera) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_HEADERDATA, &r) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, alRecibirCuerpo) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_WRITEDATA, &r) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, alProgresar) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_XFERINFODATA, &r) == CURLE_OK;
    return ok && curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
}

bool configurarMetodo(CURL* c, const PeticionHTTP& p) {
    if (p.metodo == "HEAD") return curl_easy_setopt(c, CURLOPT_NOBODY, 1L) == CURLE_OK;
    bool ok = true;
    if (llevaCuerpo(p)) {
        ok = curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(p.cuerpo.size())) == CURLE_OK;
        ok = ok && curl_easy_setopt(c, CURLOPT_POSTFIELDS, p.cuerpo.data()) == CURLE_OK;
    }
    if (p.metodo != "GET" || llevaCuerpo(p))
        ok = ok && curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, p.metodo.c_str()) == CURLE_OK;
    return ok;
}

enum class Final { completa, cancelada, inactiva, averia };

// Drives the transfer until it ends, is cancelled, goes quiet for longer
// than `limite` or runs past `total`.
Final correr(Transferencia& t, Recepcion& r, double limite, double total) {
    const auto quieto = std::chrono::duration<double>(limite);
    const auto fin = Reloj::now() + std::chrono::duration_cast<Reloj::duration>(std::chrono::duration<double>(total));
    std::stop_callback despertar(r.parar, [multi = t.multi()] { curl_multi_wakeup(multi); });
    for (;;) {
        int activas = 0;
        if (curl_multi_perform(t.multi(), &activas) != CURLM_OK) return Final::averia;
        if (activas == 0) return Final::completa;
        if (r.parar.stop_requested()) return Final::cancelada;
        const auto ahora = Reloj::now();
        const auto pasado = ahora - r.ultimaActividad;
        if (pasado >= quieto || ahora >= fin) return Final::inactiva;
        const auto queda = std::chrono::ceil<std::chrono::milliseconds>(
                               std::min<std::chrono::duration<double>>(quieto - pasado, fin - ahora))
                               .count();
        const int espera = static_cast<int>(std::min<decltype(queda)>(queda, 1000));
        if (curl_multi_poll(t.multi(), nullptr, 0, espera, nullptr) != CURLM_OK) return Final::averia;
    }
}

CURLcode resultadoDe(CURLM* multi) {
    int quedan = 0;
    while (CURLMsg* mensaje = curl_multi_info_read(multi, &quedan))
        if (mensaje->msg == CURLMSG_DONE) return mensaje->data.result;
    return CURLE_FAILED_INIT;
}

Fallo falloDe(CURLcode codigo, const Recepcion& r) {
    if (r.demasiado) return falloGrande();
    switch (codigo) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        return falloConexion();
    case CURLE_OPERATION_TIMEDOUT:
        return falloTiempo();
    case CURLE_ABORTED_BY_CALLBACK:
        return falloCancelada();
    case CURLE_FILESIZE_EXCEEDED:
        return falloGrande();
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return falloURL();
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
        return falloTLS();
    default:
        return falloRed();
    }
}

}  // namespace

Resultado<RespuestaHTTP> pedir(const PeticionHTTP& peticion, std::stop_token parar) {
    if (auto inicio = iniciarCurl(); !inicio) return inicio.fallo();
    if (peticion.url.find('\0') != std::string::npos) return falloURL();
    if (!peticionValida(peticion)) return falloPeticion();
    if (parar.stop_requested()) return falloCancelada();

    // What the transfer points at is made first, so that it outlives the
    // transfer: taking an unfinished transfer out of its multi handle calls
    // the progress callback once more.
    const Lista cabeceras = listaCabeceras(peticion);
    Recepcion r;
    Transferencia t;
    if (!t.valida() || !cabeceras) return falloRed();
    r.parar = parar;
    r.limite = peticion.limiteBytes;
    r.cortar = peticion.cortarAlLimite;
    if (!configurarTransporte(t.easy(), peticion, cabeceras.get()) || !configurarRecepcion(t.easy(), r) ||
        !configurarMetodo(t.easy(), peticion) || !t.empezar())
        return falloRed();

    const double limite = limiteEfectivo(peticion.tiempoLimite);
    switch (correr(t, r, limite, limiteTotal(peticion.tiempoTotal, limite))) {
    case Final::cancelada:
        return falloCancelada();
    case Final::inactiva:
        return falloTiempo();
    case Final::averia:
        return falloRed();
    case Final::completa:
        break;
    }
    if (const CURLcode codigo = resultadoDe(t.multi()); codigo != CURLE_OK && !r.cortada) return falloDe(codigo, r);

    RespuestaHTTP respuesta;
    if (curl_easy_getinfo(t.easy(), CURLINFO_RESPONSE_CODE, &respuesta.status) != CURLE_OK) return falloRed();
    respuesta.cabeceras = std::move(r.lector).cabeceras();
    respuesta.cuerpo = std::move(r.cuerpo);
    respuesta.cortada = r.cortada;
    return respuesta;
}

Tarea<Resultado<RespuestaHTTP>> pedirAsync(PeticionHTTP peticion) {
    // Named, not written inside the co_await: GCC 12 corrupts a capturing
    // lambda that is a temporary of a co_await expression.
    auto trabajo = [peticion = std::move(peticion)](std::stop_token parar) { return pedir(peticion, parar); };
    co_return co_await enSegundoPlano(std::move(trabajo));
}

}  // namespace sorvenia
