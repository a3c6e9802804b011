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

// Adds `nuevo` to the sheet `actual`. @import rules only work at the start
// of a sheet, so they are lifted there (after the ones already present).
export function sumarHoja(actual, nuevo) {
  const importsNuevos = [];
  const resto = String(nuevo || "").replace(/@import\s[^;]+;/g, (m) => {
    importsNuevos.push(m.trim());
    return "";
  });
  const base = String(actual || "");
  const importsViejos = [];
  const cuerpo = base.replace(/@import\s[^;]+;/g, (m) => {
    importsViejos.push(m.trim());
    return "";
  });
  const imports = [...importsViejos, ...importsNuevos.filter((i) => !importsViejos.includes(i))];
  const partes = [];
  if (imports.length) partes.push(imports.join("\n"));
  if (cuerpo.trim()) partes.push(cuerpo.trim());
  if (resto.trim()) partes.push(resto.trim());
  return partes.join("\n\n");
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
