// The account's designs (a grid of cards: picture, name, date; open and
// delete) and the copies kept only on this computer (open, upload,
// discard). Deleting and discarding ask first, in the page.

import { confirmar } from "../comun/dialogo.js";
import {
  $, el, enviar, enviarUnaVez, fechaCorta, fechaLarga, huella, icono, ICONOS, imagenSegura, inicial, plural, vaciar,
} from "./utiles.js";

const normal = (t) => String(t).normalize("NFD").replace(/[\u0300-\u036f]/g, "").toLowerCase();

// A picture for a design without a thumbnail: its initial on colours
// taken from its id.
function sustituto(d) {
  const h = huella(d.id);
  const tono = h % 360;
  const caja = el("div", { class: "miniatura-sustituto", "aria-hidden": "true" },
    el("span", { class: "sustituto-letra", texto: inicial(d.nombre) }),
    el("span", { class: "sustituto-lineas" }, el("span"), el("span"), el("span")));
  caja.style.setProperty("--tono", String(tono));
  caja.style.setProperty("--tono-2", String((tono + 40 + (h >>> 9) % 60) % 360));
  return caja;
}

function miniatura(d) {
  const marco = el("div", { class: "miniatura" });
  const src = imagenSegura(d.miniatura);
  if (!src) {
    marco.append(sustituto(d));
    return marco;
  }
  const img = el("img", { alt: "", loading: "lazy", decoding: "async", draggable: "false" });
  img.addEventListener("error", () => { img.replaceWith(sustituto(d)); marco.classList.remove("con-imagen"); });
  img.src = src;
  marco.classList.add("con-imagen");
  marco.append(img);
  return marco;
}

// How long a deletion or an upload waits for its answer before the card
// or the row is usable again.
const ESPERA_BORRAR = 30000;
const ESPERA_SUBIR = 120000;

export class Disenos {
  constructor() {
    this.lista = [];
    this.borrando = new Map(); // id → when it was asked
    this.cargado = false;
    this.tarjetas = new Map(); // id → {firma, nodo}: cards kept while unchanged
    this.rejilla = $("rejilla-disenos");
    this.buscar = $("disenos-buscar");
    this.buscar.addEventListener("input", () => this.pintar());
    this.buscar.addEventListener("keydown", (e) => {
      if (e.key === "Escape" && this.buscar.value) {
        e.stopPropagation();
        this.buscar.value = "";
        this.pintar();
      }
    });
    this.pintar();
  }

  // A deletion ends when the design leaves the list; an account error or
  // a long wait gives the card back.
  poner(lista, { error = null } = {}) {
    this.lista = lista;
    this.cargado = true;
    const ids = new Set(lista.map((d) => d.id));
    const ahora = Date.now();
    for (const [id, desde] of this.borrando) {
      if (!ids.has(id) || error || ahora - desde > ESPERA_BORRAR) this.borrando.delete(id);
    }
    this.pintar();
  }

  pintar() {
    const rejilla = this.rejilla;
    const n = this.lista.length;
    $("disenos-cuenta").textContent = this.cargado && n ? String(n) : "";
    this.buscar.hidden = n < 7;
    if (this.buscar.hidden) this.buscar.value = "";
    if (!this.cargado) {
      rejilla.setAttribute("aria-busy", "true");
      vaciar(rejilla);
      for (let i = 0; i < 4; i++) rejilla.append(el("div", { class: "diseno esqueleto", "aria-hidden": "true" }, el("div", { class: "miniatura" }), el("div", { class: "diseno-pie" })));
      $("disenos-vacio").hidden = true;
      $("disenos-nada").hidden = true;
      return;
    }
    rejilla.removeAttribute("aria-busy");
    const filtro = normal(this.buscar.value.trim());
    const visibles = filtro ? this.lista.filter((d) => normal(d.nombre).includes(filtro)) : this.lista;
    $("disenos-vacio").hidden = n > 0;
    $("disenos-nada").hidden = n === 0 || visibles.length > 0;

    const ahora = new Date();
    const antes = this.tarjetas;
    this.tarjetas = new Map();
    const nodos = visibles.map((d) => {
      const firma = JSON.stringify([d.nombre, d.modificado && d.modificado.getTime(), d.miniatura, this.borrando.has(d.id)]);
      const guardada = antes.get(d.id);
      const nodo = guardada && guardada.firma === firma ? guardada.nodo : this.tarjeta(d, ahora);
      this.tarjetas.set(d.id, { firma, nodo });
      return nodo;
    });
    const iguales = nodos.length === rejilla.children.length && nodos.every((nodo, i) => rejilla.children[i] === nodo);
    if (!iguales) {
      const foco = document.activeElement;
      rejilla.replaceChildren(...nodos);
      if (foco && rejilla.contains(foco) && document.activeElement !== foco) foco.focus();
    }
    this.refrescarFechas(ahora);
  }

  // Dates read relative to today ("hoy a las…") move on by themselves.
  refrescarFechas(ahora = new Date()) {
    for (const d of this.lista) {
      const guardada = this.tarjetas.get(d.id);
      const fecha = guardada && guardada.nodo.querySelector("time.diseno-fecha");
      if (fecha && d.modificado) fecha.textContent = `Editado ${fechaCorta(d.modificado, ahora)}`;
    }
  }

