#include "ias/turno.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <utility>
#include <vector>

#include "ias/ejecutar_por_lineas.h"
#include "ias/limpiar.h"
#include "ias/lineas_turno.h"
#include "ias/matar.h"
#include "ias/modelos.h"
#include "ias/sistema.h"
#include "plataforma/cripto.h"
#include "plataforma/texto_utf8.h"

namespace sorvenia::IAsLocales {
namespace fs = std::filesystem;

const std::string detalle::reglaEntregaCodex =
    "\nFORMA DE ENTREGAR (obligatoria): no pegues el HTML en tu respuesta. Escríbelo en el fichero `pagina.html` de "
    "esta carpeta SECCIÓN A SECCIÓN: primero crea el fichero con el <div> raíz abierto y la cabecera, y después añade "
    "cada sección con una edición aparte, en orden, hasta cerrar el </div> raíz. Si ya existe pagina.html con un "
    "diseño, corrígelo ahí mismo. Si el encargo es un CAMBIO, escribe en pagina.html sólo los bloques <cambio> (y el "
    "<style> si hace falta). \\\nCuando termines, responde sólo: LISTO.";

namespace {

std::string minusculas(std::string texto) {
    std::ranges::transform(texto, texto.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return texto;
}

bool nombra(const std::string& detalle, std::initializer_list<const char*> palabras) {
    const std::string bajo = minusculas(detalle);
    return std::ranges::any_of(palabras, [&](const char* p) { return bajo.find(p) != std::string::npos; });
}

std::string primeros240(const std::string& detalle) { return std::string(primerosCaracteres(detalle, 240)); }

Fallo sinHtml(const std::string& quien, std::int32_t estado, const std::string& detalle) {
    return Fallo{quien + " no ha devuelto un diseño (código " + std::to_string(estado) + "). " + primeros240(detalle),
                 "sin_html"};
}

// A runaway: more page text than any design holds. The tool is stopped and
// the turn fails, rather than the application holding it all.
struct Desborde {
    std::shared_ptr<Proceso> proceso;
    bool desbordado = false;

    void vigilar(std::size_t largo) {
        if (desbordado || largo <= detalle::limitesTurno().respuesta) return;
        desbordado = true;
        matar(proceso);
    }
};

Fallo falloDesborde(const std::string& quien) {
    return Fallo{quien + " no ha devuelto un diseño: su respuesta pasaba de 4 MB y se ha parado.", "sin_html"};
}

// A fresh name for codex's answer file; the process id and the clock when
// no random bytes can be drawn (the folder is private and new anyway).
std::string nuevoUuid() {
    if (auto u = uuid()) return std::move(*u);
    return std::to_string(::getpid()) + "-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

// ---- claude ----

Tarea<Resultado<std::string>> turnoClaude(std::string ruta, std::string orden, fs::path dir, std::string esfuerzo,
                                          AvisosTurno avisos) {
    std::vector<std::string> args = {"-p"};
    for (auto& a : argsModeloClaude("claude")) args.push_back(std::move(a));
    for (const char* a : {"--effort"}) args.emplace_back(a);
    args.push_back(esfuerzo);
    for (const char* a : {"--output-format", "stream-json", "--include-partial-messages", "--verbose",
                          "--setting-sources", "project,local", "--append-system-prompt"})
        args.emplace_back(a);
    args.push_back(sistema());
    for (const char* a : {"--allowedTools", "Read", "Glob", "Grep", "Skill", "WebSearch", "WebFetch",
                          "--disallowedTools", "Bash", "Edit", "Write", "NotebookEdit", "Task"})
        args.emplace_back(a);

    auto estado = std::make_shared<EstadoDirecto>();
    auto desborde = std::make_shared<Desborde>();
    auto fin = co_await ejecutarPorLineas(
        ruta, std::move(args), std::move(orden), dir, detalle::limitesTurno().directo,
        [desborde](std::shared_ptr<Proceso> p) { desborde->proceso = std::move(p); }, {},
        [estado, desborde, avisos](std::string linea) {
            if (desborde->desbordado) return;
            for (auto& aviso : leerLineaClaude(linea, *estado, std::chrono::steady_clock::now())) {
                if (aviso.tipo == AvisoTurno::Tipo::parcial) {
                    if (avisos.parcial) avisos.parcial(limpiarSeguro(aviso.texto));
                } else if (avisos.progreso) {
                    avisos.progreso(std::move(aviso.texto));
                }
            }
            desborde->vigilar(std::max(estado->texto.size(), estado->resultado ? estado->resultado->size() : 0));
        });
    if (!fin) co_return fin.fallo();
    if (desborde->desbordado) co_return falloDesborde("Claude");
    std::string respuesta = limpiarSeguro(estado->resultado ? *estado->resultado : estado->texto);
    if (!respuesta.empty()) co_return respuesta;
    const std::string detalle = detalle::detalleFinal(estado->resultado.value_or("") + " " + fin->errores);
    if (nombra(detalle, {"login", "not logged"}))
        co_return Fallo{"Claude no tiene la sesión iniciada. Pulsa el selector de IA y conéctalo.", "sin_sesion"};
    co_return sinHtml("Claude", fin->estado, detalle);
}

// ---- codex ----

// Reads "pagina.html" three times a second and shows it when it changed.
Tarea<void> vigilarPagina(fs::path pagina, AvisosTurno avisos) {
    std::string ultima;
    for (;;) {
        auto leida = co_await enSegundoPlano([pagina]() -> std::optional<std::string> {
            std::error_code ec;
            if (fs::file_size(pagina, ec) > detalle::limitesTurno().respuesta || ec) return std::nullopt;
            return leerTextoUtf8(pagina);
        });
        if (leida && *leida != ultima && leida->find('<') != std::string::npos) {
            ultima = *leida;
            if (avisos.parcial) avisos.parcial(limpiarSeguro(ultima));
            if (avisos.progreso) avisos.progreso(lineaEscribiendo(ultima));
        }
        co_await dormir(0.3);
    }
}

// A file of the work folder as UTF-8 text, unless it is missing or bigger
// than any design.
std::optional<std::string> leerRespuesta(const fs::path& fichero) {
    std::error_code ec;
    const auto tamano = fs::file_size(fichero, ec);
    if (ec || tamano > detalle::limitesTurno().respuesta) return std::nullopt;
    return leerTextoUtf8(fichero);
}

Tarea<Resultado<std::string>> turnoCodex(std::string ruta, std::string orden, fs::path dir,
                                         std::optional<fs::path> imagen, AvisosTurno avisos) {
    const fs::path pagina = dir / "pagina.html";
    const fs::path respuesta = dir / ("respuesta-" + nuevoUuid() + ".txt");
    std::vector<std::string> args = {"exec", "--json", "--skip-git-repo-check", "-s", "workspace-write",
                                     "-C", dir.string(), "-o", respuesta.string()};
    if (imagen) {
        args.emplace_back("-i");
        args.push_back(imagen->string());
    }
    std::string entrada = sistema() + "\n\n" + orden + detalle::reglaEntregaCodex;

    // codex's Linux sandbox lets the tool write its work folder only when
    // its temporary folder is a folder of its own (with none set, or the
    // shared /tmp, every edit fails); one inside the work folder goes with it.
    const fs::path temporal = dir / "tmp";
    std::error_code ec;
    fs::create_directory(temporal, ec);
    fs::permissions(temporal, fs::perms::owner_all, ec);
    const Entorno entornoCodex = {{"TMPDIR", temporal.string()}};

    auto vigia = std::make_shared<Vigia>();
    auto desborde = std::make_shared<Desborde>();
    TareaLanzada vigilante = lanzar(vigilarPagina(pagina, avisos));
    Resultado<FinEjecucion> fin = Fallo{};
    try {
        fin = co_await ejecutarPorLineas(
            ruta, std::move(args), std::move(entrada), dir, detalle::limitesTurno().directo,
            [desborde](std::shared_ptr<Proceso> p) { desborde->proceso = std::move(p); }, entornoCodex,
            [vigia, desborde, avisos](std::string linea) {
                if (auto linea_ = leerLineaCodex(linea, *vigia); linea_ && avisos.progreso)
                    avisos.progreso(std::move(*linea_));
                desborde->vigilar(vigia->mensaje ? vigia->mensaje->size() : 0);
            });
    } catch (...) {
        vigilante.cancelar();
        throw;
    }
    vigilante.cancelar();
    if (!fin) co_return fin.fallo();
    if (desborde->desbordado) co_return falloDesborde("Codex");
    if (const auto escrita = leerRespuesta(pagina)) {
        std::string html = limpiarSeguro(*escrita);
        if (!html.empty()) co_return html;
    }
    const std::string ultimo = leerRespuesta(respuesta).value_or(vigia->mensaje.value_or(""));
    if (std::string html = limpiarSeguro(ultimo); !html.empty()) co_return html;
    const std::string detalle = detalle::detalleFinal(fin->errores + " " + ultimo);
    if (nombra(detalle, {"log out and sign in", "not logged", "refresh token"}))
        co_return Fallo{"La sesión de ChatGPT en Codex ha caducado. Pulsa el selector de IA y vuelve a conectarlo.",
                        "sin_sesion"};
    co_return sinHtml("Codex", fin->estado, detalle);
}

// ---- print mode (gemini and any other tool) ----

Tarea<Resultado<std::string>> turnoImpresion(IA ia, std::string ruta, std::string orden, fs::path dir,
                                             bool conImagen, AvisosTurno avisos) {
    std::string instruccion = "Sigue exactamente las instrucciones de la entrada.";
    if (conImagen) instruccion += " Mira @captura.png";
    // The work folder is new at every turn, and gemini refuses to work in a
    // folder the user never trusted unless told to: without this every turn
    // fails.
    const Entorno confiar = {{"GEMINI_CLI_TRUST_WORKSPACE", "true"}};
    auto salida = std::make_shared<std::string>();
    auto desborde = std::make_shared<Desborde>();
    // The tool prints its answer as it comes: the page is shown growing as
    // for claude, at most once a quarter of a second.
    auto ultimoEnvio = std::make_shared<std::optional<Instante>>();
    auto fin = co_await ejecutarPorLineas(
        ruta, {"-p", instruccion}, sistema() + "\n\n" + orden, dir, detalle::limitesTurno().impresion,
        [desborde](std::shared_ptr<Proceso> p) { desborde->proceso = std::move(p); }, confiar,
        [salida, desborde, ultimoEnvio, avisos](std::string linea) {
            if (desborde->desbordado) return;
            *salida += linea;
            *salida += '\n';
            desborde->vigilar(salida->size());
            const auto ahora = std::chrono::steady_clock::now();
            if (*ultimoEnvio &&
                std::chrono::duration<double>(ahora - **ultimoEnvio).count() <= segundosEntreParciales)
                return;
            if (salida->find('<') == std::string::npos) return;
            *ultimoEnvio = ahora;
            if (avisos.parcial) avisos.parcial(limpiarSeguro(*salida));
            if (avisos.progreso) avisos.progreso(lineaEscribiendo(*salida));
        });
    if (!fin) co_return fin.fallo();
    if (desborde->desbordado) co_return falloDesborde(ia.nombre);
    std::string respuesta = limpiarSeguro(*salida);
    if (!respuesta.empty()) co_return respuesta;
    const std::string detalle = detalle::detalleFinal(fin->errores + "\n" + *salida);
    if (nombra(detalle, {"login", "auth"}))
        co_return Fallo{ia.nombre + " no tiene la sesión iniciada en este ordenador. Ábrelo una vez en la Terminal "
                                    "para entrar.",
                        "sin_sesion"};
    co_return sinHtml(ia.nombre, fin->estado, detalle);
}

}  // namespace

LimitesTurno& detalle::limitesTurno() {
    static LimitesTurno limites;
    return limites;
}

std::string detalle::detalleFinal(const std::string& texto) {
    std::vector<std::string_view> lineas;
    std::string_view resto = texto;
    while (!resto.empty()) {
        const auto salto = resto.find('\n');
        const std::string_view una = resto.substr(0, salto);
        if (!una.empty()) lineas.push_back(una);
        if (salto == std::string_view::npos) break;
        resto.remove_prefix(salto + 1);
    }
    std::string junto;
    for (std::size_t i = lineas.size() > 3 ? lineas.size() - 3 : 0; i < lineas.size(); ++i) {
        if (!junto.empty()) junto += ' ';
        junto.append(lineas[i]);
    }
    return junto;
}

Tarea<Resultado<std::string>> turno(IA ia, std::string ruta, std::string orden, fs::path dir,
                                    std::optional<fs::path> imagen, std::string esfuerzo, AvisosTurno avisos) {
    switch (ia.tipo) {
        case IA::Tipo::claude:
            co_return co_await turnoClaude(std::move(ruta), std::move(orden), std::move(dir), std::move(esfuerzo),
                                           std::move(avisos));
        case IA::Tipo::codex:
            co_return co_await turnoCodex(std::move(ruta), std::move(orden), std::move(dir), std::move(imagen),
                                          std::move(avisos));
        case IA::Tipo::gemini: break;
    }
    const bool conImagen = imagen.has_value();
    co_return co_await turnoImpresion(std::move(ia), std::move(ruta), std::move(orden), std::move(dir), conImagen,
                                      std::move(avisos));
}

}  // namespace sorvenia::IAsLocales
