// CSS text helpers: declaration lists, sheets that agents add to, and the
// small rewrites the canvas needs to show a page as a browser would.

// Splits at `separador` outside brackets, parentheses and quotes, so that
// url(data:...;base64,...) and "a;b" stay whole.
function partir(texto, separador) {
  const partes = [];
  let profundidad = 0;
  let comilla = "";
  let actual = "";
  for (let i = 0; i < texto.length; i++) {
    const c = texto[i];
    if (comilla) {
      actual += c;
      if (c === "\\" && i + 1 < texto.length) actual += texto[++i];
      else if (c === comilla) comilla = "";
      continue;
    }
    if (c === '"' || c === "'") comilla = c;
    else if (c === "(" || c === "[") profundidad++;
    else if ((c === ")" || c === "]") && profundidad > 0) profundidad--;
    else if (c === separador && profundidad === 0) {
      partes.push(actual);
      actual = "";
      continue;
    }
    actual += c;
  }
  partes.push(actual);
  return partes;
}

// "font-size: 64px; color: #111 !important" →
// [{propiedad: "font-size", valor: "64px", importante: false}, ...]
// Pieces without a colon are returned in `malas`.
export function declaraciones(texto) {
  const buenas = [];
  const malas = [];
  const limpio = String(texto || "").replace(/\/\*[\s\S]*?\*\//g, "");
  for (const trozo of partir(limpio, ";")) {
    const t = trozo.trim();
    if (!t) continue;
    const dos = t.indexOf(":");
    if (dos <= 0) {
      malas.push(t);
      continue;
    }
    const propiedad = t.slice(0, dos).trim();
    let valor = t.slice(dos + 1).trim();
    let importante = false;
    const imp = /\s*!\s*important\s*$/i.exec(valor);
    if (imp) {
      importante = true;
      valor = valor.slice(0, imp.index).trim();
    }
    if (!/^(--[\w-]+|-?[a-zA-Z][\w-]*)$/.test(propiedad)) {
      malas.push(t);
      continue;
    }
    buenas.push({ propiedad: propiedad.startsWith("--") ? propiedad : propiedad.toLowerCase(), valor, importante });
  }
  return { buenas, malas };
}

export function textoDeclaraciones(lista) {
  return lista.map((d) => `${d.propiedad}: ${d.valor}${d.importante ? " !important" : ""}`).join("; ");
}

// The top-level statements of a sheet, as written: each at-rule ends at
// its ";" or its block, each style rule at its block. Strings, url(...),
// comments and nested brackets are read whole, so a ";" inside any of them
// (a font address such as "…wght@400;700…") never cuts a statement. Empty
// statements (a stray ";") are left out. `abierta` tells that the text
// ended inside a block or a comment: its last statement is unfinished.
function trocear(css) {
  const texto = String(css || "");
  const lista = [];
  let inicio = 0;
  let profundidad = 0;
  let comentarioAbierto = false;
  const cerrar = (fin) => {
    const trozo = texto.slice(inicio, fin);
    if (sinComentarios(trozo).replace(/;/g, "").trim()) lista.push(trozo.trim());
    inicio = fin;
  };
  for (let i = 0; i < texto.length; i++) {
    const c = texto[i];
    if (c === "/" && texto[i + 1] === "*") {
      const fin = texto.indexOf("*/", i + 2);
      comentarioAbierto = fin < 0;
      i = fin < 0 ? texto.length : fin + 1;
    } else if (c === '"' || c === "'") {
      i = finDeCadena(texto, i);
    } else if ((c === "u" || c === "U") && /^url\(\s*[^\s"']/i.test(texto.slice(i, i + 64)) && !/[\w-]/.test(texto[i - 1] || "")) {
      // An unquoted url(...) holds anything up to its ")".
      const fin = texto.indexOf(")", i);
      i = fin < 0 ? texto.length : fin;
    } else if (c === "{" || c === "(" || c === "[") {
      profundidad++;
    } else if (c === "}" || c === ")" || c === "]") {
      if (profundidad > 0) profundidad--;
      if (c === "}" && profundidad === 0) cerrar(i + 1);
    } else if (c === ";" && profundidad === 0) {
      cerrar(i + 1);
    }
  }
  const antes = lista.length;
  cerrar(texto.length);
  return { lista, abierta: lista.length > antes && (profundidad > 0 || comentarioAbierto) };
}

export function sentencias(css) {
  return trocear(css).lista;
}

function finDeCadena(texto, i) {
  const comilla = texto[i];
  for (let j = i + 1; j < texto.length; j++) {
    if (texto[j] === "\\") j++;
    else if (texto[j] === comilla || texto[j] === "\n") return j;
  }
  return texto.length;
}

function sinComentarios(texto) {
  return texto.replace(/\/\*[\s\S]*?(\*\/|$)/g, "");
}

const esImport = (sentencia) => /^@import\b/i.test(sinComentarios(sentencia).trim());

// Adds `nuevo` to the sheet `actual`. @import rules only work at the start
// of a sheet, so they are lifted there (after the ones already present).
export function sumarHoja(actual, nuevo) {
  const viejo = separarImports(actual);
  const otro = separarImports(nuevo);
  const importsViejos = sentencias(viejo.imports);
  const importsNuevos = sentencias(otro.imports).filter((s) => !importsViejos.includes(s));
  const partes = [];
  if (importsViejos.length || importsNuevos.length) partes.push([...importsViejos, ...importsNuevos].join("\n"));
  if (viejo.resto.trim()) partes.push(viejo.resto.trim());
  if (otro.resto.trim()) partes.push(otro.resto.trim());
  return partes.join("\n\n");
}

// The sheet's @import rules and the rest, apart: a sheet put after other
// rules (variables, fonts) must have its imports moved to the very start,
// where alone they count.
export function separarImports(css) {
  const todas = sentencias(css);
  if (!todas.some(esImport)) return { imports: "", resto: String(css || "") };
  return { imports: todas.filter(esImport).join("\n"), resto: todas.filter((s) => !esImport(s)).join("\n") };
}

// The statements of `css` the browser reads (`buenas`, in order) and the
// ones it drops whole (`malas`), each tried alone in the scratch document.
// An unfinished last statement counts as dropped: kept in a sheet, its open
// block or comment would swallow whatever is added after it.
export function leerHoja(docTaller, css) {
  const { lista, abierta } = trocear(css);
  const sinCerrar = abierta ? lista.splice(-1) : [];
  if (contarReglas(docTaller, lista.join("\n")) === lista.length) return { buenas: lista, malas: sinCerrar };
  const buenas = [];
  const malas = [];
  for (const s of lista) (contarReglas(docTaller, s) > 0 ? buenas : malas).push(s);
  return { buenas, malas: [...malas, ...sinCerrar] };
}

// Viewport heights inside a page whose height grows with its content would
// grow with it; on the canvas they are measured against the page's own
// window height instead.
export function fijarAlturasDeVentana(css, altoVentana) {
  return String(css || "").replace(/(-?\d*\.?\d+)(?:[dsl])?vh\b/g, (_, n) => `${+(Number(n) * altoVentana / 100).toFixed(2)}px`);
}

// rgb(17, 17, 17) → #111111; other texts unchanged.
export function aHex(valor) {
  return String(valor).replace(/rgba?\(\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*(?:,\s*([\d.]+)\s*)?\)/g, (m, r, g, b, a) => {
    const hex = (n) => Number(n).toString(16).padStart(2, "0");
    if (a !== undefined && Number(a) < 1) {
      const alfa = hex(Math.round(Number(a) * 255));
      return `#${hex(r)}${hex(g)}${hex(b)}${alfa}`;
    }
    return `#${hex(r)}${hex(g)}${hex(b)}`;
  });
}

// Rules of a sheet, parsed by the browser inside the scratch document.
export function reglasDe(docTaller, css) {
  const estilo = docTaller.createElement("style");
  estilo.textContent = css;
  docTaller.head.append(estilo);
  const reglas = estilo.sheet ? [...estilo.sheet.cssRules] : [];
  return { reglas, soltar: () => estilo.remove() };
}

export function contarReglas(docTaller, css) {
  const { reglas, soltar } = reglasDe(docTaller, css);
  soltar();
  return reglas.length;
}

// Whether the browser accepts `propiedad: valor` (tried on a scratch element).
export function declaracionValida(docTaller, propiedad, valor) {
  if (propiedad.startsWith("--")) return true;
  const prueba = docTaller.createElement("div");
  prueba.style.setProperty(propiedad, valor);
  return prueba.style.length > 0;
}
