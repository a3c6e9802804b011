// The canvas tools that agents call through native code:
//   await window.tarvel.herramienta(nombre, args)
// Each answers {texto, error} (captura answers {html, w, h}). A wrong or
// missing argument answers an error that tells the agent what to send.
// Every change goes through the editor's cambiar(): one undo step and a
// "cambio" for native code, like the user's own edits.

import { DISPAROS, NOMBRES, SIN_FIN, TIPOS, duracionPorDefecto, normalizarAnimacion } from "./animaciones.js";
import { codigoDe } from "./codigo.js";
import { contarReglas, declaracionValida, declaraciones, leerHoja, sumarHoja, textoDeclaraciones } from "./css.js";
import { ALTO_MAX, ALTO_MIN, ANCHO_MAX, ANCHO_MIN, LARGO_NOMBRE, SEPARACION, crearMesa, crearPagina, demasiadoLargo, fijarPortada, nuevoId } from "./documento.js";
import { booleano, copiaProfunda, esObjeto, numero, plural, recortar, slug } from "./utiles.js";
import { limpiarCopia, quitarPeligrosos } from "./vista_mesa.js";

const bien = (texto) => ({ texto, error: false });
const mal = (texto) => ({ texto, error: true });

class ErrorHerramienta extends Error {}
const fallar = (texto) => { throw new ErrorHerramienta(texto); };

const MODOS = ["reemplazar", "dentro", "despues", "antes"];
const COMOS = ["dentro", "antes", "despues"];
const FORMATOS = ["html", "react", "tailwind"];
const ACCIONES = ["listar", "ordenar", "renombrar", "mover", "tamano", "portada", "borrar"];
const VACIOS = new Set(["area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"]);
const FALTA_ID = "Falta «id»: manda el data-lid del elemento o el id de la mesa (los ves con ver_tarvel o leer).";
const FALTA_LID = "Falta «id»: manda el data-lid del elemento (lo ves con leer).";

function texto(args, clave, mensajeFalta) {
  const v = args[clave];
  if (typeof v === "number" && Number.isFinite(v)) return String(v);
  if (typeof v !== "string" || !v.trim()) fallar(mensajeFalta);
  return v.trim();
}

function textoOpcional(args, clave) {
  const v = args[clave];
  if (v === undefined || v === null) return null;
  if (typeof v === "number" && Number.isFinite(v)) return String(v);
  if (typeof v !== "string") fallar(`«${clave}» tiene que ser un texto.`);
  return v.trim() || null;
}

// Names are repeated in answers and stored in the design: a long one
// slows every later call and bloats every save.
function nombreCorto(nombre, clave) {
  if (demasiadoLargo(nombre)) fallar(`«${clave}» es demasiado largo: usa pocas palabras (como mucho ${LARGO_NOMBRE} letras).`);
  return nombre;
}

function numeroOpcional(args, clave, que) {
  const v = args[clave];
  if (v === undefined || v === null || v === "") return null;
  const n = numero(v);
  if (n === null) fallar(`«${clave}» tiene que ser un número${que ? ` (${que})` : ""}; has mandado ${JSON.stringify(v)}.`);
  return n;
}

function etiqueta(e) {
  return `<${e.localName}>`;
}

function describirMesa(editor, mesa) {
  const alto = mesa.auto ? `alto automático (ahora ${editor.altoDe(mesa)} px)` : `${mesa.alto}`;
  return `${mesa.id} «${mesa.nombre}» · ${mesa.ancho} × ${alto}`;
}

function nombreMesa(mesa) {
  return `${mesa.id} «${mesa.nombre}»`;
}

function resumenElemento(e) {
  // The text as laid out, so that blocks are apart ("Corte clásico Tijera…").
  const t = recortar(typeof e.innerText === "string" ? e.innerText : e.textContent, 60);
  return `${e.getAttribute("data-lid")} ${etiqueta(e)}${t ? ` «${t}»` : ""}`;
}

function encontrar(editor, id) {
  const r = editor.buscar(id);
  if (!r) fallar(`No encuentro «${id}»: no es el data-lid de ningún elemento ni el id de una mesa. Mira los ids con ver_tarvel o leer.`);
  return r;
}

function encontrarElemento(editor, id, queHacer) {
  const r = encontrar(editor, id);
  if (!r.elemento) fallar(`«${id}» es una mesa, no un elemento: ${queHacer}`);
  return r;
}

function encontrarMesa(editor, id) {
  const mesa = editor.mesaPorIdONombre(id);
  if (!mesa) {
    const ids = editor.pagina().mesas.map((m) => `${m.id} «${m.nombre}»`).join(", ") || "ninguna";
    fallar(`No hay ninguna mesa «${id}». Las mesas de la página abierta son: ${ids}.`);
  }
  return mesa;
}

// The mesa an agent works on when it names none: the selection's, the
// last one it touched, the one on screen, or the first.
function mesaDeTrabajo(editor) {
  const candidatos = [editor.seleccion && editor.seleccion.mesa, editor.mesaTrabajo];
  for (const id of candidatos) if (id && editor.mesa(id)) return editor.mesa(id);
  return editor.mesaVisible ? editor.mesaVisible() : editor.pagina().mesas[0] || null;
}

function listaLids(elementos, max = 60) {
  const partes = elementos.slice(0, max).map((e) => `${e.getAttribute("data-lid")} ${e.localName}`);
  if (elementos.length > max) partes.push(`y ${elementos.length - max} más`);
  return partes.join(", ");
}

// Separates the <style> blocks of a fragment (they go to the mesa's sheet)
// and drops what never belongs in a mesa. Counts the scripts dropped.
// The pieces of CSS the browser dropped, quoted for the agent.
function citarIlegibles(malas) {
  const citadas = malas.slice(0, 3).map((s) => `«${recortar(s.replace(/\s+/g, " "), 80)}»`);
  return citadas.join(", ") + (malas.length > 3 ? ` y ${plural(malas.length - 3, "trozo más", "trozos más")}` : "");
}

function prepararFragmento(vista, html) {
  const fragmento = vista.fragmento(html);
  const estilos = [...fragmento.querySelectorAll("style")];
  const css = estilos.map((s) => s.textContent).join("\n");
  for (const s of estilos) s.remove();
  const scripts = quitarPeligrosos(fragmento);
  return { fragmento, css, scripts };
}

// ---------------------------------------------------------------- tools

