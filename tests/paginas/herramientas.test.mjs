// The contract between the native tool catalogue (what agents are offered)
// and the editor page's tool table (what the page runs): the page runs
// exactly the catalogue's tools that native code does not answer itself.
// The catalogue comes from the program SORVENIA_CATALOGO_HERRAMIENTAS
// names (tests/paginas/catalogo_herramientas.cpp).
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { test } from "node:test";

import { NOMBRES_HERRAMIENTAS, ejecutar } from "../../resources/editor/tarvel/herramientas.js";

function catalogo() {
  const programa = process.env.SORVENIA_CATALOGO_HERRAMIENTAS;
  assert.ok(programa, "SORVENIA_CATALOGO_HERRAMIENTAS must name the catalogue program (ctest sets it).");
  return JSON.parse(execFileSync(programa, { encoding: "utf8" }));
}

test("the page's table and the catalogue's page tools are the same names, both ways", () => {
  const lista = catalogo();
  const nombres = lista.map((h) => h.nombre);
  assert.equal(new Set(nombres).size, nombres.length, "a tool appears twice in the catalogue");
  assert.equal(new Set(NOMBRES_HERRAMIENTAS).size, NOMBRES_HERRAMIENTAS.length, "a tool appears twice in the page's table");

  const dePagina = lista.filter((h) => h.responde === "pagina").map((h) => h.nombre);
  const sinPagina = dePagina.filter((n) => !NOMBRES_HERRAMIENTAS.includes(n));
  const sinCatalogo = NOMBRES_HERRAMIENTAS.filter((n) => !dePagina.includes(n));
  assert.deepEqual({ sinPagina, sinCatalogo }, { sinPagina: [], sinCatalogo: [] });
});

test("a tool native code answers reaches no tool of the page: the page refuses it by name", async () => {
  const nativas = catalogo().filter((h) => h.responde !== "pagina").map((h) => h.nombre);
  assert.ok(nativas.length > 0);
  // An editor with an open document: only the table decides.
  const editor = { doc: { paginas: [], variables: [], recursos: [] } };
  for (const nombre of [...nativas, "no_existe"]) {
    assert.deepEqual(await ejecutar(editor, nombre, {}), { texto: `Herramienta desconocida: ${nombre}`, error: true }, nombre);
  }
});
