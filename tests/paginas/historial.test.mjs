// Undo and redo steps that hold only what changed: taking every step back
// and forth must give exactly the documents the changes made, and mesas a
// step did not touch keep their objects.
import assert from "node:assert/strict";
import { test } from "node:test";

import { aplicarPaso, diferencia, estadoDeshacible } from "../../resources/editor/tarvel/documento.js";
import { Historial } from "../../resources/editor/tarvel/historial.js";

const mesa = (id, html) => ({ id, nombre: id, x: 0, y: 0, ancho: 100, alto: 100, auto: false, html, css: "", animaciones: [] });
const texto = (doc) => JSON.stringify({ paginas: doc.paginas, variables: doc.variables });

function disenoConHistorial(limite = 200) {
  const doc = {
    paginas: [{ id: "p1", nombre: "Web", portada: "a", mesas: [mesa("a", "<p>a</p>"), mesa("b", "<p>b</p>")], rotulos: [] },
      { id: "p2", nombre: "App", portada: "c", mesas: [mesa("c", "<p>c</p>")], rotulos: [] }],
    variables: [],
    pagina: 0,
  };
  const historial = new Historial(limite);
  const estados = [texto(doc)];
  const cambiar = (fn) => {
    const antes = estadoDeshacible(doc);
    fn();
    const paso = diferencia(antes, estadoDeshacible(doc));
    historial.registrar(paso);
    if (paso) estados.push(texto(doc));
    return paso;
  };
  return { doc, historial, estados, cambiar };
}

test("cada paso guarda solo lo que cambió y se deshace y rehace entero", () => {
  const { doc, historial, estados, cambiar } = disenoConHistorial();
  const a = doc.paginas[0].mesas[0];
  const soloHtml = cambiar(() => { a.html = "<p>A</p>"; });
  assert.equal(soloHtml.marco, null);
  assert.deepEqual(soloHtml.mesas, [["a", JSON.stringify(mesa("a", "<p>a</p>")), JSON.stringify(a)]]);
  const borrar = cambiar(() => { doc.paginas[0].mesas.splice(1, 1); });
  assert.ok(borrar.marco);
  assert.deepEqual(borrar.mesas.map((m) => [m[0], m[2]]), [["b", undefined]]);
  cambiar(() => { doc.paginas[1].mesas.push(doc.paginas[0].mesas.shift()); });  // a moves to the other page
  cambiar(() => { doc.variables.push({ nombre: "marca", valor: "red" }); a.animaciones.push({ lid: "x" }); });
  assert.equal(cambiar(() => {}), null);
  assert.equal(cambiar(() => { a.x = a.x; }), null);

  for (let i = estados.length - 2; i >= 0; i--) {
    aplicarPaso(doc, historial.deshacer(), 0);
    assert.equal(texto(doc), estados[i]);
  }
  assert.equal(historial.deshacer(), null);
  const c = doc.paginas[1].mesas[0];
  for (let i = 1; i < estados.length; i++) {
    aplicarPaso(doc, historial.rehacer(), 1);
    assert.equal(texto(doc), estados[i]);
  }
  assert.equal(historial.rehacer(), null);
  assert.equal(doc.paginas[1].mesas[0], c, "a mesa no step touched keeps its object");
});

test("el historial guarda como mucho su límite de pasos y un cambio nuevo borra lo rehacible", () => {
  const { doc, historial, cambiar } = disenoConHistorial(3);
  for (let i = 0; i < 5; i++) cambiar(() => { doc.paginas[0].mesas[0].html = `<p>${i}</p>`; });
  assert.equal(historial.atras.length, 3);
  aplicarPaso(doc, historial.deshacer(), 0);
  assert.ok(historial.puedeRehacer);
  cambiar(() => { doc.paginas[0].mesas[0].nombre = "otra"; });
  assert.equal(historial.puedeRehacer, false);
});

test("un diseño grande: un cambio pequeño guarda un paso pequeño", () => {
  const { doc, historial, cambiar } = disenoConHistorial();
  const grande = "<p>" + "x".repeat(100000) + "</p>";
  cambiar(() => { for (let i = 0; i < 50; i++) doc.paginas[0].mesas.push(mesa(`g${i}`, grande)); });
  cambiar(() => { doc.paginas[0].mesas[10].html = "<p>corto</p>"; });
  const paso = historial.atras.at(-1);
  assert.equal(paso.marco, null);
  assert.equal(paso.mesas.length, 1);
  assert.ok(JSON.stringify(paso).length < 2 * grande.length + 1000);
});