function verTarvel(editor) {
  const doc = editor.doc;
  const pagina = editor.pagina();
  const lineas = [];
  lineas.push(`Diseño «${editor.nombre}»${doc.nombreAMano ? " (nombre puesto a mano por el usuario)" : ""}. ` +
    `Página abierta: ${doc.pagina + 1} de ${doc.paginas.length}, «${pagina.nombre}».`);
  if (pagina.mesas.length) {
    lineas.push("Mesas de esta página (en orden; la primera es la portada, index.html al publicar):");
    pagina.mesas.forEach((m, i) => {
      const v = editor.vista(m.id);
      const n = v ? v.body.querySelectorAll("[data-lid]").length : 0;
      const extra = [`en (${Math.round(m.x)}, ${Math.round(m.y)})`, n ? plural(n, "elemento", "elementos") : "vacía"];
      if (m.animaciones.length) extra.push(plural(m.animaciones.length, "animación", "animaciones"));
      lineas.push(`- ${describirMesa(editor, m)}, ${extra.join(", ")}${i === 0 ? " ← portada" : ""}`);
    });
  } else {
    lineas.push("Esta página no tiene mesas: crea una con crear_mesa.");
  }
  const otras = doc.paginas.map((p, i) => ({ p, i })).filter(({ i }) => i !== doc.pagina);
  if (otras.length) lineas.push(`Otras páginas del archivo: ${otras.map(({ p, i }) => `${i} «${p.nombre}» (${plural(p.mesas.length, "mesa", "mesas")})`).join(", ")}.`);

  const sel = editor.seleccion;
  if (sel && sel.lid && editor.elementoSeleccionado()) {
    lineas.push(`Selección del usuario: ${resumenElemento(editor.elementoSeleccionado())} en ${nombreMesa(editor.mesa(sel.mesa))}.`);
  } else if (sel && editor.mesa(sel.mesa)) {
    lineas.push(`Selección del usuario: la mesa entera ${nombreMesa(editor.mesa(sel.mesa))}.`);
  } else {
    lineas.push("El usuario no tiene nada seleccionado.");
  }
  if (editor.zona) {
    const z = editor.zona;
    const dentro = editor.elementosEnZona();
    const contiene = dentro.length ? null : editor.elementoQueContieneZona();
    const cubre = dentro.length ? `dentro: ${dentro.map(resumenElemento).join("; ")}`
      : contiene ? `no cubre ningún elemento entero; está dentro de ${resumenElemento(contiene)}` : "no cubre ningún elemento entero";
    lineas.push(`Zona recuadrada por el usuario en ${nombreMesa(editor.mesa(z.mesa))}: x ${Math.round(z.x)}, y ${Math.round(z.y)}, ` +
      `${Math.round(z.w)} × ${Math.round(z.h)} px; ${cubre}.`);
  }
  if (doc.variables.length) {
    lineas.push(`Variables (úsalas como var(--nombre)): ${doc.variables.map((v) => `--${v.nombre}: ${v.valor}${v.oscuro ? ` (oscuro: ${v.oscuro})` : ""}`).join("; ")}.`);
  } else {
    lineas.push("El archivo aún no tiene variables (créalas con variables).");
  }
  if (doc.recursos.length) {
    lineas.push(`Recursos del cliente (imágenes suyas; úsalas con src="recurso:NOMBRE"): ${doc.recursos.map((r) => r.nombre).join(", ")}.`);
  } else {
    lineas.push("El cliente no ha subido imágenes propias. Para el logo de una marca usa src=\"logo:marca\"; para fotos, buscar_fotos.");
  }
  if (editor.fuentes.length) {
    const familias = [...new Set(editor.fuentes.map((f) => f.familia))];
    lineas.push(`Fuentes del cliente (ya cargadas; úsalas por su nombre en font-family): ${familias.join(", ")}.`);
  }
  const trabajo = mesaDeTrabajo(editor);
  if (trabajo) lineas.push(`Mesa en la que trabajas si no dices otra: ${nombreMesa(trabajo)}.`);
  return bien(lineas.join("\n"));
}

function animacionesDe(mesa, dentroDe) {
  const lids = dentroDe ? new Set([dentroDe, ...[...dentroDe.querySelectorAll("[data-lid]")]].map((e) => e.getAttribute("data-lid"))) : null;
  return mesa.animaciones.filter((a) => !lids || lids.has(a.lid))
    .map((a) => `${a.lid} ${a.tipo} (${a.disparo === "scroll" ? "al hacer scroll" : "al abrirse"}, ${a.duracion} ms${a.retraso ? `, retraso ${a.retraso} ms` : ""})`);
}

function leer(editor, args) {
  let id = textoOpcional(args, "id");
  if (!id) {
    const sel = editor.seleccion;
    if (sel) id = sel.lid && editor.elementoSeleccionado() ? sel.lid : sel.mesa;
    else {
      const mesa = mesaDeTrabajo(editor);
      if (!mesa) fallar("No hay ninguna mesa que leer: crea una con crear_mesa.");
      id = mesa.id;
    }
  }
  const { mesa, vista, elemento } = encontrar(editor, id);
  const hoja = mesa.css.trim() ? mesa.css : "(vacía)";
  const partes = [];
  if (elemento) {
    const copia = elemento.cloneNode(true);
    const caja = vista.doc.createElement("div");
    caja.append(copia);
    limpiarCopia(caja);
    partes.push(`Elemento ${elemento.getAttribute("data-lid")} ${etiqueta(elemento)} de la mesa ${nombreMesa(mesa)}.`, "", "HTML:", caja.innerHTML);
    const anim = animacionesDe(mesa, elemento);
    if (anim.length) partes.push("", `Animaciones: ${anim.join("; ")}.`);
    partes.push("", `CSS de la mesa ${mesa.id}:`, hoja);
  } else {
    editor.mesaTrabajo = mesa.id;
    partes.push(`Mesa ${describirMesa(editor, mesa)}.`, "", `CSS de la mesa ${mesa.id}:`, hoja, "", "HTML:", mesa.html.trim() ? mesa.html : "(vacía: escribe en ella con escribir y modo dentro)");
    const anim = animacionesDe(mesa, null);
    if (anim.length) partes.push("", `Animaciones: ${anim.join("; ")}.`);
  }
  if (editor.doc.variables.length) partes.push("", `Variables del archivo: ${editor.doc.variables.map((v) => `--${v.nombre}: ${v.valor}`).join("; ")}.`);
  return bien(partes.join("\n"));
}

function captura(editor, args) {
  const id = textoOpcional(args, "id");
  let mesa;
  let elemento = null;
  if (id) ({ mesa, elemento } = encontrar(editor, id));
  else {
    mesa = mesaDeTrabajo(editor);
    if (!mesa) return mal("No hay ninguna mesa que fotografiar: crea una con crear_mesa.");
  }
  const html = editor.fragmento(mesa, "captura");
  if (!elemento) return { html, w: mesa.ancho, h: editor.altoDe(mesa) };
  const r = editor.vista(mesa.id).rect(elemento);
  const w = Math.max(1, Math.ceil(r.w));
  const h = Math.max(1, Math.ceil(r.h));
  // The whole mesa, moved so that the element sits at the picture's corner:
  // it keeps the look its surroundings give it.
  const estilo = html.startsWith("<style>") ? html.slice(0, html.indexOf("</style>") + 8) : "";
  const cuerpo = html.slice(estilo.length);
  return {
    html: `${estilo}<div style="width:${mesa.ancho}px;translate:${-Math.round(r.x)}px ${-Math.round(r.y)}px">${cuerpo}</div>`,
    w,
    h,
  };
}

