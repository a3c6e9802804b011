// The agency page's data and its uploads (resources/editor/agencia/sincronia.js):
// the three-way merge offered on a conflict, and the upload sequence that
// must never drop a change nor upload one twice.
import { test } from "node:test";
import assert from "node:assert/strict";

import { Sincronia, fusionar, iguales } from "../../resources/editor/agencia/sincronia.js";

const c = (id, nombre) => ({ id, nombre });

test("the merge keeps each side's changes and removals", () => {
  const casos = [
    {
      que: "new entries on both sides are all kept",
      base: { clientes: [c("a", "A")], proyectos: [] },
      mia: { clientes: [c("a", "A"), c("m", "Mía")], proyectos: [] },
      suya: { clientes: [c("a", "A"), c("s", "Suya")], proyectos: [] },
      clientes: [c("a", "A"), c("m", "Mía"), c("s", "Suya")],
    },
    {
      que: "a change on their side wins over our unchanged copy",
      base: { clientes: [c("a", "A")], proyectos: [] },
      mia: { clientes: [c("a", "A")], proyectos: [] },
      suya: { clientes: [c("a", "A2")], proyectos: [] },
      clientes: [c("a", "A2")],
    },
    {
      que: "both changed the same entry: ours wins",
      base: { clientes: [c("a", "A")], proyectos: [] },
      mia: { clientes: [c("a", "Mío")], proyectos: [] },
      suya: { clientes: [c("a", "Suyo")], proyectos: [] },
      clientes: [c("a", "Mío")],
    },
    {
      que: "removed here and unchanged there: gone",
      base: { clientes: [c("a", "A"), c("b", "B")], proyectos: [] },
      mia: { clientes: [c("b", "B")], proyectos: [] },
      suya: { clientes: [c("a", "A"), c("b", "B")], proyectos: [] },
      clientes: [c("b", "B")],
    },
    {
      que: "removed there but changed here: kept",
      base: { clientes: [c("a", "A")], proyectos: [] },
      mia: { clientes: [c("a", "A cambiado")], proyectos: [] },
      suya: { clientes: [], proyectos: [] },
      clientes: [c("a", "A cambiado")],
    },
    {
      que: "no base at all (first upload): the union",
      base: null,
      mia: { clientes: [c("m", "M")], proyectos: [] },
      suya: { clientes: [c("s", "S")], proyectos: [] },
      clientes: [c("m", "M"), c("s", "S")],
    },
  ];
  for (const k of casos) assert.deepEqual(fusionar(k.base, k.mia, k.suya).clientes, k.clientes, k.que);
});

test("equality ignores the order of members", () => {
  assert.ok(iguales({ a: 1, b: [{ x: 1, y: 2 }] }, { b: [{ y: 2, x: 1 }], a: 1 }));
  assert.ok(!iguales({ a: [1, 2] }, { a: [2, 1] }));
});

// A Sincronia whose messages to native code are kept.
function nueva() {
  const enviados = [];
  const s = new Sincronia((m) => enviados.push(structuredClone(m)));
  return { s, enviados, subidas: () => enviados.filter((m) => m.tipo === "subir") };
}

const datos = (...nombres) => ({ clientes: nombres.map((n) => c(n, n)), proyectos: [] });

test("a change made during an upload goes up exactly once more, over the new version", () => {
  const { s, enviados, subidas } = nueva();
  s.cargar({}, { base: null, version: 0, pendiente: false });
  assert.equal(subidas().length, 0, "nothing pending, nothing uploaded");

  s.cambiar(datos("a"));
  assert.deepEqual(enviados[0], { tipo: "guardar", datos: datos("a"), pendiente: true }, "saved before anything else");
  assert.deepEqual(subidas(), [{ tipo: "subir", datos: datos("a"), version: 0 }]);

  s.cambiar(datos("a", "b"));
  s.cambiar(datos("a", "b", "c"));
  assert.equal(subidas().length, 1, "one upload at a time");
  assert.equal(s.estado(), "subiendo");

  s.alSubir({ ok: true, version: 1 });
  assert.deepEqual(subidas()[1], { tipo: "subir", datos: datos("a", "b", "c"), version: 1 });
  assert.equal(s.pendiente, true);

  s.alSubir({ ok: true, version: 2 });
  assert.equal(subidas().length, 2, "nothing changed since: no third upload");
  assert.equal(s.estado(), "al-dia");
  assert.deepEqual(s.base, datos("a", "b", "c"));
});

test("failures keep the change pending, and a stored pending change goes up on load", () => {
  const casos = [
    { respuesta: { ok: false, sinRed: true, mensaje: "Sin red." }, estado: "sinRed" },
    { respuesta: { ok: false, sinRed: false, mensaje: "Hay demasiados datos de agencia." }, estado: "error" },
    { respuesta: "basura", estado: "error" },
  ];
  for (const k of casos) {
    const { s, subidas } = nueva();
    s.cargar(datos("a"), { base: datos(), version: 4, pendiente: true });
    assert.deepEqual(subidas(), [{ tipo: "subir", datos: datos("a"), version: 4 }], "uploaded at load");
    assert.equal(s.alSubir(k.respuesta), "error");
    assert.equal(s.estado(), k.estado);
    assert.equal(s.pendiente, true);
    assert.equal(s.version, 4);
    s.cambiar(datos("a", "b"));
    assert.deepEqual(subidas()[1], { tipo: "subir", datos: datos("a", "b"), version: 4 }, "the next change retries");
  }
});

test("a conflict offers the account's copy: merge and upload, or take it", () => {
  const servidor = { datos: datos("x", "s"), version: 7 };
  {
    const { s, enviados, subidas } = nueva();
    s.cargar(datos("x"), { base: datos("x"), version: 5, pendiente: false });
    s.cambiar(datos("x", "m"));
    assert.equal(s.alSubir({ conflicto: true, servidor }), "conflicto");
    s.cambiar(datos("x", "m", "n"));
    assert.equal(subidas().length, 1, "nothing goes up while the choice is open");
    s.resolver("unir");
    const unidos = { clientes: [c("x", "x"), c("m", "m"), c("n", "n"), c("s", "s")], proyectos: [] };
    assert.deepEqual(enviados.at(-2), { tipo: "guardar", datos: unidos, base: servidor.datos, version: 7, pendiente: true });
    assert.deepEqual(enviados.at(-1), { tipo: "subir", datos: unidos, version: 7 });
  }
  {
    const { s, enviados, subidas } = nueva();
    s.cargar(datos("x"), { base: datos("x"), version: 5, pendiente: false });
    s.cambiar(datos("x", "m"));
    s.alSubir({ conflicto: true, servidor });
    s.resolver("cuenta");
    assert.deepEqual(enviados.at(-1), { tipo: "guardar", datos: servidor.datos, base: servidor.datos, version: 7, pendiente: false });
    assert.equal(subidas().length, 1);
    assert.equal(s.estado(), "al-dia");
  }
});
