// What the deployment panel says and allows for each message of a
// deployment: the phases, which of them end a step, when "Desplegar" may
// follow, the address of a finished one, the server's state and the list of
// servers to choose from.
import assert from "node:assert/strict";
import { test } from "node:test";

import {
  anadirLinea, describirEstado, direccionDe, estadoTras, etiquetaServidor, fase, lineaVisible, servidoresValidos, ultimoDespliegue,
} from "../../resources/editor/tarvel/despliegue_vps.js";

test("each phase gives its text, and only the last ones end the step", () => {
  const casos = [
    // [message, fase, mal, fin, planListo]
    [{ despliegue: "acceso" }, "Preparando el acceso al VPS…", false, false, false],
    [{ despliegue: "subiendo" }, "Empaquetando y subiendo la aplicación…", false, false, false],
    [{ despliegue: "planeando" }, "Revisando el VPS antes de desplegar…", false, false, false],
    [{ despliegue: "desplegando" }, "Desplegando la aplicación…", false, false, false],
    [{ despliegue: "volviendo" }, "Volviendo a la versión anterior…", false, false, false],
    [{ despliegue: "plan", dominio: "app.ejemplo.es", texto: "" }, "Todo listo para desplegar en app.ejemplo.es.", false, true, true],
    // A plan whose script passed but reported a problem: shown, and no deploy.
    [{ despliegue: "plan", dominio: "app.ejemplo.es", texto: "El VPS necesita Node.js 22 o más nuevo." },
      "El VPS necesita Node.js 22 o más nuevo.", true, true, false],
    [{ despliegue: "error", texto: "El VPS no contesta por SSH (puerto 22). ¿Está encendido?" },
      "El VPS no contesta por SSH (puerto 22). ¿Está encendido?", true, true, false],
    [{ despliegue: "error" }, "No se ha podido desplegar la aplicación.", true, true, false],
    [{ despliegue: "pidePass" }, "Hace falta la contraseña de root del VPS.", false, true, false],
    [{ despliegue: "pidePass", texto: "La contraseña de root no es correcta." }, "La contraseña de root no es correcta.", true, true, false],
    [{ despliegue: "vuelto", resultado: { ok: true, error: "", version: "20261211-101500" }, texto: "" },
      "Ha vuelto a la versión 20261211-101500.", false, true, false],
    [{ despliegue: "vuelto", resultado: {}, texto: "" }, "Ha vuelto a la versión anterior.", false, true, false],
    [{ despliegue: "hecho", resultado: { ok: true, url: "https://app.ejemplo.es/" } }, "Desplegada en https://app.ejemplo.es/", false, true, false],
    [{ despliegue: "hecho", resultado: { ok: true } }, "Desplegada.", false, true, false],
  ];
  for (const [dato, texto, mal, fin, planListo] of casos) {
    const f = fase(dato);
    assert.deepEqual([f.fase, f.mal, f.fin, f.planListo], [texto, mal, fin, planListo], JSON.stringify(dato));
  }
  assert.equal(fase({ despliegue: "plan", dominio: "127-0-0-1.sslip.io", texto: "" }).dominio, "127-0-0-1.sslip.io");
  assert.equal(fase({ despliegue: "hecho", resultado: { ok: true, url: "https://a.es/" } }).url, "https://a.es/");
  const pide = fase({ despliegue: "pidePass", texto: "El VPS no contesta por SSH (puerto 22)." });
  assert.equal(pide.pidePass, true);
  assert.equal(pide.aviso, "El VPS no contesta por SSH (puerto 22).");
  for (const otro of [null, "hecho", { linea: "x" }, { despliegue: 3 }, { despliegue: "otra" }]) assert.equal(fase(otro), null);
});

test("only a web address is offered to open", () => {
  assert.equal(direccionDe({ url: "http://127-0-0-1.sslip.io/" }), "http://127-0-0-1.sslip.io/");
  for (const r of [{ url: "javascript:alert(1)" }, { url: "" }, { url: 7 }, null, "https://x.es/"]) assert.equal(direccionDe(r), "");
});

