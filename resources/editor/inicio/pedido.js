// "Describe what you want": a first request for a chosen AI tool, a page
// size, images the user attaches (read here into data URLs) and whether it
// is a video. "Crear con IA" posts "crear"; the editor that opens takes
// the request.

import { avisar } from "../comun/avisos.js";
import { PLANTILLAS, PLANTILLA_INICIAL, medida } from "./plantillas.js";
import { $, el, enviar, icono, ICONOS, plural, vaciar } from "./utiles.js";

const MAX_ADJUNTOS = 10;
const MAX_BYTES = 8 * 1024 * 1024;

function leerArchivo(archivo) {
  return new Promise((resolver) => {
    const lector = new FileReader();
    lector.onload = () => resolver(typeof lector.result === "string" ? lector.result : null);
    lector.onerror = () => resolver(null);
    lector.readAsDataURL(archivo);
  });
}

export class Pedido {
  constructor() {
    this.form = $("pedido-form");
    this.areaTexto = $("pedido-texto");
    this.selectorPlantilla = $("pedido-plantilla");
    this.selectorIA = $("pedido-ia");
    this.casillaVideo = $("pedido-video");
    this.boton = $("pedido-crear");
    this.ayuda = $("pedido-ayuda");
    this.archivos = $("pedido-archivos");
    this.adjuntos = []; // [{nombre, src}]
    this.ias = [];
    this.iasListas = false;
    this.iaAMano = "";
    this.enviado = 0;

    for (const p of PLANTILLAS) {
      this.selectorPlantilla.append(el("option", { value: p.id, texto: `${p.nombre} · ${medida(p)}` }));
    }
    this.selectorPlantilla.value = PLANTILLA_INICIAL;

    this.areaTexto.addEventListener("input", () => this.pintarEstado());
    this.areaTexto.addEventListener("keydown", (e) => {
      if (e.key === "Enter" && (e.ctrlKey || e.metaKey)) {
        e.preventDefault();
        this.crear();
      }
    });
    this.selectorIA.addEventListener("change", () => {
      this.iaAMano = this.selectorIA.value;
      this.pintarEstado();
    });
    this.form.addEventListener("submit", (e) => {
      e.preventDefault();
      this.crear();
    });
    $("pedido-adjuntar").addEventListener("click", () => this.archivos.click());
    this.archivos.addEventListener("change", () => {
      const lista = [...(this.archivos.files || [])];
      this.archivos.value = "";
      this.adjuntar(lista);
    });
    this.form.addEventListener("dragover", (e) => {
      if (![...(e.dataTransfer?.types || [])].includes("Files")) return;
      e.preventDefault();
      this.form.classList.add("soltando");
    });
    this.form.addEventListener("dragleave", (e) => {
      if (!this.form.contains(e.relatedTarget)) this.form.classList.remove("soltando");
    });
    this.form.addEventListener("drop", (e) => {
      this.form.classList.remove("soltando");
      const lista = [...(e.dataTransfer?.files || [])];
      if (!lista.length) return;
      e.preventDefault();
      this.adjuntar(lista);
    });
    this.areaTexto.addEventListener("paste", (e) => {
      const lista = [...(e.clipboardData?.files || [])].filter((f) => f.type.startsWith("image/"));
      if (!lista.length) return;
      e.preventDefault();
      this.adjuntar(lista);
    });
    for (const idea of document.querySelectorAll(".sugerencia[data-idea]")) {
      idea.addEventListener("click", () => {
        this.areaTexto.value = idea.dataset.idea;
        if (idea.dataset.plantilla) this.selectorPlantilla.value = idea.dataset.plantilla;
        this.areaTexto.focus();
        this.areaTexto.setSelectionRange(this.areaTexto.value.length, this.areaTexto.value.length);
        this.pintarEstado();
      });
    }
    this.pintarIAs();
  }

  // The detected tools and the current one ("ia" of the data, by name).
  ponerIAs(ias, iasListas, actual) {
    this.ias = ias;
    this.iasListas = iasListas;
    let elegida = this.ias.some((ia) => ia.id === this.iaAMano) ? this.iaAMano : "";
    if (!elegida && actual) elegida = (this.ias.find((ia) => ia.nombre === actual.nombre) || {}).id || "";
    if (!elegida) elegida = (this.ias.find((ia) => ia.sesion) || this.ias[0] || {}).id || "";
    this.pintarIAs(elegida);
  }

