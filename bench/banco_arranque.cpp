// The application's start: from starting the program to its first painted
// page (a fresh home, so the sign-in page), then its idle CPU and memory
// with that page shown, the program and its WebKit processes together. The
// peer is WebKitGTK's MiniBrowser opening the same page file, measured the
// same way in turns with ours. The screen is read from outside
// (primera_pintura.h), so neither program is told anything.
//
// Run under a display (bench/correr.sh uses scripts/entorno-pruebas.sh):
//   banco_arranque [program] [MiniBrowser]

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "primera_pintura.h"
#include "procesos_banco.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

constexpr int vueltas = 5;
constexpr int segundosQuieto = 5;
constexpr auto muestreo = std::chrono::milliseconds(5000);

struct Vuelta {
    double pinturaMs = -1;
    double muestreoMs = 0;
    double cpu = 0;
    std::string cpuDetalle;
    banco::Memoria memoria;
};

struct Programa {
    std::string nombre;
    std::vector<std::string> argumentos;
    fs::path casa;  // its home, kept between turns: only the first start is a first one
    std::vector<Vuelta> vueltas;
};

void dormir(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

Vuelta medir(Programa& p, int vuelta) {
    const std::string casa = p.casa.string();
    std::optional<banco::Hijo> hijo;
    Vuelta v;
    const banco::PrimeraPintura pintura = banco::medirPrimeraPintura(
        [&] {
            hijo.emplace(p.argumentos, std::vector<std::string>{"HOME=" + casa, "XDG_CONFIG_HOME=" + casa + "/config",
                                                                "XDG_DATA_HOME=" + casa + "/data",
                                                                "XDG_CACHE_HOME=" + casa + "/cache"});
        },
        muestreo, "arranque_" + p.nombre + "_" + std::to_string(vuelta) + ".png");
    v.pinturaMs = pintura.ms;
    v.muestreoMs = pintura.muestreoMs;
    const pid_t pid = hijo->pid();
    const banco::Cpu cpu = banco::cpuEnReposo([pid] { return banco::arbol(pid); }, dormir, segundosQuieto);
    v.cpu = cpu.total;
    v.cpuDetalle = cpu.detalle();
    v.memoria = banco::memoria(pid);
    hijo.reset();
    dormir(1000);
    return v;
}

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

template <class F>
double medianaDe(const Programa& p, F campo) {
    std::vector<double> v;
    for (const Vuelta& x : p.vueltas) v.push_back(campo(x));
    return mediana(v);
}

void imprimir(const Programa& nuestro, const Programa& par) {
    std::printf(
        "Arranque hasta la primera página pintada (casa nueva: la página de entrar), %d vueltas por turnos;\n"
        "luego %d s en reposo con la página mostrada (el programa y sus procesos de WebKit):\n\n",
        vueltas, segundosQuieto);
    std::printf("%-34s %12s %10s %14s %12s %12s\n", "", "1.ª pintura", "(1.ª vez)", "CPU en reposo", "PSS", "RSS");
    for (const Programa* p : {&nuestro, &par}) {
        std::printf("%-34s %9.0f ms %7.0f ms %13.1f%% %9.1f MB %9.1f MB\n", p->nombre.c_str(),
                    medianaDe(*p, [](const Vuelta& v) { return v.pinturaMs; }), p->vueltas.front().pinturaMs,
                    medianaDe(*p, [](const Vuelta& v) { return v.cpu; }),
                    medianaDe(*p, [](const Vuelta& v) { return v.memoria.pss; }),
                    medianaDe(*p, [](const Vuelta& v) { return v.memoria.rss; }));
        std::printf("    en la última vuelta, CPU por proceso: %s\n    memoria (PSS) por proceso: %s\n",
                    p->vueltas.back().cpuDetalle.c_str(), p->vueltas.back().memoria.detalle.c_str());
    }
    const auto pintura = [](const Programa& p) { return medianaDe(p, [](const Vuelta& v) { return v.pinturaMs; }); };
    const auto pss = [](const Programa& p) { return medianaDe(p, [](const Vuelta& v) { return v.memoria.pss; }); };
    const auto rss = [](const Programa& p) { return medianaDe(p, [](const Vuelta& v) { return v.memoria.rss; }); };
    std::printf("\nnuestro / MiniBrowser (medianas): primera pintura %.2fx, memoria PSS %.2fx, RSS %.2fx\n",
                pintura(nuestro) / std::max(pintura(par), 1.0), pss(nuestro) / std::max(pss(par), 1.0),
                rss(nuestro) / std::max(rss(par), 1.0));
    std::printf("grano del muestreo de la pantalla: %.1f ms; una vuelta sin página quieta cuenta -1\n",
                medianaDe(nuestro, [](const Vuelta& v) { return v.muestreoMs; }));
}

}  // namespace
}  // namespace sorvenia

int main(int argc, char** argv) {
    using namespace sorvenia;
    const fs::path pagina = fs::path(SORVENIA_FUENTE) / "resources/editor/conectar/conectar.html";
    char plantilla[] = "/tmp/banco_arranque-XXXXXX";
    if (::mkdtemp(plantilla) == nullptr) return 1;
    const fs::path carpeta = plantilla;
    Programa nuestro{"sorvenia-tarvel", {argc > 1 ? argv[1] : SORVENIA_APP}, carpeta / "nuestro", {}};
    Programa par{"MiniBrowser",
                 {argc > 2 ? argv[2] : banco::miniBrowserDebian, "file://" + pagina.string()},
                 carpeta / "par",
                 {}};
    try {
        for (int i = 0; i < vueltas; ++i) {
            for (Programa* p : {&nuestro, &par}) {
                std::error_code ec;
                fs::create_directories(p->casa, ec);
                p->vueltas.push_back(medir(*p, i));
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "banco_arranque: %s\n", e.what());
        return 1;
    }
    imprimir(nuestro, par);
    std::error_code ec;
    fs::remove_all(carpeta, ec);
    return 0;
}
