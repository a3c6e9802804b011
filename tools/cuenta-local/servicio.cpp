#include "servicio.h"

#include <httplib.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "api.h"
#include "conexion.h"
#include "estado.h"
#include "paginas.h"
#include "utiles.h"
#include "comun/texto.h"

namespace sorvenia::cuenta_local {
namespace {

constexpr std::size_t cuerpoMaximo = 512u * 1024u * 1024u;

std::string decodificar(std::string_view texto) {
    std::string salida;
    for (std::size_t i = 0; i < texto.size(); ++i) {
        if (texto[i] == '+') {
            salida.push_back(' ');
        } else if (texto[i] == '%' && i + 2 < texto.size() && valorHex(texto[i + 1]) >= 0 && valorHex(texto[i + 2]) >= 0) {
            salida.push_back(static_cast<char>(valorHex(texto[i + 1]) * 16 + valorHex(texto[i + 2])));
            i += 2;
        } else {
            salida.push_back(texto[i]);
        }
    }
    return salida;
}

// "a=1&b=2" decoded; the first item of each name counts.
std::map<std::string, std::string> decodificarConsulta(std::string_view texto) {
    std::map<std::string, std::string> items;
    while (!texto.empty()) {
        const auto fin = std::min(texto.find('&'), texto.size());
        const auto par = texto.substr(0, fin);
        if (!par.empty()) {
            const auto igual = std::min(par.find('='), par.size());
            items.emplace(decodificar(par.substr(0, igual)), igual < par.size() ? decodificar(par.substr(igual + 1)) : "");
        }
        texto.remove_prefix(std::min(fin + 1, texto.size()));
    }
    return items;
}

Peticion peticionDe(const httplib::Request& req) {
    Peticion p;
    p.metodo = req.method;
    p.ruta = req.path;
    if (const auto q = req.target.find('?'); q != std::string::npos) p.consulta = decodificarConsulta(std::string_view(req.target).substr(q + 1));
    p.cuerpo = req.body;
    p.tipo = req.get_header_value("Content-Type");
    if (p.tipo.rfind("application/x-www-form-urlencoded", 0) == 0) p.formulario = decodificarConsulta(p.cuerpo);
    const std::string autorizacion = req.get_header_value("Authorization");
    if (autorizacion.rfind("Bearer ", 0) == 0) p.clave = autorizacion.substr(7);
    p.base = "http://" + req.get_header_value("Host");
    // "a=1; b=2"
    const std::string cookies = req.get_header_value("Cookie");
    for (std::size_t i = 0; i < cookies.size();) {
        auto fin = cookies.find(';', i);
        if (fin == std::string::npos) fin = cookies.size();
        std::string par = cookies.substr(i, fin - i);
        while (!par.empty() && par.front() == ' ') par.erase(0, 1);
        if (const auto igual = par.find('='); igual != std::string::npos)
            p.cookies[par.substr(0, igual)] = par.substr(igual + 1);
        i = fin + 1;
    }
    return p;
}

std::map<std::string, std::string> cabecerasParaRegistro(const httplib::Request& req) {
    std::map<std::string, std::string> c;
    for (const char* nombre : {"Authorization", "Content-Type", "User-Agent"})
        if (req.has_header(nombre)) c[nombre] = req.get_header_value(nombre);
    return c;
}

}  // namespace

struct CuentaLocal::Impl {
    explicit Impl(const std::filesystem::path& datos) : estado(datos) {}

    Estado estado;
    httplib::Server servidor;
    std::mutex mutex;
    std::condition_variable aviso;
    bool parado = false;
    bool sirviendo = false;

    // Waits `segundos`, or less when the service stops.
    void colgar(double segundos) {
        std::unique_lock bloqueo(mutex);
        aviso.wait_for(bloqueo, std::chrono::duration<double>(segundos), [this] { return parado; });
    }

    bool sigue() {
        std::lock_guard bloqueo(mutex);
        return !parado;
    }

    Respuesta conInterruptor(const std::string& accion, const std::function<Respuesta()>& hacer) {
        const auto i = estado.interruptores.tomar(accion);
        if (i && i->gotear > 0) goteo = i->gotear;
        if (i && i->colgar > 0) colgar(i->colgar);
        if (i && (i->status || i->cuerpo)) return respuestaForzada(*i, accion);
        return hacer();
    }

