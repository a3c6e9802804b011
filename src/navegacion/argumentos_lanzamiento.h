#pragma once
// The launch arguments that open a screen at start: "--servidores" (or
// "--servidores-prueba"), "--nuevo [plantilla]" and "--abrir <id>". Each
// needs a signed-in customer; the first rule that applies wins.

#include <string>
#include <vector>

namespace sorvenia {

class Navegacion;

// `argumentos` holds all of them, the program path first. Nothing changes
// when nobody is signed in.
void aplicarArgumentosLanzamiento(const std::vector<std::string>& argumentos, bool conectado, Navegacion& nav);

}  // namespace sorvenia
