// The store page of the account and store window: the account's own panel
// pages and the catalogue's sections. Panel pages open signed in inside the
// window (native code asks for a one-time link); "Abrir en el navegador"
// opens them in the browser, where the user signs in as usual.

import { $, el, enviar, esObjeto, vaciar } from "../comun/dom.js";
import { avisar } from "../comun/avisos.js";
import { ENLACES_CUENTA, SECCION_MIA, elegida, esRutaPanel, secciones } from "./catalogo.js";

let lista = [SECCION_MIA];
let actual = SECCION_MIA.id;
let error = "";

function ir(ruta) {
  if (esRutaPanel(ruta)) enviar({ tipo: "ir", ir: ruta });
}

function tarjeta(titulo, detalle, ruta, textoBoton) {
  return el("article", { class: "tarjeta" },
    el("h3", { texto: titulo }),
    detalle ? el("span", { class: "precio", texto: detalle }) : null,
    el("div", { class: "acciones" },
      el("button", { type: "button", class: "principal", onclick: () => ir(ruta) }, textoBoton),
      el("button", { type: "button", onclick: () => enviar({ tipo: "navegador", ir: ruta }) }, "Abrir en el navegador")));
}

function dibujarPestanas() {
  vaciar($("pestanas")).append(...lista.map((s) => el("button", {
    type: "button", role: "tab", "aria-selected": s.id === actual ? "true" : "false", dataset: { seccion: s.id },
    onclick: () => {
      actual = s.id;
      enviar({ tipo: "seccion", seccion: s.id });
      dibujar();
    },
  }, s.nombre)));
}

function dibujar() {
  dibujarPestanas();
  const contenido = vaciar($("contenido"));
  contenido.dataset.seccion = actual;
  if (error) contenido.append(el("p", { class: "error", texto: error }));
  if (actual === SECCION_MIA.id) {
    contenido.append(el("div", { class: "rejilla" }, ...ENLACES_CUENTA.map((e) => tarjeta(e.nombre, "", e.ir, "Abrir"))));
    return;
  }
  const seccion = lista.find((s) => s.id === actual);
  if (!seccion || !seccion.productos.length) {
    contenido.append(el("p", { class: "tenue", texto: "No hay productos en esta sección." }));
  } else {
    contenido.append(el("div", { class: "rejilla" }, ...seccion.productos.map((p) => tarjeta(p.nombre, p.precio, p.ir, "Comprar"))));
  }
  if (actual === "vps") {
    contenido.append(el("p", {}, el("button", { type: "button", onclick: () => enviar({ tipo: "servidores" }) }, "Ver mis servidores")));
  }
}

window.tienda = {
  datos(d) {
    if (!esObjeto(d)) return;
    error = typeof d.error === "string" ? d.error : "";
    lista = secciones(d.tienda);
    actual = elegida(lista, d.seccion);
    $("cliente").textContent = typeof d.cliente === "string" ? d.cliente : "";
    dibujar();
  },
  error(e) {
    if (esObjeto(e) && typeof e.texto === "string") avisar(e.texto, true);
  },
};

$("cerrar").addEventListener("click", () => enviar({ tipo: "cerrar" }));
enviar({ tipo: "listo" });