function escribir(editor, args) {
  const id = texto(args, "id", FALTA_ID);
  const modo = args.modo;
  if (typeof modo !== "string" || !modo) fallar("Falta «modo»: manda reemplazar, dentro, despues o antes.");
  if (!MODOS.includes(modo)) fallar(`«modo» tiene que ser reemplazar, dentro, despues o antes; has mandado «${modo}».`);
  if (typeof args.html !== "string") fallar("Falta «html»: manda el fragmento HTML que quieres escribir (puede empezar por un <style>).");
  if (!args.html.trim()) fallar("«html» está vacío: manda el HTML que quieres escribir (para quitar un elemento usa borrar).");
  const { mesa, vista, elemento } = encontrar(editor, id);
  if (elemento && modo === "dentro" && VACIOS.has(elemento.localName)) fallar(`${id} es un ${etiqueta(elemento)}: no puede tener nada dentro. Usa despues o antes.`);

  return editor.cambiar(() => {
    const { fragmento, css, scripts } = prepararFragmento(vista, args.html);
    const usados = editor.lidsEnUso();
    // Ids of what is replaced may be used again by the new HTML.
    if (modo === "reemplazar") {
      const fuera = elemento ? [elemento, ...elemento.querySelectorAll("[data-lid]")] : [...vista.body.querySelectorAll("[data-lid]")];
      for (const e of fuera) usados.delete(e.getAttribute("data-lid"));
    }
    const nuevos = editor.asignarLids(fragmento, usados);
    const raices = [...fragmento.children];
    const importados = vista.doc.importNode(fragmento, true);
    if (elemento) {
      if (modo === "reemplazar") elemento.replaceWith(importados);
      else if (modo === "dentro") elemento.append(importados);
      else if (modo === "antes") elemento.before(importados);
      else elemento.after(importados);
    } else if (modo === "reemplazar") vista.body.replaceChildren(importados);
    else if (modo === "antes") vista.body.prepend(importados);
    else vista.body.append(importados);
    const todos = [...raices.flatMap((r) => [r, ...r.querySelectorAll("[data-lid]")])].map((e) => e.getAttribute("data-lid"));
    let reglas = 0;
    const { buenas, malas } = leerHoja(editor.taller, css);
    if (buenas.length) {
      mesa.css = sumarHoja(mesa.css, buenas.join("\n"));
      reglas = buenas.length;
    }
    editor.tocar(mesa.id);
    editor.mesaTrabajo = mesa.id;
    const donde = elemento
      ? { reemplazar: `en lugar de ${id}`, dentro: `dentro de ${id}`, antes: `antes de ${id}`, despues: `después de ${id}` }[modo]
      : { reemplazar: "como todo su contenido", dentro: "al final", antes: "al principio", despues: "al final" }[modo];
    const lineas = [`Escrito en la mesa ${nombreMesa(mesa)}, ${donde}: ${plural(raices.length, "elemento", "elementos")} de primer nivel` +
      (raices.length ? ` (${raices.map((r) => `${r.getAttribute("data-lid")} ${etiqueta(r)}`).join(", ")})` : "") + `, ${todos.length} en total.`];
    if (todos.length) lineas.push(`data-lid: ${listaLids(raices.flatMap((r) => [r, ...r.querySelectorAll("[data-lid]")]))}.`);
    if (nuevos.length < todos.length) lineas.push(`Se han mantenido ${todos.length - nuevos.length} data-lid que ya traía el HTML.`);
    if (buenas.length) lineas.push(`CSS sumado a la hoja de la mesa: ${plural(reglas, "regla", "reglas")}.`);
    if (malas.length) lineas.push(`No he sumado este CSS del <style>, que el navegador no puede leer: ${citarIlegibles(malas)}. Revisa que cada llave, comilla y comentario se cierre.`);
    if (scripts) lineas.push(`He quitado ${plural(scripts, "<script>", "<script>")}: en el tarvel no se ejecuta código. Para el movimiento usa animar.`);
    return bien(lineas.join("\n"));
  });
}

function estilo(editor, args) {
  const id = texto(args, "id", FALTA_LID);
  if (typeof args.css !== "string" || !args.css.trim()) fallar("Falta «css»: manda declaraciones como «font-size: 64px; color: #111».");
  const { mesa, elemento } = encontrarElemento(editor, id,
    `estilo cambia un elemento. Para la mesa entera usa css con mesa=${id} (p. ej. «body { background: #111 }»).`);
  const { buenas, malas } = declaraciones(args.css);
  const validas = buenas.filter((d) => d.valor === "" || declaracionValida(editor.taller, d.propiedad, d.valor));
  const rechazadas = [...malas, ...buenas.filter((d) => !validas.includes(d)).map((d) => `${d.propiedad}: ${d.valor}`)];
  if (!validas.length) fallar(`Ninguna declaración es válida (${rechazadas.join("; ")}). Manda CSS como «font-size: 64px; color: #111».`);
  return editor.cambiar(() => {
    for (const d of validas) {
      if (d.valor === "") elemento.style.removeProperty(d.propiedad);
      else elemento.style.setProperty(d.propiedad, d.valor, d.importante ? "important" : "");
    }
    if (elemento.getAttribute("style") === "") elemento.removeAttribute("style");
    editor.tocar(mesa.id);
    editor.mesaTrabajo = mesa.id;
    const lineas = [`Estilos de ${id} ${etiqueta(elemento)} cambiados: ${textoDeclaraciones(validas)}.`,
      `Ahora su style es: ${elemento.getAttribute("style") || "(ninguno)"}`];
    if (rechazadas.length) lineas.push(`No se han aplicado por no ser CSS válido: ${rechazadas.join("; ")}.`);
    return bien(lineas.join("\n"));
  });
}

function cambiarTexto(editor, args) {
  const id = texto(args, "id", FALTA_LID);
  if (typeof args.texto !== "string") fallar("Falta «texto»: manda el texto nuevo del elemento.");
  const { mesa, elemento } = encontrarElemento(editor, id, "texto cambia el texto de un elemento; usa el data-lid de ese elemento.");
  if (VACIOS.has(elemento.localName)) {
    fallar(`${id} es un ${etiqueta(elemento)}: no tiene texto. Para cambiarlo usa escribir con modo reemplazar` +
      (elemento.localName === "img" ? " (o pon otro src y alt)." : "."));
  }
  return editor.cambiar(() => {
    const hijos = elemento.querySelectorAll("[data-lid]").length;
    elemento.textContent = args.texto;
    editor.tocar(mesa.id);
    editor.mesaTrabajo = mesa.id;
    return bien(`Texto de ${id} ${etiqueta(elemento)} cambiado a «${recortar(args.texto, 120)}».` +
      (hijos ? ` Tenía ${plural(hijos, "elemento", "elementos")} dentro, que se han quitado; si querías conservarlos, usa escribir con modo reemplazar.` : ""));
  });
}

