// Motion effects. A mesa keeps its effects as a list of entries keyed by
// data-lid; the design's HTML stays clean. What the effects need in the
// page (the "tv-scroll" class, one span per letter or word, the counter's
// number) is added by decorar() — to the live mesa document, which runs no
// scripts, and to exported copies — and removed again by desdecorar()
// before the HTML is stored. Everything moves with CSS alone, so the
// effects play in the editor, on the published site and in the MP4 render.

export const TIPOS = ["subir", "muelle", "desenfoque", "izquierda", "aparecer", "escribir", "letras", "palabras",
  "girar", "kenburns", "flotar", "latir", "contador"];
export const SIN_FIN = new Set(["kenburns", "flotar", "latir"]);
export const DISPAROS = ["carga", "scroll"];

const DURACION = { subir: 700, muelle: 900, desenfoque: 800, izquierda: 700, aparecer: 600, escribir: 1600,
  letras: 900, palabras: 800, girar: 800, kenburns: 12000, flotar: 3000, latir: 1400, contador: 1800 };
const REBOTE = { muelle: 60 };
const PASO_TROZO = { letras: 35, palabras: 90 };
const MAX_TROZOS = 400;

export const NOMBRES = {
  subir: "sube al entrar", muelle: "entra con muelle", desenfoque: "se enfoca", izquierda: "entra por la izquierda",
  aparecer: "aparece", escribir: "se escribe", letras: "letra a letra", palabras: "palabra a palabra",
  girar: "entra girando", kenburns: "zoom lento sin fin", flotar: "flota sin fin", latir: "late sin fin",
  contador: "cuenta hasta el número",
};

export function duracionPorDefecto(tipo) {
  return DURACION[tipo] ?? 700;
}

// An entry as stored: {lid, tipo, retraso, duracion, rebote, disparo}.
export function normalizarAnimacion(crudo) {
  if (!crudo || typeof crudo !== "object" || typeof crudo.lid !== "string" || !TIPOS.includes(crudo.tipo)) return null;
  const n = (v, d, min, max) => (typeof v === "number" && Number.isFinite(v) ? Math.min(max, Math.max(min, Math.round(v))) : d);
  return {
    ...crudo, // keys of a newer page travel on untouched
    lid: crudo.lid,
    tipo: crudo.tipo,
    retraso: n(crudo.retraso, 0, 0, 60000),
    duracion: n(crudo.duracion, duracionPorDefecto(crudo.tipo), 50, 120000),
    rebote: n(crudo.rebote, REBOTE[crudo.tipo] ?? 0, 0, 100),
    disparo: crudo.disparo === "scroll" ? "scroll" : "carga",
  };
}

function curva(rebote) {
  if (!rebote) return "cubic-bezier(.22,.61,.36,1)";
  return `cubic-bezier(.34,${(1 + rebote / 100 * 0.9).toFixed(2)},.64,1)`;
}

const FOTOGRAMAS = [
  "@keyframes tv-subir{from{opacity:0;translate:0 40px}to{opacity:1;translate:0 0}}",
  "@keyframes tv-muelle{from{opacity:0;translate:0 30px;scale:.85}to{opacity:1;translate:0 0;scale:1}}",
  "@keyframes tv-desenfoque{from{opacity:0;filter:blur(16px)}to{opacity:1;filter:blur(0)}}",
  "@keyframes tv-izquierda{from{opacity:0;translate:-60px 0}to{opacity:1;translate:0 0}}",
  "@keyframes tv-aparecer{from{opacity:0}to{opacity:1}}",
  "@keyframes tv-escribir{from{clip-path:inset(0 100% 0 0)}to{clip-path:inset(0 0 0 0)}}",
  "@keyframes tv-trozo{from{opacity:0;translate:0 .45em}to{opacity:1;translate:0 0}}",
  "@keyframes tv-girar{from{opacity:0;rotate:-12deg;scale:.8}to{opacity:1;rotate:0deg;scale:1}}",
  "@keyframes tv-kenburns{from{scale:1}to{scale:1.12}}",
  "@keyframes tv-flotar{from{translate:0 0}to{translate:0 -12px}}",
  "@keyframes tv-latir{0%,100%{scale:1}50%{scale:1.06}}",
  "@keyframes tv-mostrar{from{opacity:0}to{opacity:1}}",
  "@keyframes tv-ocultar{from{opacity:1}to{opacity:0}}",
].join("\n");

function selector(lid) {
  return `[data-lid="${String(lid).replace(/["\\]/g, "\\$&")}"]`;
}

