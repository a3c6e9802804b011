// The peer of banco_captura: a warm headless Chromium taking a screenshot of
// an HTML file in a new page per shot, driven through the DevTools protocol
// (Node.js's WebSocket client). Prints one JSON line: the sorted times in ms.
//
//   node --experimental-websocket captura_chromium.mjs CHROMIUM FILE.html WIDTH HEIGHT SHOTS
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { pathToFileURL } from "node:url";

const [programa, archivo, ancho, alto, tomas] = process.argv.slice(2);
const perfil = mkdtempSync(join(tmpdir(), "banco-chromium-"));
const chromium = spawn(programa, [
  "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", "--no-first-run",
  "--remote-debugging-port=0", `--user-data-dir=${perfil}`, "about:blank",
], { stdio: ["ignore", "ignore", "pipe"] });

const direccion = await new Promise((resolver, rechazar) => {
  let texto = "";
  chromium.stderr.on("data", (d) => {
    texto += d;
    const m = texto.match(/DevTools listening on (ws:\S+)/);
    if (m) resolver(m[1]);
  });
  chromium.on("exit", () => rechazar(new Error("chromium se cerró: " + texto)));
});

const ws = new WebSocket(direccion);
await new Promise((r) => ws.addEventListener("open", r, { once: true }));
let siguiente = 0;
const pendientes = new Map();
const oyentes = [];
ws.addEventListener("message", (e) => {
  const m = JSON.parse(e.data);
  if (m.id !== undefined) {
    const p = pendientes.get(m.id);
    pendientes.delete(m.id);
    if (m.error) p.rechazar(new Error(JSON.stringify(m.error)));
    else p.resolver(m.result);
  } else {
    for (const o of [...oyentes]) o(m);
  }
});
const enviar = (method, params = {}, sessionId) =>
  new Promise((resolver, rechazar) => {
    const id = ++siguiente;
    pendientes.set(id, { resolver, rechazar });
    ws.send(JSON.stringify({ id, method, params, sessionId }));
  });
const evento = (method, sessionId) =>
  new Promise((r) => {
    const o = (m) => {
      if (m.method === method && m.sessionId === sessionId) {
        oyentes.splice(oyentes.indexOf(o), 1);
        r(m.params);
      }
    };
    oyentes.push(o);
  });

const url = pathToFileURL(archivo).href;
async function toma() {
  const t0 = performance.now();
  const { targetId } = await enviar("Target.createTarget", { url: "about:blank" });
  const { sessionId } = await enviar("Target.attachToTarget", { targetId, flatten: true });
  await enviar("Page.enable", {}, sessionId);
  await enviar("Emulation.setDeviceMetricsOverride",
    { width: Number(ancho), height: Number(alto), deviceScaleFactor: 1, mobile: false }, sessionId);
  const cargada = evento("Page.loadEventFired", sessionId);
  await enviar("Page.navigate", { url }, sessionId);
  await cargada;
  const { data } = await enviar("Page.captureScreenshot", { format: "png" }, sessionId);
  const ms = performance.now() - t0;
  await enviar("Target.closeTarget", { targetId });
  if (!data || data.length < 100) throw new Error("captura vacía");
  return ms;
}

try {
  for (let i = 0; i < 2; i++) await toma();  // warm-up
  const tiempos = [];
  for (let i = 0; i < Number(tomas); i++) tiempos.push(await toma());
  tiempos.sort((a, b) => a - b);
  console.log(JSON.stringify(tiempos));
} finally {
  ws.close();
  chromium.kill();
  await new Promise((r) => chromium.on("exit", r));
  rmSync(perfil, { recursive: true, force: true });
}
