// The status view: one "estado" request at a time, every three seconds,
// while the view is shown; figures drawn as text.

import { enviar, el, $, vaciar } from "../comun/dom.js";
import { bytes, porcentaje, duracion } from "./formato.js";

const cadencia = 3000;
let servidor = null;
let esperando = false;
let temporizador = 0;

export function activar(id) {
  servidor = id;
  clearTimeout(temporizador);
  if (id !== null && !esperando) pedir();
}

export function olvidar() {
  vaciar($("estado-tarjetas"));
  vaciar($("procesos"));
  vaciar($("caidos"));
  $("estado-error").hidden = true;
  delete document.body.dataset.estadoListo;
}

function pedir() {
  if (servidor === null) return;
  esperando = true;
  enviar({ tipo: "estado", servidor });
}

function tarjeta(titulo, valor, detalle, clave) {
  return el("div", { class: "tarjeta", dataset: { clave } },
    el("span", { class: "tenue", texto: titulo }),
    el("strong", { texto: valor }),
    detalle ? el("span", { class: "tenue", texto: detalle }) : null);
}

export function pintar(d) {
  esperando = false;
  if (servidor !== null && d.servidor === servidor) {
    clearTimeout(temporizador);
    temporizador = setTimeout(pedir, cadencia);
  }
  if (d.servidor !== servidor) return;
  $("estado-error").hidden = !d.error;
  $("estado-error").textContent = d.error || "";
  if (d.error) return;
  const carga = Array.isArray(d.carga) ? d.carga : [];
  const t = [
    tarjeta("Carga", carga.map((n) => Number(n).toFixed(2).replace(".", ",")).join(" · "), `${d.nucleos} núcleos`, "carga"),
    tarjeta("CPU", "cpu" in d ? `${Math.round(d.cpu)} %` : "…", "", "cpu"),
  ];
  if (d.mem) t.push(tarjeta("Memoria", `${bytes(d.mem.usada)} de ${bytes(d.mem.total)}`, `${bytes(d.mem.libre)} disponibles`, "mem"));
  if (d.swap) t.push(tarjeta("Swap", `${bytes(d.swap.usada)} de ${bytes(d.swap.total)}`, "", "swap"));
  if (d.disco) t.push(tarjeta("Disco /", `${bytes(d.disco.usado)} de ${bytes(d.disco.total)}`, porcentaje(d.disco.usado, d.disco.total), "disco"));
  t.push(tarjeta("Red", d.red ? `↓ ${bytes(d.red.rx)}/s · ↑ ${bytes(d.red.tx)}/s` : "…", "", "red"));
  t.push(tarjeta("Encendido", duracion(d.arriba), d.so || "", "arriba"));
  vaciar($("estado-tarjetas")).append(...t);
  vaciar($("procesos")).append(...(d.procesos || []).map((p) =>
    el("tr", {}, el("td", { texto: String(p.cpu) }), el("td", { texto: String(p.mem) }), el("td", { texto: p.nombre }))));
  const caidos = d.caidos || [];
  vaciar($("caidos")).append(...(caidos.length ? caidos.map((c) => el("li", { texto: c })) : [el("li", { class: "tenue", texto: "Ninguno" })]));
  document.body.dataset.estadoListo = "cpu" in d ? "completo" : "primero";
}