function borrar(editor, args) {
  const id = texto(args, "id", FALTA_LID);
  const { mesa, elemento } = encontrarElemento(editor, id, "para borrar una mesa usa mesas con accion «borrar».");
  return editor.cambiar(() => {
    const cuantos = elemento.querySelectorAll("[data-lid]").length;
    const desc = etiqueta(elemento);
    elemento.remove();
    editor.tocar(mesa.id);
    editor.mesaTrabajo = mesa.id;
    return bien(`Borrado ${id} ${desc}${cuantos ? ` con ${plural(cuantos, "elemento", "elementos")} dentro` : ""} de la mesa ${nombreMesa(mesa)}. ` +
      "El usuario puede deshacerlo con Ctrl+Z.");
  });
}

function css(editor, args) {
  const id = texto(args, "mesa", "Falta «mesa»: manda el id de la mesa (p. ej. m1); los ves con ver_tarvel.");
  if (typeof args.css !== "string") fallar("Falta «css»: manda las reglas CSS que quieres sumar a la hoja de la mesa.");
  const reemplazar = args.reemplazar === undefined ? false : booleano(args.reemplazar);
  if (reemplazar === null) fallar("«reemplazar» tiene que ser true o false.");
  if (!reemplazar && !args.css.trim()) fallar("«css» está vacío: manda reglas, o reemplazar=true para vaciar la hoja.");
  const mesa = encontrarMesa(editor, id);
  // A piece the browser drops would leave the mesa unstyled without a word
  // (an unclosed block swallows every rule after it): nothing is changed
  // and the agent is told what to mend.
  const { buenas, malas } = leerHoja(editor.taller, args.css);
  if (malas.length) {
    fallar(`El navegador no puede leer este CSS y la hoja de la mesa ${nombreMesa(mesa)} no ha cambiado: ${citarIlegibles(malas)}. ` +
      "Revisa que cada llave, comilla y comentario se cierre, y vuelve a mandarlo.");
  }
  return editor.cambiar(() => {
    mesa.css = reemplazar ? args.css.trim() : sumarHoja(mesa.css, args.css);
    editor.mesaTrabajo = mesa.id;
    const nuevas = buenas.length;
    const total = contarReglas(editor.taller, mesa.css);
    return bien(reemplazar
      ? `Hoja de la mesa ${nombreMesa(mesa)} sustituida: ahora tiene ${plural(total, "regla", "reglas")}.`
      : `CSS sumado a la hoja de la mesa ${nombreMesa(mesa)}: ${plural(nuevas, "regla nueva", "reglas nuevas")}; la hoja tiene ${plural(total, "regla", "reglas")}.`);
  });
}

function derechaDeTodo(pagina) {
  let x = 0;
  let y = null;
  for (const m of pagina.mesas) {
    x = Math.max(x, m.x + m.ancho + SEPARACION);
    y = y === null ? m.y : Math.min(y, m.y);
  }
  return { x: pagina.mesas.length ? x : 0, y: y ?? 0 };
}

function medidas(args, ancho, alto) {
  if (ancho !== null && (ancho < ANCHO_MIN || ancho > ANCHO_MAX)) fallar(`«ancho» tiene que estar entre ${ANCHO_MIN} y ${ANCHO_MAX} px; has mandado ${ancho}.`);
  if (alto !== null && (alto < ALTO_MIN || alto > ALTO_MAX)) fallar(`«alto» tiene que estar entre ${ALTO_MIN} y ${ALTO_MAX} px; has mandado ${alto}.`);
}

function crearMesaHerramienta(editor, args) {
  const nombre = nombreCorto(texto(args, "nombre", "Falta «nombre»: manda el nombre de la mesa nueva (p. ej. «Inicio» o «Contacto»)."), "nombre");
  if (args.ancho === undefined || args.ancho === null) fallar("Falta «ancho»: manda el ancho en px (p. ej. 1440 para una web, 390 para un móvil).");
  const ancho = numeroOpcional(args, "ancho", "el ancho en px, p. ej. 1440");
  const alto = numeroOpcional(args, "alto", "el alto en px, o quítalo y manda web=true para alto automático");
  const web = args.web === undefined ? null : booleano(args.web);
  if (args.web !== undefined && web === null) fallar("«web» tiene que ser true (alto automático) o false.");
  medidas(args, ancho, alto);
  const auto = web === true || (web === null && alto === null);
  return editor.cambiar(() => {
    const pagina = editor.pagina();
    const { x, y } = derechaDeTodo(pagina);
    const mesa = crearMesa(editor.doc, { nombre, ancho, alto: alto ?? 900, auto, x, y });
    pagina.mesas.push(mesa);
    fijarPortada(pagina);
    editor.mesaTrabajo = mesa.id;
    // Placed right of the others, it would often be out of view.
    editor.mostrarMesa(mesa);
    return bien(`Mesa creada: ${mesa.id} «${nombre}», ${mesa.ancho} × ${auto ? `alto automático (mínimo ${mesa.alto})` : mesa.alto}, ` +
      `a la derecha de las demás. Escribe en ella con escribir id=${mesa.id} modo=dentro, una sección cada vez.` +
      (pagina.mesas.length === 1 ? " Es la portada de la página." : ""));
  });
}

function terminar(editor) {
  const habia = Boolean(editor.foco || editor.agenteExterno);
  editor.terminarAgente();
  return bien(habia
    ? "Hecho: he quitado el indicador de «agente trabajando». El usuario ya ve el resultado."
    : "Hecho: no había indicador de «agente trabajando» que quitar.");
}

// Gives every element under `raiz` a new data-lid; answers old id → new id.
function renovarLids(editor, raiz) {
  const elementos = [...(raiz.nodeType === Node.ELEMENT_NODE ? [raiz] : []), ...raiz.querySelectorAll("[data-lid]")];
  const antes = new Map(elementos.map((e) => [e, e.getAttribute("data-lid")]));
  for (const e of elementos) e.removeAttribute("data-lid");
  editor.asignarLids(raiz, editor.lidsEnUso());
  const mapa = new Map();
  for (const [e, viejo] of antes) mapa.set(viejo, e.getAttribute("data-lid"));
  return mapa;
}