// "1.250" counts 0, 31, 125… up to 1.250, written like the original (with
// its thousands separator), easing out: one keyframe per step, since a
// counted number has no CSS of its own.
function fotogramasCuenta(nombre, cifra) {
  const fin = valorDeCifra(cifra);
  const separador = /^\d{1,3}([.,])\d{3}/.exec(cifra.trim());
  const escribir = (n) => {
    const t = String(n);
    return separador ? t.replace(/\B(?=(\d{3})+(?!\d))/g, separador[1]) : t;
  };
  const pasos = 40;
  const marcos = [];
  for (let i = 0; i <= pasos; i++) {
    const p = i / pasos;
    marcos.push(`${(p * 100).toFixed(1)}%{content:"${escribir(Math.round(fin * (1 - (1 - p) ** 3)))}"}`);
  }
  return `@keyframes ${nombre}{${marcos.join("")}}`;
}

function nombreCuenta(lid) {
  return `tv-cuenta-${String(lid).replace(/[^A-Za-z0-9_-]/g, "_")}`;
}

function regla(a, pasosEscribir, cifra) {
  const s = selector(a.lid);
  const d = `${a.duracion}ms`;
  const r = `${a.retraso}ms`;
  const e = curva(a.rebote);
  switch (a.tipo) {
    case "escribir":
      return `${s}{animation:tv-escribir ${d} steps(${pasosEscribir},end) ${r} both}`;
    case "letras":
    case "palabras":
      return `${s} [data-tv-palabra]{display:inline-block;white-space:nowrap}` +
        `${s} [data-tv-trozo]{display:inline-block;animation:tv-trozo ${d} ${e} calc(${r} + var(--tv-i) * ${PASO_TROZO[a.tipo]}ms) both}`;
    case "kenburns":
    case "flotar":
      return `${s}{animation:tv-${a.tipo} ${d} ease-in-out ${r} infinite alternate both}`;
    case "latir":
      return `${s}{animation:tv-latir ${d} ease-in-out ${r} infinite both}`;
    case "contador":
      return fotogramasCuenta(nombreCuenta(a.lid), cifra || "0") +
        `${s} [data-tv-num]{position:relative;display:inline-block}` +
        `${s} [data-tv-num-texto]{animation:tv-mostrar ${d} steps(1,end) ${r} both}` +
        `${s} [data-tv-num]::after{content:"";position:absolute;left:0;top:0;white-space:nowrap;` +
        `animation:${nombreCuenta(a.lid)} ${d} linear ${r} both,tv-ocultar ${d} steps(1,end) ${r} both}`;
    default:
      return `${s}{animation:tv-${a.tipo} ${d} ${e} ${r} both}`;
  }
}

// The CSS of a mesa's effects. `modo`:
//   "editor", "video": effects fired by scroll wait, paused, until their
//     element gets the class "tv-ya" (the editor adds it when the element
//     is on screen; the MP4 renderer adds it to all of them);
//   "web": the published page has no script, so scroll effects follow the
//     scroll position where the browser can, and play at load elsewhere.
// `raiz` (optional) lets "escribir" step once per character.
export function cssAnimaciones(animaciones, modo, raiz = null) {
  if (!animaciones || !animaciones.length) return "";
  const reglas = animaciones.map((a) => {
    let pasos = 30;
    let cifra = "";
    const elemento = raiz ? raiz.querySelector(selector(a.lid)) : null;
    if (a.tipo === "escribir" && elemento) pasos = Math.max(8, Math.min(120, (elemento.textContent || "").trim().length || 30));
    if (a.tipo === "contador" && elemento) {
      const numero = elemento.querySelector("[data-tv-num]");
      cifra = numero ? numero.textContent : (/\d(?:[\d.,]*\d)?/.exec(elemento.textContent) || ["0"])[0];
    }
    return regla(a, pasos, cifra);
  });
  let fin = "";
  if (modo === "web") {
    fin = "@supports (animation-timeline: view()){.tv-scroll[data-lid],.tv-scroll [data-tv-trozo]" +
      "{animation-timeline:view();animation-range:entry 0% cover 35%}}";
  } else {
    fin = ".tv-scroll:not(.tv-ya),.tv-scroll:not(.tv-ya) *,.tv-scroll:not(.tv-ya) *::after{animation-play-state:paused}";
  }
  return `${FOTOGRAMAS}\n${reglas.join("\n")}\n${fin}`;
}

function desenvolver(nodo) {
  const padre = nodo.parentNode;
  if (!padre) return;
  while (nodo.firstChild) padre.insertBefore(nodo.firstChild, nodo);
  nodo.remove();
}

function limpiarClases(elemento) {
  elemento.classList.remove("tv-scroll", "tv-ya");
  if (elemento.getAttribute("class") === "") elemento.removeAttribute("class");
}

function quitarDecoracion(elemento) {
  const lid = elemento.getAttribute("data-lid");
  if (lid) for (const e of [...elemento.querySelectorAll(`[data-tv-envoltura="${CSS.escape(lid)}"]`)]) desenvolver(e);
  elemento.removeAttribute("data-tv-deco");
  limpiarClases(elemento);
  elemento.normalize();
}

