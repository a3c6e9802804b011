#include "app/canal_pruebas/archivos_canal.h"

#include <glib.h>

#include <fstream>
#include <iterator>
#include <system_error>

#include "plataforma/gui/canal_pruebas.h"
#include "app/canal_pruebas/orden_canal.h"

namespace sorvenia::CanalPruebas {

std::filesystem::path enCarpeta(std::string_view nombre) { return carpeta() / nombre; }

std::optional<std::string> leerPeticion(const std::filesystem::path& archivo) {
    std::ifstream entrada(archivo, std::ios::binary);
    if (!entrada) return std::nullopt;
    std::string texto((std::istreambuf_iterator<char>(entrada)), std::istreambuf_iterator<char>());
    if (entrada.bad() || !esUtf8(texto)) return std::nullopt;
    return texto;
}

void borrar(const std::filesystem::path& archivo) {
    std::error_code ec;
    std::filesystem::remove(archivo, ec);
}

void escribirAtomico(const std::filesystem::path& archivo, std::string_view bytes) {
    g_file_set_contents(archivo.c_str(), bytes.data(), static_cast<gssize>(bytes.size()), nullptr);
}

void escribirDirecto(const std::filesystem::path& archivo, std::string_view bytes) {
    std::ofstream salida(archivo, std::ios::binary | std::ios::trunc);
    salida.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace sorvenia::CanalPruebas