function duplicar(editor, args) {
  const id = texto(args, "id", FALTA_ID);
  const { mesa, vista, elemento } = encontrar(editor, id);
  if (elemento) {
    return editor.cambiar(() => {
      const copia = elemento.cloneNode(true);
      limpiarCopia(copia);
      const mapa = renovarLids(editor, copia);
      const nuevos = [copia, ...copia.querySelectorAll("[data-lid]")].map((e) => e.getAttribute("data-lid"));
      for (const a of [...mesa.animaciones]) if (mapa.has(a.lid)) mesa.animaciones.push({ ...a, lid: mapa.get(a.lid) });
      elemento.after(copia);
      editor.tocar(mesa.id);
      editor.mesaTrabajo = mesa.id;
      return bien(`Duplicado: ${copia.getAttribute("data-lid")} (copia de ${id} ${etiqueta(elemento)}, justo detrás).` +
        (nuevos.length > 1 ? ` Sus elementos tienen data-lid nuevos: ${nuevos.slice(1, 40).join(", ")}${nuevos.length > 41 ? "…" : ""}.` : ""));
    });
  }
  return editor.cambiar(() => {
    const { pagina } = editor.paginaDe(mesa.id);
    const nueva = copiaProfunda(mesa);
    nueva.id = nuevoId(editor.doc, "m");
    nueva.nombre = `${mesa.nombre} (copia)`;
    // Fresh data-lids for the copy, parsed in the original's document.
    const fragmento = vista.fragmento(mesa.html);
    const mapa = renovarLids(editor, fragmento);
    const caja = vista.doc.createElement("div");
    caja.append(fragmento);
    nueva.html = caja.innerHTML;
    nueva.animaciones = mesa.animaciones.filter((a) => mapa.has(a.lid)).map((a) => ({ ...a, lid: mapa.get(a.lid) }));
    // Beside the original: what stands to its right on the same row moves along.
    nueva.x = mesa.x + mesa.ancho + SEPARACION;
    nueva.y = mesa.y;
    const alto = editor.altoDe(mesa);
    for (const m of pagina.mesas) {
      if (m !== mesa && m.x >= mesa.x + mesa.ancho && m.y < mesa.y + alto && m.y + editor.altoDe(m) > mesa.y) m.x += mesa.ancho + SEPARACION;
    }
    pagina.mesas.splice(pagina.mesas.indexOf(mesa) + 1, 0, nueva);
    editor.mesaTrabajo = nueva.id;
    return bien(`Mesa duplicada: ${nueva.id} «${nueva.nombre}», al lado de ${mesa.id}. Sus elementos tienen data-lid nuevos.`);
  });
}

function mover(editor, args) {
  const id = texto(args, "id", "Falta «id»: manda el data-lid del elemento que quieres mover.");
  const destino = texto(args, "destino", "Falta «destino»: manda el data-lid del elemento de referencia (o el id de una mesa).");
  const como = args.como;
  if (typeof como !== "string" || !como) fallar("Falta «como»: manda dentro, antes o despues.");
  if (!COMOS.includes(como)) fallar(`«como» tiene que ser dentro, antes o despues; has mandado «${como}».`);
  const origen = encontrarElemento(editor, id, "para mover una mesa por el escritorio usa mesas con accion «mover».");
  const ref = encontrar(editor, destino);
  if (id === destino) fallar("«id» y «destino» son el mismo elemento: manda otro destino.");
  if (ref.elemento && origen.elemento.contains(ref.elemento)) fallar(`${destino} está dentro de ${id}: no se puede mover un elemento dentro de sí mismo.`);
  if (ref.elemento && como === "dentro" && VACIOS.has(ref.elemento.localName)) fallar(`${destino} es un ${etiqueta(ref.elemento)}: no puede tener nada dentro. Usa antes o despues.`);
  return editor.cambiar(() => {
    let nodo = origen.elemento;
    if (ref.vista !== origen.vista) {
      // To another mesa: the element and its effects go together.
      const lids = new Set([nodo, ...nodo.querySelectorAll("[data-lid]")].map((e) => e.getAttribute("data-lid")));
      const copia = nodo.cloneNode(true);
      limpiarCopia(copia);
      ref.mesa.animaciones.push(...origen.mesa.animaciones.filter((a) => lids.has(a.lid)));
      origen.mesa.animaciones = origen.mesa.animaciones.filter((a) => !lids.has(a.lid));
      nodo.remove();
      nodo = ref.vista.doc.importNode(copia, true);
    }
    if (ref.elemento) {
      if (como === "dentro") ref.elemento.append(nodo);
      else if (como === "antes") ref.elemento.before(nodo);
      else ref.elemento.after(nodo);
    } else if (como === "antes") ref.vista.body.prepend(nodo);
    else ref.vista.body.append(nodo);
    editor.tocar(origen.mesa.id);
    editor.tocar(ref.mesa.id);
    editor.mesaTrabajo = ref.mesa.id;
    const donde = { dentro: "dentro de", antes: "antes de", despues: "después de" }[como];
    return bien(`Movido ${id} ${etiqueta(origen.elemento)} ${ref.elemento ? `${donde} ${destino}` : `${como === "antes" ? "al principio" : "al final"} de la mesa ${nombreMesa(ref.mesa)}`}` +
      (ref.mesa !== origen.mesa ? ` (ahora está en la mesa ${nombreMesa(ref.mesa)})` : "") + ".");
  });
}

function codigo(editor, args) {
  const id = texto(args, "id", FALTA_ID);
  const formato = args.formato === undefined || args.formato === null || args.formato === "" ? "html" : args.formato;
  if (!FORMATOS.includes(formato)) fallar(`«formato» tiene que ser html, react o tailwind; has mandado «${formato}».`);
  const { mesa, vista, elemento } = encontrar(editor, id);
  return bien(codigoDe({ editor, mesa, vista, elemento, formato }));
}

function nombrar(editor, args) {
  const nombre = texto(args, "nombre", "Falta «nombre»: manda el nombre del diseño, corto (2-4 palabras), p. ej. «Asador Bilbao».");
  if (demasiadoLargo(nombre)) fallar(`«nombre» es demasiado largo: usa 2-4 palabras (como mucho ${LARGO_NOMBRE} letras).`);
  if (editor.doc.nombreAMano) return bien(`El usuario le puso nombre a mano («${editor.nombre}»): se queda así.`);
  if (nombre === editor.nombre) return bien(`El diseño ya se llama «${nombre}».`);
  editor.renombrar(nombre, false);
  return bien(`Diseño renombrado: «${nombre}».`);
}

