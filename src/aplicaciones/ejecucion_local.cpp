#include "aplicaciones/ejecucion_local.h"

#include <csignal>
#include <fstream>
#include <iterator>
#include <vector>

#include "aplicaciones/arbol_procesos.h"
#include "aplicaciones/buscar_node.h"
#include "aplicaciones/en_vivo.h"
#include "aplicaciones/lecturas_ejecucion.h"
#include "ias/descriptor.h"
#include "ias/path_terminal.h"
#include "medios/puerto_libre.h"
#include "plataforma/http.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

// Every run object alive, for the quit.
std::vector<std::weak_ptr<EjecucionLocal>>& vivas() {
    static std::vector<std::weak_ptr<EjecucionLocal>> lista;
    return lista;
}

std::string leerTexto(const std::filesystem::path& ruta) {
    std::ifstream f(ruta, std::ios::binary);
    if (!f) return {};
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Reads the server's output on a worker until end of file, each chunk
// handed to the run on the main thread.
void leerSalidaServidor(std::shared_ptr<Descriptor> tuberia, std::weak_ptr<EjecucionLocal> debil,
                        std::function<void(std::weak_ptr<EjecucionLocal>, std::string)> anotar) {
    DecodificadorUtf8 decodificador;
    std::string bloque;
    while (leerAlgo(tuberia->fd(), bloque)) {
        std::string texto = decodificador.anadir(bloque);
        bloque.clear();
        if (!texto.empty()) enPrincipal([debil, anotar, texto = std::move(texto)] { anotar(debil, texto); });
    }
    if (std::string resto = decodificador.terminar(); !resto.empty())
        enPrincipal([debil, anotar, resto = std::move(resto)] { anotar(debil, resto); });
}

}  // namespace

EjecucionLocal::Tiempos EjecucionLocal::tiempos;

std::shared_ptr<EjecucionLocal> EjecucionLocal::crear(std::filesystem::path carpeta) {
    auto ejecucion = std::make_shared<EjecucionLocal>(Llave{}, std::move(carpeta));
    auto& lista = vivas();
    std::erase_if(lista, [](const auto& d) { return d.expired(); });
    lista.push_back(ejecucion);
    return ejecucion;
}

EjecucionLocal::EjecucionLocal(Llave, std::filesystem::path carpeta) : carpeta_(std::move(carpeta)) {}

// Nothing could stop a server whose owner is gone: it goes with its owner.
EjecucionLocal::~EjecucionLocal() { soltarServidor(); }

void EjecucionLocal::pararTodas() {
    for (const auto& debil : std::vector(vivas()))
        if (auto ejecucion = debil.lock()) ejecucion->parar();
}

std::string EjecucionLocal::direccion() const { return "http://127.0.0.1:" + std::to_string(puerto_) + "/"; }

std::map<std::string, std::string> EjecucionLocal::entornoLocal() const {
    Entorno entorno = entornoPropio();
    entorno["PATH"] = IAsLocales::pathDeTerminal();
    entorno["PORT"] = std::to_string(puerto_);
    entorno["HOST"] = "127.0.0.1";
    entorno["DATA_DIR"] = std::filesystem::absolute(carpeta_ / "datos").string();
    entorno["NODE_ENV"] = "development";
    entorno["npm_config_update_notifier"] = "false";
    entorno["npm_config_fund"] = "false";
    return entorno;
}

void EjecucionLocal::anotar(std::string_view texto) {
    registro_.anotar(texto);
    enviar({{"registro", registro_.ultimas(60)}});
}

void EjecucionLocal::parar() { soltarServidor(); }

void EjecucionLocal::soltarServidor() {
    const auto proceso = std::exchange(servidor_, nullptr);
    if (!proceso) return;
    ArbolProcesos::matarArbol(proceso->pid());
    // The group too, while its leader is unreaped: a descendant that left
    // the tree by losing its parent still belongs to it.
    proceso->senalar(SIGTERM);
}

bool EjecucionLocal::lanzarServidor(const std::string& npm) {
    auto tuberia = crearTuberia();
    if (!tuberia) {
        enviar({{"vista", "parada"}, {"registro", "No arranca: " + tuberia.fallo().mensaje}});
        return false;
    }
    // Filled right after the launch, on this thread; the end handler's
    // main-thread half runs later and compares it with the stored server.
    auto celda = std::make_shared<std::weak_ptr<Proceso>>();
    std::weak_ptr<EjecucionLocal> debil = weak_from_this();
    const Lanzamiento lanzamiento{npm, {"start", "--silent"}, carpeta_, entornoLocal(), -1,
                                  tuberia->escritura.fd(), tuberia->escritura.fd(), true};
    auto proceso = Proceso::lanzar(lanzamiento, [debil, celda](std::int32_t estado) {
        enPrincipal([debil, celda, estado] {
            const auto p = celda->lock();
            if (auto e = debil.lock(); e && p) e->alTerminarServidor(p.get(), estado);
        });
    });
    tuberia->escritura.cerrar();
    if (!proceso) {
        enviar({{"vista", "parada"}, {"registro", "No arranca: " + proceso.fallo().mensaje}});
        return false;
    }
    *celda = *proceso;
    auto lectura = std::make_shared<Descriptor>(std::move(tuberia->lectura));
    enTrabajador([lectura, debil] {
        leerSalidaServidor(lectura, debil, [](std::weak_ptr<EjecucionLocal> d, std::string texto) {
            if (auto e = d.lock()) e->anotar(texto);
        });
    });
    // A server that an overlapping run stored meanwhile is stopped, never
    // left running with nothing to stop it.
    soltarServidor();
    servidor_ = *proceso;
    return true;
}