function textosDe(elemento) {
  const doc = elemento.ownerDocument;
  const paseo = doc.createTreeWalker(elemento, NodeFilter.SHOW_TEXT);
  const textos = [];
  while (paseo.nextNode()) {
    const padre = paseo.currentNode.parentElement;
    if (padre && /^(style|script|svg|textarea)$/i.test(padre.tagName)) continue;
    if (padre && padre.closest("svg")) continue;
    textos.push(paseo.currentNode);
  }
  return textos;
}

function trocear(elemento, tipo, lid) {
  const doc = elemento.ownerDocument;
  let i = 0;
  for (const texto of textosDe(elemento)) {
    if (i >= MAX_TROZOS) break;
    const partes = texto.data.split(/(\s+)/);
    const fragmento = doc.createDocumentFragment();
    for (const parte of partes) {
      if (!parte) continue;
      if (/^\s+$/.test(parte) || i >= MAX_TROZOS) {
        fragmento.append(parte);
        continue;
      }
      if (tipo === "palabras") {
        const trozo = doc.createElement("span");
        trozo.setAttribute("data-tv-envoltura", lid);
        trozo.setAttribute("data-tv-trozo", "");
        trozo.style.setProperty("--tv-i", String(i++));
        trozo.textContent = parte;
        fragmento.append(trozo);
      } else {
        const palabra = doc.createElement("span");
        palabra.setAttribute("data-tv-envoltura", lid);
        palabra.setAttribute("data-tv-palabra", "");
        for (const letra of Array.from(parte)) {
          const trozo = doc.createElement("span");
          trozo.setAttribute("data-tv-envoltura", lid);
          trozo.setAttribute("data-tv-trozo", "");
          trozo.style.setProperty("--tv-i", String(i++));
          trozo.textContent = letra;
          palabra.append(trozo);
        }
        fragmento.append(palabra);
      }
    }
    texto.replaceWith(fragmento);
  }
}

// "1.250" → 1250, "4,5" → 5, "98" → 98.
export function valorDeCifra(texto) {
  const t = texto.trim();
  let n;
  if (/^\d{1,3}([.,]\d{3})+$/.test(t)) n = Number(t.replace(/[.,]/g, ""));
  else n = Math.round(Number(t.replace(",", ".")));
  return Number.isFinite(n) ? Math.min(n, 1e9) : 0;
}

function envolverCifra(elemento, lid) {
  const doc = elemento.ownerDocument;
  for (const texto of textosDe(elemento)) {
    const m = /\d(?:[\d.,]*\d)?/.exec(texto.data);
    if (!m) continue;
    const despues = texto.splitText(m.index);
    despues.splitText(m[0].length);
    const caja = doc.createElement("span");
    caja.setAttribute("data-tv-envoltura", lid);
    caja.setAttribute("data-tv-num", "");
    const cifra = doc.createElement("span");
    cifra.setAttribute("data-tv-envoltura", lid);
    cifra.setAttribute("data-tv-num-texto", "");
    despues.replaceWith(caja);
    cifra.append(despues);
    caja.append(cifra);
    return true;
  }
  return false;
}

// Brings the decorations under `raiz` in line with `animaciones`; an
// element already decorated for the same effect is left as it is, so its
// effect does not start over.
export function decorar(raiz, animaciones) {
  const porLid = new Map((animaciones || []).map((a) => [a.lid, a]));
  for (const elemento of [...raiz.querySelectorAll("[data-tv-deco]")]) {
    const a = porLid.get(elemento.getAttribute("data-lid"));
    if (!a || elemento.getAttribute("data-tv-deco") !== marca(a)) quitarDecoracion(elemento);
  }
  for (const a of porLid.values()) {
    const elemento = raiz.querySelector(selector(a.lid));
    if (!elemento || elemento.getAttribute("data-tv-deco") === marca(a)) continue;
    elemento.setAttribute("data-tv-deco", marca(a));
    if (a.disparo === "scroll") elemento.classList.add("tv-scroll");
    if (a.tipo === "letras" || a.tipo === "palabras") trocear(elemento, a.tipo, a.lid);
    else if (a.tipo === "contador") envolverCifra(elemento, a.lid);
  }
}

function marca(a) {
  return a.disparo === "scroll" ? `${a.tipo} scroll` : a.tipo;
}

// Takes every decoration out of `raiz` (a copy about to be stored).
export function desdecorar(raiz) {
  for (const e of [...raiz.querySelectorAll("[data-tv-envoltura]")].reverse()) desenvolver(e);
  for (const e of raiz.querySelectorAll("[data-tv-deco]")) e.removeAttribute("data-tv-deco");
  for (const e of raiz.querySelectorAll(".tv-scroll, .tv-ya")) limpiarClases(e);
  raiz.normalize();
}
