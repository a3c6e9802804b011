#pragma once
// When a program started on the (virtual) X display first shows its page:
// the screen is sampled every few milliseconds from the program's start;
// the page is the picture the screen settles on (unchanged for the last
// second of the sampling), and it was first painted when the screen came
// within a few pixels of it (a blinking caret) to stay. A window's empty
// backdrop or a blank view before the page is not it. Any program is
// measured the same way, ours and its peer, without either telling us
// anything.

#include <chrono>
#include <functional>
#include <string>

namespace sorvenia::banco {

struct PrimeraPintura {
    double ms = -1;         // from the start to that picture; -1 when none came
    double muestreoMs = 0;  // mean time between two samples (the figure's grain)
};

// Starts the program with `lanzar` and samples the screen for `duracion`.
// The picture found is kept as build/capturas/<captura> for a person.
PrimeraPintura medirPrimeraPintura(const std::function<void()>& lanzar, std::chrono::milliseconds duracion,
                                   const std::string& captura);

}  // namespace sorvenia::banco
