// The remote file browser: names, sizes and file text go into the page as
// text; deletions are confirmed here before they are asked for.

import { enviar, el, $, vaciar } from "../comun/dom.js";
import { bytes, fecha, padre, unir } from "./formato.js";

let servidor = null;
let carpeta = "/root";

export function olvidar() {
  servidor = null;
  carpeta = "/root";
  vaciar($("entradas"));
  $("visor").hidden = true;
  delete document.body.dataset.carpeta;
}

function ir(ruta) {
  if (servidor === null) return;
  enviar({ tipo: "archivos", servidor, ruta });
}

export function abrir(id) {
  if (servidor === id) return;
  servidor = id;
  ir(carpeta);
}

function fila(item) {
  const ruta = unir(carpeta, item.nombre);
  const nombre = el("button", { type: "button", class: `nombre-entrada ${item.tipo}`, texto: item.nombre,
    onclick: () => (item.tipo === "dir" || item.tipo === "enlace" ? ir(ruta) : enviar({ tipo: "ver", servidor, ruta })) });
  const acciones = el("td", { class: "acciones" },
    el("button", { type: "button", class: "boton mini", texto: "Descargar", onclick: () => enviar({ tipo: "descargar", servidor, ruta }) }),
    el("button", { type: "button", class: "boton mini", texto: "Renombrar", onclick: () => {
      const nuevo = prompt("Nuevo nombre", item.nombre);
      if (nuevo && nuevo !== item.nombre && !nuevo.includes("/"))
        enviar({ tipo: "renombrar", servidor, ruta, destino: unir(carpeta, nuevo), carpetaActual: carpeta });
    } }),
    el("button", { type: "button", class: "boton mini peligro", texto: "Borrar", onclick: () => {
      if (confirm(`¿Borrar «${item.nombre}»? No se puede deshacer.`))
        enviar({ tipo: "borrar", servidor, ruta, carpetaActual: carpeta });
    } }));
  return el("tr", { dataset: { nombre: item.nombre, tipo: item.tipo } },
    el("td", {}, nombre),
    el("td", { texto: item.tipo === "dir" ? "" : bytes(item.tam) }),
    el("td", { texto: fecha(item.fecha) }),
    el("td", { class: "permisos", texto: item.permisos }),
    acciones);
}

export function pintar(d) {
  if (d.servidor !== servidor) return;
  $("archivos-error").hidden = !d.error;
  $("archivos-error").textContent = d.error || "";
  if (d.error) return;
  carpeta = d.ruta;
  $("ruta").value = carpeta;
  document.body.dataset.carpeta = carpeta;
  vaciar($("entradas")).append(...(d.items || []).map(fila));
}

export function verArchivo(d) {
  $("visor").hidden = false;
  $("visor-ruta").textContent = d.ruta;
  const nota = d.binario ? `Archivo binario de ${bytes(d.tam)}: descárgalo para abrirlo.`
    : d.error ? d.error : d.cortado ? "Solo se muestran los primeros 256 KB." : "";
  $("visor-nota").hidden = !nota;
  $("visor-nota").textContent = nota;
  $("visor-texto").textContent = d.binario ? "" : d.texto || "";
}

export function preparar() {
  $("subir-nivel").addEventListener("click", () => ir(padre(carpeta)));
  $("ir").addEventListener("click", () => ir($("ruta").value.trim() || "/root"));
  $("ruta").addEventListener("keydown", (e) => { if (e.key === "Enter") ir($("ruta").value.trim() || "/root"); });
  $("nueva-carpeta").addEventListener("click", () => {
    const nombre = prompt("Nombre de la carpeta nueva");
    if (nombre && !nombre.includes("/")) enviar({ tipo: "carpeta", servidor, ruta: unir(carpeta, nombre), carpetaActual: carpeta });
  });
  $("subir-aqui").addEventListener("click", () => enviar({ tipo: "subir", servidor, ruta: carpeta }));
  $("visor-cerrar").addEventListener("click", () => { $("visor").hidden = true; });
}
