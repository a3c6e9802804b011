// The agency workspace's data and its way to the account, without the DOM.
//
// Every change is saved locally at once (the native side keeps the file)
// and marked pending; an upload goes over the version of the last known
// base. One upload at a time: a change made while one runs is uploaded once
// more after it ends, with the version that upload returned. A failed
// upload or a conflict leaves the change pending in the file, so nothing
// typed is lost; a conflict offers the account's copy, to merge or to take.

export function vacio() {
  return { clientes: [], proyectos: [] };
}

function esObjeto(v) {
  return v !== null && typeof v === "object" && !Array.isArray(v);
}

// The workspace data with both lists present; other members are kept.
export function normalizar(datos) {
  const d = esObjeto(datos) ? { ...datos } : {};
  d.clientes = Array.isArray(d.clientes) ? d.clientes.filter(esObjeto) : [];
  d.proyectos = Array.isArray(d.proyectos) ? d.proyectos.filter(esObjeto) : [];
  return d;
}

// JSON text with sorted keys: two values are equal when these are.
export function canonico(v) {
  if (Array.isArray(v)) return "[" + v.map(canonico).join(",") + "]";
  if (esObjeto(v)) return "{" + Object.keys(v).sort().map((k) => JSON.stringify(k) + ":" + canonico(v[k])).join(",") + "}";
  return JSON.stringify(v ?? null);
}

export function iguales(a, b) {
  return canonico(a) === canonico(b);
}

// One list merged three ways by "id": a change on one side wins over the
// other side's unchanged copy; when both changed, ours wins; an entry one
// side removed goes unless the other side changed it.
function fusionarLista(base, mia, suya) {
  const porId = (lista) => new Map(lista.filter((x) => typeof x.id === "string").map((x) => [x.id, x]));
  const b = porId(base), m = porId(mia), s = porId(suya);
  const resultado = [];
  const elegir = (id) => {
    const enBase = b.get(id), mio = m.get(id), suyo = s.get(id);
    if (mio && suyo) return !enBase || !iguales(mio, enBase) ? mio : suyo;
    if (mio) return !enBase || !iguales(mio, enBase) ? mio : null;
    if (suyo) return !enBase || !iguales(suyo, enBase) ? suyo : null;
    return null;
  };
  const vistos = new Set();
  for (const x of [...mia, ...suya]) {
    if (typeof x.id !== "string" || vistos.has(x.id)) continue;
    vistos.add(x.id);
    const elegido = elegir(x.id);
    if (elegido) resultado.push(elegido);
  }
  return resultado;
}

export function fusionar(base, mia, suya) {
  const b = normalizar(base), m = normalizar(mia), s = normalizar(suya);
  return {
    ...s,
    ...m,
    clientes: fusionarLista(b.clientes, m.clientes, s.clientes),
    proyectos: fusionarLista(b.proyectos, m.proyectos, s.proyectos),
  };
}

// The upload state. `enviar(mensaje)` is the road to native code; the
// caller draws `estado()` after each call.
export class Sincronia {
  constructor(enviar) {
    this.enviar = enviar;
    this.datos = vacio();
    this.base = null;
    this.version = 0;
    this.pendiente = false;
    this.subiendo = null; // the data of the upload under way
    this.error = null; // {mensaje, sinRed} of the last failed upload
    this.conflicto = null; // {datos, version} of the account, waiting for a choice
  }

  // The stored state from native code; pending changes go up at once.
  cargar(agencia, local) {
    this.datos = normalizar(agencia);
    this.base = esObjeto(local?.base) ? local.base : null;
    this.version = Number.isInteger(local?.version) ? local.version : 0;
    this.pendiente = local?.pendiente === true;
    if (this.pendiente) this.subir();
  }

  // A change by the user: saved, then uploaded (or queued behind the
  // upload under way).
  cambiar(datos) {
    this.datos = normalizar(datos);
    this.pendiente = true;
    this.enviar({ tipo: "guardar", datos: this.datos, pendiente: true });
    this.subir();
  }

  subir() {
    if (this.subiendo || this.conflicto) return;
    this.subiendo = this.datos;
    this.enviar({ tipo: "subir", datos: this.datos, version: this.version });
  }

  // The answer to an upload. Gives "conflicto" when the user must choose.
  alSubir(r) {
    const enviado = this.subiendo;
    this.subiendo = null;
    if (r?.ok === true && Number.isInteger(r.version)) {
      this.error = null;
      this.version = r.version;
      this.base = enviado;
      if (enviado && iguales(enviado, this.datos)) this.pendiente = false;
      else this.subir();
      return "ok";
    }
    if (r?.conflicto === true && esObjeto(r.servidor)) {
      this.conflicto = {
        datos: normalizar(r.servidor.datos),
        version: Number.isInteger(r.servidor.version) ? r.servidor.version : this.version,
      };
      return "conflicto";
    }
    this.error = { mensaje: String(r?.mensaje || "No se han podido subir los datos."), sinRed: r?.sinRed === true };
    return "error";
  }

  // The user's choice on a conflict: "unir" merges ours into the account's
  // copy and uploads the result; "cuenta" takes the account's copy as it is.
  resolver(eleccion) {
    const c = this.conflicto;
    if (!c) return;
    this.conflicto = null;
    if (eleccion === "cuenta") {
      this.datos = c.datos;
      this.base = c.datos;
      this.version = c.version;
      this.pendiente = false;
      this.enviar({ tipo: "guardar", datos: this.datos, base: c.datos, version: c.version, pendiente: false });
      return;
    }
    this.datos = fusionar(this.base, this.datos, c.datos);
    this.base = c.datos;
    this.version = c.version;
    this.pendiente = true;
    this.enviar({ tipo: "guardar", datos: this.datos, base: c.datos, version: c.version, pendiente: true });
    this.subir();
  }

  // "subiendo", "conflicto", "error", "sinRed", "pendiente" or "al-dia".
  estado() {
    if (this.conflicto) return "conflicto";
    if (this.subiendo) return "subiendo";
    if (this.error) return this.error.sinRed ? "sinRed" : "error";
    return this.pendiente ? "pendiente" : "al-dia";
  }
}
