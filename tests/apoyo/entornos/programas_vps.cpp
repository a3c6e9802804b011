#include "programas_vps.h"

#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace sorvenia::prueba {

namespace fs = std::filesystem;

namespace {

void escribir(const fs::path& archivo, const std::string& texto) {
    std::ofstream(archivo, std::ios::binary | std::ios::trunc) << texto;
    fs::permissions(archivo, fs::perms(0755));
}

std::string systemctl(const std::string& p) {
    return "#!/bin/bash\n"
           "echo \"$*\" >> '" + p + "/systemctl.log'\n"
           "case $1 in\n"
           "restart)\n"
           "  f=/etc/systemd/system/$2.service; pid='" + p + "/'$2.pid\n"
           "  if [ -f \"$pid\" ]; then v=$(cat \"$pid\"); kill -- -\"$v\" 2>/dev/null\n"
           "    for i in $(seq 50); do kill -0 -- -\"$v\" 2>/dev/null || break; sleep 0.1; done; fi\n"
           "  dir=$(sed -n 's/^WorkingDirectory=//p' \"$f\"); envs=$(sed -n 's/^Environment=//p' \"$f\")\n"
           "  cmd=$(sed -n 's/^ExecStart=//p' \"$f\")\n"
           "  cd \"$dir\" || exit 1\n"
           "  env $envs setsid $cmd </dev/null >>'" + p + "/'$2.log 2>&1 &\n"
           "  echo $! > \"$pid\" ;;\n"
           "is-active)\n"
           "  v=$(cat '" + p + "/'$3.pid 2>/dev/null) && kill -0 \"$v\" 2>/dev/null || exit 3 ;;\n"
           "esac\n"
           "exit 0\n";
}

}  // namespace

void escribirProgramasVPS(const fs::path& programas, const fs::path& nodeApps) {
    const std::string p = programas.string();
    fs::create_directories(programas);
    escribir(programas / "systemctl", systemctl(p));
    escribir(programas / "nginx", "#!/bin/sh\necho \"$*\" >> '" + p + "/nginx.log'\necho 'nginx: test is successful'\n");
    escribir(programas / "certbot", "#!/bin/sh\necho \"$*\" >> '" + p + "/certbot.log'\n");
    for (const char* programa : {"node", "npm"}) {
        std::error_code ec;
        fs::remove(programas / programa, ec);
        fs::create_symlink(nodeApps / programa, programas / programa);
    }
}

void pararAppsVPS(const fs::path& programas) {
    std::error_code ec;
    for (fs::directory_iterator it(programas, ec), fin; !ec && it != fin; it.increment(ec)) {
        if (it->path().extension() != ".pid") continue;
        std::ifstream e(it->path());
        const std::string texto{std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>()};
        const int pid = std::atoi(texto.c_str());
        if (pid > 1) ::kill(-pid, SIGTERM);
    }
}

}  // namespace sorvenia::prueba