  tarjeta(d, ahora) {
    const borrando = this.borrando.has(d.id);
    const abrir = () => { if (!this.borrando.has(d.id)) enviarUnaVez({ tipo: "abrir", id: d.id }); };
    const fecha = d.modificado
      ? el("time", { class: "diseno-fecha", datetime: d.modificado.toISOString(), title: `Modificado el ${fechaLarga(d.modificado)}`, texto: `Editado ${fechaCorta(d.modificado, ahora)}` })
      : el("span", { class: "diseno-fecha", texto: "Sin fecha" });
    return el("article", { class: `diseno${borrando ? " borrando" : ""}`, dataset: { id: d.id } },
      el("button", { type: "button", class: "diseno-abrir", "aria-label": `Abrir «${d.nombre}»`, disabled: borrando, onclick: abrir },
        miniatura(d),
        el("span", { class: "diseno-abrir-rotulo", "aria-hidden": "true" }, icono(ICONOS.abrir), "Abrir")),
      el("div", { class: "diseno-pie" },
        el("div", { class: "diseno-textos" },
          el("span", { class: "diseno-nombre", title: d.nombre, texto: d.nombre }),
          borrando ? el("span", { class: "diseno-fecha", texto: "Borrando…" }) : fecha),
        el("button", {
          type: "button",
          class: "icono diseno-borrar",
          title: "Borrar",
          "aria-label": `Borrar «${d.nombre}»`,
          disabled: borrando,
          onclick: () => this.borrar(d),
        }, icono(ICONOS.papelera))));
  }

  async borrar(d) {
    const si = await confirmar({
      tipo: "borrar",
      titulo: `¿Borrar «${d.nombre}»?`,
      texto: "Se borrará de tu cuenta en todos tus ordenadores. No se puede deshacer.",
      aceptar: "Borrar",
      peligro: true,
    });
    if (!si || !this.lista.some((x) => x.id === d.id) || this.borrando.has(d.id)) return;
    this.borrando.set(d.id, Date.now());
    enviar({ tipo: "borrar", id: d.id });
    this.pintar();
  }
}

export class Copias {
  constructor() {
    this.lista = [];
    this.ocupadas = new Map(); // archivo → {que: "subiendo" | "descartando", desde}
  }

  // A discard is answered by the next data; an upload by its notice (or
  // the copy leaving the list).
  poner(lista) {
    this.lista = lista;
    const archivos = new Set(lista.map((c) => c.archivo));
    const ahora = Date.now();
    for (const [archivo, o] of this.ocupadas) {
      if (!archivos.has(archivo) || o.que === "descartando" || ahora - o.desde > ESPERA_SUBIR) this.ocupadas.delete(archivo);
    }
    this.pintar();
  }

  // A notice came: the uploads it answers are over.
  alAvisar() {
    let cambia = false;
    for (const [archivo, o] of this.ocupadas) {
      if (o.que === "subiendo") {
        this.ocupadas.delete(archivo);
        cambia = true;
      }
    }
    if (cambia) this.pintar();
  }

  pintar() {
    const caja = vaciar($("lista-sin-subir"));
    $("sin-subir").hidden = this.lista.length === 0;
    $("sin-subir-titulo").textContent = this.lista.length > 1
      ? `${plural(this.lista.length, "diseño", "diseños")} sin subir a tu cuenta`
      : "Sin subir a tu cuenta";
    const ahora = new Date();
    for (const c of this.lista) {
      const ocupada = (this.ocupadas.get(c.archivo) || {}).que || "";
      const cuando = c.fecha ? `guardado ${fechaCorta(c.fecha, ahora)}` : "guardado en este ordenador";
      const detalle = ocupada === "subiendo" ? "Subiendo…" : ocupada === "descartando" ? "Descartando…"
        : `${c.nuevo ? "Diseño nuevo, nunca subido" : "Cambios que no llegaron a tu cuenta"} · ${cuando}`;
      caja.append(el("li", { class: `copia${ocupada ? " ocupada" : ""}`, dataset: { archivo: c.archivo } },
        el("span", { class: "copia-icono", "aria-hidden": "true" }, icono(ICONOS.subir)),
        el("div", { class: "copia-textos" },
          el("strong", { class: "copia-nombre", title: c.nombre, texto: c.nombre }),
          el("span", { class: "copia-detalle", title: c.fecha ? fechaLarga(c.fecha) : null, texto: detalle })),
        el("div", { class: "copia-botones" },
          c.abrir ? el("button", { type: "button", class: "copia-abrir", disabled: !!ocupada, onclick: () => enviarUnaVez({ tipo: "abrirCopia", archivo: c.archivo }) }, "Abrir") : null,
          el("button", { type: "button", class: "copia-subir principal", disabled: !!ocupada, onclick: () => this.subir(c) }, "Subir a mi cuenta"),
          el("button", { type: "button", class: "copia-descartar icono", title: "Descartar", "aria-label": `Descartar «${c.nombre}»`, disabled: !!ocupada, onclick: () => this.descartar(c) }, icono(ICONOS.papelera)))));
    }
  }

  subir(c) {
    if (this.ocupadas.has(c.archivo)) return;
    this.ocupadas.set(c.archivo, { que: "subiendo", desde: Date.now() });
    enviar({ tipo: "subirCopia", archivo: c.archivo });
    this.pintar();
  }

  async descartar(c) {
    const si = await confirmar({
      tipo: "descartar",
      titulo: `¿Descartar «${c.nombre}»?`,
      texto: c.nuevo
        ? "Este diseño nunca se subió a tu cuenta: si lo descartas, se pierde."
        : "Se perderán los cambios que no llegaron a tu cuenta. El diseño de tu cuenta queda como estaba.",
      aceptar: "Descartar",
      peligro: true,
    });
    if (!si || !this.lista.some((x) => x.archivo === c.archivo) || this.ocupadas.has(c.archivo)) return;
    this.ocupadas.set(c.archivo, { que: "descartando", desde: Date.now() });
    enviar({ tipo: "descartarCopia", archivo: c.archivo });
    this.pintar();
  }
}
