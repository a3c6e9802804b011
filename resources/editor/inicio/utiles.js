// Small helpers of the home page: texts, dates and icons, and the
// page-wide helpers of comun/dom.js.

import { $, el, enviar, esObjeto, plural, recortar, vaciar } from "../comun/dom.js";

export { $, el, enviar, esObjeto, plural, recortar, vaciar };

// For the messages that leave the screen (open, new, a menu item): the
// same one twice within a second (a double click) goes once.
let ultimo = { clave: "", cuando: 0 };
export function enviarUnaVez(mensaje) {
  const clave = JSON.stringify(mensaje);
  const ahora = Date.now();
  if (clave === ultimo.clave && ahora - ultimo.cuando < 1000) return;
  ultimo = { clave, cuando: ahora };
  enviar(mensaje);
}

// An SVG icon of our own (fixed path data, never outside text).
export function icono(trazo, clase = "") {
  const ns = "http://www.w3.org/2000/svg";
  const svg = document.createElementNS(ns, "svg");
  svg.setAttribute("viewBox", "0 0 24 24");
  svg.setAttribute("aria-hidden", "true");
  if (clase) svg.setAttribute("class", clase);
  const path = document.createElementNS(ns, "path");
  path.setAttribute("d", trazo);
  path.setAttribute("fill", "none");
  path.setAttribute("stroke", "currentColor");
  path.setAttribute("stroke-width", "2");
  path.setAttribute("stroke-linecap", "round");
  path.setAttribute("stroke-linejoin", "round");
  svg.append(path);
  return svg;
}

export const ICONOS = {
  papelera: "M4 7h16M10 11v6M14 11v6M6 7l1 13h10l1-13M9 7V4h6v3",
  abrir: "M14 4h6v6M20 4l-9 9M18 14v5a1 1 0 01-1 1H5a1 1 0 01-1-1V7a1 1 0 011-1h5",
  subir: "M12 16V4m0 0l-5 5m5-5l5 5M5 20h14",
  parar: "M7 7h10v10H7z",
  cerrar: "M6 6l12 12M18 6L6 18",
  mas: "M12 5v14M5 12h14",
};

export const texto = (valor, porDefecto = "") => (typeof valor === "string" ? valor : porDefecto);

// The first letter of a name, for avatars and placeholders.
export function inicial(nombre) {
  const letra = Array.from(String(nombre || "").trim())[0];
  return letra ? letra.toLocaleUpperCase("es") : "?";
}

// A stable number from a text (the placeholder colours of a design).
export function huella(valor) {
  let h = 2166136261;
  for (const c of String(valor)) {
    h ^= c.codePointAt(0);
    h = Math.imul(h, 16777619) >>> 0;
  }
  return h;
}

// Addresses a picture may come from: data URLs of images, and the web.
export function imagenSegura(src) {
  if (typeof src !== "string" || !src) return "";
  if (/^data:image\/[a-z0-9.+-]+[;,]/i.test(src)) return src;
  if (/^https?:\/\//i.test(src)) return src;
  return "";
}

// Our own resource paths, which native code names from the pages' common
// folder ("logos/claude.png"), as seen from this page one folder below it;
// "" for anything else.
export function rutaPropia(ruta) {
  return typeof ruta === "string" && /^[a-z0-9_-]+(\/[a-z0-9_.-]+)*\.(png|svg|jpg|jpeg|webp)$/i.test(ruta) && !ruta.includes("..") ? "../" + ruta : "";
}

// ---- dates ----

const MESES = ["ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sept", "oct", "nov", "dic"];

// "2025-03-01 14:05:09" (UTC, the account's and the copies' form),
// "2025-03-01T14:05:09Z", with an offset or fractions, or just a day.
// Anything else gives null.
export function leerFecha(valor) {
  if (typeof valor !== "string") return null;
  const m = /^(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2}):(\d{2})(?::(\d{2})(?:\.\d+)?)?)?\s*(Z|[+-]\d{2}:?\d{2})?$/i.exec(valor.trim());
  if (!m) return null;
  const [, a, mes, d, h = "0", mi = "0", s = "0", zona] = m;
  let ms = Date.UTC(+a, +mes - 1, +d, +h, +mi, +s);
  // Date.UTC carries fields out of range into the next ones (hour 25 is
  // the next day); such a text is no date.
  const campos = new Date(ms);
  if (campos.getUTCMonth() !== +mes - 1 || campos.getUTCDate() !== +d || campos.getUTCHours() !== +h ||
      campos.getUTCMinutes() !== +mi || campos.getUTCSeconds() !== +s) return null;
  if (zona && zona.toUpperCase() !== "Z") {
    const z = /^([+-])(\d{2}):?(\d{2})$/.exec(zona);
    ms -= (z[1] === "-" ? -1 : 1) * (+z[2] * 60 + +z[3]) * 60000;
  }
  const fecha = new Date(ms);
  return Number.isNaN(fecha.getTime()) ? null : fecha;
}

const dosCifras = (n) => String(n).padStart(2, "0");
const hora = (f) => `${dosCifras(f.getHours())}:${dosCifras(f.getMinutes())}`;
const mismoDia = (a, b) => a.getFullYear() === b.getFullYear() && a.getMonth() === b.getMonth() && a.getDate() === b.getDate();

// "hoy a las 14:05", "ayer a las 9:30", "3 mar", "3 mar 2024" (local time).
export function fechaCorta(fecha, ahora = new Date()) {
  if (!fecha) return "";
  if (mismoDia(fecha, ahora)) return `hoy a las ${hora(fecha)}`;
  const ayer = new Date(ahora);
  ayer.setDate(ayer.getDate() - 1);
  if (mismoDia(fecha, ayer)) return `ayer a las ${hora(fecha)}`;
  const dia = `${fecha.getDate()} ${MESES[fecha.getMonth()]}`;
  return fecha.getFullYear() === ahora.getFullYear() ? dia : `${dia} ${fecha.getFullYear()}`;
}

// "3 mar 2025, 14:05": the full local date, for titles.
export function fechaLarga(fecha) {
  if (!fecha) return "";
  return `${fecha.getDate()} ${MESES[fecha.getMonth()]} ${fecha.getFullYear()}, ${hora(fecha)}`;
}

// "ahora mismo", "hace 4 min", "hace 2 h", "hace 3 días".
export function haceCuanto(fecha, ahora = new Date()) {
  if (!fecha) return "";
  const s = Math.max(0, Math.round((ahora.getTime() - fecha.getTime()) / 1000));
  if (s < 45) return "ahora mismo";
  const min = Math.round(s / 60);
  if (min < 60) return `hace ${min} min`;
  const h = Math.round(min / 60);
  if (h < 24) return `hace ${h} h`;
  const d = Math.round(h / 24);
  return d === 1 ? "hace 1 día" : `hace ${d} días`;
}

// "3 min", "1 h 20 min": how long something ran.
export function duracion(desde, hasta) {
  if (!desde || !hasta) return "";
  const min = Math.max(0, Math.round((hasta.getTime() - desde.getTime()) / 60000));
  if (min < 1) return "menos de un minuto";
  if (min < 60) return `${min} min`;
  const h = Math.floor(min / 60);
  return min % 60 ? `${h} h ${min % 60} min` : `${h} h`;
}
