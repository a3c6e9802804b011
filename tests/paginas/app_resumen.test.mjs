// What the app panel says about a project summary: phase, progress and the
// button's label, and nothing for a message that is not a summary.
import assert from "node:assert/strict";
import { test } from "node:test";

import { describirProyecto, etiquetaBoton } from "../../resources/editor/tarvel/app_resumen.js";

const base = { carpeta: "/home/a/Sites/Sorvenia Code/tienda", nombre: "tienda", hayAplicacion: false, vista: null };

test("a summary becomes the panel's texts", () => {
  const casos = [
    [{ fase: "inicio", hechas: 0, total: 0 }, "Sin empezar: la IA escribirá primero qué va a construir.", "Sin tareas todavía", "App"],
    [{ fase: "diseno", hechas: 0, total: 0 }, "Diseño escrito: falta el plan de trabajo.", "Sin tareas todavía", "App"],
    [{ fase: "construccion", hechas: 1, total: 3 }, "En construcción", "1 de 3 tareas hechas", "App · 1/3"],
    [{ fase: "lista", hechas: 1, total: 1 }, "Lista", "1 de 1 tarea hecha", "App · 1/1"],
    [{ fase: "otra", hechas: 5, total: 2 }, "En construcción", "2 de 2 tareas hechas", "App · 2/2"],
    [{ fase: "lista", hechas: -1, total: "3" }, "Lista", "Sin tareas todavía", "App"],
  ];
  for (const [resumen, fase, progreso, etiqueta] of casos) {
    const d = describirProyecto({ ...base, ...resumen });
    assert.equal(d.fase, fase);
    assert.equal(d.progreso, progreso);
    assert.equal(d.nombre, "tienda");
    assert.equal(d.movil, false);
    assert.equal(etiquetaBoton({ ...base, ...resumen }), etiqueta);
  }
  assert.equal(describirProyecto({ ...base, fase: "inicio", movil: true }).movil, true);
});

test("anything that is not a summary describes nothing", () => {
  for (const valor of [undefined, null, "tienda", [], {}, { nombre: "x" }, { carpeta: "/x", nombre: 3 }]) {
    assert.equal(describirProyecto(valor), null);
    assert.equal(etiquetaBoton(valor), "App");
  }
});
