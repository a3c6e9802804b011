// The servers page's pure helpers: sizes, times, remote paths and the
// Base64 of terminal bytes.
import { test } from "node:test";
import assert from "node:assert/strict";
import * as f from "../../resources/editor/servidores/formato.js";

test("sizes and durations read as a person writes them", () => {
  const casos = [[0, "0 B"], [1023, "1023 B"], [1536, "1,5 KB"], [5 * 1024 ** 3, "5,0 GB"], [250 * 1024 ** 2, "250 MB"]];
  for (const [n, texto] of casos) assert.equal(f.bytes(n), texto);
  assert.equal(f.duracion(59), "0 min");
  assert.equal(f.duracion(3 * 3600 + 120), "3 h 2 min");
  assert.equal(f.duracion(2 * 86400 + 5 * 3600), "2 d 5 h");
  assert.equal(f.porcentaje(1, 0), "0 %");
});

test("remote paths", () => {
  assert.equal(f.padre("/srv/web/"), "/srv");
  assert.equal(f.padre("/srv"), "/");
  assert.equal(f.padre("/"), "/");
  assert.equal(f.unir("/", "etc"), "/etc");
  assert.equal(f.unir("/srv/", "a b'c"), "/srv/a b'c");
});

test("terminal bytes survive Base64 both ways", () => {
  const todos = new Uint8Array(256).map((_, i) => i);
  assert.deepEqual(f.desdeBase64(f.aBase64(todos)), todos);
  const grande = new Uint8Array(200000).map((_, i) => (i * 7) & 0xff);
  assert.deepEqual(f.desdeBase64(f.aBase64(grande)), grande);
  assert.equal(f.teclasBase64("ñ\x03"), Buffer.from("ñ\x03").toString("base64"));
});
