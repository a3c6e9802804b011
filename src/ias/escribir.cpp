#include "ias/escribir.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

namespace sorvenia::IAsLocales {
namespace {

// Linux has no per-descriptor switch for SIGPIPE on pipes. A SIGPIPE raised
// by write() is sent to the writing thread, so it is blocked in this thread
// for the write and a signal the write raised is taken off the thread's
// pending set before the mask is restored.
class SinSigpipe {
public:
    SinSigpipe() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &anterior_);
        sigset_t pendientes;
        sigpending(&pendientes);
        yaPendiente_ = sigismember(&pendientes, SIGPIPE) == 1;
    }
    ~SinSigpipe() {
        if (roto && !yaPendiente_) {
            const timespec cero{};
            while (sigtimedwait(&pipe_, nullptr, &cero) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &anterior_, nullptr);
    }
    SinSigpipe(const SinSigpipe&) = delete;
    SinSigpipe& operator=(const SinSigpipe&) = delete;

    bool roto = false;  // a write met a closed pipe

private:
    sigset_t pipe_{}, anterior_{};
    bool yaPendiente_ = false;
};

}  // namespace

void escribir(std::string_view bytes, Descriptor& tuberia, bool cerrar) {
    {
        SinSigpipe guarda;
        while (!bytes.empty() && tuberia.abierto()) {
            const ssize_t n = write(tuberia.fd(), bytes.data(), bytes.size());
            if (n >= 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
            } else if (errno != EINTR) {
                guarda.roto = errno == EPIPE;
                break;
            }
        }
    }
    if (cerrar) tuberia.cerrar();
}

}  // namespace sorvenia::IAsLocales