function variables(editor, args) {
  const lista = args.variables;
  const doc = editor.doc;
  const listar = () => doc.variables.map((v) => `--${v.nombre}: ${v.valor}${v.oscuro ? ` (oscuro: ${v.oscuro})` : ""}`).join("\n");
  if (lista === undefined || lista === null || (Array.isArray(lista) && !lista.length)) {
    return bien(doc.variables.length
      ? `Variables del archivo (úsalas en CSS como var(--nombre)):\n${listar()}`
      : "El archivo aún no tiene variables. Créalas con variables=[{\"nombre\": \"color-marca\", \"valor\": \"#2f5bff\", \"oscuro\": \"#8aa4ff\"}].");
  }
  const ejemplo = "p. ej. [{\"nombre\": \"color-marca\", \"valor\": \"#2f5bff\"}]";
  if (!Array.isArray(lista)) fallar(`«variables» tiene que ser una lista de {nombre, valor, oscuro?}, ${ejemplo}.`);
  const cambios = lista.map((v, i) => {
    if (!esObjeto(v)) fallar(`El elemento ${i} de «variables» no es un objeto {nombre, valor, oscuro?}; ${ejemplo}.`);
    if (typeof v.nombre !== "string" || !v.nombre.trim()) fallar(`Falta «nombre» en el elemento ${i} de «variables»: ${ejemplo}.`);
    const nombre = v.nombre.trim().replace(/^--/, "");
    if (demasiadoLargo(nombre)) fallar(`El nombre de la variable ${i} es demasiado largo: usa pocas palabras (como mucho ${LARGO_NOMBRE} letras).`);
    if (!/^[A-Za-z_][\w-]*$/.test(nombre)) fallar(`«${v.nombre}» no vale como nombre de variable: usa letras, números y guiones, p. ej. color-marca.`);
    if (v.valor !== undefined && typeof v.valor !== "string" && typeof v.valor !== "number") fallar(`«valor» de ${nombre} tiene que ser un texto (vacío para borrarla).`);
    if (v.oscuro !== undefined && v.oscuro !== null && typeof v.oscuro !== "string") fallar(`«oscuro» de ${nombre} tiene que ser un texto.`);
    const valor = v.valor === undefined ? null : String(v.valor).trim();
    if (/[{};]/.test(valor || "") || /[{};]/.test(v.oscuro || "")) fallar(`El valor de ${nombre} no puede llevar «{», «}» ni «;».`);
    return { nombre, valor, oscuro: typeof v.oscuro === "string" ? v.oscuro.trim() : undefined };
  });
  const existiran = new Set(doc.variables.map((v) => v.nombre));
  for (const c of cambios) {
    if (c.valor === "") existiran.delete(c.nombre);
    else if (c.valor === null && !existiran.has(c.nombre)) fallar(`Falta «valor» para --${c.nombre}, que aún no existe.`);
    else existiran.add(c.nombre);
  }
  return editor.cambiar(() => {
    const hechos = [];
    for (const c of cambios) {
      const i = doc.variables.findIndex((v) => v.nombre === c.nombre);
      if (c.valor === "") {
        if (i >= 0) doc.variables.splice(i, 1);
        hechos.push(`--${c.nombre} borrada`);
        continue;
      }
      const actual = i >= 0 ? doc.variables[i] : { nombre: c.nombre, valor: "" };
      if (c.valor !== null) actual.valor = c.valor;
      if (c.oscuro !== undefined) {
        if (c.oscuro) actual.oscuro = c.oscuro;
        else delete actual.oscuro;
      }
      if (i < 0) doc.variables.push(actual);
      hechos.push(`--${c.nombre}: ${actual.valor}${actual.oscuro ? ` (oscuro: ${actual.oscuro})` : ""}`);
    }
    return bien(`Variables cambiadas: ${hechos.join("; ")}.\nAhora el archivo tiene ${plural(doc.variables.length, "variable", "variables")}` +
      (doc.variables.length ? `:\n${listar()}` : "."));
  });
}

function paginas(editor, args) {
  const doc = editor.doc;
  const crear = textoOpcional(args, "crear");
  if (crear !== null) nombreCorto(crear, "crear");
  const abrir = numeroOpcional(args, "abrir", "el índice de la página, desde 0");
  if (crear !== null && abrir !== null) fallar("Manda «crear» o «abrir», no los dos.");
  if (crear !== null) {
    return editor.cambiar(() => {
      const pagina = crearPagina(doc, crear);
      doc.paginas.push(pagina);
      editor.abrirPagina(doc.paginas.length - 1);
      return bien(`Página creada y abierta: ${doc.paginas.length - 1} «${crear}». Aún no tiene mesas: crea una con crear_mesa.`);
    });
  }
  if (abrir !== null) {
    if (!Number.isInteger(abrir) || abrir < 0 || abrir >= doc.paginas.length) {
      fallar(`«abrir» tiene que ser el índice de una página, de 0 a ${doc.paginas.length - 1}; has mandado ${abrir}.`);
    }
    editor.abrirPagina(abrir);
    const p = doc.paginas[abrir];
    return bien(`Página abierta: ${abrir} «${p.nombre}», con ${plural(p.mesas.length, "mesa", "mesas")}` +
      (p.mesas.length ? `: ${p.mesas.map(nombreMesa).join(", ")}.` : ". Crea una con crear_mesa."));
  }
  return bien(`Páginas del archivo:\n${doc.paginas.map((p, i) => `${i}. «${p.nombre}» (${plural(p.mesas.length, "mesa", "mesas")})${i === doc.pagina ? " ← abierta" : ""}`).join("\n")}`);
}

// Elements that enter one after another when the whole page is animated:
// in each top-level section, its headings, texts, pictures and buttons.
function objetivosDeSeccion(seccion) {
  const candidatos = [...seccion.querySelectorAll("h1,h2,h3,h4,h5,h6,p,img,picture,video,svg,figure,blockquote,li,button,a,form,table")]
    .filter((e) => e.hasAttribute("data-lid"));
  const elegidos = [];
  for (const e of candidatos) {
    if (elegidos.some((x) => x.contains(e))) continue;
    elegidos.push(e);
    if (elegidos.length >= 16) break;
  }
  return elegidos.length ? elegidos : [seccion];
}

