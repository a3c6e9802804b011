// What the settings page makes of the native data, without a DOM.
import { test } from "node:test";
import assert from "node:assert/strict";
import {
  estadoServicio,
  destinoConexion,
  familias,
  mensajeConexion,
  formularioDeConexion,
  pestanaValida,
} from "../../resources/editor/ajustes/vista_ajustes.js";

test("the badge of a service follows its key and its check", () => {
  assert.deepEqual(estadoServicio({ conectado: false, comprobada: true }), { texto: "Sin clave", tono: "" });
  assert.deepEqual(estadoServicio({ conectado: true, comprobada: false }), { texto: "Guardada, sin comprobar", tono: "medio" });
  assert.deepEqual(estadoServicio({ conectado: true, comprobada: true }), { texto: "Conectado", tono: "bien" });
});

test("a connection shows where it points by its kind", () => {
  assert.equal(destinoConexion({ tipo: "mcp-http", url: "https://a/mcp" }), "https://a/mcp");
  assert.equal(destinoConexion({ tipo: "mcp-orden", orden: "npx -y x" }), "npx -y x");
  assert.equal(destinoConexion({ tipo: "clave", variable: "FIGMA_TOKEN" }), "Variable $FIGMA_TOKEN");
  assert.equal(destinoConexion({ tipo: "clave", variable: "" }), "");
});

test("fonts group by family in first-seen order and malformed entries are skipped", () => {
  const g = familias([
    { familia: "B", archivo: "b1.ttf", peso: "400" },
    { familia: "A", archivo: "a.ttf" },
    null,
    { familia: 3, archivo: "x" },
    { familia: "B", archivo: "b2.ttf", peso: "700" },
  ]);
  assert.deepEqual(g.map((f) => [f.familia, f.caras.length]), [["B", 2], ["A", 1]]);
  assert.deepEqual(familias(undefined), []);
});

test("the save message leaves out an empty secret and an empty header, and an edit round-trips", () => {
  const m = mensajeConexion({ id: "", clase: "mcp-http", nombre: "x", url: "https://a", cabecera: "", secreto: "  " });
  assert.equal(m.tipo, "guardarConexion");
  assert.equal("secreto" in m, false);
  assert.equal("cabecera" in m, false);
  assert.equal(mensajeConexion({ secreto: "s" }).secreto, "s");
  const c = { id: "1", tipo: "mcp-orden", nombre: "n", orden: "npx -y p", variable: "V", para: "p", secreto: true };
  const vuelta = mensajeConexion(formularioDeConexion(c));
  assert.deepEqual([vuelta.id, vuelta.clase, vuelta.orden, vuelta.variable], ["1", "mcp-orden", "npx -y p", "V"]);
});

test("only a known tab is opened", () => {
  assert.equal(pestanaValida("agentes"), "agentes");
  assert.equal(pestanaValida("otra"), "integraciones");
});
