#pragma once
// The search path of the user's terminal, as every child of the application
// gets it.

#include <filesystem>
#include <string>
#include <vector>

namespace sorvenia::IAsLocales {

// The PATH the user's login shell sets up, followed by the folders where
// command-line tools usually install themselves, each folder once. Computed
// on first use (which blocks for up to 7 seconds: never on the main thread)
// and then fixed for the life of the application; a thread that asks while
// it is being computed waits for the same value.
const std::string& pathDeTerminal();

// The computation behind it, with the shell given: the shell's output for
// "-lc" "printf %s \"$PATH\"" (standard output and error together, split at
// ":"), then the folders of carpetasDeHerramientas. A shell that cannot
// start, or takes longer than `limite` seconds, contributes nothing.
std::string calcularPathDeTerminal(const std::string& shell, const std::filesystem::path& casa,
                                   double limite = 5.0);

// The eight folders appended to the login shell's PATH, in order.
std::vector<std::string> carpetasDeHerramientas(const std::filesystem::path& casa);

// The user's login shell: $SHELL when it is an absolute path to an
// executable, else the password database's when it is one, else /bin/bash.
std::string shellDeUsuario();

// The folders of a search path ("a:b:c"), empty pieces left out.
std::vector<std::string> carpetasDelPath(const std::string& path);

}  // namespace sorvenia::IAsLocales
