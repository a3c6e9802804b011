// The one notice of every page: a line at the bottom of the window that
// goes away by itself, with a close button and at most one action
// ({texto, hacer}). Errors and notices with an action stay longer, since
// the user has something to read or to do. The box is made on first use,
// so a page needs no markup for it. Gives the notice's element.

import { el } from "./dom.js";

const MAXIMO = 4;
const BREVE = 7000;
const LARGO = 14000;

function caja() {
  let avisos = document.getElementById("avisos");
  if (!avisos) {
    avisos = el("div", { id: "avisos", class: "avisos", "aria-live": "polite" });
    document.body.append(avisos);
  }
  return avisos;
}

export function avisar(texto, error = false, accion = null) {
  const avisos = caja();
  const aviso = el("div", { class: `aviso${error ? " error" : ""}`, role: error ? "alert" : "status" }, el("span", { texto }));
  if (accion) aviso.append(el("button", { type: "button", onclick: () => { accion.hacer(); aviso.remove(); } }, accion.texto));
  aviso.append(el("button", { type: "button", class: "cerrar", "aria-label": "Cerrar aviso", onclick: () => aviso.remove() }, "×"));
  avisos.append(aviso);
  while (avisos.children.length > MAXIMO) avisos.firstElementChild.remove();
  setTimeout(() => aviso.remove(), error || accion ? LARGO : BREVE);
  return aviso;
}
