// The pages' own modal dialog (confirmations, choices). One dialog at a
// time: opening another one answers the open one as cancelled. The dialog
// is made on first use, so a page needs no markup for it; it looks as
// comun/dialogo.css says.

import { el, vaciar } from "./dom.js";

let partes = null; // {capa, caja, titulo, texto, cuerpo, aceptar, cancelar}
let abierto = null; // {responder(valor), foco}

function crear() {
  const titulo = el("h2", { id: "dialogo-titulo", class: "dialogo-titulo" });
  const texto = el("p", { id: "dialogo-texto", class: "dialogo-texto" });
  const cuerpo = el("div", { id: "dialogo-cuerpo", class: "dialogo-cuerpo" });
  const cancelar = el("button", { id: "dialogo-cancelar", type: "button" }, "Cancelar");
  const aceptar = el("button", { id: "dialogo-aceptar", type: "button", class: "principal" }, "Aceptar");
  const caja = el("div", { id: "dialogo", class: "dialogo", role: "dialog", "aria-modal": "true", "aria-labelledby": "dialogo-titulo" },
    titulo, texto, cuerpo, el("div", { class: "dialogo-botones" }, cancelar, aceptar));
  const capa = el("div", { id: "capa", class: "capa", hidden: true }, caja);
  document.body.append(capa);

  aceptar.addEventListener("click", () => cerrarDialogo(true));
  cancelar.addEventListener("click", () => cerrarDialogo(false));
  capa.addEventListener("pointerdown", (e) => { if (e.target === capa) cerrarDialogo(false); });
  document.addEventListener("keydown", (e) => {
    if (abierto && e.key === "Escape") {
      e.preventDefault();
      cerrarDialogo(false);
    }
  });
  return { capa, caja, titulo, texto, cuerpo, aceptar, cancelar };
}

// Answers the open dialog with `valor` (true: accepted, false: cancelled,
// or what a choice in its body gives).
export function cerrarDialogo(valor) {
  if (!abierto) return;
  const { responder, foco } = abierto;
  abierto = null;
  partes.capa.hidden = true;
  delete partes.caja.dataset.tipo;
  vaciar(partes.cuerpo);
  if (foco && document.contains(foco)) foco.focus();
  responder(valor);
}

// Opens the dialog and resolves to its answer. `cuerpo`, a node, goes
// between the text and the buttons; `sinAceptar` leaves only "Cancelar"
// (the body's own buttons answer through cerrarDialogo).
export function abrirDialogo({ tipo, titulo, texto, aceptar = "Aceptar", peligro = false, sinAceptar = false, cuerpo = null }) {
  if (!partes) partes = crear();
  if (abierto) cerrarDialogo(false);
  return new Promise((responder) => {
    abierto = { responder, foco: document.activeElement };
    partes.caja.dataset.tipo = tipo;
    partes.titulo.textContent = titulo;
    partes.texto.textContent = texto || "";
    partes.texto.hidden = !texto;
    partes.aceptar.textContent = aceptar;
    partes.aceptar.className = peligro ? "peligro-lleno" : "principal";
    partes.aceptar.hidden = sinAceptar;
    if (cuerpo) partes.cuerpo.append(cuerpo);
    partes.capa.hidden = false;
    (sinAceptar ? partes.cuerpo.querySelector("button") || partes.cancelar : peligro ? partes.cancelar : partes.aceptar).focus();
  });
}

export const hayDialogo = () => abierto !== null;

// Resolves to true when the user accepts.
export function confirmar({ titulo, texto, aceptar = "Aceptar", peligro = false, tipo = "confirmar" }) {
  return abrirDialogo({ tipo, titulo, texto, aceptar, peligro });
}