void EjecucionLocal::alTerminarServidor(const Proceso* proceso, std::int32_t estado) {
    if (servidor_.get() != proceso) return;  // stopped or replaced by us
    servidor_.reset();
    enviar({{"vista", "parada"}, {"codigo", estado}, {"registro", registro_.ultimas(30)}});
}

Tarea<void> EjecucionLocal::arrancar() { return correrArranque(weak_from_this()); }

Tarea<void> EjecucionLocal::correrArranque(std::weak_ptr<EjecucionLocal> debil) {
    auto yo = debil.lock();
    if (!yo) co_return;
    yo->soltarServidor();
    const auto carpeta = yo->carpeta_;
    std::error_code ec;
    if (!std::filesystem::exists(carpeta / "package.json", ec)) {
        yo->enviar({{"vista", "sinApp"}});
        co_return;
    }
    yo.reset();
    const auto node = co_await buscarNode();
    if (!(yo = debil.lock())) co_return;
    if (!node) {
        yo->enviar({{"vista", "sinNode"}, {"texto", textoSinNode}});
        co_return;
    }
    yo->puerto_ = VideoEnDirecto::puertoLibre(puertoInicial);
    yo->registro_.vaciar();
    const std::string npm = npmJuntoA(node->ruta);

    const bool instalar = !std::filesystem::exists(carpeta / "node_modules", ec) &&
                          LecturasEjecucion::hayDependencias(leerTexto(carpeta / "package.json"));
    if (instalar) {
        yo->enviar({{"vista", "instalando"}});
        auto entorno = yo->entornoLocal();
        yo.reset();
        const auto fin = co_await enVivo(npm, {"install", "--no-audit"}, carpeta, std::move(entorno),
                                         [debil](std::string linea) {
                                             enPrincipal([debil, linea = std::move(linea)] {
                                                 if (auto e = debil.lock()) e->anotar(linea);
                                             });
                                         });
        // The lines were handed to the main thread before this resumes.
        if (!(yo = debil.lock())) co_return;
        if (fin.estado != 0) {
            yo->enviar({{"vista", "parada"}, {"registro", yo->registro_.ultimas(30)}});
            co_return;
        }
    }
    yo->enviar({{"vista", "arrancando"}});
    if (!yo->lanzarServidor(npm)) co_return;
    auto proceso = yo->servidor_;
    const std::string base = yo->direccion();
    yo.reset();
    co_await esperarSalud(debil, std::move(proceso), base, node->version);
}

Tarea<void> EjecucionLocal::esperarSalud(std::weak_ptr<EjecucionLocal> debil, std::shared_ptr<Proceso> proceso,
                                         std::string base, std::string version) {
    const auto sigue = [&] {
        auto e = debil.lock();
        return e && e->servidor_ == proceso ? e : nullptr;
    };
    const Tiempos t = tiempos;
    for (int intento = 0;;) {
        if (!sigue()) co_return;
        PeticionHTTP peticion;
        peticion.url = base + "salud";
        peticion.tiempoLimite = t.limitePeticion;
        peticion.tiempoTotal = t.limitePeticion;
        peticion.limiteBytes = 1 << 20;
        peticion.cortarAlLimite = true;
        const auto respuesta = co_await pedirAsync(std::move(peticion));
        if (respuesta && respuesta->status == 200) {
            if (auto e = sigue()) e->enviar({{"vista", "enMarcha"}, {"url", base}, {"node", version}});
            co_return;
        }
        co_await dormir(t.pausa);
        if (++intento >= t.intentos) {
            auto e = sigue();
            if (!e) co_return;
            e->enviar({{"vista", "parada"},
                       {"registro", e->registro_.ultimas(30) + "\n(no responde en /salud en 20 s)"}});
            e->soltarServidor();
            co_return;
        }
    }
}

Tarea<std::pair<bool, std::string>> EjecucionLocal::comprobar() { return correrPruebas(weak_from_this()); }

Tarea<std::pair<bool, std::string>> EjecucionLocal::correrPruebas(std::weak_ptr<EjecucionLocal> debil) {
    const auto node = co_await buscarNode();
    auto yo = debil.lock();
    if (!node || !yo) co_return std::pair<bool, std::string>{false, "Falta Node.js en este ordenador."};
    if (!LecturasEjecucion::hayPruebas(leerTexto(yo->carpeta_ / "package.json"))) {
        yo->enviar({{"comprobando", false}, {"comprobacion", "Esta aplicación aún no tiene pruebas."}});
        co_return std::pair<bool, std::string>{false, "sin pruebas"};
    }
    yo->enviar({{"comprobando", true}});
    auto entorno = yo->entornoLocal();
    entorno["NODE_ENV"] = "test";
    const auto carpeta = yo->carpeta_;
    yo.reset();
    const auto fin = co_await enVivo(npmJuntoA(node->ruta), {"test", "--silent"}, carpeta, std::move(entorno),
                                     [debil](std::string linea) {
                                         enPrincipal([debil, linea = std::move(linea)] {
                                             if (auto e = debil.lock()) e->enviar({{"comprobacion", linea}});
                                         });
                                     });
    if ((yo = debil.lock())) yo->enviar({{"comprobando", false}, {"comprobado", fin.estado == 0}});
    co_return std::pair<bool, std::string>{fin.estado == 0, fin.salida};
}

}  // namespace sorvenia