function animar(editor, args) {
  const id = texto(args, "id", "Falta «id»: manda el data-lid del elemento, o «todo» para animar la página entera.");
  const tipo = args.tipo === undefined || args.tipo === null || args.tipo === "" ? "subir" : args.tipo;
  if (tipo !== "quitar" && !TIPOS.includes(tipo)) fallar(`«tipo» tiene que ser uno de: ${TIPOS.join(", ")} o quitar; has mandado «${tipo}».`);
  const disparo = args.disparo === undefined || args.disparo === null || args.disparo === "" ? null : args.disparo;
  if (disparo !== null && !DISPAROS.includes(disparo)) fallar(`«disparo» tiene que ser carga o scroll; has mandado «${disparo}».`);
  const retraso = numeroOpcional(args, "retraso", "milisegundos");
  const duracion = numeroOpcional(args, "duracion", "milisegundos");
  const rebote = numeroOpcional(args, "rebote", "de 0 a 100");
  if (retraso !== null && (retraso < 0 || retraso > 60000)) fallar("«retraso» tiene que estar entre 0 y 60000 ms.");
  if (duracion !== null && (duracion < 50 || duracion > 120000)) fallar("«duracion» tiene que estar entre 50 y 120000 ms.");
  if (rebote !== null && (rebote < 0 || rebote > 100)) fallar("«rebote» tiene que estar entre 0 y 100.");

  const entrada = (lid, extra = {}) => normalizarAnimacion({
    lid, tipo, retraso: retraso ?? 0, duracion: duracion ?? duracionPorDefecto(tipo),
    ...(rebote !== null ? { rebote } : {}), disparo: disparo ?? "carga", ...extra,
  });

  if (id === "todo") {
    const mesa = mesaDeTrabajo(editor);
    if (!mesa) fallar("No hay ninguna mesa que animar: crea una con crear_mesa.");
    const vista = editor.vista(mesa.id);
    return editor.cambiar(() => {
      if (tipo === "quitar") {
        const n = mesa.animaciones.length;
        mesa.animaciones = [];
        return bien(`Quitadas ${plural(n, "animación", "animaciones")} de la mesa ${nombreMesa(mesa)}.`);
      }
      const secciones = [...vista.body.children].filter((e) => e.hasAttribute("data-lid"));
      if (!secciones.length) fallar(`La mesa ${nombreMesa(mesa)} está vacía: escribe algo antes de animarla.`);
      const nuevas = [];
      secciones.forEach((seccion, s) => {
        objetivosDeSeccion(seccion).forEach((e, i) => {
          nuevas.push(entrada(e.getAttribute("data-lid"), {
            retraso: (retraso ?? 0) + i * 90,
            disparo: disparo ?? (s === 0 ? "carga" : "scroll"),
          }));
        });
      });
      const lids = new Set(nuevas.map((a) => a.lid));
      mesa.animaciones = [...mesa.animaciones.filter((a) => !lids.has(a.lid)), ...nuevas];
      editor.mesaTrabajo = mesa.id;
      return bien(`Página animada: ${plural(nuevas.length, "elemento entra", "elementos entran")} con «${tipo}» (${NOMBRES[tipo]}), ` +
        `escalonados cada 90 ms en ${plural(secciones.length, "sección", "secciones")} de la mesa ${nombreMesa(mesa)}` +
        `${disparo ? "" : "; la primera al abrirse la página y las demás al llegar con el scroll"}. Se ve en el tarvel y sale en la web y en el vídeo.`);
    });
  }

  const { mesa, elemento } = encontrarElemento(editor, id, "anima sus elementos (data-lid), o manda id=«todo» para la página entera.");
  const lid = elemento.getAttribute("data-lid");
  if (tipo === "contador" && !/\d/.test(elemento.textContent)) fallar(`${lid} no tiene ningún número en su texto: «contador» cuenta hasta la cifra que haya (p. ej. «1.250 clientes»).`);
  return editor.cambiar(() => {
    const antes = mesa.animaciones.length;
    mesa.animaciones = mesa.animaciones.filter((a) => a.lid !== lid);
    editor.mesaTrabajo = mesa.id;
    if (tipo === "quitar") {
      return bien(antes !== mesa.animaciones.length ? `Quitada la animación de ${lid} ${etiqueta(elemento)}.` : `${lid} no tenía animación: no hay nada que quitar.`);
    }
    const a = entrada(lid);
    mesa.animaciones.push(a);
    const cuando = SIN_FIN.has(tipo) ? "sin fin" : a.disparo === "scroll" ? "al llegar con el scroll" : "al abrirse la página";
    return bien(`Animación «${tipo}» (${NOMBRES[tipo]}) en ${lid} ${etiqueta(elemento)}: ${cuando}, ${a.duracion} ms` +
      `${a.retraso ? `, retraso ${a.retraso} ms` : ""}${a.rebote ? `, rebote ${a.rebote}` : ""}. Se ve en el tarvel y sale en la web y en el vídeo.`);
  });
}

function listarMesas(editor) {
  const pagina = editor.pagina();
  if (!pagina.mesas.length) return bien(`La página «${pagina.nombre}» no tiene mesas: crea una con crear_mesa.`);
  const usados = new Set();
  const lineas = pagina.mesas.map((m, i) => {
    let archivo = i === 0 ? "index" : slug(m.nombre) || "pagina";
    if (i > 0 && archivo === "index") archivo = "pagina";
    while (usados.has(archivo)) archivo += "-2";
    usados.add(archivo);
    return `${i + 1}. ${describirMesa(editor, m)} · en (${Math.round(m.x)}, ${Math.round(m.y)}) · ${archivo}.html${i === 0 ? " · portada" : ""}`;
  });
  return bien(`Mesas de la página «${pagina.nombre}» (en orden; la primera es la portada, index.html al publicar):\n${lineas.join("\n")}`);
}

function mesas(editor, args) {
  const accion = args.accion;
  if (typeof accion !== "string" || !accion) fallar("Falta «accion»: manda listar, ordenar, renombrar, mover, tamano, portada o borrar.");
  if (!ACCIONES.includes(accion)) fallar(`«accion» tiene que ser listar, ordenar, renombrar, mover, tamano, portada o borrar; has mandado «${accion}».`);
  if (accion === "listar") return listarMesas(editor);
  if (accion === "ordenar") return ordenarMesas(editor, args);
  const id = texto(args, "id", `Falta «id»: manda el id de la mesa (o su nombre) que quieres ${{ renombrar: "renombrar", mover: "mover", tamano: "cambiar de tamaño", portada: "poner de portada", borrar: "borrar" }[accion]}.`);
  const mesa = encontrarMesa(editor, id);
  const { pagina } = editor.paginaDe(mesa.id);
  switch (accion) {
    case "renombrar": {
      const nombre = nombreCorto(texto(args, "nombre", "Falta «nombre»: manda el nombre nuevo de la mesa."), "nombre");
      return editor.cambiar(() => {
        const viejo = mesa.nombre;
        mesa.nombre = nombre;
        return bien(`Mesa ${mesa.id} renombrada: «${viejo}» → «${nombre}».`);
      });
    }
    case "mover": {
      const x = numeroOpcional(args, "x", "px en el escritorio");
      const y = numeroOpcional(args, "y", "px en el escritorio");
      if (x === null && y === null) fallar("Falta «x» o «y»: manda la posición nueva en px del escritorio.");
      return editor.cambiar(() => {
        if (x !== null) mesa.x = Math.round(x);
        if (y !== null) mesa.y = Math.round(y);
        return bien(`Mesa ${nombreMesa(mesa)} movida a (${mesa.x}, ${mesa.y}).`);
      });
    }
    case "tamano": {
      const ancho = numeroOpcional(args, "ancho", "px");
      let alto = null;
      let auto = null;
      if (args.alto !== undefined && args.alto !== null && args.alto !== "") {
        if (typeof args.alto === "string" && args.alto.trim().toLowerCase() === "auto") auto = true;
        else {
          alto = numero(args.alto);
          if (alto === null) fallar("«alto» tiene que ser un número en px o la palabra \"auto\".");
          auto = false;
        }
      }
      if (ancho === null && auto === null) fallar("Falta «ancho» o «alto»: manda el ancho en px y/o el alto en px o \"auto\".");
      medidas(args, ancho, alto);
      return editor.cambiar(() => {
        if (ancho !== null) mesa.ancho = Math.round(ancho);
        if (alto !== null) mesa.alto = Math.round(alto);
        if (auto !== null) mesa.auto = auto;
        return bien(`Mesa ${nombreMesa(mesa)}: ahora ${mesa.ancho} × ${mesa.auto ? "alto automático" : mesa.alto}.`);
      });
    }
    case "portada":
      return editor.cambiar(() => {
        pagina.mesas.splice(pagina.mesas.indexOf(mesa), 1);
        pagina.mesas.unshift(mesa);
        fijarPortada(pagina);
        return bien(`${nombreMesa(mesa)} es ahora la portada: la primera mesa, index.html al publicar.`);
      });
    case "borrar":
      return editor.cambiar(() => {
        pagina.mesas.splice(pagina.mesas.indexOf(mesa), 1);
        fijarPortada(pagina);
        return bien(`Mesa ${nombreMesa(mesa)} borrada. El usuario puede deshacerlo con Ctrl+Z.` +
          (pagina.mesas.length ? ` La portada es ${nombreMesa(pagina.mesas[0])}.` : " La página se ha quedado sin mesas."));
      });
    default:
      return fallar(`Acción desconocida: ${accion}.`);
  }
}

