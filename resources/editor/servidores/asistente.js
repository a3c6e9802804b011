// The assistant view: a chat with the AI administrator of the chosen server.
// One conversation per server while the page lives; the administrator's
// words and steps are drawn as text, never as markup.

import { enviar, el, $, vaciar } from "../comun/dom.js";
import { nueva, pedir, aplicar } from "./conversacion.js";

const conversaciones = new Map(); // server id → conversation
let servidor = null;              // the chosen server object
let enCurso = null;               // id of the server whose run answers now
let ia = null;                    // the administrator tool from "lista", or null

function de(id) {
  if (!conversaciones.has(id)) conversaciones.set(id, nueva());
  return conversaciones.get(id);
}

function entrada(e) {
  if (e.rol === "paso") {
    const estado = { trabajando: "…", hecho: "✓", error: "✕" }[e.estado] || "";
    return el("li", { class: `paso ${e.estado}`, dataset: { id: e.id } },
      el("span", { class: "marca", texto: estado }),
      el("span", { class: "desc", texto: e.desc || "Orden en el servidor" }),
      e.orden ? el("code", { texto: e.orden }) : null);
  }
  // "aviso" is the page's own floating notice: the chat's notes get another class.
  const clase = e.rol === "aviso" ? "nota" : e.rol;
  return el("li", { class: `mensaje ${clase}`, texto: e.texto });
}

function pintar() {
  if (!servidor) return;
  const c = de(servidor.id);
  const lista = vaciar($("chat-mensajes"));
  lista.append(...c.entradas.map(entrada));
  lista.scrollTop = lista.scrollHeight;
  $("chat-parar").hidden = !c.enMarcha;
  $("chat-enviar").disabled = c.enMarcha;
  $("chat-vacio").hidden = c.entradas.length > 0;
  document.body.dataset.chat = c.enMarcha ? "trabajando" : "quieto";
}

export function mostrar(s) {
  servidor = s;
  pintar();
}

// The administrator tool and its models, from the server list.
export function fijarIA(datos) {
  ia = datos && typeof datos === "object" ? datos : null;
  $("chat-sin-ia").hidden = Boolean(ia);
  const elegir = vaciar($("chat-modelo"));
  elegir.hidden = !ia;
  if (!ia) return;
  for (const m of Array.isArray(ia.modelos) ? ia.modelos : [])
    elegir.append(el("option", { value: String(m.id ?? ""), title: String(m.det ?? ""), texto: String(m.nombre ?? "") }));
  elegir.value = String(ia.modelo ?? "");
}

// A text to start with (the launch argument "--chat").
export function proponer(texto) {
  $("chat-texto").value = String(texto);
}

export function mensaje(m) {
  const id = enCurso ?? (servidor && servidor.id);
  if (id === null || id === undefined) return;
  aplicar(de(id), m);
  if (servidor && servidor.id === id) pintar();
}

function mandar() {
  const texto = $("chat-texto").value.trim();
  if (!servidor || !texto || de(servidor.id).enMarcha) return;
  pedir(de(servidor.id), texto);
  enCurso = servidor.id;
  $("chat-texto").value = "";
  pintar();
  enviar({ tipo: "chat", servidor: servidor.id, ip: servidor.ip, texto });
}

export function preparar() {
  $("form-chat").addEventListener("submit", (e) => {
    e.preventDefault();
    mandar();
  });
  $("chat-texto").addEventListener("keydown", (e) => {
    if (e.key === "Enter" && !e.shiftKey) {
      e.preventDefault();
      mandar();
    }
  });
  $("chat-parar").addEventListener("click", () => {
    if (!servidor) return;
    de(servidor.id).parando = true;
    enviar({ tipo: "parar" });
  });
  $("chat-olvidar").addEventListener("click", () => {
    if (!servidor || de(servidor.id).enMarcha) return;
    conversaciones.set(servidor.id, nueva());
    enviar({ tipo: "olvidar", servidor: servidor.id });
    pintar();
  });
  $("chat-modelo").addEventListener("change", () => enviar({ tipo: "modelo", modelo: $("chat-modelo").value }));
}