test("the server's state becomes one line", () => {
  const casos = [
    [{ ok: true, activo: true, version: "20261211-101500" }, "En marcha en este VPS · versión 20261211-101500", false],
    [{ ok: true, activo: false, version: "" }, "Todavía no está desplegada en este VPS.", false],
    [{ ok: true, activo: false, version: "20261211-101500" }, "Parada en este VPS · versión 20261211-101500", true],
    [{ ok: false, error: "El VPS no acepta la llave de Sorvenia Code. Vuelve a conectarlo con la contraseña de root." },
      "El VPS no acepta la llave de Sorvenia Code. Vuelve a conectarlo con la contraseña de root.", true],
    [{ ok: false }, "No se ha podido ver el estado del VPS.", true],
  ];
  for (const [estado, texto, mal] of casos) assert.deepEqual(describirEstado(estado), { texto, mal });
  assert.deepEqual(describirEstado("x"), { texto: "", mal: false });
  // A deployment or a return leaves the app running at its answer's version.
  assert.deepEqual(estadoTras({ despliegue: "hecho", resultado: { ok: true, url: "https://a.es/", version: "20261211-101500" } }),
    { texto: "En marcha en este VPS · versión 20261211-101500", mal: false });
  assert.deepEqual(estadoTras({ despliegue: "vuelto", resultado: {} }), { texto: "En marcha en este VPS", mal: false });
  for (const otro of [{ despliegue: "plan" }, { despliegue: "error", resultado: { version: "x" } }, null]) assert.equal(estadoTras(otro), null);
});

test("the chooser lists servers with an integer id and an address, once each", () => {
  const lista = servidoresValidos([
    { id: 7, nombre: "vps-cuenta", ip: "127.0.0.1", so: "Debian 12" },
    { id: 900001, nombre: "", ip: "203.0.113.7", so: "" },
    { id: 7, nombre: "repetido", ip: "1.2.3.4" },
    { id: "8", nombre: "texto", ip: "1.2.3.4" },
    { id: 9, nombre: "sin ip" },
    null,
  ]);
  assert.deepEqual(lista, [{ id: 7, nombre: "vps-cuenta", ip: "127.0.0.1" }, { id: 900001, nombre: "203.0.113.7", ip: "203.0.113.7" }]);
  assert.deepEqual(lista.map(etiquetaServidor), ["vps-cuenta · 127.0.0.1", "203.0.113.7"]);
  assert.deepEqual(servidoresValidos("nada"), []);
});

test("the last deployment of the summary, and the script's lines shown and kept", () => {
  const desplegada = { servidor: 7, ip: "127.0.0.1", dominio: "app.ejemplo.es", url: "https://app.ejemplo.es/", version: "v", fecha: "2026-12-11T09:05:00Z" };
  assert.equal(ultimoDespliegue({ desplegada }), "Último despliegue: https://app.ejemplo.es/ (11/12/2026)");
  assert.equal(ultimoDespliegue({ desplegada: { ...desplegada, url: "", fecha: "ayer" } }), "Último despliegue: app.ejemplo.es");
  for (const r of [null, {}, { desplegada: "x" }, { desplegada: { url: "", dominio: "" } }]) assert.equal(ultimoDespliegue(r), "");

  assert.equal(lineaVisible("Revisando Node.js…"), true);
  assert.equal(lineaVisible('RESULTADO {"ok":true}'), false);
  assert.equal(lineaVisible(3), false);

  let lineas = [];
  for (let i = 0; i < 205; i++) lineas = anadirLinea(lineas, `línea ${i}`);
  assert.equal(lineas.length, 200);
  assert.equal(lineas[0], "línea 5");
  assert.equal(lineas.at(-1), "línea 204");
});
