#include "comun/herramientas_tarvel.h"

#include <initializer_list>
#include <string>
#include <utility>

namespace sorvenia::HerramientasTarvel {
namespace {

using Json = nlohmann::ordered_json;
using Propiedad = std::pair<const char*, Json>;

Json p(const char* tipo, const char* descripcion) { return Json{{"type", tipo}, {"description", descripcion}}; }
Json t(const char* tipo) { return Json{{"type", tipo}}; }
Json conLista(Json propiedad, Json valores) {
    propiedad["enum"] = std::move(valores);
    return propiedad;
}
Json deElementos(Json propiedad, Json elementos) {
    propiedad["items"] = std::move(elementos);
    return propiedad;
}

Json herramienta(const char* nombre, const char* descripcion, std::initializer_list<Propiedad> propiedades,
                 std::initializer_list<const char*> requeridas) {
    Json props = Json::object();
    for (const auto& [clave, esquema] : propiedades) props[clave] = esquema;
    Json req = Json::array();
    for (const char* r : requeridas) req.push_back(r);
    return Json{{"name", nombre},
                {"description", descripcion},
                {"inputSchema", Json{{"type", "object"}, {"properties", std::move(props)}, {"required", std::move(req)}}}};
}

Json construir() {
    Json l = Json::array();
    l.push_back(herramienta("ver_tarvel",
        "Estado del tarvel: mesas (páginas) con id, nombre y tamaño, qué tiene seleccionado el usuario (y la zona que ha "
        "recuadrado, si hay), recursos del cliente (su logo, sus fotos). Llámala SIEMPRE lo primero.",
        {}, {}));
    l.push_back(herramienta("leer",
        "HTML actual de un elemento o de una mesa entera, con data-lid en cada elemento y el CSS de la mesa. Sin id: lo "
        "seleccionado (o la mesa visible).",
        {{"id", p("string", "data-lid del elemento o id de la mesa (opcional)")}}, {}));
    l.push_back(herramienta("captura",
        "Imagen PNG de cómo se ve ahora una mesa o un elemento. Úsala para revisar tu trabajo antes de terminar.",
        {{"id", p("string", "elemento o mesa (opcional: la mesa en la que trabajas)")}}, {}));
    l.push_back(herramienta("escribir",
        "Escribe HTML en el tarvel. html = un fragmento (puede empezar por un <style> con CSS que se SUMA a la hoja de la "
        "mesa). modo: reemplazar (sustituye al elemento id), dentro (lo añade al final dentro de id), despues, antes. Para "
        "construir una página, llama una vez por sección: el usuario la ve aparecer.",
        {{"id", p("string", "data-lid del elemento de referencia, o id de la mesa")},
         {"modo", conLista(t("string"), {"reemplazar", "dentro", "despues", "antes"})},
         {"html", p("string", "el HTML (y opcionalmente un <style> delante)")}},
        {"id", "modo", "html"}));
    l.push_back(herramienta("estilo",
        "Cambia estilos de un elemento (se mezclan con los que tiene): «font-size: 64px; color: #111».",
        {{"id", p("string", "data-lid")}, {"css", p("string", "declaraciones CSS")}}, {"id", "css"}));
    l.push_back(herramienta("texto", "Cambia el texto de un elemento.",
        {{"id", p("string", "data-lid")}, {"texto", p("string", "el texto nuevo")}}, {"id", "texto"}));
    l.push_back(herramienta("borrar", "Borra un elemento.", {{"id", p("string", "data-lid")}}, {"id"}));
    l.push_back(herramienta("css",
        "Añade CSS a la hoja de una mesa (o la sustituye entera con reemplazar=true). Para clases, :hover, @media, "
        "@keyframes, Google Fonts (@import).",
        {{"mesa", p("string", "id de la mesa")}, {"css", p("string", "CSS")}, {"reemplazar", t("boolean")}},
        {"mesa", "css"}));
    l.push_back(herramienta("crear_mesa", "Crea una mesa nueva (una página o una pieza) a la derecha de las demás.",
        {{"nombre", p("string", "nombre")},
         {"ancho", t("number")},
         {"alto", t("number")},
         {"web", p("boolean", "true = página web de alto automático")}},
        {"nombre", "ancho"}));
    l.push_back(herramienta("guia",
        "Las guías de diseño de Sorvenia (el método de la casa). Léela ANTES de diseñar: tema «encargo» (formato y nivel), "
        "«agente» (cómo trabajar en el tarvel), y skills: nivel-agencia, territorios-visuales, sistema-visual, copy-es, "
        "sectores, secciones-web, landing-page, landing-dios, movil-y-accesible, imagenes-mockup, revisar-mockup.",
        {{"tema", p("string", "encargo · agente · o el nombre de una skill")}}, {"tema"}));
    l.push_back(herramienta("terminar",
        "Avisa de que has terminado: quita el indicador de «agente trabajando» del tarvel. Llámala SIEMPRE al acabar.",
        {}, {}));
    l.push_back(herramienta("duplicar",
        "Duplica un elemento (queda justo detrás) o una mesa entera (al lado). Devuelve el id nuevo.",
        {{"id", p("string", "data-lid o mesa")}}, {"id"}));
    l.push_back(herramienta("mover",
        "Mueve un elemento: dentro de otro (al final o en una posición) o antes/después de otro.",
        {{"id", p("string", "data-lid a mover")},
         {"destino", p("string", "data-lid de referencia")},
         {"como", conLista(t("string"), {"dentro", "antes", "despues"})}},
        {"id", "destino", "como"}));
    l.push_back(herramienta("codigo",
        "El código de un elemento o mesa para llevarlo a un proyecto: html, react o tailwind.",
        {{"id", p("string", "data-lid o mesa")}, {"formato", conLista(t("string"), {"html", "react", "tailwind"})}},
        {"id"}));
    l.push_back(herramienta("nombrar",
        "Pone nombre al diseño (al archivo, no a una mesa): corto, 2-4 palabras, lo que es (el negocio o el proyecto: "
        "«Asador Bilbao», «Citas Clínica Sonrisa»). Úsalo en cuanto sepas de qué va si el encargo te lo pide. Si el "
        "usuario le puso nombre a mano, no se cambia.",
        {{"nombre", p("string", "el nombre del diseño")}}, {"nombre"}));
    l.push_back(herramienta("variables",
        "Lee o cambia las variables (tokens) del archivo: colores, tipografías, espaciados… Se usan en CSS como "
        "var(--nombre). Sin argumentos, las lee.",
        {{"variables",
          deElementos(p("array", "[{nombre, valor, oscuro?}] para crear o cambiar; valor vacío borra; oscuro = su valor "
                                 "en modo oscuro (la web publicada lo usa sola si el visitante tiene el sistema en oscuro)"),
                      Json{{"type", "object"},
                           {"properties", Json{{"nombre", t("string")}, {"valor", t("string")}, {"oscuro", t("string")}}}})}},
        {}));
    l.push_back(herramienta("paginas",
        "Lista las páginas del archivo, o crea una nueva (crear=nombre), o cambia a otra (abrir=índice desde 0).",
        {{"crear", p("string", "nombre de la página nueva")}, {"abrir", t("number")}}, {}));
    l.push_back(herramienta("disenos",
        "Archivos de diseño del usuario en Sorvenia Code: listar, abrir uno (abrir=id) o crear uno nuevo (nuevo=nombre).",
        {{"abrir", p("string", "id del diseño")}, {"nuevo", p("string", "nombre del diseño nuevo")}}, {}));
    l.push_back(herramienta("animar",
        "Pone un efecto de movimiento (tipo Remotion) a un elemento: entra con muelle, letra a letra, al hacer scroll… "
        "El efecto se ve en la línea de tiempo, se reproduce y se exporta en la web y en el vídeo MP4. tipo: subir, "
        "muelle, desenfoque, izquierda, aparecer, escribir, letras, palabras, girar, kenburns (zoom lento sin fin, para "
        "fotos), flotar (sin fin), latir (sin fin), contador (cuenta hasta el número) o quitar (quita el efecto). "
        "disparo: carga (al abrirse la página) o scroll (al llegar al elemento). Con id = «todo» se anima la página "
        "entera de una vez, con las entradas escalonadas.",
        {{"id", p("string", "data-lid, o «todo»")},
         {"tipo", p("string", "efecto")},
         {"retraso", p("number", "ms")},
         {"duracion", p("number", "ms")},
         {"rebote", p("number", "0-100")},
         {"disparo", conLista(t("string"), {"carga", "scroll"})}},
        {"id"}));
    l.push_back(herramienta("mesas",
        "Las mesas (páginas/pantallas) del tarvel: listar, ordenar el escritorio, renombrar, mover, cambiar tamaño, "
        "elegir la portada o borrar. accion: listar (en orden; la primera es la portada, que al publicar será "
        "index.html); ordenar (orden = lista de ids, o grupos = lista de {titulo, ids}, cada grupo en su propia fila; "
        "con columnas y separacion; también cambia el orden de publicación); renombrar (id, nombre); mover (id, x, y); "
        "tamano (id, ancho, y alto en número o la palabra auto); portada (id); borrar (id; el usuario puede deshacerlo "
        "con Ctrl+Z). Úsala cuando te pidan ordenar, limpiar o reorganizar el escritorio.",
        {{"accion", conLista(t("string"), {"listar", "ordenar", "renombrar", "mover", "tamano", "portada", "borrar"})},
         {"id", p("string", "id de la mesa (o su nombre)")},
         {"nombre", p("string", "nombre nuevo")},
         {"x", t("number")},
         {"y", t("number")},
         {"ancho", t("number")},
         {"alto", p("string", "número en px o \"auto\"")},
         {"orden", deElementos(t("array"), t("string"))},
         {"grupos", deElementos(t("array"), t("object"))},
         {"columnas", t("number")},
         {"separacion", t("number")}},
        {"accion"}));
    l.push_back(herramienta("proponer_conexion",
        "Guarda en Sorvenia Code un MCP o una clave del USUARIO para usarlos en sus próximos encargos (p. ej. el MCP de "
        "una librería de componentes de la que tiene licencia, o la clave de un servicio). Úsala SOLO cuando el usuario "
        "te dé la conexión y quiera guardarla: le saldrá una confirmación y, si dice que no, no insistas. Para heroui, "
        "aceternity, magicui, 21st, shadcn, figma, supabase, stripe o resend basta con el nombre y el token: la app ya "
        "conoce su URL, orden, cabecera y variable. Para los demás, busca la URL en la documentación oficial del "
        "servicio antes de proponerla. tipo: mcp-http = una URL https con un token opcional en una cabecera; mcp-orden "
        "= una orden con argumentos (p. ej. npx -y y un paquete) con un token opcional en una variable de entorno; "
        "clave = un token con el nombre de una variable de entorno.",
        {{"nombre", p("string", "nombre corto, p. ej. heroui")},
         {"tipo", conLista(t("string"), {"mcp-http", "mcp-orden", "clave"})},
         {"url", p("string", "URL https del MCP")},
         {"cabecera", p("string", "cabecera del token (por defecto Authorization: Bearer)")},
         {"orden", p("string", "ejecutable del MCP local, p. ej. npx")},
         {"argumentos", deElementos(t("array"), t("string"))},
         {"token", p("string", "token o clave (va al llavero del ordenador)")},
         {"variable", p("string", "variable de entorno para la clave, p. ej. HEROUI_API_KEY")},
         {"para", p("string", "para qué sirve, en una frase")}},
        {"nombre"}));
    l.push_back(herramienta("buscar_fotos",
        "Busca FOTOS REALES y te las ENSEÑA: devuelve una hoja con las fotos numeradas (las ves) y sus URLs. Úsala para "
        "CADA foto importante antes de ponerla: mira la hoja, elige la que encaja (luz, encuadre, calidad) y pon su URL "
        "tal cual en src. Con consulta busca en bancos de fotos (Pexels y Unsplash con la clave del cliente; si no, en "
        "bancos libres). Con pagina saca las fotos de una web, por ejemplo la del propio negocio que hayas encontrado "
        "buscando en internet, para usarlas si son buenas.",
        {{"consulta", p("string", "qué foto, en inglés y concreta: «barber trimming beard close up warm light»")},
         {"pagina", p("string", "URL https de una web de la que sacar sus fotos (la del negocio, su Instagram no)")},
         {"orientacion", conLista(t("string"), {"horizontal", "vertical", "cuadrada"})},
         {"cantidad", p("number", "3-12, por defecto 9")}},
        {}));
    l.push_back(herramienta("generar_imagen",
        "Genera una imagen con IA con la cuenta del propio cliente (el servicio de imágenes fal u OpenAI) y devuelve la "
        "URL para ponerla en src. Úsala cuando una foto de banco no sirva (un producto concreto, una escena imposible). "
        "Si falla porque el cliente no tiene clave, pon en su lugar un marcador de foto de la forma foto:palabras.",
        {{"prompt", p("string", "descripción detallada en inglés, estilo fotográfico")},
         {"ancho", t("number")},
         {"alto", t("number")}},
        {"prompt"}));
    l.push_back(herramienta("enfocar",
        "Señala al usuario en qué elemento estás trabajando (lo resalta en el tarvel con tu nombre). Opcional pero ayuda "
        "a que te siga.",
        {{"id", t("string")}, {"nota", p("string", "qué vas a hacer, en pocas palabras")}}, {"id"}));
    return l;
}

}  // namespace

const nlohmann::ordered_json& lista() {
    static const nlohmann::ordered_json valor = construir();
    return valor;
}

Responde quienResponde(std::string_view nombre) {
    if (nombre == "guia" || nombre == "disenos" || nombre == "buscar_fotos" || nombre == "proponer_conexion")
        return Responde::centro;
    if (nombre == "generar_imagen") return Responde::editor;
    return Responde::pagina;
}

}  // namespace sorvenia::HerramientasTarvel
