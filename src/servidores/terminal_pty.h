#pragma once
// One child process on the slave side of a pseudo-terminal, connected to
// the servers page: output read from the master in the background and handed
// to `salida` on the main thread, keystrokes written to the master, window
// sizes passed to the terminal and the child, the child's end reported to
// `fin` on the main thread. Raw bytes only: drawing is the page's business.
//
// Main thread only. Held by shared_ptr (the reader and the exit watcher hold
// it weakly and do nothing once it is gone); the last owner going closes it.

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ias/descriptor.h"
#include "plataforma/resultado.h"

namespace sorvenia {

class Proceso;

class TerminalPTY : public std::enable_shared_from_this<TerminalPTY> {
public:
    TerminalPTY() = default;
    ~TerminalPTY();
    TerminalPTY(const TerminalPTY&) = delete;
    TerminalPTY& operator=(const TerminalPTY&) = delete;

    // Set before arrancar, never changed afterwards.
    std::function<void(std::string)> salida;
    std::function<void()> fin;

    // Opens the pair, sizes it, and starts `programa` (an absolute path) with
    // `argumentos` on it, with TERM=xterm-256color and LANG/LC_ALL set to
    // es_ES.UTF-8 over the application's environment, in a process group of
    // its own. Fails with "No se ha podido abrir la terminal." (code "pty")
    // when the pair cannot be opened, else with the launch's sentence.
    Hecho arrancar(const std::string& programa, const std::vector<std::string>& argumentos, int cols, int filas);

    // One write of the bytes to the child's input; nothing after cerrar.
    void escribir(std::string_view bytes);

    // New size for the terminal, and SIGWINCH to the child.
    void redimensionar(int cols, int filas);

    // Ends the child's whole process group (SIGHUP and SIGTERM now, SIGKILL
    // five seconds later to what is left), stops reading and closes both
    // sides. Any number of times.
    void cerrar();

    // The child's process id; 0 before a successful start.
    pid_t pid() const;
    // The terminal's current size as the kernel has it: {columns, rows}.
    std::pair<int, int> tamano() const;

    // Rows at least 5, columns at least 20, both at most 65535.
    static std::pair<unsigned short, unsigned short> tamanoValido(int cols, int filas);

private:
    void leer(int maestro, int despertar);

    Descriptor maestro_;
    Descriptor esclavo_;
    Tuberia despertador_;  // written to stop the reader
    std::shared_ptr<Proceso> proceso_;
    std::thread lector_;
    bool cerrado_ = false;
};

}  // namespace sorvenia
