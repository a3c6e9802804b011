// What the app panel says about a design's app project, from the summary
// native code sends ({"proyecto": …}). Pure: no DOM.

const FASES = {
  inicio: "Sin empezar: la IA escribirá primero qué va a construir.",
  diseno: "Diseño escrito: falta el plan de trabajo.",
  construccion: "En construcción",
  lista: "Lista",
};

const esTexto = (v) => typeof v === "string";
const esEntero = (v) => Number.isInteger(v) && v >= 0;

// {nombre, fase, progreso, carpeta, movil} for a summary; null for anything
// that is not one.
export function describirProyecto(resumen) {
  if (!resumen || typeof resumen !== "object" || Array.isArray(resumen)) return null;
  if (!esTexto(resumen.nombre) || !esTexto(resumen.carpeta)) return null;
  const hechas = esEntero(resumen.hechas) ? resumen.hechas : 0;
  const total = esEntero(resumen.total) ? resumen.total : 0;
  return {
    nombre: resumen.nombre,
    carpeta: resumen.carpeta,
    fase: FASES[resumen.fase] || "En construcción",
    progreso: total > 0 ? `${Math.min(hechas, total)} de ${total} ${total === 1 ? "tarea hecha" : "tareas hechas"}` : "Sin tareas todavía",
    movil: resumen.movil === true,
  };
}

// The label of the panel's button: "App", then the progress once there is a plan.
export function etiquetaBoton(resumen) {
  const d = describirProyecto(resumen);
  if (!d) return "App";
  const total = esEntero(resumen.total) ? resumen.total : 0;
  return total > 0 ? `App · ${Math.min(resumen.hechas || 0, total)}/${total}` : "App";
}
