// The outside agent's indicator goes away by itself once the agent has been
// quiet for the limit, takes its own focus mark with it, and comes back with
// the next call; every call pushes the limit back. The clock is Node's mock
// timers, so minutes pass at once.
import assert from "node:assert/strict";
import { test } from "node:test";

import { AgenteExterno, SILENCIO_MAXIMO_AGENTE_MS as LIMITE } from "../../resources/editor/tarvel/agente_externo.js";

function preparar(t) {
  t.mock.timers.enable({ apis: ["setTimeout"] });
  const editor = { agenteExterno: null, foco: null, marcas: 0, pintadas: 0, actualizarMarcas() { this.marcas += 1; } };
  const externo = new AgenteExterno(editor, () => { editor.pintadas += 1; });
  return { editor, externo, pasar: (ms) => t.mock.timers.tick(ms) };
}

test("the indicator expires after the quiet limit and the next call shows it again", (t) => {
  const { editor, externo, pasar } = preparar(t);

  externo.llamada({ nombre: "Cursor", herramienta: "enfocar", terminar: false });
  assert.deepEqual(editor.agenteExterno, { nombre: "Cursor", herramienta: "enfocar" });
  editor.foco = { mesa: "m1", lid: "a", nombre: "Cursor" };

  // Calls closer together than the limit keep it up well past the limit.
  for (let i = 0; i < 3; i += 1) {
    pasar(LIMITE - 1000);
    assert.ok(editor.agenteExterno, `still working after call ${i}`);
    externo.llamada({ nombre: "Cursor", herramienta: "editar" });
  }
  pasar(LIMITE - 1);
  assert.equal(editor.agenteExterno?.herramienta, "editar");

  const antes = editor.pintadas;
  pasar(1);
  assert.equal(editor.agenteExterno, null);
  assert.equal(editor.foco, null, "the quiet agent's focus mark goes with it");
  assert.equal(editor.marcas, 1);
  assert.equal(editor.pintadas, antes + 1);

  externo.llamada({ nombre: "Cursor", herramienta: "captura" });
  assert.deepEqual(editor.agenteExterno, { nombre: "Cursor", herramienta: "captura" });
  pasar(LIMITE);
  assert.equal(editor.agenteExterno, null);
});

test("terminar and malformed notices start no clock; another agent's focus stays", (t) => {
  const { editor, externo, pasar } = preparar(t);

  for (const dato of [null, "texto", 3]) externo.llamada(dato);
  assert.equal(editor.agenteExterno, null);
  assert.equal(editor.pintadas, 0);

  externo.llamada({ nombre: "", herramienta: 7 });
  assert.deepEqual(editor.agenteExterno, { nombre: "Un agente", herramienta: "7" });
  // terminar leaves the indicator to the tool itself and stops the clock:
  // once the tool has removed it, nothing is drawn again later.
  externo.llamada({ nombre: "Un agente", herramienta: "terminar", terminar: true });
  editor.agenteExterno = null;
  const pintadas = editor.pintadas;
  pasar(LIMITE * 2);
  assert.equal(editor.pintadas, pintadas);

  externo.llamada({ nombre: "Claude", herramienta: "editar" });
  editor.foco = { mesa: "m1", lid: "a", nombre: "Asistente" };
  pasar(LIMITE);
  assert.equal(editor.agenteExterno, null);
  assert.deepEqual(editor.foco, { mesa: "m1", lid: "a", nombre: "Asistente" });
  assert.equal(editor.marcas, 0);
});
