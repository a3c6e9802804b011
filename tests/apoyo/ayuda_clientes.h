#pragma once
// Small file helpers for the AI client tests: the program's home folder is
// its own (aislado.h), and each test starts with it empty.

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "comun/conexion_tarvel.h"

namespace sorvenia::prueba {

std::filesystem::path enCasa(const std::string& relativa);
void escribirFichero(const std::filesystem::path& ruta, const std::string& bytes);
std::string leerFichero(const std::filesystem::path& ruta);
unsigned modo(const std::filesystem::path& ruta);
void vaciarCasa();

}  // namespace sorvenia::prueba
