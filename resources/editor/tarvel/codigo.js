// The "codigo" tool: a mesa or an element as code for a project, in three
// forms. HTML: clean markup and the CSS it needs. React: a JSX component
// (className, style objects, self-closing empty tags) and its CSS file.
// Tailwind: the markup with utility classes in place of the CSS rules and
// inline styles that apply to each element; what has no utility form is
// written as an arbitrary value ("p-[13px]", "[mask-type:alpha]") and what
// cannot be a class at all (keyframes, pseudo-elements) stays in a <style>.

import { cssAnimaciones, decorar } from "./animaciones.js";
import { aHex, declaraciones, reglasDe } from "./css.js";
import { cssFuentes } from "./editor.js";
import { pascal } from "./utiles.js";
import { limpiarCopia } from "./vista_mesa.js";

const VACIOS = new Set(["area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"]);
// Rules come from the scratch document, whose CSSOM classes are not ours:
// tell them apart by their type number.
const ESTILO = 1;
const MEDIA = 4;
const SOPORTA = 12;
const ESTADOS = { hover: "hover:", focus: "focus:", active: "active:", "focus-visible": "focus-visible:", "focus-within": "focus-within:" };

// ------------------------------------------------------------ the tree

// A clean, effect-ready copy of what is asked for, parsed in the scratch
// document. Elements keep their data-lid only where an effect needs it.
function arbol(editor, mesa, vista, elemento) {
  let html = mesa.html;
  let animaciones = mesa.animaciones;
  if (elemento) {
    const copia = elemento.cloneNode(true);
    const caja = vista.doc.createElement("div");
    caja.append(copia);
    limpiarCopia(caja);
    html = caja.innerHTML;
    const lids = new Set([elemento, ...elemento.querySelectorAll("[data-lid]")].map((e) => e.getAttribute("data-lid")));
    animaciones = mesa.animaciones.filter((a) => lids.has(a.lid));
  }
  const plantilla = editor.taller.createElement("template");
  plantilla.innerHTML = html;
  for (const e of plantilla.content.querySelectorAll("script")) e.remove();
  decorar(plantilla.content, animaciones);
  const animados = new Set(animaciones.map((a) => a.lid));
  const convertir = (nodo) => {
    if (nodo.nodeType === Node.TEXT_NODE) return { texto: nodo.data };
    if (nodo.nodeType !== Node.ELEMENT_NODE) return null;
    const lid = nodo.getAttribute("data-lid");
    const atributos = [];
    for (const a of nodo.attributes) {
      if (a.name === "data-lid" && !animados.has(a.value)) continue;
      if (a.name === "data-tv-envoltura" || a.name === "data-tv-deco") continue;
      atributos.push([a.name, a.value]);
    }
    const hijos = (nodo.localName === "template" ? [] : [...nodo.childNodes]).map(convertir).filter(Boolean);
    return { etiqueta: nodo.localName, atributos, hijos, vivo: lid ? vista.elemento(lid) : null, svg: nodo.namespaceURI === "http://www.w3.org/2000/svg" };
  };
  const raices = [...plantilla.content.childNodes].map(convertir).filter(Boolean);
  return { raices, animaciones, contenido: plantilla.content };
}

const esEspacio = (n) => n.texto !== undefined && !n.texto.trim();

function escaparTexto(t) {
  return t.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
}