  pintarIAs(elegida = "") {
    const s = vaciar(this.selectorIA);
    if (!this.ias.length) {
      s.append(el("option", { value: "", texto: this.iasListas ? "Ninguna instalada" : "Buscando…" }));
      s.disabled = true;
    } else {
      for (const ia of this.ias) s.append(el("option", { value: ia.id, texto: ia.sesion ? ia.nombre || ia.id : `${ia.nombre || ia.id} (sin sesión)` }));
      s.disabled = false;
      s.value = elegida || this.ias[0].id;
    }
    this.pintarEstado();
  }

  iaElegida() {
    return this.ias.find((ia) => ia.id === this.selectorIA.value) || null;
  }

  pintarEstado() {
    const ia = this.iaElegida();
    const hayTexto = this.areaTexto.value.trim() !== "";
    this.boton.disabled = !ia || !hayTexto || Date.now() - this.enviado < 1500;
    let ayuda = "";
    if (!this.ias.length) ayuda = this.iasListas ? "Instala una IA (a la derecha) para pedirle diseños." : "Buscando tus IAs…";
    else if (ia && !ia.sesion) ayuda = `${ia.nombre || ia.id} no tiene la sesión iniciada.`;
    else if (hayTexto) ayuda = "Ctrl + Intro";
    this.ayuda.textContent = ayuda;
    this.ayuda.classList.toggle("alerta", !!ia && !ia.sesion);
  }

  async adjuntar(archivos) {
    const imagenes = archivos.filter((f) => f && typeof f.type === "string" && f.type.startsWith("image/"));
    if (imagenes.length < archivos.length) avisar("Solo se pueden adjuntar imágenes.", true);
    for (const archivo of imagenes) {
      if (this.adjuntos.length >= MAX_ADJUNTOS) {
        avisar(`Puedes adjuntar hasta ${plural(MAX_ADJUNTOS, "imagen", "imágenes")}.`, true);
        break;
      }
      if (archivo.size > MAX_BYTES) {
        avisar(`«${archivo.name}» pesa demasiado: el máximo son 8 MB.`, true);
        continue;
      }
      const src = await leerArchivo(archivo);
      if (!src || !/^data:image\//.test(src)) {
        avisar(`No se ha podido leer «${archivo.name}».`, true);
        continue;
      }
      this.adjuntos.push({ nombre: this.nombreLibre(archivo.name || "imagen"), src });
      this.pintarAdjuntos();
    }
  }

  // Names are the images' keys in the design ("recurso:" + name): unique.
  nombreLibre(nombre) {
    const limpio = nombre.replace(/[\\/\u0000-\u001f]/g, "").trim() || "imagen";
    if (!this.adjuntos.some((a) => a.nombre === limpio)) return limpio;
    const punto = limpio.lastIndexOf(".");
    const base = punto > 0 ? limpio.slice(0, punto) : limpio;
    const ext = punto > 0 ? limpio.slice(punto) : "";
    for (let i = 2; ; i++) {
      const otro = `${base}-${i}${ext}`;
      if (!this.adjuntos.some((a) => a.nombre === otro)) return otro;
    }
  }

  pintarAdjuntos() {
    const caja = vaciar($("pedido-adjuntos"));
    caja.hidden = this.adjuntos.length === 0;
    for (const a of this.adjuntos) {
      const img = el("img", { alt: "", draggable: "false" });
      img.src = a.src;
      caja.append(el("span", { class: "adjunto", title: a.nombre },
        img,
        el("span", { class: "adjunto-nombre", texto: a.nombre }),
        el("button", {
          type: "button",
          class: "adjunto-quitar",
          "aria-label": `Quitar «${a.nombre}»`,
          onclick: () => {
            this.adjuntos = this.adjuntos.filter((x) => x !== a);
            this.pintarAdjuntos();
            this.areaTexto.focus();
          },
        }, icono(ICONOS.cerrar))));
    }
  }

  crear() {
    const ia = this.iaElegida();
    const texto = this.areaTexto.value.trim();
    if (!ia || !texto || Date.now() - this.enviado < 1500) {
      if (!texto) this.areaTexto.focus();
      return;
    }
    this.enviado = Date.now();
    enviar({
      tipo: "crear",
      plantilla: this.selectorPlantilla.value || PLANTILLA_INICIAL,
      ia: ia.id,
      texto,
      recursos: this.adjuntos.map((a) => ({ nombre: a.nombre, src: a.src })),
      video: this.casillaVideo.checked,
    });
    this.pintarEstado();
    setTimeout(() => this.pintarEstado(), 1600);
  }
}
