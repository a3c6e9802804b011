// What the settings page shows, worked out from the native data without
// touching the DOM (so it can be tested on its own).

// The badge of a service: its text and tone.
export function estadoServicio(servicio) {
  if (!servicio || !servicio.conectado) return { texto: "Sin clave", tono: "" };
  if (servicio.comprobada) return { texto: "Conectado", tono: "bien" };
  return { texto: "Guardada, sin comprobar", tono: "medio" };
}

// One line that says where a connection points.
export function destinoConexion(conexion) {
  if (!conexion) return "";
  if (conexion.tipo === "mcp-http") return String(conexion.url || "");
  if (conexion.tipo === "mcp-orden") return String(conexion.orden || "");
  return conexion.variable ? `Variable $${conexion.variable}` : "";
}

// The families of the font list in first-seen order, each with its faces.
export function familias(fuentes) {
  const porFamilia = new Map();
  for (const f of Array.isArray(fuentes) ? fuentes : []) {
    if (!f || typeof f.familia !== "string" || typeof f.archivo !== "string") continue;
    if (!porFamilia.has(f.familia)) porFamilia.set(f.familia, []);
    porFamilia.get(f.familia).push(f);
  }
  return [...porFamilia].map(([familia, caras]) => ({ familia, caras }));
}

// The message that fills the connection form back in for an edit.
export function formularioDeConexion(conexion) {
  return {
    id: conexion.id || "",
    clase: conexion.tipo || "mcp-http",
    nombre: conexion.nombre || "",
    url: conexion.url || "",
    cabecera: conexion.cabecera || "",
    orden: conexion.orden || "",
    variable: conexion.variable || "",
    para: conexion.para || "",
  };
}

// The "guardarConexion" message from the form's fields; an empty secret is
// left out (the stored one stays).
export function mensajeConexion(campos) {
  const m = { tipo: "guardarConexion" };
  for (const clave of ["id", "clase", "nombre", "url", "cabecera", "orden", "variable", "para"])
    m[clave] = String(campos[clave] ?? "");
  if (!m.cabecera) delete m.cabecera;
  const secreto = String(campos.secreto ?? "");
  if (secreto.trim()) m.secreto = secreto;
  return m;
}

// The tab to show: the one asked for when it exists.
export function pestanaValida(pestana) {
  return pestana === "agentes" ? "agentes" : "integraciones";
}
