// The design document (see FORMATO.md): pages of the file, each with its
// mesas, plus variables, named resources and the counter that gives ids.
// Native code stores it as it is; only this page reads it.

import { normalizarAnimacion } from "./animaciones.js";
import { esObjeto } from "./utiles.js";

export const FORMATO = 1;
export const SEPARACION = 120;
export const ANCHO_MIN = 80;
export const ANCHO_MAX = 6000;
export const ALTO_MIN = 80;
export const ALTO_MAX = 12000;
// Longest name of a page, a mesa or a variable, in characters.
export const LARGO_NOMBRE = 80;

// Whether a name is over the longest allowed, counted in characters (a
// character is one or two code units, so only a head needs splitting).
export const demasiadoLargo = (nombre) => nombre.length > LARGO_NOMBRE && [...nombre.slice(0, 2 * LARGO_NOMBRE + 2)].length > LARGO_NOMBRE;

// A stored name cut to the longest allowed, whole characters only.
const acortar = (nombre) => (demasiadoLargo(nombre) ? [...nombre.slice(0, 2 * LARGO_NOMBRE)].slice(0, LARGO_NOMBRE).join("") : nombre);

const numeroEn = (v, d, min, max) => (typeof v === "number" && Number.isFinite(v) ? Math.min(max, Math.max(min, v)) : d);

export function nuevoId(doc, prefijo) {
  const id = `${prefijo}${doc.siguiente}`;
  doc.siguiente += 1;
  return id;
}

export function crearMesa(doc, { nombre, ancho, alto, auto, x = 0, y = 0 }) {
  return {
    id: nuevoId(doc, "m"),
    nombre,
    x,
    y,
    ancho: Math.round(numeroEn(ancho, 1440, ANCHO_MIN, ANCHO_MAX)),
    alto: Math.round(numeroEn(alto, 900, ALTO_MIN, ALTO_MAX)),
    auto: Boolean(auto),
    html: "",
    css: "",
    animaciones: [],
  };
}

export function crearPagina(doc, nombre) {
  return { id: nuevoId(doc, "p"), nombre, portada: null, mesas: [], rotulos: [] };
}

// A new design from a page-size template {id, nombre, w, h, auto}; without
// one, a web page of 1440 × 900 whose height follows its content.
export function documentoNuevo(plantilla) {
  const doc = { formato: FORMATO, paginas: [], pagina: 0, variables: [], recursos: [], nombreAMano: false, siguiente: 1 };
  const pagina = crearPagina(doc, "Página 1");
  const p = esObjeto(plantilla) ? plantilla : null;
  const ancho = p && typeof p.w === "number" ? p.w : 1440;
  const alto = p && typeof p.h === "number" ? p.h : 900;
  const auto = p ? p.auto === true : true;
  const nombre = p && typeof p.nombre === "string" && p.nombre.trim() ? p.nombre.trim() : "Inicio";
  const mesa = crearMesa(doc, { nombre, ancho, alto, auto });
  pagina.mesas.push(mesa);
  pagina.portada = mesa.id;
  doc.paginas.push(pagina);
  return doc;
}

function mayorNumero(texto, patron, actual) {
  let mayor = actual;
  for (const m of String(texto).matchAll(patron)) mayor = Math.max(mayor, Number(m[1]));
  return mayor;
}

function normalizarMesa(crudo, doc, indice, usados) {
  const m = esObjeto(crudo) ? { ...crudo } : {};
  if (typeof m.id !== "string" || !m.id || usados.has(m.id)) m.id = null;
  m.nombre = typeof m.nombre === "string" && m.nombre.trim() ? acortar(m.nombre) : `Mesa ${indice + 1}`;
  m.ancho = Math.round(numeroEn(m.ancho, 1440, ANCHO_MIN, ANCHO_MAX));
  m.alto = Math.round(numeroEn(m.alto, 900, ALTO_MIN, ALTO_MAX));
  m.auto = m.auto === true;
  m.x = numeroEn(m.x, NaN, -1e6, 1e6);
  m.y = numeroEn(m.y, NaN, -1e6, 1e6);
  m.html = typeof m.html === "string" ? m.html : "";
  m.css = typeof m.css === "string" ? m.css : "";
  m.animaciones = Array.isArray(m.animaciones) ? m.animaciones.map(normalizarAnimacion).filter(Boolean) : [];
  return m;
}