function escaparAtributo(t) {
  return t.replace(/&/g, "&amp;").replace(/"/g, "&quot;");
}

// Writes the tree with indentation. An element whose children are all
// elements is broken over lines; one with text inside stays on one line,
// so that no space is added to or taken from its text.
function escribirArbol(nodos, forma, nivel = 0) {
  const lineas = [];
  const sangria = "  ".repeat(nivel);
  for (const n of nodos) {
    if (n.texto !== undefined) {
      if (n.texto.trim()) lineas.push(sangria + forma.texto(n.texto.trim()));
      continue;
    }
    const elementos = n.hijos.filter((h) => h.etiqueta);
    const soloElementos = n.hijos.every((h) => h.etiqueta || esEspacio(h));
    const enLinea = forma.enLinea(n);
    if (!soloElementos || !elementos.length || enLinea.length + sangria.length <= 100) {
      lineas.push(sangria + enLinea);
      continue;
    }
    lineas.push(sangria + forma.apertura(n));
    lineas.push(...escribirArbol(elementos, forma, nivel + 1));
    lineas.push(sangria + forma.cierre(n));
  }
  return lineas;
}

const formaHtml = {
  atributos(n) {
    return n.atributos.map(([k, v]) => (v === "" && /^(disabled|checked|hidden|autoplay|muted|loop|controls|playsinline|required|selected|readonly|multiple|open|defer|novalidate|allowfullscreen)$/.test(k)
      ? ` ${k}` : ` ${k}="${escaparAtributo(v)}"`)).join("");
  },
  apertura(n) {
    return `<${n.etiqueta}${this.atributos(n)}>`;
  },
  cierre(n) {
    return VACIOS.has(n.etiqueta) ? "" : `</${n.etiqueta}>`;
  },
  texto(t) {
    return escaparTexto(t);
  },
  enLinea(n) {
    if (VACIOS.has(n.etiqueta)) return this.apertura(n);
    const dentro = n.hijos.map((h) => (h.texto !== undefined ? (n.etiqueta === "style" ? h.texto : escaparTexto(h.texto.replace(/\s+/g, " "))) : this.enLinea(h))).join("");
    return `${this.apertura(n)}${dentro.trim() === "" && !n.hijos.some((h) => h.etiqueta) ? "" : dentro}${this.cierre(n)}`;
  },
};

// ------------------------------------------------------------ CSS

function quitarEstados(selector) {
  return selector.replace(/::?(hover|focus|active|focus-visible|focus-within|visited|before|after|placeholder|selection|marker|first-line|first-letter)\b/g, "");
}

// The rules of the mesa's sheet that touch the elements of `elemento`'s
// subtree (or everything for the whole mesa), with colours as hex.
function cssRelevante(editor, mesa, elemento) {
  if (!elemento) return mesa.css.trim();
  const { reglas, soltar } = reglasDe(editor.taller, mesa.css);
  const sujetos = [elemento, ...elemento.querySelectorAll("[data-lid]")];
  const toca = (regla) => regla.selectorText.split(",").some((s) => {
    const base = quitarEstados(s.trim()) || "*";
    if (/^(:root|html|body|\*)$/.test(base)) return true;
    try {
      return sujetos.some((e) => e.matches(base));
    } catch {
      return false;
    }
  });
  const fuera = [];
  for (const regla of reglas) {
    if (regla.type === ESTILO) {
      if (toca(regla)) fuera.push(regla.cssText);
    } else if (regla.type === MEDIA || regla.type === SOPORTA) {
      const dentro = [...regla.cssRules].filter((r) => !(r.type === ESTILO) || toca(r)).map((r) => r.cssText);
      if (dentro.length) fuera.push(`${regla.cssText.slice(0, regla.cssText.indexOf("{")).trim()} {\n  ${dentro.join("\n  ")}\n}`);
    } else {
      fuera.push(regla.cssText);
    }
  }
  soltar();
  return aHex(fuera.join("\n"));
}

function cssComun(editor, mesa, elemento, animaciones, contenido) {
  const texto = (mesa.css + mesa.html).toLowerCase();
  const fuentes = editor.fuentes.filter((f) => f && typeof f.familia === "string" && texto.includes(f.familia.toLowerCase()));
  return [cssFuentes(fuentes), editor.cssVariables("web"), cssRelevante(editor, mesa, elemento),
    animaciones.length ? cssAnimaciones(animaciones, "web", contenido) : ""].filter((p) => p && p.trim()).join("\n\n");
}

// ------------------------------------------------------------ React

const ATRIBUTOS_REACT = {
  class: "className", for: "htmlFor", tabindex: "tabIndex", readonly: "readOnly", maxlength: "maxLength",
  minlength: "minLength", colspan: "colSpan", rowspan: "rowSpan", contenteditable: "contentEditable",
  crossorigin: "crossOrigin", srcset: "srcSet", autoplay: "autoPlay", playsinline: "playsInline",
  allowfullscreen: "allowFullScreen", frameborder: "frameBorder", autocomplete: "autoComplete", autofocus: "autoFocus",
  enctype: "encType", novalidate: "noValidate", datetime: "dateTime", usemap: "useMap", spellcheck: "spellCheck",
  accesskey: "accessKey", referrerpolicy: "referrerPolicy", inputmode: "inputMode", enterkeyhint: "enterKeyHint",
  "accept-charset": "acceptCharset", "http-equiv": "httpEquiv", "xlink:href": "xlinkHref", "xml:lang": "xmlLang",
  "xml:space": "xmlSpace", value: "defaultValue", checked: "defaultChecked",
};
const BOOLEANOS = new Set(["disabled", "checked", "hidden", "autoplay", "muted", "loop", "controls", "playsinline",
  "required", "selected", "readonly", "multiple", "open", "novalidate", "allowfullscreen", "autofocus", "defer", "async"]);

function camel(texto) {
  return texto.replace(/-([a-z])/g, (_, c) => c.toUpperCase());
}

function nombreReact(nombre, svg) {
  if (ATRIBUTOS_REACT[nombre]) return ATRIBUTOS_REACT[nombre];
  if (nombre.startsWith("data-") || nombre.startsWith("aria-")) return nombre;
  if (svg && nombre.includes("-")) return camel(nombre);
  if (nombre.includes(":")) return camel(nombre.replace(":", "-"));
  return nombre;
}

function estiloReact(texto) {
  const { buenas } = declaraciones(texto);
  if (!buenas.length) return null;
  const pares = buenas.map((d) => {
    let clave = d.propiedad;
    if (!clave.startsWith("--")) {
      clave = camel(clave.startsWith("-webkit-") ? "Webkit" + clave.slice(7) : clave.startsWith("-moz-") ? "Moz" + clave.slice(4) : clave);
    }
    const k = /^[A-Za-z_$][\w$]*$/.test(clave) ? clave : JSON.stringify(clave);
    return `${k}: ${JSON.stringify(d.valor + (d.importante ? " !important" : ""))}`;
  });
  return `{{ ${pares.join(", ")} }}`;
}

const formaReact = {
  atributos(n) {
    const partes = [];
    for (const [k, v] of n.atributos) {
      if (/^on/i.test(k)) continue;
      if (k === "style") {
        const estilo = estiloReact(v);
        if (estilo) partes.push(`style=${estilo}`);
        continue;
      }
      const nombre = nombreReact(k, n.svg);
      if (v === "" && BOOLEANOS.has(k)) partes.push(nombre);
      else partes.push(/["\\{}]/.test(v) || /\n/.test(v) ? `${nombre}={${JSON.stringify(v)}}` : `${nombre}="${v}"`);
    }
    return partes.length ? " " + partes.join(" ") : "";
  },
  apertura(n) {
    return `<${n.etiqueta}${this.atributos(n)}>`;
  },
  cierre(n) {
    return `</${n.etiqueta}>`;
  },
  texto(t) {
    return /[{}<>]/.test(t) ? `{${JSON.stringify(t)}}` : t;
  },
  enLinea(n) {
    const hijos = n.hijos.filter((h) => h.etiqueta || h.texto.trim() || (h.texto && n.hijos.some((x) => x.etiqueta)));
    if (!hijos.length || VACIOS.has(n.etiqueta)) return `<${n.etiqueta}${this.atributos(n)} />`;
    const dentro = hijos.map((h) => (h.etiqueta ? this.enLinea(h) : this.texto(h.texto.replace(/\s+/g, " ")))).join("");
    return `${this.apertura(n)}${dentro}${this.cierre(n)}`;
  },
};

// <style> elements inside the design go to the component's CSS file.
function sacarEstilos(nodos, hojas) {
  return nodos.filter((n) => {
    if (n.etiqueta === "style") {
      hojas.push(n.hijos.map((h) => h.texto || "").join(""));
      return false;
    }
    if (n.hijos) n.hijos = sacarEstilos(n.hijos, hojas);
    return true;
  });
}

function react(editor, mesa, elemento, datos) {
  const nombre = elemento
    ? pascal((elemento.getAttribute("class") || "").split(/\s+/)[0] || elemento.localName, "Bloque")
    : pascal(mesa.nombre, "Pagina");
  const hojas = [];
  const raices = sacarEstilos(datos.raices, hojas).filter((n) => n.etiqueta || n.texto.trim());
  const css = [cssComun(editor, mesa, elemento, datos.animaciones, datos.contenido), ...hojas].filter((p) => p.trim()).join("\n\n");
  const varias = raices.length !== 1;
  const cuerpo = escribirArbol(raices, formaReact, varias ? 3 : 2);
  const jsx = varias ? ["    <>", ...cuerpo, "    </>"] : cuerpo;
  const lineas = [`// ${nombre}.jsx`];
  if (css) lineas.push(`import "./${nombre}.css";`);
  lineas.push("", `export default function ${nombre}() {`, "  return (", ...(jsx.length ? jsx : ["    null"]), "  );", "}");
  if (css) lineas.push("", `/* ${nombre}.css */`, css);
  return lineas.join("\n");
}

// ------------------------------------------------------------ Tailwind

const ESCALA = new Set([0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60, 64, 72, 80, 96]);
const TEXTOS = { 12: "xs", 14: "sm", 16: "base", 18: "lg", 20: "xl", 24: "2xl", 30: "3xl", 36: "4xl", 48: "5xl", 60: "6xl", 72: "7xl", 96: "8xl", 128: "9xl" };
const PESOS = { 100: "thin", 200: "extralight", 300: "light", 400: "normal", 500: "medium", 600: "semibold", 700: "bold", 800: "extrabold", 900: "black", normal: "normal", bold: "bold" };
const RADIOS = { 0: "rounded-none", 2: "rounded-sm", 4: "rounded", 6: "rounded-md", 8: "rounded-lg", 12: "rounded-xl", 16: "rounded-2xl", 24: "rounded-3xl", 9999: "rounded-full" };
const ANCHOS_MAX = { 320: "xs", 384: "sm", 448: "md", 512: "lg", 576: "xl", 672: "2xl", 768: "3xl", 896: "4xl", 1024: "5xl", 1152: "6xl", 1280: "7xl" };
const PUNTOS = { 640: "sm", 768: "md", 1024: "lg", 1280: "xl", 1536: "2xl" };
const INTERLINEAS = { 1: "none", 1.25: "tight", 1.375: "snug", 1.5: "normal", 1.625: "relaxed", 2: "loose" };
const ESPACIADOS = { "-0.05em": "tighter", "-0.025em": "tight", "0": "normal", "0em": "normal", "0.025em": "wide", "0.05em": "wider", "0.1em": "widest" };
const DIRECTOS = {
  display: { block: "block", "inline-block": "inline-block", inline: "inline", flex: "flex", "inline-flex": "inline-flex", grid: "grid", "inline-grid": "inline-grid", none: "hidden", contents: "contents", table: "table" },
  position: { static: "static", fixed: "fixed", absolute: "absolute", relative: "relative", sticky: "sticky" },
  "flex-direction": { row: "flex-row", column: "flex-col", "row-reverse": "flex-row-reverse", "column-reverse": "flex-col-reverse" },
  "flex-wrap": { wrap: "flex-wrap", nowrap: "flex-nowrap", "wrap-reverse": "flex-wrap-reverse" },
  "justify-content": { "flex-start": "justify-start", start: "justify-start", center: "justify-center", "flex-end": "justify-end", end: "justify-end", "space-between": "justify-between", "space-around": "justify-around", "space-evenly": "justify-evenly" },
  "align-items": { "flex-start": "items-start", start: "items-start", center: "items-center", "flex-end": "items-end", end: "items-end", baseline: "items-baseline", stretch: "items-stretch" },
  "align-self": { auto: "self-auto", "flex-start": "self-start", start: "self-start", center: "self-center", "flex-end": "self-end", end: "self-end", stretch: "self-stretch" },
  "text-align": { left: "text-left", center: "text-center", right: "text-right", justify: "text-justify", start: "text-start", end: "text-end" },
  "text-transform": { uppercase: "uppercase", lowercase: "lowercase", capitalize: "capitalize", none: "normal-case" },
  "font-style": { italic: "italic", normal: "not-italic" },
  "text-decoration": { underline: "underline", "line-through": "line-through", none: "no-underline" },
  "text-decoration-line": { underline: "underline", "line-through": "line-through", none: "no-underline" },
  "white-space": { nowrap: "whitespace-nowrap", normal: "whitespace-normal", pre: "whitespace-pre", "pre-line": "whitespace-pre-line", "pre-wrap": "whitespace-pre-wrap" },
  overflow: { hidden: "overflow-hidden", auto: "overflow-auto", visible: "overflow-visible", scroll: "overflow-scroll", clip: "overflow-clip" },
  "overflow-x": { hidden: "overflow-x-hidden", auto: "overflow-x-auto", scroll: "overflow-x-scroll" },
  "overflow-y": { hidden: "overflow-y-hidden", auto: "overflow-y-auto", scroll: "overflow-y-scroll" },
  "object-fit": { cover: "object-cover", contain: "object-contain", fill: "object-fill", none: "object-none" },
  "object-position": { center: "object-center", top: "object-top", bottom: "object-bottom" },
  cursor: { pointer: "cursor-pointer", default: "cursor-default", "not-allowed": "cursor-not-allowed" },
  "background-size": { cover: "bg-cover", contain: "bg-contain", auto: "bg-auto" },
  "background-position": { center: "bg-center", top: "bg-top", bottom: "bg-bottom", left: "bg-left", right: "bg-right" },
  "background-repeat": { "no-repeat": "bg-no-repeat", repeat: "bg-repeat" },
  "border-style": { solid: "border-solid", dashed: "border-dashed", dotted: "border-dotted", none: "border-none" },
  "list-style-type": { none: "list-none", disc: "list-disc", decimal: "list-decimal" },
  "list-style": { none: "list-none" },
  "pointer-events": { none: "pointer-events-none", auto: "pointer-events-auto" },
  "user-select": { none: "select-none", all: "select-all", text: "select-text" },
  "box-sizing": { "border-box": "box-border", "content-box": "box-content" },
  "aspect-ratio": { "1 / 1": "aspect-square", "1/1": "aspect-square", "16 / 9": "aspect-video", "16/9": "aspect-video", auto: "aspect-auto" },
  visibility: { hidden: "invisible", visible: "visible" },
  "mix-blend-mode": { multiply: "mix-blend-multiply", screen: "mix-blend-screen" },
};
const LADOS = {
  padding: ["p", "px", "py", "pt", "pr", "pb", "pl"], margin: ["m", "mx", "my", "mt", "mr", "mb", "ml"],
};
const ESPACIO_PROPIEDAD = {
  gap: "gap", "row-gap": "gap-y", "column-gap": "gap-x", top: "top", right: "right", bottom: "bottom", left: "left", inset: "inset",
  width: "w", height: "h", "min-width": "min-w", "min-height": "min-h", "max-height": "max-h",
  "padding-top": "pt", "padding-right": "pr", "padding-bottom": "pb", "padding-left": "pl",
  "margin-top": "mt", "margin-right": "mr", "margin-bottom": "mb", "margin-left": "ml",
  "padding-inline": "px", "padding-block": "py", "margin-inline": "mx", "margin-block": "my",
};

function arbitrario(valor) {
  return valor.trim().replace(/_/g, "\\_").replace(/\s*,\s*/g, ",").replace(/\s+/g, "_");
}

function px(valor) {
  const v = valor.trim();
  let m = /^(-?\d*\.?\d+)px$/.exec(v);
  if (m) return Number(m[1]);
  m = /^(-?\d*\.?\d+)rem$/.exec(v);
  if (m) return Number(m[1]) * 16;
  if (v === "0") return 0;
  return null;
}

// One length on the spacing scale ("p" + "24px" → "p-6").
function espacio(prefijo, valor) {
  const v = valor.trim();
  const negativo = v.startsWith("-") && v !== "-" ? "-" : "";
  const absoluto = negativo ? v.slice(1) : v;
  const n = px(absoluto);
  if (n !== null && ESCALA.has(n / 4)) return `${negativo}${prefijo}-${n / 4}`;
  if (n === 1 && !negativo) return `${prefijo}-px`;
  if (absoluto === "auto") return `${prefijo}-auto`;
  if (absoluto === "100%") return `${negativo}${prefijo}-full`;
  if (absoluto === "50%") return `${negativo}${prefijo}-1/2`;
  if (absoluto === "fit-content") return `${prefijo}-fit`;
  if (absoluto === "min-content") return `${prefijo}-min`;
  if (absoluto === "max-content") return `${prefijo}-max`;
  if (absoluto === "100vw" && prefijo.endsWith("w")) return `${prefijo}-screen`;
  if (absoluto === "100vh" && prefijo.endsWith("h")) return `${prefijo}-screen`;
  return `${prefijo}-[${arbitrario(v)}]`;
}

function color(prefijo, valor) {
  const v = aHex(valor.trim()).toLowerCase();
  const nombres = { "#ffffff": "white", "#fff": "white", white: "white", "#000000": "black", "#000": "black", black: "black", transparent: "transparent", currentcolor: "current", inherit: "inherit" };
  if (nombres[v]) return `${prefijo}-${nombres[v]}`;
  return `${prefijo}-[${arbitrario(v)}]`;
}

function esColor(valor) {
  return /^(#[0-9a-f]{3,8}|rgba?\(|hsla?\(|var\(--|[a-z]+$)/i.test(valor.trim()) && !/url\(|gradient\(/i.test(valor);
}

function lados(propiedad, valor) {
  const [todo, x, y, t, r, b, l] = LADOS[propiedad];
  const partes = valor.trim().split(/\s+(?![^(]*\))/);
  if (partes.length === 1) return [espacio(todo, partes[0])];
  const [arriba, derecha = arriba, abajo = arriba, izquierda = derecha] = partes;
  if (arriba === abajo && derecha === izquierda) return [espacio(y, arriba), espacio(x, derecha)];
  return [espacio(t, arriba), espacio(r, derecha), espacio(b, abajo), espacio(l, izquierda)];
}

// The utility classes for one declaration.
export function claseTailwind(propiedad, valorCrudo) {
  const valor = valorCrudo.trim();
  const v = valor.toLowerCase();
  if (DIRECTOS[propiedad] && DIRECTOS[propiedad][v]) return [DIRECTOS[propiedad][v]];
  if (LADOS[propiedad]) return lados(propiedad, valor);
  if (ESPACIO_PROPIEDAD[propiedad]) return [espacio(ESPACIO_PROPIEDAD[propiedad], valor)];
  switch (propiedad) {
    case "max-width": {
      const n = px(valor);
      if (v === "none") return ["max-w-none"];
      if (v === "100%") return ["max-w-full"];
      if (n !== null && ANCHOS_MAX[n]) return [`max-w-${ANCHOS_MAX[n]}`];
      return [`max-w-[${arbitrario(valor)}]`];
    }
    case "font-size": {
      const n = px(valor);
      return [n !== null && TEXTOS[n] ? `text-${TEXTOS[n]}` : `text-[${arbitrario(valor)}]`];
    }
    case "font-weight":
      return [PESOS[v] ? `font-${PESOS[v]}` : `font-[${arbitrario(valor)}]`];
    case "font-family":
      return [`font-[${arbitrario(valor.replace(/"/g, "'"))}]`];
    case "line-height":
      return [INTERLINEAS[Number(v)] && /^[\d.]+$/.test(v) ? `leading-${INTERLINEAS[Number(v)]}` : `leading-[${arbitrario(valor)}]`];
    case "letter-spacing":
      return [ESPACIADOS[v] ? `tracking-${ESPACIADOS[v]}` : `tracking-[${arbitrario(valor)}]`];
    case "color":
      return [color("text", valor)];
    case "background-color":
      return [color("bg", valor)];
    case "background":
    case "background-image":
      if (propiedad === "background" && esColor(valor)) return [color("bg", valor)];
      if (v === "none") return ["bg-none"];
      return [`bg-[${arbitrario(valor)}]`];
    case "border-color":
      return [color("border", valor)];
    case "border-radius": {
      const n = v.endsWith("%") && parseFloat(v) >= 50 ? 9999 : px(valor);
      if (n !== null && RADIOS[n >= 9999 ? 9999 : n]) return [RADIOS[n >= 9999 ? 9999 : n]];
      return [`rounded-[${arbitrario(valor)}]`];
    }
    case "border-width": {
      const n = px(valor);
      if (n === 1) return ["border"];
      if ([0, 2, 4, 8].includes(n)) return [`border-${n}`];
      return [`border-[${arbitrario(valor)}]`];
    }
    case "border": {
      if (v === "none" || v === "0") return ["border-0"];
      const clases = [];
      for (const parte of valor.split(/\s+(?![^(]*\))/)) {
        const n = px(parte);
        if (n !== null) clases.push(n === 1 ? "border" : [0, 2, 4, 8].includes(n) ? `border-${n}` : `border-[${arbitrario(parte)}]`);
        else if (DIRECTOS["border-style"][parte]) clases.push(DIRECTOS["border-style"][parte]);
        else clases.push(color("border", parte));
      }
      return clases;
    }
    case "box-shadow":
      return [v === "none" ? "shadow-none" : `shadow-[${arbitrario(valor)}]`];
    case "opacity": {
      const n = Number(v.endsWith("%") ? parseFloat(v) / 100 : v);
      const p = Math.round(n * 100);
      return [Number.isFinite(n) && p % 5 === 0 ? `opacity-${p}` : `opacity-[${arbitrario(valor)}]`];
    }
    case "z-index":
      return [["0", "10", "20", "30", "40", "50", "auto"].includes(v) ? `z-${v}` : `z-[${arbitrario(valor)}]`];
    case "flex":
      if (v === "1" || v === "1 1 0%" || v === "1 1 0") return ["flex-1"];
      if (v === "auto" || v === "1 1 auto") return ["flex-auto"];
      if (v === "none" || v === "0 0 auto") return ["flex-none"];
      return [`flex-[${arbitrario(valor)}]`];
    case "flex-grow":
      return [v === "1" ? "grow" : v === "0" ? "grow-0" : `grow-[${arbitrario(valor)}]`];
    case "flex-shrink":
      return [v === "1" ? "shrink" : v === "0" ? "shrink-0" : `shrink-[${arbitrario(valor)}]`];
    case "grid-template-columns":
    case "grid-template-rows": {
      const prefijo = propiedad.endsWith("columns") ? "grid-cols" : "grid-rows";
      const m = /^repeat\(\s*(\d+)\s*,\s*(?:minmax\(\s*0(?:px)?\s*,\s*1fr\s*\)|1fr)\s*\)$/.exec(v);
      if (m) return [`${prefijo}-${m[1]}`];
      if (v === "none") return [`${prefijo}-none`];
      return [`${prefijo}-[${arbitrario(valor)}]`];
    }
    case "grid-column": {
      const m = /^span\s+(\d+)(?:\s*\/\s*span\s+\1)?$/.exec(v);
      if (m) return [`col-span-${m[1]}`];
      if (v === "1 / -1") return ["col-span-full"];
      return [`col-[${arbitrario(valor)}]`];
    }
    case "transition":
      return [v === "none" ? "transition-none" : `[transition:${arbitrario(valor)}]`];
    default:
      return [`[${propiedad}:${arbitrario(valor)}]`];
  }
}

function variante(media) {
  const condicion = media.replace(/^@media\s*/i, "").trim();
  let m = /^(?:screen\s+and\s+)?\(\s*min-width:\s*(\d+)px\s*\)$/i.exec(condicion);
  if (m) return PUNTOS[m[1]] ? `${PUNTOS[m[1]]}:` : `min-[${m[1]}px]:`;
  m = /^(?:screen\s+and\s+)?\(\s*max-width:\s*(\d+)px\s*\)$/i.exec(condicion);
  if (m) return `max-[${m[1]}px]:`;
  if (/^\(\s*prefers-color-scheme:\s*dark\s*\)$/i.test(condicion)) return "dark:";
  return null;
}

// Rules that can become classes: [{selector, variante, declaraciones}];
// the rest stays as CSS.
function partirHoja(editor, css) {
  const { reglas, soltar } = reglasDe(editor.taller, css);
  const utiles = [];
  const sobras = [];
  const tomar = (regla, prefijo, sobra) => {
    const { buenas } = declaraciones(regla.style.cssText);
    const quedan = [];
    for (const s of regla.selectorText.split(",")) {
      const sel = s.trim();
      const m = /^(.*?)((?::(?:hover|focus|active|focus-visible|focus-within))*)$/.exec(sel);
      const base = m[1].trim();
      const estados = (m[2].match(/:([\w-]+)/g) || []).map((x) => ESTADOS[x.slice(1)]).join("");
      if (!base || /::|^(:root|html|body|\*)$/.test(base) || /:(before|after)\b/.test(base)) {
        quedan.push(sel);
        continue;
      }
      utiles.push({ selector: base, variante: prefijo + estados, declaraciones: buenas });
    }
    if (quedan.length) sobra(`${quedan.join(", ")} { ${regla.style.cssText} }`);
  };
  for (const regla of reglas) {
    if (regla.type === ESTILO) tomar(regla, "", (t) => sobras.push(t));
    else if (regla.type === MEDIA && variante(regla.media.mediaText ? `@media ${regla.media.mediaText}` : "")) {
      const prefijo = variante(`@media ${regla.media.mediaText}`);
      const dentro = [];
      for (const r of regla.cssRules) {
        if (r.type === ESTILO) tomar(r, prefijo, (t) => dentro.push(t));
        else dentro.push(r.cssText);
      }
      if (dentro.length) sobras.push(`@media ${regla.media.mediaText} {\n  ${dentro.join("\n  ")}\n}`);
    } else sobras.push(regla.cssText);
  }
  soltar();
  return { utiles, sobras };
}

function tailwind(editor, mesa, elemento, datos) {
  const { utiles, sobras } = partirHoja(editor, mesa.css);
  const hojaSobrante = aHex(sobras.join("\n"));
  const clasesQueQuedan = new Set([...hojaSobrante.matchAll(/\.(-?[A-Za-z_][\w-]*)/g)].map((m) => m[1]));
  const estilosDentro = [];
  const convertir = (n) => {
    if (!n.etiqueta) return;
    if (n.etiqueta === "style") {
      estilosDentro.push(n.hijos.map((h) => h.texto || "").join(""));
      return;
    }
    // A later declaration of the same property (and variant) wins, as in CSS.
    const porClave = new Map();
    const poner = (variante, d) => {
      const clave = `${variante}|${d.propiedad}`;
      porClave.delete(clave);
      porClave.set(clave, claseTailwind(d.propiedad, d.valor).map((c) => `${variante}${d.importante ? "!" : ""}${c}`));
    };
    if (n.vivo) {
      for (const u of utiles) {
        let coincide = false;
        try {
          coincide = n.vivo.matches(u.selector);
        } catch {
          coincide = false;
        }
        if (coincide) for (const d of u.declaraciones) poner(u.variante, d);
      }
    }
    const estilo = n.atributos.find(([k]) => k === "style");
    const propio = estilo && !n.atributos.some(([k]) => k.startsWith("data-tv-")) ? declaraciones(estilo[1]).buenas : [];
    for (const d of propio) poner("", d);
    const originales = (n.atributos.find(([k]) => k === "class") || [null, ""])[1].split(/\s+/).filter((c) => clasesQueQuedan.has(c));
    const clases = [...new Set([...originales, ...[...porClave.values()].flat()])];
    n.atributos = n.atributos.filter(([k]) => k !== "class" && !(k === "style" && propio.length));
    if (clases.length) n.atributos.unshift(["class", clases.join(" ")]);
    n.hijos.forEach(convertir);
  };
  datos.raices.forEach(convertir);
  const raices = datos.raices.filter((n) => n.etiqueta !== "style");
  const fuentes = editor.fuentes.filter((f) => f && typeof f.familia === "string" && (mesa.css + mesa.html).toLowerCase().includes(f.familia.toLowerCase()));
  const css = [cssFuentes(fuentes), editor.cssVariables("web"), hojaSobrante, ...estilosDentro,
    datos.animaciones.length ? cssAnimaciones(datos.animaciones, "web", datos.contenido) : ""].filter((p) => p && p.trim()).join("\n\n");
  const lineas = [];
  if (css) lineas.push("<style>", css, "</style>");
  lineas.push(...escribirArbol(raices, formaHtml));
  return lineas.join("\n");
}

// ------------------------------------------------------------ entry

export function codigoDe({ editor, mesa, vista, elemento, formato }) {
  const datos = arbol(editor, mesa, vista, elemento);
  const que = elemento ? `${elemento.getAttribute("data-lid")} <${elemento.localName}> de la mesa ${mesa.id} «${mesa.nombre}»` : `la mesa ${mesa.id} «${mesa.nombre}»`;
  if (formato === "react") return `Código React de ${que}:\n\n${react(editor, mesa, elemento, datos)}`;
  if (formato === "tailwind") return `Código HTML con Tailwind de ${que}:\n\n${tailwind(editor, mesa, elemento, datos)}`;
  const css = cssComun(editor, mesa, elemento, datos.animaciones, datos.contenido);
  const lineas = [];
  if (css) lineas.push("<style>", css, "</style>");
  lineas.push(...escribirArbol(datos.raices, formaHtml));
  return `Código HTML de ${que}:\n\n${lineas.join("\n")}`;
}