function ordenarMesas(editor, args) {
  const pagina = editor.pagina();
  const separacion = numeroOpcional(args, "separacion", "px entre mesas") ?? SEPARACION;
  const columnas = numeroOpcional(args, "columnas", "mesas por fila");
  if (columnas !== null && (!Number.isInteger(columnas) || columnas < 1)) fallar("«columnas» tiene que ser un número entero desde 1.");
  if (separacion < 0 || separacion > 5000) fallar("«separacion» tiene que estar entre 0 y 5000 px.");
  const resolver = (ids, donde) => {
    if (!Array.isArray(ids)) fallar(`«${donde}» tiene que ser una lista de ids de mesa.`);
    return ids.map((x) => {
      if (typeof x !== "string") fallar(`«${donde}» tiene que ser una lista de ids de mesa (textos).`);
      const m = editor.mesaPorIdONombre(x);
      if (!m || !pagina.mesas.includes(m)) fallar(`No hay ninguna mesa «${x}» en la página abierta (en «${donde}»).`);
      return m;
    });
  };
  let filas;
  let titulos = [];
  if (args.grupos !== undefined && args.grupos !== null) {
    if (!Array.isArray(args.grupos) || !args.grupos.length) fallar("«grupos» tiene que ser una lista de {titulo, ids}.");
    const usadas = new Set();
    filas = args.grupos.map((g, i) => {
      if (!esObjeto(g)) fallar(`El grupo ${i} no es un objeto {titulo, ids}.`);
      const lista = resolver(g.ids, `grupos[${i}].ids`).filter((m) => !usadas.has(m));
      lista.forEach((m) => usadas.add(m));
      titulos.push(typeof g.titulo === "string" ? nombreCorto(g.titulo.trim(), `grupos[${i}].titulo`) : "");
      return lista;
    });
    const resto = pagina.mesas.filter((m) => !usadas.has(m));
    if (resto.length) { filas.push(resto); titulos.push(""); }
  } else {
    const orden = args.orden !== undefined && args.orden !== null ? resolver(args.orden, "orden") : [];
    const vistas = new Set();
    const lista = [...orden, ...pagina.mesas].filter((m) => (vistas.has(m) ? false : vistas.add(m)));
    const porFila = columnas ?? lista.length;
    filas = [];
    for (let i = 0; i < lista.length; i += porFila) filas.push(lista.slice(i, i + porFila));
    titulos = filas.map(() => "");
  }
  filas = filas.filter((f, i) => f.length || titulos[i]);
  return editor.cambiar(() => {
    const x0 = pagina.mesas.length ? Math.min(...pagina.mesas.map((m) => m.x)) : 0;
    let y = pagina.mesas.length ? Math.min(...pagina.mesas.map((m) => m.y)) : 0;
    const rotulos = [];
    filas.forEach((fila, i) => {
      if (titulos[i]) {
        rotulos.push({ texto: titulos[i], x: x0, y });
        y += 90;
      }
      let x = x0;
      let alto = 0;
      for (const m of fila) {
        m.x = x;
        m.y = y;
        x += m.ancho + separacion;
        alto = Math.max(alto, editor.altoDe(m));
      }
      y += alto + separacion + 40;
    });
    pagina.mesas = filas.flat();
    pagina.rotulos = rotulos;
    fijarPortada(pagina);
    return bien(`Escritorio ordenado en ${plural(filas.length, "fila", "filas")}. Orden de publicación: ` +
      `${pagina.mesas.map(nombreMesa).join(", ")}; la portada es ${nombreMesa(pagina.mesas[0])}.`);
  });
}

function enfocar(editor, args) {
  const id = texto(args, "id", FALTA_ID);
  const nota = textoOpcional(args, "nota") || "";
  const { mesa, elemento } = encontrar(editor, id);
  const lid = elemento ? elemento.getAttribute("data-lid") : null;
  editor.enfocar({ mesa: mesa.id, lid, nota });
  editor.mesaTrabajo = mesa.id;
  return bien(`Señalado ${elemento ? `${lid} ${etiqueta(elemento)} en` : "la mesa"} ${nombreMesa(mesa)} para el usuario` + (nota ? `: «${nota}».` : "."));
}

const TABLA = {
  ver_tarvel: verTarvel,
  leer,
  captura,
  escribir,
  estilo,
  texto: cambiarTexto,
  borrar,
  css,
  crear_mesa: crearMesaHerramienta,
  terminar,
  duplicar,
  mover,
  codigo,
  nombrar,
  variables,
  paginas,
  animar,
  mesas,
  enfocar,
};

export const NOMBRES_HERRAMIENTAS = Object.keys(TABLA);

export async function ejecutar(editor, nombre, args) {
  const herramienta = Object.prototype.hasOwnProperty.call(TABLA, nombre) ? TABLA[nombre] : null;
  if (!herramienta) return mal(`Herramienta desconocida: ${nombre}`);
  if (!editor.doc) return mal("El diseño aún se está abriendo: vuelve a llamar en un momento.");
  const argumentos = esObjeto(args) ? args : {};
  // A tool finds its elements before it changes them: the design's own
  // document must be in place by then, not a preview of an AI answer.
  const ganchos = editor.ganchos || {};
  if (ganchos.antesDeCambiar) ganchos.antesDeCambiar();
  try {
    return herramienta(editor, argumentos);
  } catch (e) {
    if (e instanceof ErrorHerramienta) return mal(e.message);
    throw e;
  } finally {
    if (ganchos.despuesDeCambiar) ganchos.despuesDeCambiar();
  }
}
