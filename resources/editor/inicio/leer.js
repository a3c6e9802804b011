// What native code sends, read leniently: a key that is missing or of
// another JSON type counts as absent and takes its default; an entry of a
// list that cannot be used (not an object, no id) is left out. Nothing
// here throws on a malformed value.

import { esObjeto, leerFecha, texto } from "./utiles.js";

const lista = (valor) => (Array.isArray(valor) ? valor.filter(esObjeto) : []);
const bool = (valor) => valor === true;
const conTexto = (valor) => typeof valor === "string" && valor !== "";

// Account designs: {"id", "nombre", "modificado", "miniatura"}.
export function leerDisenos(valor) {
  const vistos = new Set();
  const r = [];
  for (const d of lista(valor)) {
    if (!conTexto(d.id) || vistos.has(d.id)) continue;
    vistos.add(d.id);
    r.push({
      id: d.id,
      nombre: texto(d.nombre).trim() || "Sin título",
      modificado: leerFecha(d.modificado),
      miniatura: texto(d.miniatura),
    });
  }
  return r;
}

// Local copies not yet uploaded: {"archivo", "nombre", "nuevo", "abrir", "fecha"}.
export function leerCopias(valor) {
  const r = [];
  for (const c of lista(valor)) {
    if (!conTexto(c.archivo)) continue;
    r.push({
      archivo: c.archivo,
      nombre: texto(c.nombre).trim() || "Sin título",
      nuevo: bool(c.nuevo),
      abrir: c.abrir !== false,
      fecha: leerFecha(c.fecha),
    });
  }
  return r;
}

// Agent jobs (the registry's list).
const ESTADOS = new Set(["trabajando", "listo", "pregunta", "parado", "error"]);
export function leerTrabajos(valor) {
  const r = [];
  for (const t of lista(valor)) {
    if (!conTexto(t.clave)) continue;
    const id = texto(t.id);
    r.push({
      clave: t.clave,
      id,
      nombre: texto(t.nombre).trim(),
      ia: texto(t.ia),
      estado: ESTADOS.has(t.estado) ? t.estado : "listo",
      paso: texto(t.paso),
      texto: texto(t.texto),
      modo: t.modo === "app" ? "app" : "diseno",
      desde: leerFecha(t.desde),
      hasta: leerFecha(t.hasta),
      aqui: bool(t.aqui),
      abrible: typeof t.abrible === "boolean" ? t.abrible : id !== "",
    });
  }
  return r;
}

// The local AI tools: {"id", "nombre", "sesion"}.
export function leerIAs(valor) {
  const r = [];
  for (const ia of lista(valor)) {
    if (!conTexto(ia.id) || r.some((otra) => otra.id === ia.id)) continue;
    r.push({ id: ia.id, nombre: texto(ia.nombre).trim(), sesion: bool(ia.sesion) });
  }
  return r;
}

// Integration cards.
export function leerIntegraciones(valor) {
  const r = [];
  for (const c of lista(valor)) {
    if (!conTexto(c.id) && !conTexto(c.nombre)) continue;
    r.push({
      id: texto(c.id),
      nombre: texto(c.nombre) || texto(c.id),
      para: texto(c.para),
      grupo: texto(c.grupo) || "Otras",
      activa: c.estado === "activo",
      accion: texto(c.accion),
      logo: texto(c.logo),
    });
  }
  return r;
}

// The whole home data. "trabajos" is null when the key is not a list, so
// that the jobs already shown stay.
export function leerDatos(d) {
  const cliente = esObjeto(d.cliente)
    ? { nombre: texto(d.cliente.nombre).trim(), email: texto(d.cliente.email).trim() }
    : null;
  const ia = esObjeto(d.ia) && conTexto(d.ia.nombre)
    ? { nombre: d.ia.nombre, logo: texto(d.ia.logo), lista: bool(d.ia.lista) }
    : null;
  return {
    disenos: leerDisenos(d.disenos),
    disenosValidos: Array.isArray(d.disenos),
    logo: texto(d.logo),
    cliente,
    ia,
    ias: leerIAs(d.ias),
    iasListas: bool(d.iasListas),
    sinSubir: leerCopias(d.sinSubir),
    error: conTexto(d.error) ? d.error : null,
    actualizacion: esObjeto(d.actualizacion) && conTexto(d.actualizacion.version) ? { version: d.actualizacion.version } : null,
    integraciones: leerIntegraciones(d.integraciones),
    trabajos: Array.isArray(d.trabajos) ? leerTrabajos(d.trabajos) : null,
  };
}
