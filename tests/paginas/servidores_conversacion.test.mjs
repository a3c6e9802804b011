// The servers page's conversation with the AI administrator: how the
// "chat" messages of one run become what the customer reads.
import { test } from "node:test";
import assert from "node:assert/strict";
import { nueva, pedir, aplicar, ordenVisible } from "../../resources/editor/servidores/conversacion.js";

function correr(mensajes, c = pedir(nueva(), "¿Cómo está mi servidor?")) {
  for (const m of mensajes) aplicar(c, m);
  return c;
}
const sinMarcas = (c) => c.entradas.map(({ abierta, ...e }) => e);

test("a run: streamed text, a step on the server, the final text once", () => {
  const c = correr([
    { tipo: "empieza" },
    { tipo: "texto", texto: "Miro cuánto " },
    { tipo: "texto", texto: "lleva encendido." },
    { tipo: "paso", id: "t1", herramienta: "Bash", orden: "/home/ana/.sorvenia-tarvel/ssh/bin/tarvel-vps-7 'uptime'", desc: "Tiempo encendido" },
    { tipo: "pasoHecho", id: "t1", error: false },
    { tipo: "texto", texto: "Lleva 3 días encendido." },
    { tipo: "fin", texto: "Lleva 3 días encendido." },
    { tipo: "termina", codigo: 0 },
  ]);
  assert.deepEqual(sinMarcas(c), [
    { rol: "yo", texto: "¿Cómo está mi servidor?" },
    { rol: "ia", texto: "Miro cuánto lleva encendido." },
    { rol: "paso", id: "t1", herramienta: "Bash", orden: "uptime", desc: "Tiempo encendido", estado: "hecho" },
    { rol: "ia", texto: "Lleva 3 días encendido." },
  ]);
  assert.equal(c.enMarcha, false);
});

test("how a run ends", () => {
  const casos = [
    // [messages, entries added after the question, stopped by the user]
    [[{ tipo: "fin", texto: "Hecho." }, { tipo: "termina", codigo: 0 }], [{ rol: "ia", texto: "Hecho." }], false],
    [[{ tipo: "termina", codigo: 143 }], [{ rol: "aviso", texto: "Has parado al asistente." }], true],
    [[{ tipo: "termina", codigo: 1 }], [{ rol: "aviso", texto: "El asistente ha terminado con el código 1." }], false],
    [[{ tipo: "error", texto: "Servidor no válido." }], [{ rol: "error", texto: "Servidor no válido." }], false],
    [[{ tipo: "error" }], [{ rol: "error", texto: "El asistente no ha podido trabajar." }], false],
  ];
  for (const [mensajes, esperadas, parado] of casos) {
    const c = pedir(nueva(), "hola");
    c.parando = parado;
    correr(mensajes, c);
    assert.deepEqual(sinMarcas(c).slice(1), esperadas, JSON.stringify(mensajes));
    assert.equal(c.enMarcha, false);
    assert.equal(c.parando, false);
  }
});

test("a failed step, an unknown step id and malformed messages", () => {
  const c = correr([
    { tipo: "paso", id: "a", herramienta: "Bash", orden: "ssh root@otro.example df -h", desc: "" },
    { tipo: "pasoHecho", id: "a", error: true },
    { tipo: "pasoHecho", id: "no-existe", error: false },
    null,
    { tipo: "texto", texto: 42 },
    { tipo: "desconocido" },
  ]);
  assert.deepEqual(sinMarcas(c).slice(1), [
    { rol: "paso", id: "a", herramienta: "Bash", orden: "ssh root@otro.example df -h", desc: "", estado: "error" },
  ]);
});

test("the remote command shown without the launcher's path", () => {
  const casos = [
    ["/r/.sorvenia-tarvel/ssh/bin/tarvel-vps-12 'df -h /'", "df -h /"],
    ["/r/ssh/bin/tarvel-vps-3 uptime", "uptime"],
    ["/r/ssh/bin/tarvel-vps-3 'a' 'b'", "'a' 'b'"],
    ["uptime", "uptime"],
    ["", ""],
    [undefined, ""],
  ];
  for (const [orden, visible] of casos) assert.equal(ordenVisible(orden), visible, String(orden));
});
