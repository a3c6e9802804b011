#include "ias/publicar_vps_lanzador.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <system_error>

#include "comun/conexion_tarvel.h"
#include "comun/shell.h"
#include "plataforma/fichero_privado.h"

namespace sorvenia::PublicarVPS {
namespace fs = std::filesystem;

namespace {

bool aliasValido(std::string_view alias) {
    constexpr std::string_view prefijo = "tarvel-vps-";
    if (!alias.starts_with(prefijo) || alias.size() == prefijo.size()) return false;
    alias.remove_prefix(prefijo.size());
    return std::all_of(alias.begin(), alias.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
}

Fallo falloArchivo(const fs::path& ruta, const std::error_code& ec) {
    return Fallo{"No se ha podido preparar «" + ruta.string() + "»: " + ec.message() + ".", "fichero"};
}

bool contiene(const fs::path& fichero, const std::string& texto) {
    std::ifstream entrada(fichero, std::ios::binary);
    if (!entrada) return false;
    const std::string actual((std::istreambuf_iterator<char>(entrada)), std::istreambuf_iterator<char>());
    return actual == texto;
}

}  // namespace

const fs::path& raiz() {
    static const fs::path valor = ConexionTarvel::casa() / ".sorvenia-tarvel";
    return valor;
}

std::string textoLanzador(std::string_view alias) {
    return "#!/bin/sh\n"
           "# Lo escribe Sorvenia Code: la única orden que puede usar la IA con "
           "este VPS.\n"
           "exec /usr/bin/ssh -F " +
           comillasShell((raiz() / "ssh" / "config").string()) + " -o BatchMode=yes " + std::string(alias) +
           " -- \"$@\"\n";
}

Resultado<fs::path> lanzador(std::string_view alias) {
    if (!aliasValido(alias)) return Fallo{"Servidor no válido.", "alias"};
    const fs::path carpeta = raiz() / "ssh" / "bin";
    std::error_code ec;
    fs::create_directories(carpeta, ec);
    if (ec) return falloArchivo(carpeta, ec);
    for (const fs::path& nivel : {raiz() / "ssh", carpeta})
        if (::chmod(nivel.c_str(), 0700) != 0)
            return falloArchivo(nivel, std::error_code(errno, std::generic_category()));
    const fs::path fichero = carpeta / alias;
    const std::string texto = textoLanzador(alias);
    if (!contiene(fichero, texto))
        if (auto escrito = escribirPrivado(fichero, texto); !escrito) return escrito.fallo();
    if (::chmod(fichero.c_str(), 0700) != 0)
        return falloArchivo(fichero, std::error_code(errno, std::generic_category()));
    return fichero;
}

}  // namespace sorvenia::PublicarVPS
