// Stand-in child that reports what it inherited from whoever started it:
//   sonda descriptores   one line per open descriptor number
//   sonda senales        the SigIgn and SigBlk lines of /proc/self/status
#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

namespace {

int descriptores() {
    std::unique_ptr<DIR, int (*)(DIR*)> carpeta(opendir("/proc/self/fd"), closedir);
    if (!carpeta) return 1;
    const int propio = dirfd(carpeta.get());  // the listing's own descriptor
    while (const dirent* e = readdir(carpeta.get())) {
        const std::string nombre = e->d_name;
        if (nombre == "." || nombre == ".." || std::atoi(nombre.c_str()) == propio) continue;
        std::cout << nombre << '\n';
    }
    return 0;
}

int senales() {
    std::ifstream estado("/proc/self/status");
    std::string linea;
    while (std::getline(estado, linea))
        if (linea.rfind("SigIgn:", 0) == 0 || linea.rfind("SigBlk:", 0) == 0) std::cout << linea << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string modo = argc > 1 ? argv[1] : "";
    if (modo == "descriptores") return descriptores();
    if (modo == "senales") return senales();
    return 2;
}
