// Undo and redo over whole states of the design.
import assert from "node:assert/strict";
import { test } from "node:test";

import { Historial } from "../../resources/editor/tarvel/historial.js";

test("undo and redo walk the steps both ways, and stop at the ends", () => {
  const h = new Historial();
  assert.equal(h.deshacer(), null);
  assert.equal(h.rehacer(), null);
  h.registrar("a", "b", "uno");
  h.registrar("b", "c", "dos");
  assert.deepEqual([h.puedeDeshacer, h.puedeRehacer], [true, false]);

  assert.equal(h.deshacer().antes, "b");
  assert.equal(h.deshacer().antes, "a");
  assert.equal(h.deshacer(), null);
  assert.deepEqual([h.puedeDeshacer, h.puedeRehacer], [false, true]);

  assert.equal(h.rehacer().despues, "b");
  assert.equal(h.rehacer().despues, "c");
  assert.equal(h.rehacer(), null);
});

test("a change that changes nothing is no step; a new step drops what could be redone", () => {
  const h = new Historial();
  h.registrar("a", "a", "nada");
  assert.equal(h.puedeDeshacer, false);
  h.registrar("a", "b", "uno");
  h.registrar("b", "c", "dos");
  h.deshacer();
  h.registrar("b", "d", "otro");
  assert.equal(h.puedeRehacer, false);
  assert.equal(h.deshacer().etiqueta, "otro");
  assert.equal(h.deshacer().etiqueta, "uno");
});

test("only the newest steps up to the limit are kept", () => {
  const h = new Historial(3);
  for (let i = 0; i < 5; i++) h.registrar(`e${i}`, `e${i + 1}`, `paso ${i}`);
  const deshechos = [];
  for (let paso = h.deshacer(); paso; paso = h.deshacer()) deshechos.push(paso.etiqueta);
  assert.deepEqual(deshechos, ["paso 4", "paso 3", "paso 2"]);
  // Everything undone can be redone, in order.
  const rehechos = [];
  for (let paso = h.rehacer(); paso; paso = h.rehacer()) rehechos.push(paso.etiqueta);
  assert.deepEqual(rehechos, ["paso 2", "paso 3", "paso 4"]);
  h.vaciar();
  assert.deepEqual([h.puedeDeshacer, h.puedeRehacer], [false, false]);
});
