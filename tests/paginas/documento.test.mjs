// The design document: read from what native code stored, written back
// as it came, keys this page does not know included.
import assert from "node:assert/strict";
import { test } from "node:test";

import {
  ALTO_MAX, ANCHO_MIN, LARGO_NOMBRE, documentoNuevo, estadoDeshacible, normalizarDocumento,
} from "../../resources/editor/tarvel/documento.js";

const viaje = (doc) => normalizarDocumento(JSON.parse(JSON.stringify(doc)));

test("a document survives the round trip through native code unchanged, unknown keys included", () => {
  const guardado = {
    formato: 1,
    deOtraVersion: { algo: [1, 2] },
    paginas: [{
      id: "p1", nombre: "Inicio", portada: "m2", rotulos: [{ texto: "Hero", x: 0, y: -40 }], marca: "p",
      mesas: [
        { id: "m2", nombre: "Portada", x: 0, y: 0, ancho: 1440, alto: 900, auto: true, html: '<div data-lid="e7"></div>', css: "p{}",
          animaciones: [{ lid: "e7", tipo: "subir", retraso: 0, duracion: 700, rebote: 0, disparo: "scroll", curva: "suave" }], nota: "m" },
        { id: "m3", nombre: "Contacto", x: 1560, y: 0, ancho: 390, alto: 844, auto: false, html: "", css: "", animaciones: [] },
      ],
    }],
    pagina: 0,
    variables: [{ nombre: "marca", valor: "#2f5bff", oscuro: "#8aa4ff", grupo: "colores" }, { nombre: "hueco", valor: "8px" }],
    recursos: [{ nombre: "logo", src: "data:image/png;base64,AA", alt: "Logo" }],
    nombreAMano: true,
    siguiente: 8,
  };
  const leido = viaje(guardado);
  assert.deepEqual(leido, guardado);
  assert.deepEqual(viaje(leido), leido);
  for (const plantilla of [undefined, { id: "movil", nombre: "Móvil", w: 390, h: 844, auto: false }]) {
    const nuevo = documentoNuevo(plantilla);
    assert.deepEqual(viaje(nuevo), nuevo);
  }
});

test("broken parts get their defaults, and what cannot be a document is refused", () => {
  for (const crudo of [null, 3, "doc", [], {}, { paginas: "x" }]) assert.equal(normalizarDocumento(crudo), null, JSON.stringify(crudo));

  const doc = normalizarDocumento({
    paginas: [
      { id: "p1", mesas: [
        { id: "m1", nombre: "  ", ancho: 10, alto: 1e9, x: "a", html: 5 },
        { id: "m1", nombre: "x".repeat(LARGO_NOMBRE + 5), ancho: 800, alto: 600, x: 0, y: 0 },
      ] },
      { id: "p1", nombre: "Otra", mesas: "no" },
      "no es una página",
    ],
    pagina: 7,
    variables: [{ nombre: "--fondo", valor: "#fff" }, { nombre: "sin-valor" }, 4],
    recursos: [{ nombre: "a" }, { nombre: "b", src: "data:," }],
    siguiente: "mucho",
  });
  const [p1, p2] = doc.paginas;
  assert.equal(doc.paginas.length, 2);
  // Ids are unique, and the counter goes past every id in use.
  const ids = [p1.id, p2.id, ...p1.mesas.map((m) => m.id)];
  assert.equal(new Set(ids).size, ids.length);
  assert.ok(ids.every((id) => Number(id.slice(1)) < doc.siguiente));
  assert.deepEqual([p1.nombre, p2.nombre, p2.mesas], ["Página 1", "Otra", []]);
  const [a, b] = p1.mesas;
  assert.deepEqual([a.nombre, a.ancho, a.alto, a.html, a.css, a.auto], ["Mesa 1", ANCHO_MIN, ALTO_MAX, "", "", false]);
  assert.equal([...b.nombre].length, LARGO_NOMBRE);
  // A mesa without a place goes to the right of the placed ones.
  assert.deepEqual([a.x, a.y], [b.x + b.ancho + 120, 0]);
  assert.equal(doc.pagina, 0);
  assert.deepEqual(doc.variables, [{ nombre: "fondo", valor: "#fff" }]);
  assert.deepEqual(normalizarDocumento({ paginas: [], variables: [{ nombre: "a", valor: "1", oscuro: "" }] }).variables, [{ nombre: "a", valor: "1" }]);
  assert.deepEqual(doc.recursos, [{ nombre: "b", src: "data:," }]);
});

test("the cover mesa comes first, and element ids raise the counter", () => {
  const doc = normalizarDocumento({
    paginas: [{ id: "p1", portada: "m4", mesas: [
      { id: "m2", html: '<p data-lid="e40"></p>' },
      { id: "m4", html: "" },
    ] }],
    siguiente: 3,
  });
  assert.deepEqual(doc.paginas[0].mesas.map((m) => m.id), ["m4", "m2"]);
  assert.equal(doc.paginas[0].portada, "m4");
  assert.equal(doc.siguiente, 41);
});

test("a document of the older form, mesas without pages, opens as one page", () => {
  const doc = normalizarDocumento({ mesas: [{ id: "m1", nombre: "Vieja" }], siguiente: 2 });
  assert.equal(doc.mesas, undefined);
  assert.deepEqual(doc.paginas.map((p) => [p.nombre, p.mesas.map((m) => m.nombre)]), [["Página 1", ["Vieja"]]]);
});

test("undo keeps pages and variables, not resources or the open page", () => {
  const doc = documentoNuevo();
  const antes = estadoDeshacible(doc);
  doc.recursos.push({ nombre: "r", src: "data:," });
  doc.pagina = 0;
  assert.deepEqual(estadoDeshacible(doc), antes);
  doc.variables.push({ nombre: "a", valor: "1" });
  assert.notDeepEqual(estadoDeshacible(doc), antes);
});
