// Loaded into the test's own sshd (LD_PRELOAD) so that password logins can
// be tried without touching the machine's accounts: the shadow entry of any
// user is one whose password is $SORVENIA_SSHD_CLAVE. Nothing else of the
// system changes; the sessions sshd starts do not inherit the library.

#include <crypt.h>
#include <shadow.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

extern "C" struct spwd* getspnam(const char* nombre) {
    static struct spwd entrada;
    static char hash[256];
    static char usuario[256];
    const char* clave = std::getenv("SORVENIA_SSHD_CLAVE");
    if (clave == nullptr || nombre == nullptr) return nullptr;
    const char* h = crypt(clave, "$6$sorvenia$");
    if (h == nullptr) return nullptr;
    std::strncpy(hash, h, sizeof hash - 1);
    std::strncpy(usuario, nombre, sizeof usuario - 1);
    entrada = {};
    entrada.sp_namp = usuario;
    entrada.sp_pwdp = hash;
    entrada.sp_lstchg = static_cast<long>(std::time(nullptr) / 86400);
    entrada.sp_min = entrada.sp_max = entrada.sp_warn = entrada.sp_inact = entrada.sp_expire = -1;
    entrada.sp_flag = ~0UL;
    return &entrada;
}
