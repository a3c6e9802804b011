// A change asked of the local AI tool for the user's selection. The tool
// sees the selection's HTML (every element with its data-lid) and answers
// with <cambio lid="…" como="…"> blocks, each naming the element it acts on:
// "reemplazar" (the default: the block's content takes the element's
// place), "dentro" (appended inside it), "antes", "despues" or "borrar".
// A <style> in the answer joins the mesa's sheet. A tool that answers a
// plain piece of HTML instead gets it in the selection's place.
// Only elements the tool was shown can be touched: the rest of the mesa
// stays as it was.

import { limpiarCopia, quitarPeligrosos } from "./vista_mesa.js";

const COMOS = ["reemplazar", "dentro", "antes", "despues", "borrar"];
const VACIOS = new Set(["area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"]);

// What the tool is shown: the mesa's sheet and the selected element (the
// whole mesa when no element is selected), as the design stores them.
export function htmlDeSeleccion(vista, mesa, elemento) {
  const caja = vista.doc.createElement("div");
  if (elemento) caja.append(elemento.cloneNode(true));
  else caja.append(...[...vista.body.childNodes].map((n) => n.cloneNode(true)));
  limpiarCopia(caja);
  const hoja = mesa.css.trim();
  return (hoja ? `<style>${hoja}</style>\n` : "") + caja.innerHTML;
}

// The data-lids the tool may act on: the selected element and everything
// in it, or every element of the mesa.
export function lidsDeSeleccion(vista, elemento) {
  const elementos = elemento ? [elemento, ...elemento.querySelectorAll("[data-lid]")] : [...vista.body.querySelectorAll("[data-lid]")];
  return new Set(elementos.map((e) => e.getAttribute("data-lid")).filter(Boolean));
}

// The answer parsed in the mesa's own (sandboxed) document, without
// scripts, its <style> text apart.
export function leerRespuesta(vista, html) {
  const fragmento = vista.fragmento(html);
  quitarPeligrosos(fragmento);
  const estilos = [...fragmento.querySelectorAll("style")];
  const css = estilos.map((s) => s.textContent).join("\n");
  for (const s of estilos) s.remove();
  // Blocks inside blocks are part of their outer block's content.
  const bloques = [...fragmento.querySelectorAll("cambio")].filter((b) => !b.parentElement || !b.parentElement.closest("cambio"));
  return { fragmento, css, bloques };
}

// Applies the blocks under `raiz` (the mesa's body, or a copy of it for a
// preview). Gives how many blocks took effect.
export function aplicarBloques(raiz, bloques, permitidos) {
  const doc = raiz.ownerDocument;
  let hechos = 0;
  for (const bloque of bloques) {
    const lid = bloque.getAttribute("lid");
    const como = (bloque.getAttribute("como") || "reemplazar").trim().toLowerCase();
    if (!lid || !permitidos.has(lid) || !COMOS.includes(como)) continue;
    const destino = raiz.querySelector(`[data-lid="${CSS.escape(lid)}"]`);
    if (!destino || (como === "dentro" && VACIOS.has(destino.localName))) continue;
    const contenido = doc.createDocumentFragment();
    for (const n of [...bloque.childNodes]) contenido.append(doc.importNode(n, true));
    if (como === "borrar") destino.remove();
    else if (como === "reemplazar") destino.replaceWith(contenido);
    else if (como === "dentro") destino.append(contenido);
    else if (como === "antes") destino.before(contenido);
    else destino.after(contenido);
    hechos++;
  }
  return hechos;
}

// A plain piece instead of blocks takes the selection's place. A single
// new root without a data-lid keeps the selected element's, so that the
// selection and its effects stay with it.
export function reemplazarSeleccion(vista, elemento, fragmento) {
  const raices = [...fragmento.children];
  if (!raices.length) return 0;
  if (elemento && raices.length === 1 && !raices[0].hasAttribute("data-lid"))
    raices[0].setAttribute("data-lid", elemento.getAttribute("data-lid"));
  const nuevo = vista.doc.importNode(fragmento, true);
  if (elemento) elemento.replaceWith(nuevo);
  else vista.body.replaceChildren(nuevo);
  return 1;
}
