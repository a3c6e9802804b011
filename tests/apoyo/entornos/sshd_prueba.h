#pragma once
// A real OpenSSH server for the tests, as an instance of its own: its own
// host key, configuration, authorized-keys file and home folder for the
// sessions, listening on a free loopback port, started and stopped by the
// test. The machine's sshd, its configuration and its accounts are never
// touched: the password of the login is the test's (sombra_sshd.cpp), and
// every session runs with HOME set to the instance's folder.
//
// Run as root, the server gets a private mount namespace with a fresh /run
// (its privilege-separation folder lives there); as another user it runs
// unprivileged and logs in only that user.

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sorvenia::prueba {

// What the sessions of a server that stands in for a customer's VPS see
// instead of the machine's: `raiz`/root as /root and `raiz`/srv as /srv
// (bind mounts in the server's private mount namespace, so the machine's
// folders are never written), /etc with what they write there kept in
// `raiz`/etc (an overlay on the machine's), and the stand-in programs of `programas`
// (systemctl, nginx, certbot...) first on their PATH.
struct RaizServidor {
    std::filesystem::path raiz;
    std::filesystem::path programas;
};

class SshdPrueba {
public:
    // Nothing when sshd is not installed (the reason goes to `motivo`). With
    // `raizServidor`, nothing also when not run as root (only root's server
    // has a mount namespace of its own).
    static std::unique_ptr<SshdPrueba> arrancar(const std::string& clave, std::string& motivo,
                                                const std::optional<RaizServidor>& raizServidor = std::nullopt);
    ~SshdPrueba();
    SshdPrueba(const SshdPrueba&) = delete;
    SshdPrueba& operator=(const SshdPrueba&) = delete;

    int puerto() const { return puerto_; }
    const std::string& usuario() const { return usuario_; }
    // The sessions' home folder (HOME on the server side).
    std::filesystem::path casa() const { return carpeta_ / "casa"; }
    std::filesystem::path autorizadas() const { return casa() / ".ssh" / "authorized_keys"; }
    std::string registro() const;

    // Points the test build's ssh configuration at this server
    // (SORVENIA_SSH_PUERTO, SORVENIA_SSH_USUARIO).
    void apuntarAplicacion() const;

    // The processes the server started for its sessions (its descendants).
    std::vector<pid_t> sesiones() const;

private:
    SshdPrueba() = default;
    std::filesystem::path carpeta_;
    int puerto_ = 0;
    pid_t pid_ = -1;
    std::string usuario_;
};

}  // namespace sorvenia::prueba