    Respuesta atender(const Peticion& p, std::string& accion) {
        if (p.ruta == "/api/v1/tarvel" || p.ruta == "/api/v1/tarvel/") {
            accion = nombreDeAccion(p);
            return conInterruptor(accion, [&] { return atenderAPI(estado, p, accion); });
        }
        if (p.ruta == "/conectar-app/" || p.ruta == "/conectar-app") {
            accion = "conectar";
            return conInterruptor(accion, [&] {
                std::lock_guard bloqueo(estado.datos);
                return p.metodo == "POST" ? decidirConexion(estado, p) : paginaConectar(estado, p);
            });
        }
        accion = "pagina";
        if (p.metodo != "GET" && p.metodo != "HEAD") return respuestaError(405, "metodo", "Aquí solo se pide con GET.");
        return pagina(estado, p);
    }

    // The switch's pause between the bytes of the answer being made on this
    // thread (each request has a worker thread of its own).
    static thread_local double goteo;

    // The answer one byte at a time, `segundos` apart; stopping ends it.
    void gotearRespuesta(httplib::Response& res, const Respuesta& r, double segundos) {
        auto cuerpo = std::make_shared<std::string>(r.cuerpo);
        res.set_content_provider(cuerpo->size(), r.tipo,
                                 [this, cuerpo, segundos](std::size_t desde, std::size_t, httplib::DataSink& sink) {
                                     if (desde >= cuerpo->size() || !sigue()) return false;
                                     if (!sink.write(cuerpo->data() + desde, 1)) return false;
                                     colgar(segundos);
                                     return sigue();
                                 });
    }

    void manejar(const httplib::Request& req, httplib::Response& res) {
        const Peticion p = peticionDe(req);
        std::string accion;
        goteo = 0;
        Respuesta r;
        try {
            r = atender(p, accion);
        } catch (const std::exception& e) {
            r = respuestaError(500, "interno", std::string("Error interno: ") + e.what());
        }
        res.status = r.status;
        for (const auto& [nombre, valor] : r.cabeceras) res.set_header(nombre, valor);
        if (goteo > 0)
            gotearRespuesta(res, r, goteo);
        else
            res.set_content(r.cuerpo, r.tipo);
        estado.registro.anotar(p, accion, r, cabecerasParaRegistro(req));
    }
};

thread_local double CuentaLocal::Impl::goteo = 0;

CuentaLocal::CuentaLocal(const std::filesystem::path& datos) : impl_(std::make_unique<Impl>(datos)) {
    auto manejador = [this](const httplib::Request& req, httplib::Response& res) { impl_->manejar(req, res); };
    impl_->servidor.set_payload_max_length(cuerpoMaximo);
    // One request per connection: an idle kept-alive connection would hold
    // a worker, and stopping would wait for it.
    impl_->servidor.set_keep_alive_max_count(1);
    impl_->servidor.Get(".*", manejador);
    impl_->servidor.Post(".*", manejador);
    impl_->servidor.Put(".*", manejador);
    impl_->servidor.Delete(".*", manejador);
    impl_->servidor.Patch(".*", manejador);
}

CuentaLocal::~CuentaLocal() { parar(); }

Interruptores& CuentaLocal::interruptores() { return impl_->estado.interruptores; }

std::optional<std::uint16_t> CuentaLocal::escuchar(std::uint16_t puerto) {
    if (puerto == 0) {
        const int elegido = impl_->servidor.bind_to_any_port("127.0.0.1");
        if (elegido <= 0) return std::nullopt;
        return static_cast<std::uint16_t>(elegido);
    }
    if (!impl_->servidor.bind_to_port("127.0.0.1", puerto)) return std::nullopt;
    return puerto;
}

void CuentaLocal::servir() {
    {
        std::lock_guard bloqueo(impl_->mutex);
        if (impl_->parado) return;
        impl_->sirviendo = true;
    }
    impl_->servidor.listen_after_bind();
    std::lock_guard bloqueo(impl_->mutex);
    impl_->sirviendo = false;
}

void CuentaLocal::parar() {
    {
        std::lock_guard bloqueo(impl_->mutex);
        impl_->parado = true;
    }
    impl_->aviso.notify_all();
    // servir() may not have started listening yet: stop once it has, until
    // it returns.
    for (;;) {
        {
            std::lock_guard bloqueo(impl_->mutex);
            if (!impl_->sirviendo) return;
        }
        if (impl_->servidor.is_running()) impl_->servidor.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::vector<nlohmann::json> CuentaLocal::registro() const { return impl_->estado.registro.entradas(); }

}  // namespace sorvenia::cuenta_local
