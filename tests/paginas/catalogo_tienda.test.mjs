// The store page's reading of the account's catalogue
// (resources/editor/tienda/catalogo.js): the account owns its shape, so the
// page keeps what it can draw and drops the rest.
import { test } from "node:test";
import assert from "node:assert/strict";

import { elegida, precio, secciones } from "../../resources/editor/tienda/catalogo.js";

test("sections: the account's own first, malformed entries left out", () => {
  const tienda = {
    secciones: [
      { id: "hosting", nombre: "Hosting", productos: [
        { id: "web", nombre: "Hosting Web", precio: 5, periodo: "mes", ir: "/panel/comprar.php?producto=web" },
        { id: "fuera", nombre: "Fuera del panel", precio: 1, ir: "https://otra.example/" },
        { id: "sin-nombre", precio: 1, ir: "/panel/x" },
        "basura",
      ] },
      { id: "mio", nombre: "Otra mía", productos: [] },
      { id: "hosting", nombre: "Repetida", productos: [] },
      { nombre: "Sin id" },
      null,
    ],
  };
  const lista = secciones(tienda);
  assert.deepEqual(lista.map((s) => s.id), ["mio", "hosting"]);
  assert.deepEqual(lista[1].productos, [{ id: "web", nombre: "Hosting Web", precio: "5 € / mes", ir: "/panel/comprar.php?producto=web" }]);
  for (const raro of [null, [], "x", { secciones: "no" }]) assert.deepEqual(secciones(raro).map((s) => s.id), ["mio"]);
});

test("prices and the section shown", () => {
  const casos = [
    [{ precio: 5, periodo: "mes" }, "5 € / mes"],
    [{ precio: 9.5, periodo: "año" }, "9,50 € / año"],
    [{ precio: 12 }, "12 €"],
    [{ precio: "5" }, ""],
    [{ precio: Infinity }, ""],
  ];
  for (const [p, esperado] of casos) assert.equal(precio(p), esperado, JSON.stringify(p));
  const lista = secciones({ secciones: [{ id: "hosting", nombre: "Hosting", productos: [] }] });
  assert.equal(elegida(lista, "hosting"), "hosting");
  assert.equal(elegida(lista, "vps"), "mio");
  assert.equal(elegida(lista, undefined), "mio");
});
