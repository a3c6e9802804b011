// The editor page's CSS text helpers: a sheet cut into its top-level
// statements, the @import rules lifted to the start when sheets are added
// up, and declaration lists read whole.
import assert from "node:assert/strict";
import { test } from "node:test";

import { aHex, declaraciones, fijarAlturasDeVentana, separarImports, sentencias, sumarHoja } from "../../resources/editor/tarvel/css.js";

test("a sheet is cut only between top-level statements", () => {
  const casos = [
    ["a{color:red}b{color:blue}", ["a{color:red}", "b{color:blue}"]],
    // A ";" inside a quoted url(), an unquoted url() or a data URL cuts nothing.
    ['@import url("https://f.test/css2?family=Inter:wght@400;700");body{margin:0}',
      ['@import url("https://f.test/css2?family=Inter:wght@400;700");', "body{margin:0}"]],
    ["@import url(https://f.test/css2?family=A:wght@400;700);p{}", ["@import url(https://f.test/css2?family=A:wght@400;700);", "p{}"]],
    ["p{background:url(data:image/png;base64,AAA;B)}q{}", ["p{background:url(data:image/png;base64,AAA;B)}", "q{}"]],
    // Brackets and semicolons inside strings belong to the string.
    ['p::after{content:";}"}q{x:1}', ['p::after{content:";}"}', "q{x:1}"]],
    ["p{content:'a;b'};;;q{}", ["p{content:'a;b'}", "q{}"]],
    // A comment with brackets and semicolons stays with what follows it;
    // a statement made only of a comment is left out.
    ["/* a; b { */ p{color:red} /* ; */", ["/* a; b { */ p{color:red}"]],
    ["@media (max-width:600px){a{b:c}d{e:f}}x{y:z}", ["@media (max-width:600px){a{b:c}d{e:f}}", "x{y:z}"]],
    ["p{color:red", ["p{color:red"]],
    ["", []],
    [null, []],
  ];
  for (const [css, esperadas] of casos) assert.deepEqual(sentencias(css), esperadas, String(css));
});

test("@import rules are lifted to the start of a sheet, once each", () => {
  assert.deepEqual(separarImports('p{}@import "a.css";@import url(b.css);q{}'),
    { imports: '@import "a.css";\n@import url(b.css);', resto: "p{}\nq{}" });
  // Without imports the text comes back untouched.
  assert.deepEqual(separarImports("p{ color : red }"), { imports: "", resto: "p{ color : red }" });
  // A commented-out @import is a comment, not an import.
  assert.equal(separarImports('/* @import "x.css"; */ p{}').imports, "");

  const casos = [
    ['@import "a.css";p{}', '@import "a.css";@import "b.css";q{}', '@import "a.css";\n@import "b.css";\n\np{}\n\nq{}'],
    ["p{}", '@import url("https://f.test/a;b");q{}', '@import url("https://f.test/a;b");\n\np{}\n\nq{}'],
    ["", "q{}", "q{}"],
    ["p{}", "", "p{}"],
  ];
  for (const [actual, nuevo, esperada] of casos) assert.equal(sumarHoja(actual, nuevo), esperada, `${actual} + ${nuevo}`);
});

test("declarations are read whole, and bad pieces set apart", () => {
  const { buenas, malas } = declaraciones(
    'font-size: 64px; COLOR: #111 !important; content: "a;b"; background: url(data:image/png;base64,xx;yy); ' +
    "/* c: d; */ 12: 3; sin-dos-puntos; --Mi-Var: 1;;");
  assert.deepEqual(buenas, [
    { propiedad: "font-size", valor: "64px", importante: false },
    { propiedad: "color", valor: "#111", importante: true },
    { propiedad: "content", valor: '"a;b"', importante: false },
    { propiedad: "background", valor: "url(data:image/png;base64,xx;yy)", importante: false },
    { propiedad: "--Mi-Var", valor: "1", importante: false },
  ]);
  assert.deepEqual(malas, ["12: 3", "sin-dos-puntos"]);
});

test("viewport heights become the page window's pixels; colours become hex", () => {
  assert.equal(fijarAlturasDeVentana("height:100vh;min-height:50dvh;top:1.5svh;width:10vw", 900),
    "height:900px;min-height:450px;top:13.5px;width:10vw");
  assert.equal(aHex("rgb(17, 17, 17) rgba(255,0,0,0.5) rgba(1,2,3,1) red"), "#111111 #ff000080 #010203 red");
});