// Reads a stored document, keeping keys it does not know. Missing or
// broken parts get their defaults; the ids of pages and mesas become
// unique; the id counter moves past every id in use. Element data-lids
// are checked when each mesa is first shown.
export function normalizarDocumento(crudo) {
  if (!esObjeto(crudo)) return null;
  const doc = { ...crudo };
  doc.formato = FORMATO;
  let paginas = Array.isArray(doc.paginas) ? doc.paginas : null;
  if (!paginas && Array.isArray(doc.mesas)) {
    paginas = [{ nombre: "Página 1", mesas: doc.mesas }];
    delete doc.mesas;
  }
  if (!paginas) return null;
  doc.variables = Array.isArray(doc.variables)
    ? doc.variables.filter((v) => esObjeto(v) && typeof v.nombre === "string" && typeof v.valor === "string")
      .map((v) => {
        // Keys of a newer page stay; an empty or broken dark value goes.
        const variable = { ...v, nombre: v.nombre.replace(/^--/, "") };
        if (typeof v.oscuro !== "string" || !v.oscuro) delete variable.oscuro;
        return variable;
      })
    : [];
  doc.recursos = Array.isArray(doc.recursos)
    ? doc.recursos.filter((r) => esObjeto(r) && typeof r.nombre === "string" && typeof r.src === "string")
    : [];
  doc.nombreAMano = doc.nombreAMano === true;

  let mayor = 0;
  const todoTexto = JSON.stringify(paginas);
  mayor = mayorNumero(todoTexto, /"id":"[mp](\d+)"/g, mayor);
  mayor = mayorNumero(todoTexto, /data-lid=\\"e(\d+)\\"/g, mayor);
  doc.siguiente = Math.max(typeof doc.siguiente === "number" && Number.isFinite(doc.siguiente) ? Math.floor(doc.siguiente) : 1, mayor + 1);

  const usados = new Set();
  doc.paginas = paginas.filter(esObjeto).map((crudoPagina, i) => {
    const p = { ...crudoPagina };
    if (typeof p.id !== "string" || !p.id || usados.has(p.id)) p.id = nuevoId(doc, "p");
    usados.add(p.id);
    p.nombre = typeof p.nombre === "string" && p.nombre.trim() ? acortar(p.nombre) : `Página ${i + 1}`;
    p.mesas = (Array.isArray(p.mesas) ? p.mesas : []).map((m, j) => {
      const mesa = normalizarMesa(m, doc, j, usados);
      if (!mesa.id) mesa.id = nuevoId(doc, "m");
      usados.add(mesa.id);
      return mesa;
    });
    // Mesas without a place go in a row to the right of the others.
    let derecha = 0;
    for (const m of p.mesas) if (Number.isFinite(m.x)) derecha = Math.max(derecha, m.x + m.ancho + SEPARACION);
    for (const m of p.mesas) {
      if (!Number.isFinite(m.x)) { m.x = derecha; derecha += m.ancho + SEPARACION; }
      if (!Number.isFinite(m.y)) m.y = 0;
    }
    const portada = p.mesas.findIndex((m) => m.id === p.portada);
    if (portada > 0) p.mesas.unshift(...p.mesas.splice(portada, 1));
    p.portada = p.mesas.length ? p.mesas[0].id : null;
    p.rotulos = Array.isArray(p.rotulos)
      ? p.rotulos.filter((r) => esObjeto(r) && typeof r.texto === "string" && typeof r.x === "number" && typeof r.y === "number")
      : [];
    return p;
  });
  if (!doc.paginas.length) doc.paginas.push(crearPagina(doc, "Página 1"));
  doc.pagina = Number.isInteger(doc.pagina) && doc.pagina >= 0 && doc.pagina < doc.paginas.length ? doc.pagina : 0;
  return doc;
}

// After the order of a page's mesas changes: the first is the cover.
export function fijarPortada(pagina) {
  pagina.portada = pagina.mesas.length ? pagina.mesas[0].id : null;
}

// What undo and redo cover: the design without the resources (large, and
// only ever added) and without which page is open. A state is taken apart
// into its frame (pages with their mesas' ids in order, and the variables)
// and each mesa's JSON text, so that a step keeps only the pieces that
// changed. A mesa's text is kept per mesa object and made again only when
// one of its fields changed: taking the state costs a few comparisons per
// untouched mesa, whatever the size of its HTML.
const textosDeMesa = new WeakMap();

function textoDeMesa(mesa) {
  const { html, css, ...resto } = mesa;
  const pequeno = JSON.stringify(resto);
  const guardado = textosDeMesa.get(mesa);
  if (guardado && guardado.html === html && guardado.css === css && guardado.pequeno === pequeno) return guardado.texto;
  const texto = JSON.stringify(mesa);
  textosDeMesa.set(mesa, { html, css, pequeno, texto });
  return texto;
}

export function estadoDeshacible(doc) {
  const mesas = new Map();
  const paginas = doc.paginas.map((p) => ({ ...p, mesas: p.mesas.map((m) => {
    mesas.set(m.id, textoDeMesa(m));
    return m.id;
  }) }));
  return { marco: JSON.stringify({ paginas, variables: doc.variables }), mesas };
}

// The step from state `antes` to state `despues`: the frame when it
// changed, and [id, text before, text after] for every mesa that changed
// (undefined where the mesa did not exist). Null when nothing changed.
export function diferencia(antes, despues) {
  const mesas = [];
  for (const [id, texto] of antes.mesas) if (despues.mesas.get(id) !== texto) mesas.push([id, texto, despues.mesas.get(id)]);
  for (const [id, texto] of despues.mesas) if (!antes.mesas.has(id)) mesas.push([id, undefined, texto]);
  const marco = antes.marco === despues.marco ? null : [antes.marco, despues.marco];
  return marco || mesas.length ? { marco, mesas } : null;
}

// Puts the side `lado` (0 = before, 1 = after) of step `paso` into `doc`,
// which holds the other side. Mesas the step did not touch keep their
// objects.
export function aplicarPaso(doc, paso, lado) {
  const actuales = new Map();
  for (const p of doc.paginas) for (const m of p.mesas) actuales.set(m.id, m);
  const cambiadas = new Map(paso.mesas.map((c) => [c[0], c[1 + lado]]));
  const marco = JSON.parse(paso.marco ? paso.marco[lado] : estadoDeshacible(doc).marco);
  doc.paginas = marco.paginas.map((p) => ({ ...p, mesas: p.mesas.map((id) =>
    cambiadas.has(id) ? JSON.parse(cambiadas.get(id)) : actuales.get(id)).filter(Boolean) }));
  doc.variables = marco.variables;
}
