// Small helpers shared by the editor's modules: building our own DOM
// (always through textContent and attributes, never markup), numbers,
// names and the message road to native code.

export function enviar(mensaje) {
  document.dispatchEvent(new CustomEvent("sorvenia-mensaje", { detail: JSON.stringify(mensaje) }));
}

// el("button", {class: "x", onclick: f}, "texto", otroNodo)
export function el(etiqueta, atributos = {}, ...hijos) {
  const nodo = document.createElement(etiqueta);
  for (const [clave, valor] of Object.entries(atributos || {})) {
    if (valor === undefined || valor === null || valor === false) continue;
    if (clave.startsWith("on") && typeof valor === "function") nodo.addEventListener(clave.slice(2), valor);
    else if (clave === "class") nodo.className = valor;
    else if (clave === "texto") nodo.textContent = valor;
    else if (clave === "dataset") Object.assign(nodo.dataset, valor);
    else if (clave === "style" && typeof valor === "object") Object.assign(nodo.style, valor);
    else if (valor === true) nodo.setAttribute(clave, "");
    else nodo.setAttribute(clave, String(valor));
  }
  for (const hijo of hijos.flat()) {
    if (hijo === null || hijo === undefined || hijo === false) continue;
    nodo.append(hijo instanceof Node ? hijo : String(hijo));
  }
  return nodo;
}

export const $ = (id) => document.getElementById(id);

export function vaciar(nodo) {
  nodo.replaceChildren();
  return nodo;
}

export function limitar(valor, min, max) {
  return Math.min(max, Math.max(min, valor));
}

// A number from an agent's argument: numbers, and texts that are numbers
// ("1440", "1440px"). Anything else gives null.
export function numero(valor) {
  if (typeof valor === "number") return Number.isFinite(valor) ? valor : null;
  if (typeof valor === "string") {
    const m = /^\s*(-?\d+(?:\.\d+)?)\s*(px)?\s*$/i.exec(valor);
    if (m) return Number(m[1]);
  }
  return null;
}

export function booleano(valor) {
  if (typeof valor === "boolean") return valor;
  if (valor === "true" || valor === 1) return true;
  if (valor === "false" || valor === 0) return false;
  return null;
}

export const redondo = (n) => Math.round(n);

// "Sobre nosotros" → "sobre-nosotros": the file name a page gets when published.
export function slug(texto) {
  return String(texto || "")
    .normalize("NFD")
    .replace(/[\u0300-\u036f]/g, "")
    .toLowerCase()
    .replace(/[^a-z0-9]+/g, "-")
    .replace(/^-+|-+$/g, "");
}

export function recortar(texto, max) {
  const t = String(texto ?? "").replace(/\s+/g, " ").trim();
  return t.length > max ? t.slice(0, max - 1) + "…" : t;
}

export function plural(n, uno, varios) {
  return `${n} ${n === 1 ? uno : varios}`;
}

export function escaparXml(texto) {
  return String(texto).replace(/[&<>"']/g, (c) => ({ "&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;", "'": "&apos;" })[c]);
}

export function copiaProfunda(valor) {
  return valor === undefined ? undefined : JSON.parse(JSON.stringify(valor));
}

export function esObjeto(valor) {
  return valor !== null && typeof valor === "object" && !Array.isArray(valor);
}

export function pascal(texto, porDefecto) {
  const partes = slug(texto).split("-").filter(Boolean);
  let nombre = partes.map((p) => p[0].toUpperCase() + p.slice(1)).join("");
  if (!nombre) nombre = porDefecto;
  if (/^\d/.test(nombre)) nombre = porDefecto + nombre;
  return nombre;
}
