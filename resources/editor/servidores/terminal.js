// Terminals drawn by xterm.js: each sends its keystrokes as Base64 bytes
// ("teclas") and its size ("tam"), and writes the bytes the server sends
// ("datos") as terminal output, never as markup.

import { enviar, el, $ } from "../comun/dom.js";
import { Terminal } from "./vendor/xterm.mjs";
import { FitAddon } from "./vendor/addon-fit.mjs";
import { desdeBase64, teclasBase64, aBase64 } from "./formato.js";

const abiertas = new Map(); // tid → {servidor, term, ajuste, marco, pestana}
let actual = null;
let contador = 0;

function tamano(t) {
  t.marco.dataset.cols = String(t.term.cols);
  t.marco.dataset.filas = String(t.term.rows);
}

function ajustar(t) {
  if (t.marco.hidden) return;
  t.ajuste.fit();
  tamano(t);
}

function activar(tid) {
  actual = tid;
  for (const [id, t] of abiertas) {
    t.marco.hidden = id !== tid;
    t.pestana.classList.toggle("activa", id === tid);
  }
  const t = abiertas.get(tid);
  if (t) {
    ajustar(t);
    t.term.focus();
  }
}

function abrir(servidor) {
  contador += 1;
  const tid = `t${Date.now().toString(36)}${contador}`;
  const marco = el("div", { class: "marco", dataset: { tid } });
  const pestana = el("button", { type: "button", class: "pestana-terminal", dataset: { tid }, onclick: () => activar(tid) },
    el("span", { texto: `Terminal ${contador}` }),
    el("span", { class: "cerrar", texto: "×", title: "Cerrar", onclick: (e) => { e.stopPropagation(); cerrar(tid); } }));
  $("marcos").append(marco);
  $("terminales").append(pestana);
  const term = new Terminal({
    fontFamily: "'JetBrains Mono', monospace",
    fontSize: 13,
    cursorBlink: true,
    scrollback: 5000,
    theme: { background: "#0d0e11" },
  });
  const ajuste = new FitAddon();
  term.loadAddon(ajuste);
  term.open(marco);
  const t = { servidor, term, ajuste, marco, pestana };
  abiertas.set(tid, t);
  activar(tid);
  term.onData((texto) => enviar({ tipo: "teclas", tid, b64: teclasBase64(texto) }));
  term.onBinary((texto) => {
    const b = new Uint8Array(texto.length);
    for (let i = 0; i < texto.length; i += 1) b[i] = texto.charCodeAt(i) & 0xff;
    enviar({ tipo: "teclas", tid, b64: aBase64(b) });
  });
  term.onResize(({ cols, rows }) => {
    tamano(t);
    enviar({ tipo: "tam", tid, cols, filas: rows });
  });
  enviar({ tipo: "abrirTerminal", tid, servidor, cols: term.cols, filas: term.rows });
  return tid;
}

function cerrar(tid) {
  const t = abiertas.get(tid);
  if (!t) return;
  enviar({ tipo: "cerrarTerminal", tid });
  t.term.dispose();
  t.marco.remove();
  t.pestana.remove();
  abiertas.delete(tid);
  if (actual === tid) {
    const otra = [...abiertas.keys()].pop();
    if (otra) activar(otra);
    else actual = null;
  }
}

export function preparar() {
  $("nueva-terminal").addEventListener("click", () => {
    if (window.servidoresElegido !== undefined) abrir(window.servidoresElegido);
  });
  new ResizeObserver(() => {
    const t = abiertas.get(actual);
    if (t) ajustar(t);
  }).observe($("marcos"));
}

// Shows the terminals of the chosen server (one is opened the first time).
export function mostrar(servidor) {
  window.servidoresElegido = servidor;
  for (const [tid, t] of abiertas) t.pestana.hidden = t.servidor !== servidor;
  const propia = [...abiertas.entries()].find(([, t]) => t.servidor === servidor);
  if (propia) activar(propia[0]);
  else abrir(servidor);
}

export function datos(d) {
  const t = abiertas.get(d.tid);
  if (t && typeof d.b64 === "string") t.term.write(desdeBase64(d.b64));
}

export function fin(d) {
  const t = abiertas.get(d.tid);
  if (!t) return;
  t.marco.dataset.fin = "1";
  t.pestana.classList.add("terminada");
  t.term.write(d.error ? `\r\n${d.error}\r\n` : "\r\n[La sesión ha terminado]\r\n");
}
