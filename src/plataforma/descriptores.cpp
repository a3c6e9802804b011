#include "plataforma/descriptores.h"

#include <dirent.h>
#include <fcntl.h>

#include <charconv>
#include <cstring>
#include <set>

namespace sorvenia {
namespace {

bool heredable(int fd) {
    const int banderas = fcntl(fd, F_GETFD);
    return banderas >= 0 && (banderas & FD_CLOEXEC) == 0;
}

// The open descriptors that a started program would inherit.
std::set<int> heredables() {
    std::set<int> resultado;
    DIR* dir = opendir("/proc/self/fd");  // glibc opens it close-on-exec
    if (dir == nullptr) return resultado;
    while (const dirent* entrada = readdir(dir)) {
        int fd = -1;
        const char* fin = entrada->d_name + std::strlen(entrada->d_name);
        if (std::from_chars(entrada->d_name, fin, fd).ptr != fin || fd == dirfd(dir)) continue;
        if (heredable(fd)) resultado.insert(fd);
    }
    closedir(dir);
    return resultado;
}

}  // namespace

void sinHerencia(const std::function<void()>& abrir) {
    const std::set<int> antes = heredables();
    abrir();
    for (const int fd : heredables())
        if (!antes.contains(fd)) fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

}  // namespace sorvenia
