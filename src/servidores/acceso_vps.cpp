#include "servidores/acceso_vps.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <system_error>

#include "comun/shell.h"
#include "plataforma/fichero_privado.h"
#include "ias/proceso.h"
#include "ias/publicar_vps_correr.h"
#include "ias/publicar_vps_lanzador.h"
#include "plataforma/carpetas.h"
#include "servidores/identidad_ssh.h"

namespace sorvenia::PublicarVPS {
namespace fs = std::filesystem;

namespace {

constexpr const char* ssh = "/usr/bin/ssh";
constexpr const char* scp = "/usr/bin/scp";

std::vector<std::string> conConfiguracion(std::vector<std::string> resto) {
    std::vector<std::string> a{"-F", rutaConfiguracion().string()};
    a.insert(a.end(), std::make_move_iterator(resto.begin()), std::make_move_iterator(resto.end()));
    return a;
}

std::string leerTexto(const fs::path& fichero) {
    std::ifstream entrada(fichero, std::ios::binary);
    if (!entrada) return {};
    return {std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

std::string recortarBlancos(std::string t) {
    const auto blanco = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!t.empty() && blanco(static_cast<unsigned char>(t.back()))) t.pop_back();
    const auto inicio = std::find_if_not(t.begin(), t.end(), blanco);
    return {inicio, t.end()};
}

// The login with the password, from a private askpass folder that is removed
// whatever happens.
ParSalida entrarConPassword(std::int64_t servicio, const std::string& llave, const std::string& password) {
    auto carpeta = CarpetaTemporal::crear("tarvel-askpass-");
    if (!carpeta) return {false, carpeta.fallo().mensaje};
    const fs::path script = carpeta->ruta() / "pass.sh";
    (void)escribirPrivado(script, "#!/bin/sh\nprintf '%s\\n' \"$TARVEL_PASS\"\n");
    (void)::chmod(script.c_str(), 0700);
    // A connection opened with the password must not become the shared one:
    // the key check that follows would then ride on it and pass whether or
    // not the key works.
    return correr(ssh,
                  {"-F", rutaConfiguracion().string(), "-o", "PubkeyAuthentication=no", "-o",
                   "PreferredAuthentications=password,keyboard-interactive", "-o", "NumberOfPasswordPrompts=1", "-o",
                   "ControlPath=none", alias(servicio), detalle::ordenInstalarLlave(llave)},
                  {{"SSH_ASKPASS", script.string()},
                   {"SSH_ASKPASS_REQUIRE", "force"},
                   {"DISPLAY", ":0"},
                   {"TARVEL_PASS", password}},
                  std::nullopt);
}

}  // namespace

namespace detalle {

std::string ordenInstalarLlave(const std::string& llave) {
    const std::string q = comillasShell(llave);
    return "umask 077; mkdir -p ~/.ssh; touch ~/.ssh/authorized_keys; grep -qxF " + q +
           " ~/.ssh/authorized_keys || echo " + q + " >> ~/.ssh/authorized_keys";
}

std::string motivoAcceso(const std::string& salida) {
    if (salida.find("Permission denied") != std::string::npos) return "La contraseña de root no es correcta.";
    if (salida.find("timed out") != std::string::npos || salida.find("refused") != std::string::npos)
        return "El VPS no contesta por SSH (puerto 22).";
    return "No se ha podido entrar en el VPS.";
}

std::string nombreCarpetaSitio(const std::string& doc) {
    std::string nombre;
    for (const char c : doc) {
        if (nombre.size() == 64) break;
        const bool letraODigito = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (letraODigito || c == '_' || c == '-') nombre += c;
    }
    return nombre.empty() ? "sin-guardar" : nombre;
}

std::string cola(const std::string& texto, std::size_t n) {
    std::size_t i = texto.size();
    std::size_t caracteres = 0;
    while (i > 0 && caracteres < n) {
        --i;
        if ((static_cast<unsigned char>(texto[i]) & 0xC0) != 0x80) ++caracteres;
    }
    return texto.substr(i);
}

}  // namespace detalle

ParSalida remotoBloqueante(std::int64_t servicio, const std::string& orden, const std::optional<std::string>& entrada) {
    return correr(ssh, conConfiguracion({"-o", "BatchMode=yes", alias(servicio), orden}), {}, entrada);
}

Tarea<bool> tieneAcceso(std::int64_t servicio) {
    const auto par = co_await enSegundoPlano([servicio] { return remotoBloqueante(servicio, "true"); });
    co_return par.first;
}

Tarea<ParSalida> remoto(std::int64_t servicio, std::string orden, std::optional<std::string> entrada) {
    co_return co_await enSegundoPlano([servicio, orden = std::move(orden), entrada = std::move(entrada)] {
        return remotoBloqueante(servicio, orden, entrada);
    });
}

Tarea<Hecho> instalarLlave(std::int64_t servicio, std::string password) {
    const std::string llave = recortarBlancos(leerTexto(raiz() / "ssh" / "id_ed25519.pub"));
    if (!llave.starts_with("ssh-ed25519 ")) co_return Fallo{"Falta la llave SSH de Sorvenia Code.", "llave"};
    const auto [ok, salida] = co_await enSegundoPlano(
        [servicio, llave, password = std::move(password)] { return entrarConPassword(servicio, llave, password); });
    if (!ok) co_return Fallo{detalle::motivoAcceso(salida), "acceso"};
    if (!co_await tieneAcceso(servicio))
        co_return Fallo{"La llave se ha instalado pero no entra. Revisa que el VPS permita entrar a root con llave.",
                        "acceso"};
    co_return hecho();
}

Resultado<fs::path> dejarArchivos(const std::string& doc,
                                  const std::vector<std::pair<std::string, std::string>>& archivos) {
    const fs::path carpeta = raiz() / "publicar" / detalle::nombreCarpetaSitio(doc);
    std::error_code ec;
    fs::remove_all(carpeta, ec);
    fs::create_directories(carpeta, ec);
    if (ec) return Fallo{"No se ha podido preparar «" + carpeta.string() + "»: " + ec.message() + ".", "fichero"};
    for (const auto& [nombre, texto] : archivos)
        if (auto escrito = escribirPrivado(carpeta / nombre, texto); !escrito) return escrito.fallo();
    return carpeta;
}

Tarea<Hecho> subir(std::int64_t servicio, fs::path carpeta) {
    const auto [ok, salida] = co_await enSegundoPlano([servicio, carpeta]() -> ParSalida {
        // The pages of an earlier upload go (the agent copies every .html it
        // finds there); an app deployment's script, archive and settings in
        // the same folder stay, or its state check and going back would fail.
        auto vaciado = remotoBloqueante(servicio, "mkdir -p /root/tarvel-subida && rm -f /root/tarvel-subida/*.html");
        if (!vaciado.first) return vaciado;
        // The legacy protocol, as the file browser's copies: it needs nothing
        // on the server but its shell (no SFTP subsystem), and the fixed
        // remote folder holds nothing the shell would read.
        std::vector<std::string> args{"-F", rutaConfiguracion().string(), "-o", "BatchMode=yes", "-q", "-O"};
        std::error_code ec;
        for (fs::directory_iterator it(carpeta, ec), fin; !ec && it != fin; it.increment(ec))
            if (it->path().filename().string().ends_with(".html")) args.push_back(it->path().string());
        args.push_back(alias(servicio) + ":/root/tarvel-subida/");
        return correr(scp, args, {}, std::nullopt);
    });
    if (!ok) co_return Fallo{"No se ha podido subir la web al VPS: " + detalle::cola(salida, 160), "subida"};
    co_return hecho();
}

void cerrarMaestros(const std::vector<std::int64_t>& servicios) {
    for (const auto servicio : servicios) {
        Lanzamiento l;
        l.programa = ssh;
        l.argumentos = conConfiguracion({"-O", "exit", alias(servicio)});
        // Not waited for: it ends by itself in a moment, also after we quit.
        (void)Proceso::lanzar(l);
    }
}

}  // namespace sorvenia::PublicarVPS
