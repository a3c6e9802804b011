// What the deployment panel says and allows, from the "app" messages of a
// deployment (native code reports each phase, each line of the server's
// script and the server's state). Pure: no DOM.

const esTexto = (v) => typeof v === "string";
const esObjeto = (v) => v !== null && typeof v === "object" && !Array.isArray(v);

// The phases a step goes through before its end, and what the panel says
// meanwhile.
const EN_CURSO = {
  acceso: "Preparando el acceso al VPS…",
  subiendo: "Empaquetando y subiendo la aplicación…",
  planeando: "Revisando el VPS antes de desplegar…",
  desplegando: "Desplegando la aplicación…",
  volviendo: "Volviendo a la versión anterior…",
};

// The phases that end a step: after them the buttons work again.
const FINALES = new Set(["plan", "hecho", "vuelto", "pidePass", "error"]);

// The servers of {"servidores": […]} that can be deployed to: each with an
// integer id and an address; the name falls back to the address.
export function servidoresValidos(lista) {
  if (!Array.isArray(lista)) return [];
  const vistos = new Set();
  const r = [];
  for (const s of lista) {
    if (!esObjeto(s) || !Number.isInteger(s.id) || !esTexto(s.ip) || !s.ip || vistos.has(s.id)) continue;
    vistos.add(s.id);
    r.push({ id: s.id, ip: s.ip, nombre: esTexto(s.nombre) && s.nombre.trim() ? s.nombre.trim() : s.ip });
  }
  return r;
}

// The line of a server in the chooser.
export const etiquetaServidor = (s) => (s.nombre === s.ip ? s.ip : `${s.nombre} · ${s.ip}`);

// The server's state line from {"estadoServidor": …}: {texto, mal}.
export function describirEstado(estado) {
  if (!esObjeto(estado)) return { texto: "", mal: false };
  if (estado.ok !== true) {
    return { texto: esTexto(estado.error) && estado.error ? estado.error : "No se ha podido ver el estado del VPS.", mal: true };
  }
  if (estado.activo === true) {
    return { texto: esTexto(estado.version) && estado.version ? `En marcha en este VPS · versión ${estado.version}` : "En marcha en este VPS", mal: false };
  }
  if (esTexto(estado.version) && estado.version) return { texto: `Parada en este VPS · versión ${estado.version}`, mal: true };
  return { texto: "Todavía no está desplegada en este VPS.", mal: false };
}

// The address a finished deployment gives ("" when the answer has none).
export function direccionDe(resultado) {
  return esObjeto(resultado) && esTexto(resultado.url) && /^https?:\/\//.test(resultado.url) ? resultado.url : "";
}

// What the panel shows after one "despliegue" message: {fase, mal, fin,
// planListo, dominio, url, pidePass, aviso} where `fase` is the status text,
// `fin` whether the step is over, `planListo` whether "Desplegar" may follow
// (a plan that passed, for `dominio`), `url` the deployed address, `pidePass`
// whether the root password must be asked (`aviso` then says why the one
// typed did not open the server). Null for anything else.
export function fase(dato) {
  if (!esObjeto(dato) || !esTexto(dato.despliegue)) return null;
  const d = dato.despliegue;
  const texto = esTexto(dato.texto) ? dato.texto : "";
  const r = { fase: "", mal: false, fin: FINALES.has(d), planListo: false, dominio: "", url: "", pidePass: false, aviso: "" };
  if (EN_CURSO[d]) {
    r.fase = EN_CURSO[d];
  } else if (d === "pidePass") {
    r.pidePass = true;
    r.aviso = texto;
    r.mal = Boolean(texto);
    r.fase = texto || "Hace falta la contraseña de root del VPS.";
  } else if (d === "plan") {
    r.dominio = esTexto(dato.dominio) ? dato.dominio : "";
    r.planListo = !texto;
    r.mal = Boolean(texto);
    r.fase = texto || (r.dominio ? `Todo listo para desplegar en ${r.dominio}.` : "Todo listo para desplegar.");
  } else if (d === "hecho") {
    r.url = direccionDe(dato.resultado);
    r.fase = r.url ? `Desplegada en ${r.url}` : "Desplegada.";
  } else if (d === "vuelto") {
    const version = esObjeto(dato.resultado) && esTexto(dato.resultado.version) ? dato.resultado.version : "";
    r.fase = version ? `Ha vuelto a la versión ${version}.` : "Ha vuelto a la versión anterior.";
  } else if (d === "error") {
    r.mal = true;
    r.fase = texto || "No se ha podido desplegar la aplicación.";
  } else {
    return null;
  }
  return r;
}

// The last deployment of the project summary ("desplegada"), as one line.
export function ultimoDespliegue(resumen) {
  const d = esObjeto(resumen) && esObjeto(resumen.desplegada) ? resumen.desplegada : null;
  if (!d) return "";
  const donde = esTexto(d.url) && d.url ? d.url : esTexto(d.dominio) ? d.dominio : "";
  const fecha = esTexto(d.fecha) && /^\d{4}-\d{2}-\d{2}T/.test(d.fecha) ? fechaCorta(d.fecha) : "";
  if (!donde) return "";
  return fecha ? `Último despliegue: ${donde} (${fecha})` : `Último despliegue: ${donde}`;
}

// "2026-12-11T09:05:00Z" → "11/12/2026".
function fechaCorta(iso) {
  return `${iso.slice(8, 10)}/${iso.slice(5, 7)}/${iso.slice(0, 4)}`;
}

// The server's state once a step changed it: a deployment or a return
// leaves the app running at the version its answer names. Null when the
// message says nothing about it.
export function estadoTras(dato) {
  if (!esObjeto(dato) || (dato.despliegue !== "hecho" && dato.despliegue !== "vuelto")) return null;
  const version = esObjeto(dato.resultado) && esTexto(dato.resultado.version) ? dato.resultado.version : "";
  return describirEstado({ ok: true, activo: true, version });
}

// Whether a line of the script is shown: its closing answer is for native
// code, not for the customer.
export const lineaVisible = (linea) => typeof linea === "string" && !linea.startsWith("RESULTADO ");

// Keeps the script's last `maximo` lines.
export function anadirLinea(lineas, linea, maximo = 200) {
  const r = [...lineas, String(linea)];
  return r.length > maximo ? r.slice(r.length - maximo) : r;
}
