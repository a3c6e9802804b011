#pragma once
// The application id: "es.sorvenia.tarvel" for the application,
// "es.sorvenia.tarvel.pruebas" for the test build. It picks the test build's
// separate data files (preferences among them), so set it in main() before
// anything reads it; reading is safe from any thread.

#include <string>

namespace sorvenia {

inline constexpr const char* idAplicacionPorDefecto = "es.sorvenia.tarvel";

// Replaces the id. Meant to be called once at start-up; a later call is safe
// too (references handed out earlier stay valid and keep the old text).
void fijarIdAplicacion(std::string id);

// The current id; "es.sorvenia.tarvel" until fijarIdAplicacion is called.
const std::string& idAplicacion();

// True when the id ends with ".pruebas" (the test build).
bool esCompilacionDePrueba();

}  // namespace sorvenia
