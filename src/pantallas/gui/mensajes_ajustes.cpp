// The settings page's messages. The web view hands over only objects posted
// by our own page's top frame; each "tipo" is one short handler that reads
// the keys it needs (a key of another JSON type takes its default) and acts.
// The ones that wait start a task that holds the model.

#include <map>

#include "comun/lectura_mensajes.h"
#include "integraciones/conexion_agente.h"
#include "integraciones/conexiones.h"
#include "integraciones/servicio_clave.h"
#include "integraciones/texto_integraciones.h"
#include "medios/fuentes.h"
#include "pantallas/gui/ajustes_modelo.h"
#include "pantallas/gui/textos_ajustes.h"
#include "plataforma/gui/portapapeles.h"
#include "plataforma/navegador.h"
#include "plataforma/preferencias.h"

namespace sorvenia {
namespace {

using Json = nlohmann::json;

using Mensaje::texto;

bool booleano(const Json& m, const char* clave, bool porDefecto) {
    const auto it = m.find(clave);
    return it != m.end() && it->is_boolean() ? it->get<bool>() : porDefecto;
}

bool esWeb(const std::string& url) {
    const auto dos = url.find(':');
    if (dos == std::string::npos) return false;
    std::string esquema = url.substr(0, dos);
    for (char& c : esquema) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return (esquema == "http" || esquema == "https") && url.size() > dos + 3 && url.compare(dos, 3, "://") == 0;
}

// The connection a save message describes; "orden" is the command line.
Conexiones::Conexion conexionDe(const Json& m) {
    Conexiones::Conexion c;
    std::string linea = texto(m, "orden").value_or("");
    std::vector<std::string> piezas;
    for (std::size_t i = 0; i <= linea.size();) {
        const auto fin = std::min(linea.find(' ', i), linea.size());
        if (fin > i) piezas.push_back(linea.substr(i, fin - i));
        i = fin + 1;
    }
    if (!piezas.empty()) {
        c.orden = piezas.front();
        c.argumentos.assign(piezas.begin() + 1, piezas.end());
    }
    c.id = texto(m, "id").value_or("");
    c.nombre = texto(m, "nombre").value_or("");
    c.tipo = texto(m, "clase").value_or("mcp-http");
    c.url = TextoIntegraciones::recortarHorizontal(texto(m, "url").value_or(""));
    c.cabecera = texto(m, "cabecera").value_or("Authorization");
    c.variable = TextoIntegraciones::recortarHorizontal(texto(m, "variable").value_or(""));
    c.para = texto(m, "para").value_or("");
    c.activa = true;
    return c;
}

Json resultado(std::string t, bool mal) {
    Json r = {{"texto", std::move(t)}};
    if (mal) r["mal"] = true;
    return r;
}

}  // namespace

void AjustesModelo::recibir(const Json& mensaje) {
    static const std::map<std::string, Manejador, std::less<>> manejadores = {
        {"pedirDatos", &AjustesModelo::pedirDatos},
        {"cerrar", &AjustesModelo::cerrar},
        {"abrir", &AjustesModelo::abrir},
        {"copiar", &AjustesModelo::copiar},
        {"guardarClave", &AjustesModelo::guardarClave},
        {"videoIA", &AjustesModelo::videoIA},
        {"guardarConexion", &AjustesModelo::guardarConexion},
        {"activarConexion", &AjustesModelo::activarConexion},
        {"borrarConexion", &AjustesModelo::borrarConexion},
        {"probarConexion", &AjustesModelo::probarConexion},
        {"anadirFuentes", &AjustesModelo::anadirFuentes},
        {"borrarFuente", &AjustesModelo::borrarFuente},
        {"anadirAgente", &AjustesModelo::anadirAgente},
    };
    if (!mensaje.is_object()) return;
    const auto tipo = texto(mensaje, "tipo");
    if (!tipo) return;
    const auto manejador = manejadores.find(*tipo);
    if (manejador != manejadores.end()) (this->*(manejador->second))(mensaje);
}

void AjustesModelo::pedirDatos(const Json&) { lanzar(enviar()); }

void AjustesModelo::cerrar(const Json&) { cerrar_(); }

void AjustesModelo::abrir(const Json& m) {
    const auto url = texto(m, "url");
    if (url && esWeb(*url)) Navegador::abrir(*url);
}

void AjustesModelo::copiar(const Json& m) { copiarAlPortapapeles(texto(m, "texto").value_or("")); }

void AjustesModelo::guardarClave(const Json& m) {
    const auto id = texto(m, "id");
    if (!id || !Servicios::desde(*id)) return;
    lanzar(guardarClaveTarea(*id, texto(m, "clave").value_or("")));
}

Tarea<void> AjustesModelo::guardarClaveTarea(std::string id, std::string clave) {
    auto yo = shared_from_this();
    const auto guardado = co_await Servicios::guardarComprobando(*Servicios::desde(id), std::move(clave));
    co_await yo->enviar();
    yo->js("resultado", {{"texto", guardado.texto}, {"id", id}, {"mal", !guardado.ok}});
}

void AjustesModelo::videoIA(const Json& m) {
    Preferencias::estandar().fijarBooleano("videosIA", booleano(m, "on", false));
}

void AjustesModelo::guardarConexion(const Json& m) { lanzar(guardarConexionTarea(m)); }

Tarea<void> AjustesModelo::guardarConexionTarea(Json m) {
    auto yo = shared_from_this();
    std::optional<std::string> secreto = texto(m, "secreto");
    auto c = conexionDe(m);
    const auto error = co_await enSegundoPlano(
        [c = std::move(c), secreto = std::move(secreto)] { return Conexiones::guardar(c, secreto); });
    if (error) {
        yo->js("resultado", resultado(*error, true));
        co_return;
    }
    co_await yo->enviar();
    yo->js("resultado", resultado("Conexión guardada. Tu IA la tendrá desde el próximo encargo.", false));
    if (const auto guardada = Conexiones::ultimaGuardada()) {
        co_await Conexiones::buscarLogo(*guardada);
        co_await yo->enviar();
    }
}

void AjustesModelo::activarConexion(const Json& m) {
    const auto id = texto(m, "id");
    if (id) lanzar(cambiarConexion(*id, booleano(m, "on", true)));
}

void AjustesModelo::borrarConexion(const Json& m) {
    const auto id = texto(m, "id");
    if (id) lanzar(cambiarConexion(*id, std::nullopt));
}

Tarea<void> AjustesModelo::cambiarConexion(std::string id, std::optional<bool> activa) {
    auto yo = shared_from_this();
    co_await enSegundoPlano([id, activa] {
        if (activa) Conexiones::activar(id, *activa);
        else Conexiones::borrar(id);
    });
    co_await yo->enviar();
}

void AjustesModelo::probarConexion(const Json& m) { lanzar(probarConexionTarea(texto(m, "id").value_or(""))); }

Tarea<void> AjustesModelo::probarConexionTarea(std::string id) {
    auto yo = shared_from_this();
    const auto prueba = co_await Conexiones::probar(id);
    yo->js("conexionProbada", {{"id", id}, {"ok", prueba.ok}, {"texto", prueba.texto}});
}

void AjustesModelo::anadirFuentes(const Json&) {
    if (elegirFuentes_) lanzar(anadirFuentesTarea());
}

Tarea<void> AjustesModelo::anadirFuentesTarea() {
    auto yo = shared_from_this();
    const auto rutas = co_await yo->elegirFuentes_();
    if (!rutas) co_return;
    std::vector<std::filesystem::path> archivos(rutas->begin(), rutas->end());
    const std::string mensaje = co_await enSegundoPlano([archivos] { return Fuentes::anadir(archivos); });
    co_await yo->enviar();
    fuentesAlEditor();
    yo->js("resultado", resultado(mensaje, false));
}

void AjustesModelo::borrarFuente(const Json& m) {
    if (const auto familia = texto(m, "familia")) lanzar(borrarFuenteTarea(*familia));
}

Tarea<void> AjustesModelo::borrarFuenteTarea(std::string familia) {
    auto yo = shared_from_this();
    co_await enSegundoPlano([familia] { Fuentes::borrarFamilia(familia); });
    co_await yo->enviar();
    fuentesAlEditor();
}

void AjustesModelo::anadirAgente(const Json& m) {
    const auto id = texto(m, "id");
    if (id && agenteDesde(*id)) lanzar(anadirAgenteTarea(*id));
}

Tarea<void> AjustesModelo::anadirAgenteTarea(std::string id) {
    auto yo = shared_from_this();
    const Agentes agente = *agenteDesde(id);
    std::string texto;
    try {
        texto = co_await ConexionAgente::anadir(agente);
    } catch (const std::exception& e) {
        yo->js("resultado", resultado(e.what(), true));
        co_return;
    }
    co_await yo->enviar();
    yo->js("resultado", resultado(texto + " " + TextosAjustes::despues(agente), false));
}

}  // namespace sorvenia
