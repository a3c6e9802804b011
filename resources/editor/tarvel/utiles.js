// Small helpers shared by the editor's modules: numbers, names, and the
// page-wide helpers of comun/dom.js.

import { $, el, enviar, esObjeto, plural, recortar, vaciar } from "../comun/dom.js";

export { $, el, enviar, esObjeto, plural, recortar, vaciar };

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

export function escaparXml(texto) {
  return String(texto).replace(/[&<>"']/g, (c) => ({ "&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;", "'": "&apos;" })[c]);
}

export function copiaProfunda(valor) {
  return valor === undefined ? undefined : JSON.parse(JSON.stringify(valor));
}

export function pascal(texto, porDefecto) {
  const partes = slug(texto).split("-").filter(Boolean);
  let nombre = partes.map((p) => p[0].toUpperCase() + p.slice(1)).join("");
  if (!nombre) nombre = porDefecto;
  if (/^\d/.test(nombre)) nombre = porDefecto + nombre;
  return nombre;
}
