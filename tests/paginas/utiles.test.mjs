// The pages' small pure helpers: agents' numbers and flags, file names,
// dates as the account writes them, and which picture addresses a page
// may show.
import assert from "node:assert/strict";
import { test } from "node:test";

import * as inicio from "../../resources/editor/inicio/utiles.js";
import { booleano, escaparXml, numero, pascal, slug } from "../../resources/editor/tarvel/utiles.js";

test("numbers and flags from an agent's arguments", () => {
  const numeros = [[1440, 1440], ["1440", 1440], [" 12.5px ", 12.5], ["-3", -3], ["12em", null], ["", null], [NaN, null], [Infinity, null], [null, null], [true, null]];
  for (const [valor, esperado] of numeros) assert.equal(numero(valor), esperado, String(valor));
  const banderas = [[true, true], ["true", true], [1, true], [false, false], ["false", false], [0, false], ["sí", null], [undefined, null]];
  for (const [valor, esperado] of banderas) assert.equal(booleano(valor), esperado, String(valor));
});

test("names for published files and components", () => {
  const casos = [["Sobre nosotros", "sobre-nosotros", "SobreNosotros"], ["  Índice — Ñandú!  ", "indice-nandu", "IndiceNandu"],
    ["", "", "Pieza"], ["3 columnas", "3-columnas", "Pieza3Columnas"], ["¿¿??", "", "Pieza"]];
  for (const [texto, archivo, componente] of casos) {
    assert.equal(slug(texto), archivo, texto);
    assert.equal(pascal(texto, "Pieza"), componente, texto);
  }
  assert.equal(escaparXml(`<a href="x">'&'</a>`), "&lt;a href=&quot;x&quot;&gt;&apos;&amp;&apos;&lt;/a&gt;");
});

test("dates as the account and the local copies write them", () => {
  const casos = [
    ["2025-03-01 14:05:09", Date.UTC(2025, 2, 1, 14, 5, 9)],
    ["2025-03-01T14:05:09Z", Date.UTC(2025, 2, 1, 14, 5, 9)],
    ["2025-03-01T14:05:09.123+02:00", Date.UTC(2025, 2, 1, 12, 5, 9)],
    ["2025-03-01T14:05-0130", Date.UTC(2025, 2, 1, 15, 35)],
    ["2025-03-01", Date.UTC(2025, 2, 1)],
    ["1 de marzo", null], ["", null], [20250301, null], ["2025-03-01 25:00", null], ["2025-02-30", null], ["2025-13-01", null], ["2024-02-29", Date.UTC(2024, 1, 29)],
  ];
  for (const [texto, ms] of casos) {
    const fecha = inicio.leerFecha(texto);
    assert.equal(fecha ? fecha.getTime() : null, ms, String(texto));
  }
  const ahora = new Date(Date.UTC(2025, 2, 10, 12));
  const hace = (s) => new Date(ahora.getTime() - s * 1000);
  const tramos = [[10, "ahora mismo"], [-30, "ahora mismo"], [240, "hace 4 min"], [2 * 3600, "hace 2 h"], [36 * 3600, "hace 2 días"], [24 * 3600, "hace 1 día"]];
  for (const [s, texto] of tramos) assert.equal(inicio.haceCuanto(hace(s), ahora), texto, String(s));
  assert.equal(inicio.duracion(hace(80 * 60), ahora), "1 h 20 min");
  assert.equal(inicio.duracion(hace(20), ahora), "menos de un minuto");
  assert.equal(inicio.duracion(null, ahora), "");
});

test("a page shows only its own pictures, data images and web addresses", () => {
  // Native code names our files from the pages' common folder; the page
  // sits one folder below it.
  const propias = [["logos/claude.png", "../logos/claude.png"], ["logos/sorvenia.svg", "../logos/sorvenia.svg"],
    ["../../etc/passwd", ""], ["/etc/logo.png", ""], ["logos/../x.png", ""], ["logos/x.exe", ""], ["https://x.test/a.png", ""], [7, ""]];
  for (const [ruta, src] of propias) assert.equal(inicio.rutaPropia(ruta), src, String(ruta));
  const ajenas = [["data:image/png;base64,AA", true], ["https://x.test/a.png", true], ["data:text/html,<b>", false],
    ["javascript:alert(1)", false], ["file:///etc/passwd", false], ["", false], [null, false]];
  for (const [src, vale] of ajenas) assert.equal(inicio.imagenSegura(src), vale ? src : "", String(src));
  assert.deepEqual([inicio.inicial("  ana"), inicio.inicial("ñu"), inicio.inicial(""), inicio.inicial(null)], ["A", "Ñ", "?", "?"]);
});
