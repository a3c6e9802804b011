// The photo search's contact sheet: decoding N thumbnails and drawing the
// numbered sheet of the first twelve as JPEG, against ImageMagick's montage
// composing the same twelve cells (fill and centre crop, 3 columns, 8-pixel
// gaps, dark ground, quality 82; montage draws no number badges) from the
// same files, in the same run. Prints each median and the ratio ours /
// montage for 12 and 30 photos.
//
// Usage: banco_hoja [montage]   (default: montage on the PATH)
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "integraciones/hoja_contactos.h"

namespace {

namespace fs = std::filesystem;
using Reloj = std::chrono::steady_clock;

constexpr int repeticiones = 9;

// A 640 × 427 JPEG with a gradient of its own, like a bank's small rendition.
std::string miniatura(int n) {
    GdkPixbuf* p = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 640, 427);
    guint8* px = gdk_pixbuf_get_pixels(p);
    const int paso = gdk_pixbuf_get_rowstride(p);
    for (int y = 0; y < 427; ++y)
        for (int x = 0; x < 640; ++x) {
            guint8* c = px + y * paso + x * 3;
            c[0] = static_cast<guint8>((x + n * 37) % 256);
            c[1] = static_cast<guint8>((y + n * 71) % 256);
            c[2] = static_cast<guint8>((x + y + n * 13) % 256);
        }
    gchar* bytes = nullptr;
    gsize largo = 0;
    gdk_pixbuf_save_to_buffer(p, &bytes, &largo, "jpeg", nullptr, "quality", "85", nullptr);
    g_object_unref(p);
    std::string r(bytes, largo);
    g_free(bytes);
    return r;
}

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double nuestra(const std::vector<fs::path>& archivos) {
    std::vector<double> tiempos;
    for (int r = 0; r < repeticiones; ++r) {
        const auto inicio = Reloj::now();
        std::vector<sorvenia::BuscarFotos::Miniatura> miniaturas;
        for (const auto& a : archivos) {
            std::ifstream f(a, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            if (auto m = sorvenia::BuscarFotos::decodificar(bytes)) miniaturas.push_back(std::move(*m));
        }
        const auto jpeg = sorvenia::BuscarFotos::dibujarHoja(miniaturas);
        tiempos.push_back(std::chrono::duration<double, std::milli>(Reloj::now() - inicio).count());
        if (!jpeg) {
            std::fprintf(stderr, "no se ha dibujado la hoja\n");
            std::exit(1);
        }
    }
    return mediana(tiempos);
}

double conMontage(const std::string& montage, const std::vector<fs::path>& archivos, const fs::path& salida) {
    std::vector<std::string> args = {montage};
    for (std::size_t i = 0; i < std::min<std::size_t>(archivos.size(), 12); ++i) args.push_back(archivos[i].string());
    for (const char* a : {"-resize", "400x266^", "-gravity", "center", "-extent", "400x266", "-tile", "3x", "-geometry",
                          "+4+4", "-background", "#141414", "-quality", "82"})
        args.emplace_back(a);
    args.push_back(salida.string());
    std::vector<double> tiempos;
    for (int r = 0; r < repeticiones; ++r) {
        const auto inicio = Reloj::now();
        const pid_t pid = fork();
        if (pid == 0) {
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int estado = 0;
        waitpid(pid, &estado, 0);
        tiempos.push_back(std::chrono::duration<double, std::milli>(Reloj::now() - inicio).count());
        if (!WIFEXITED(estado) || WEXITSTATUS(estado) != 0) {
            std::fprintf(stderr, "montage ha fallado (%s)\n", montage.c_str());
            std::exit(1);
        }
    }
    return mediana(tiempos);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string montage = argc > 1 ? argv[1] : "montage";
    const fs::path carpeta = fs::temp_directory_path() / ("banco-hoja-" + std::to_string(getpid()));
    fs::create_directories(carpeta);
    std::vector<fs::path> archivos;
    for (int i = 0; i < 30; ++i) {
        archivos.push_back(carpeta / ("foto-" + std::to_string(i) + ".jpg"));
        std::ofstream(archivos.back(), std::ios::binary) << miniatura(i);
    }
    for (const std::size_t n : {std::size_t{12}, std::size_t{30}}) {
        const std::vector<fs::path> estas(archivos.begin(), archivos.begin() + static_cast<std::ptrdiff_t>(n));
        const double nos = nuestra(estas);
        const double im = conMontage(montage, estas, carpeta / "montage.jpg");
        std::printf("hoja de contactos, %zu fotos: nuestra %.1f ms, montage %.1f ms, proporción %.2f\n", n, nos, im,
                    nos / im);
    }
    fs::remove_all(carpeta);
    return 0;
}
