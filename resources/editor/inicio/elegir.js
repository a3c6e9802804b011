// The choice of a page size for a new design: one tile per size, drawn to
// scale, in the shared dialog.

import { abrirDialogo, cerrarDialogo } from "../comun/dialogo.js";
import { el } from "./utiles.js";

// Shows the tiles of `opciones` ({id, nombre, detalle, medida, ancho, alto,
// auto}) and resolves to the chosen id, or null.
export function elegir({ titulo, texto, opciones, tipo = "elegir" }) {
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
      onclick: () => cerrarDialogo(o.id),
    },
    el("span", { class: "plantilla-dibujo" }, forma),
    el("strong", { texto: o.nombre }),
    el("small", { texto: o.medida }),
    o.detalle ? el("span", { class: "plantilla-para", texto: o.detalle }) : null));
  }
  return abrirDialogo({ tipo, titulo, texto, sinAceptar: true, cuerpo: rejilla })
    .then((valor) => (typeof valor === "string" ? valor : null));
}
