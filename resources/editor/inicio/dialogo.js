// The page's own modal dialog (confirmations, the choice of a page size)
// and its notices. One dialog at a time: opening another one answers the
// open one as cancelled.

import { $, el, vaciar } from "./utiles.js";

const capa = $("capa");
const caja = $("dialogo");
const titulo = $("dialogo-titulo");
const textoDialogo = $("dialogo-texto");
const cuerpo = $("dialogo-cuerpo");
const aceptar = $("dialogo-aceptar");
const cancelar = $("dialogo-cancelar");

let abierto = null; // {responder(valor), foco}

function cerrar(valor) {
  if (!abierto) return;
  const { responder, foco } = abierto;
  abierto = null;
  capa.hidden = true;
  delete caja.dataset.tipo;
  vaciar(cuerpo);
  if (foco && document.contains(foco)) foco.focus();
  responder(valor);
}

aceptar.addEventListener("click", () => cerrar(true));
cancelar.addEventListener("click", () => cerrar(false));
capa.addEventListener("pointerdown", (e) => { if (e.target === capa) cerrar(false); });
document.addEventListener("keydown", (e) => {
  if (!abierto) return;
  if (e.key === "Escape") {
    e.preventDefault();
    cerrar(false);
  }
});

function abrir({ tipo, tituloTexto, texto, textoAceptar, peligro, sinAceptar }) {
  if (abierto) cerrar(false);
  return new Promise((responder) => {
    abierto = { responder, foco: document.activeElement };
    caja.dataset.tipo = tipo;
    titulo.textContent = tituloTexto;
    textoDialogo.textContent = texto || "";
    textoDialogo.hidden = !texto;
    aceptar.textContent = textoAceptar || "Aceptar";
    aceptar.className = peligro ? "peligro-lleno" : "principal";
    aceptar.hidden = !!sinAceptar;
    capa.hidden = false;
    (sinAceptar ? cuerpo.querySelector("button") || cancelar : peligro ? cancelar : aceptar).focus();
  });
}

export const hayDialogo = () => abierto !== null;

// Resolves to true when the user accepts.
export function confirmar({ titulo: t, texto, aceptar: a = "Aceptar", peligro = false, tipo = "confirmar" }) {
  return abrir({ tipo, tituloTexto: t, texto, textoAceptar: a, peligro });
}

// Shows the tiles of `opciones` ({id, nombre, detalle, medida, ancho, alto})
// and resolves to the chosen id, or null.
export function elegir({ titulo: t, texto, opciones, tipo = "elegir" }) {
  const promesa = abrir({ tipo, tituloTexto: t, texto, sinAceptar: true });
  const rejilla = el("div", { class: "plantillas" });
  for (const o of opciones) {
    const lado = 56;
    const escala = lado / Math.max(o.ancho, o.alto);
    const forma = el("span", { class: `plantilla-forma${o.auto ? " auto" : ""}`, "aria-hidden": "true" });
    forma.style.width = `${Math.max(12, Math.round(o.ancho * escala))}px`;
    forma.style.height = `${Math.max(12, Math.round(o.alto * escala))}px`;
    rejilla.append(el("button", {
      type: "button",
      class: "plantilla",
      dataset: { plantilla: o.id },
      onclick: () => cerrar(o.id),
    },
    el("span", { class: "plantilla-dibujo" }, forma),
    el("strong", { texto: o.nombre }),
    el("small", { texto: o.medida }),
    o.detalle ? el("span", { class: "plantilla-para", texto: o.detalle }) : null));
  }
  cuerpo.append(rejilla);
  const primero = rejilla.querySelector("button");
  if (primero) primero.focus();
  return promesa.then((valor) => (typeof valor === "string" ? valor : null));
}

// A notice at the bottom of the page; errors stay longer.
export function avisar(texto, { error = false } = {}) {
  const avisos = $("avisos");
  const aviso = el("div", { class: `aviso${error ? " error" : ""}`, role: error ? "alert" : "status" }, el("span", { texto }));
  aviso.append(el("button", { type: "button", class: "cerrar", "aria-label": "Cerrar aviso", onclick: () => aviso.remove() }, "×"));
  avisos.append(aviso);
  while (avisos.children.length > 4) avisos.firstElementChild.remove();
  setTimeout(() => aviso.remove(), error ? 14000 : 7000);
}
