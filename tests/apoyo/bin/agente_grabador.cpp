// Stand-in for an agent command-line tool (claude or codex) in the runner's
// tests. It writes what it was started with to the file named by
// SORVENIA_GRABACION, as one JSON object:
//   argv, entorno (every variable), cwd, entrada (standard input, read to
//   its end first), pid, pgid, modoCarpeta (mode bits of the working
//   folder), ficheros (names in the working folder, with "-> target" after
//   a link), and for the file after "--mcp-config": mcp (its text) and
//   modoMcp.
// Then it writes the lines of the file named by SORVENIA_GUION to standard
// output, and exits with SORVENIA_ESTADO (0 when unset). With
// SORVENIA_CUELGA set it first starts a grandchild that stays in its process
// group (its pid recorded as "nieto") and then sleeps until it is killed.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

extern char** environ;

namespace {

std::string leer(std::istream& entrada) {
    return {std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

unsigned modo(const std::string& ruta) {
    struct stat datos {};
    return stat(ruta.c_str(), &datos) == 0 ? static_cast<unsigned>(datos.st_mode & 07777) : 0u;
}

nlohmann::json ficheros(const std::filesystem::path& carpeta) {
    nlohmann::json lista = nlohmann::json::array();
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(carpeta, ec)) {
        std::string nombre = e.path().filename().string();
        if (e.is_symlink(ec)) nombre += " -> " + std::filesystem::read_symlink(e.path(), ec).string();
        lista.push_back(nombre);
    }
    return lista;
}

}  // namespace

int main(int argc, char** argv) {
    nlohmann::json r;
    r["argv"] = nlohmann::json::array();
    for (int i = 1; i < argc; ++i) r["argv"].push_back(argv[i]);
    r["entorno"] = nlohmann::json::object();
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string v = *e;
        const auto igual = v.find('=');
        if (igual != std::string::npos) r["entorno"][v.substr(0, igual)] = v.substr(igual + 1);
    }
    const auto cwd = std::filesystem::current_path();
    r["cwd"] = cwd.string();
    r["modoCarpeta"] = modo(cwd.string());
    r["ficheros"] = ficheros(cwd);
    r["entrada"] = leer(std::cin);
    r["pid"] = getpid();
    r["pgid"] = getpgrp();
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--mcp-config") {
            std::ifstream mcp(argv[i + 1]);
            r["mcp"] = leer(mcp);
            r["modoMcp"] = modo(argv[i + 1]);
        }
    const char* cuelga = std::getenv("SORVENIA_CUELGA");
    if (cuelga != nullptr) {
        const pid_t nieto = fork();
        if (nieto == 0) {
            execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
            _exit(127);
        }
        r["nieto"] = nieto;
    }
    if (const char* destino = std::getenv("SORVENIA_GRABACION")) {
        const std::string temporal = std::string(destino) + ".tmp";
        std::ofstream(temporal) << r.dump();
        std::filesystem::rename(temporal, destino);
    }
    if (const char* guion = std::getenv("SORVENIA_GUION")) {
        std::ifstream lineas(guion);
        std::cout << leer(lineas) << std::flush;
    }
    if (cuelga != nullptr)
        for (;;) pause();
    const char* estado = std::getenv("SORVENIA_ESTADO");
    return estado != nullptr ? std::atoi(estado) : 0;
}
