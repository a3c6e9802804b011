// The editor's state: the design document, the mesas on the canvas, the
// user's selection and marked zone, undo and redo, and the "cambio"
// messages that hand every change to native code.

import { cssAnimaciones, decorar } from "./animaciones.js";
import { separarImports } from "./css.js";
import { aplicarPaso, diferencia, documentoNuevo, estadoDeshacible, fijarPortada, nuevoId, normalizarDocumento } from "./documento.js";
import { Historial } from "./historial.js";
import { el, enviar, recortar } from "./utiles.js";
import { VistaMesa, quitarPeligrosos } from "./vista_mesa.js";

// Changes are handed over at most this long after they happen.
export const ESPERA_CAMBIO = 250;

export class Editor {
  constructor({ mundo, taller }) {
    this.mundo = mundo;
    this.taller = taller;
    this.doc = null;
    this.nombre = "Sin título";
    this.vistas = new Map();
    this.capas = new Map();
    this.historial = new Historial();
    this.sucias = new Set();
    this.profundidad = 0;
    this.seleccion = null;
    this.zona = null;
    this.foco = null;
    this.mesaTrabajo = null;
    this.fuentes = [];
    this.oscuro = false;
    this.oyentes = new Set();
    this.temporizadorCambio = 0;
    this.agenteExterno = null;
    this.agenteChat = "";
    this.ganchos = {};
    // Mesas whose height follows their content grow as their pictures and
    // fonts arrive. The engine reports each change of a mesa's page size,
    // so nothing is polled while the canvas is at rest.
    this.observador = new ResizeObserver(() => {
      if (this.doc) this.medirTodas();
    });
  }

  // ---- the document ----

  cargar(crudo, nombre, plantilla) {
    for (const v of this.vistas.values()) v.destruir();
    this.vistas.clear();
    for (const capa of this.capas.values()) capa.remove();
    this.capas.clear();
    clearTimeout(this.temporizadorCambio);
    this.temporizadorCambio = 0;
    this.nombre = typeof nombre === "string" && nombre ? nombre : "Sin título";
    let ilegible = false;
    let doc = crudo === null || crudo === undefined ? null : normalizarDocumento(crudo);
    if (!doc) {
      ilegible = crudo !== null && crudo !== undefined;
      doc = documentoNuevo(plantilla);
      // What could not be read is kept inside the new document, so that a
      // save never throws it away.
      if (ilegible) doc.copiaIlegible = crudo;
    }
    this.doc = doc;
    this.seleccion = this.zona = this.foco = null;
    this.mesaTrabajo = null;
    this.historial.vaciar();
    this.renderizar();
    this.avisar();
    return { ilegible };
  }

  pagina() {
    return this.doc.paginas[this.doc.pagina];
  }

  // Every mesa of the file with its page.
  *todas() {
    for (const [indice, pagina] of this.doc.paginas.entries())
      for (const mesa of pagina.mesas) yield { mesa, pagina, indice };
  }

  mesa(id) {
    for (const { mesa } of this.todas()) if (mesa.id === id) return mesa;
    return null;
  }

  paginaDe(mesaId) {
    for (const { mesa, pagina, indice } of this.todas()) if (mesa.id === mesaId) return { pagina, indice };
    return null;
  }

  // By id, else by name (exact, then ignoring case), on the open page first.
  mesaPorIdONombre(texto) {
    const porId = this.mesa(texto);
    if (porId) return porId;
    const t = String(texto).trim().toLowerCase();
    const candidatas = [...this.pagina().mesas, ...[...this.todas()].map((x) => x.mesa)];
    return candidatas.find((m) => m.nombre === texto) || candidatas.find((m) => m.nombre.toLowerCase() === t) || null;
  }

  vista(mesaId) {
    return this.vistas.get(mesaId) || null;
  }

  // A data-lid anywhere in the file, or a mesa id.
  buscar(id) {
    const mesa = this.mesa(id);
    if (mesa) return { mesa, vista: this.vista(mesa.id), elemento: null };
    for (const { mesa: m } of this.todas()) {
      const v = this.vista(m.id);
      const e = v && v.elemento(id);
      if (e) return { mesa: m, vista: v, elemento: e };
    }
    return null;
  }

  // The data-lids in one mesa's document. Kept with the view while its
  // document is the one its stored HTML made (the mesa is not being
  // changed), so that an edit of one mesa does not walk all the others.
  lidsDe(id, vista) {
    const tocada = this.sucias.has(id);
    if (!tocada && vista.lids && vista.lidsDe === vista.html) return vista.lids;
    const lids = new Set([...vista.body.querySelectorAll("[data-lid]")].map((e) => e.getAttribute("data-lid")));
    if (!tocada) {
      vista.lids = lids;
      vista.lidsDe = vista.html;
    }
    return lids;
  }

  // The data-lids in use in every mesa but `excepto`, as a set that can be
  // added to and taken from without copying the mesas' own sets.
  lidsEnUso(excepto = null) {
    const conjuntos = [];
    for (const [id, v] of this.vistas) if (id !== excepto) conjuntos.push(this.lidsDe(id, v));
    const sumados = new Set();
    const quitados = new Set();
    return {
      has: (lid) => sumados.has(lid) || (!quitados.has(lid) && conjuntos.some((c) => c.has(lid))),
      add: (lid) => { sumados.add(lid); },
      delete: (lid) => { sumados.delete(lid); quitados.add(lid); },
    };
  }

  // Gives a data-lid to every element under `raiz` that has none or one
  // already in `usados`. Returns the elements that got a new one.
  asignarLids(raiz, usados) {
    const nuevos = [];
    const elementos = raiz.nodeType === Node.ELEMENT_NODE && raiz.localName !== "body"
      ? [raiz, ...raiz.querySelectorAll("*")] : [...raiz.querySelectorAll("*")];
    for (const e of elementos) {
      if (e.hasAttribute("data-tv-envoltura") || e.localName === "style" || e.localName === "template") continue;
      const lid = e.getAttribute("data-lid");
      if (lid && !usados.has(lid)) {
        usados.add(lid);
        continue;
      }
      const nuevo = nuevoId(this.doc, "e");
      e.setAttribute("data-lid", nuevo);
      usados.add(nuevo);
      nuevos.push(e);
    }
    return nuevos;
  }

  // ---- changes ----

  tocar(mesaId) {
    this.sucias.add(mesaId);
  }

  cambiar(fn) {
    if (this.profundidad > 0) return fn();
    return this.cambiarDesde(estadoDeshacible(this.doc), fn);
  }

  // Runs `fn`, which changes the document or a mesa's DOM (marking the mesa
  // with tocar), then stores what changed, enters one undo step and
  // schedules "cambio". `antes` is the state before the change.
  cambiarDesde(antes, fn) {
    if (this.profundidad === 0 && this.ganchos && this.ganchos.antesDeCambiar) this.ganchos.antesDeCambiar();
    this.profundidad++;
    let resultado;
    try {
      resultado = fn();
    } finally {
      this.profundidad--;
      for (const id of this.sucias) this.guardarMesa(id);
      this.sucias.clear();
      this.renderizar();
      const paso = diferencia(antes, estadoDeshacible(this.doc));
      if (paso) {
        this.historial.registrar(paso);
        this.programarCambio();
      }
      this.avisar();
      if (this.profundidad === 0 && this.ganchos && this.ganchos.despuesDeCambiar) this.ganchos.despuesDeCambiar();
    }
    return resultado;
  }

  // A change outside the undo history (resources, the name).
  cambiarSinDeshacer(fn) {
    const r = fn();
    this.renderizar();
    this.programarCambio();
    this.avisar();
    return r;
  }

  // The mesa's DOM becomes its stored HTML again.
  guardarMesa(id) {
    const mesa = this.mesa(id);
    const vista = this.vista(id);
    if (!mesa || !vista) return;
    this.asignarLids(vista.body, this.lidsEnUso(id));
    mesa.html = vista.serializar();
    vista.html = mesa.html;
    const presentes = new Set([...vista.body.querySelectorAll("[data-lid]")].map((e) => e.getAttribute("data-lid")));
    mesa.animaciones = mesa.animaciones.filter((a) => presentes.has(a.lid));
    vista.presentar(vista.body, this.doc.recursos);
    vista.animar(mesa);
    // Its new height, if any, comes through the ResizeObserver (or altoDe).
  }

  deshacer() {
    return this.irA(this.historial.deshacer(), 0);
  }

  rehacer() {
    return this.irA(this.historial.rehacer(), 1);
  }

  irA(paso, lado) {
    if (!paso) return false;
    aplicarPaso(this.doc, paso, lado);
    this.doc.pagina = Math.min(this.doc.pagina, this.doc.paginas.length - 1);
    this.renderizar();
    this.programarCambio();
    this.avisar();
    return true;
  }

  programarCambio() {
    if (this.temporizadorCambio) return;
    this.temporizadorCambio = setTimeout(() => this.enviarCambio(), ESPERA_CAMBIO);
  }

  enviarCambio() {
    clearTimeout(this.temporizadorCambio);
    this.temporizadorCambio = 0;
    enviar({ tipo: "cambio", doc: this.doc, nombre: this.nombre, primera: this.primera() });
  }

  // Before leaving, exporting or publishing: what is pending goes now.
  vaciarCambio() {
    if (this.temporizadorCambio) this.enviarCambio();
  }

  // The held change handed straight to native code, which asks for it
  // before quitting or closing: the "cambio" message itself, or null.
  tomarCambio() {
    if (!this.temporizadorCambio) return null;
    clearTimeout(this.temporizadorCambio);
    this.temporizadorCambio = 0;
    return { tipo: "cambio", doc: this.doc, nombre: this.nombre, primera: this.primera() };
  }

  // ---- drawing the document ----

  contexto() {
    return {
      recursos: this.doc.recursos,
      fuentesCss: cssFuentes(this.fuentes),
      variablesCss: this.cssVariables("editor"),
    };
  }

  renderizar() {
    const contexto = this.contexto();
    const vivas = new Set();
    const paginasVivas = new Set();
    this.doc.paginas.forEach((pagina, indice) => {
      paginasVivas.add(pagina.id);
      let capa = this.capas.get(pagina.id);
      if (!capa) {
        capa = el("div", { class: "capa-pagina", dataset: { pagina: pagina.id } });
        this.mundo.append(capa);
        this.capas.set(pagina.id, capa);
      }
      // Other pages stay laid out (only unseen), so that tools can measure
      // and photograph their mesas too.
      capa.classList.toggle("oculta", indice !== this.doc.pagina);
      fijarPortada(pagina);
      this.dibujarRotulos(capa, pagina);
      pagina.mesas.forEach((mesa, orden) => {
        vivas.add(mesa.id);
        let vista = this.vistas.get(mesa.id);
        // A frame that changes parent loses its document: make it anew.
        if (vista && vista.raiz.parentNode !== capa) {
          vista.destruir();
          vista = null;
        }
        if (!vista) {
          vista = new VistaMesa(mesa, capa, this.observador);
          this.vistas.set(mesa.id, vista);
        }
        if (vista.actualizar(mesa, { ...contexto, portada: orden === 0 })) {
          const nuevos = this.asignarLids(vista.body, this.lidsEnUso(mesa.id));
          if (nuevos.length || vista.serializar() !== mesa.html) {
            mesa.html = vista.serializar();
            vista.html = mesa.html;
          }
          vista.animar(mesa);
        }
      });
    });
    for (const [id, vista] of this.vistas) {
      if (!vivas.has(id)) {
        vista.destruir();
        this.vistas.delete(id);
      }
    }
    for (const [id, capa] of this.capas) {
      if (!paginasVivas.has(id)) {
        capa.remove();
        this.capas.delete(id);
      }
    }
    this.comprobarSeleccion();
    this.actualizarMarcas();
  }

  dibujarRotulos(capa, pagina) {
    for (const r of [...capa.querySelectorAll(":scope > .rotulo")]) r.remove();
    for (const r of pagina.rotulos || []) {
      capa.prepend(el("div", { class: "rotulo", style: { left: `${r.x}px`, top: `${r.y}px` }, texto: r.texto }));
    }
  }

  // Measures the mesas whose height follows their content (images and
  // fonts arrive late); true when one changed.
  // Measures these mesas' heights; when one changed, the marks follow it and
  // the canvas is told, however the change was noticed.
  medir(mesas) {
    let cambio = false;
    for (const mesa of mesas) {
      const vista = this.vista(mesa.id);
      if (vista && mesa.auto && vista.medir(mesa)) cambio = true;
    }
    if (cambio) {
      this.actualizarMarcas();
      if (this.ganchos.alMedir) this.ganchos.alMedir();
    }
    return cambio;
  }

  medirTodas() {
    return this.medir([...this.todas()].map(({ mesa }) => mesa));
  }

  // Measured when asked: while the view is hidden the engine reports no
  // size changes, and tools read heights then too.
  altoDe(mesa) {
    const vista = this.vista(mesa.id);
    if (!vista) return mesa.alto;
    this.medir([mesa]);
    return vista.alto || mesa.alto;
  }

  cssVariables(modo) {
    const vars = this.doc.variables;
    if (!vars.length) return "";
    const claros = vars.map((v) => `--${v.nombre}:${v.valor};`).join("");
    const oscuras = vars.filter((v) => v.oscuro).map((v) => `--${v.nombre}:${v.oscuro};`).join("");
    if (modo === "editor") return `:root{${claros}}` + (this.oscuro && oscuras ? `:root{${oscuras}}` : "");
    return `:root{${claros}}` + (oscuras ? `@media (prefers-color-scheme: dark){:root{${oscuras}}}` : "");
  }

  // One mesa as a body fragment that carries everything it needs: its
  // <style> (the user's fonts it uses, variables, its sheet, its effects)
  // and its HTML. "captura" leaves the effects out, so that a picture shows
  // the page at rest.
  fragmento(mesa, modo = "web") {
    const plantilla = this.taller.createElement("template");
    plantilla.innerHTML = mesa.html;
    quitarPeligrosos(plantilla.content);
    const { imports, resto } = separarImports(mesa.css);
    const partes = [imports, cssFuentes(fuentesUsadas(this.fuentes, mesa)), this.cssVariables("web"), resto];
    if (modo !== "captura" && mesa.animaciones.length) {
      decorar(plantilla.content, mesa.animaciones);
      partes.push(cssAnimaciones(mesa.animaciones, modo, plantilla.content));
    }
    const css = partes.filter((p) => p && p.trim()).join("\n");
    return (css ? `<style>\n${css}\n</style>\n` : "") + plantilla.innerHTML;
  }

  primera() {
    const mesa = this.doc.paginas[0] && this.doc.paginas[0].mesas[0];
    if (!mesa) return { html: "", w: 1440, h: 900 };
    return { html: this.fragmento(mesa, "captura"), w: mesa.ancho, h: this.altoDe(mesa) };
  }

  // The open page's mesas as the pages of a website, the cover first.
  paginasWeb() {
    return this.pagina().mesas.map((mesa, i) => ({ html: this.fragmento(mesa, "web"), nombre: mesa.nombre, inicio: i === 0 }));
  }

  // ---- name, pages and the working agent ----

  // `aMano`: the user named it, and agents no longer rename it.
  renombrar(nombre, aMano) {
    this.nombre = nombre;
    if (aMano) this.doc.nombreAMano = true;
    this.programarCambio();
    this.avisar();
  }

  abrirPagina(indice) {
    if (indice === this.doc.pagina) return;
    this.doc.pagina = indice;
    this.seleccion = null;
    this.zona = null;
    this.renderizar();
    this.programarCambio();
    if (this.ganchos && this.ganchos.alAbrirPagina) this.ganchos.alAbrirPagina();
    this.avisar();
  }

  nombreAgente() {
    return (this.agenteExterno && this.agenteExterno.nombre) || this.agenteChat || "IA";
  }

  enfocar({ mesa, lid, nota }) {
    const pagina = this.paginaDe(mesa);
    if (pagina && pagina.indice !== this.doc.pagina) this.abrirPagina(pagina.indice);
    this.foco = { mesa, lid, nota, nombre: this.nombreAgente() };
    this.actualizarMarcas();
    if (this.ganchos && this.ganchos.alEnfocar) this.ganchos.alEnfocar(this.foco);
    this.avisar();
  }

  terminarAgente() {
    this.foco = null;
    this.agenteExterno = null;
    this.actualizarMarcas();
    this.avisar();
  }

  // Brings a mesa, with its title, into the canvas's view.
  mostrarMesa(mesa) {
    if (this.ganchos && this.ganchos.alMostrarMesa) this.ganchos.alMostrarMesa(mesa);
  }

  mesaVisible() {
    if (this.ganchos && this.ganchos.mesaVisible) return this.ganchos.mesaVisible();
    return this.pagina().mesas[0] || null;
  }

  // ---- selection, zone and the agent's focus ----

  seleccionar(seleccion) {
    this.seleccion = seleccion;
    if (seleccion) this.mesaTrabajo = seleccion.mesa;
    this.actualizarMarcas();
    this.avisar();
  }

  elementoSeleccionado() {
    if (!this.seleccion || !this.seleccion.lid) return null;
    const v = this.vista(this.seleccion.mesa);
    return v ? v.elemento(this.seleccion.lid) : null;
  }

  comprobarSeleccion() {
    if (this.seleccion) {
      if (!this.mesa(this.seleccion.mesa)) this.seleccion = null;
      else if (this.seleccion.lid && !this.elementoSeleccionado()) this.seleccion = { mesa: this.seleccion.mesa, lid: null };
    }
    if (this.zona && !this.mesa(this.zona.mesa)) this.zona = null;
    if (this.foco && !this.buscar(this.foco.lid)) this.foco = null;
    if (this.mesaTrabajo && !this.mesa(this.mesaTrabajo)) this.mesaTrabajo = null;
  }

  // Elements the zone covers: the outermost ones wholly inside it.
  elementosEnZona(limite = 20) {
    if (!this.zona) return [];
    const v = this.vista(this.zona.mesa);
    if (!v) return [];
    const z = this.zona;
    const dentro = [];
    for (const e of v.body.querySelectorAll("[data-lid]")) {
      const r = v.rect(e);
      if (r.w < 1 || r.h < 1) continue;
      if (r.x >= z.x - 1 && r.y >= z.y - 1 && r.x + r.w <= z.x + z.w + 1 && r.y + r.h <= z.y + z.h + 1 &&
          !dentro.some((d) => d.contains(e))) dentro.push(e);
      if (dentro.length >= limite) break;
    }
    return dentro;
  }

  // The innermost element that holds the whole zone, for a zone drawn
  // inside one element.
  elementoQueContieneZona() {
    if (!this.zona) return null;
    const v = this.vista(this.zona.mesa);
    if (!v) return null;
    const z = this.zona;
    let mejor = null;
    for (const e of v.body.querySelectorAll("[data-lid]")) {
      const r = v.rect(e);
      if (r.x <= z.x + 1 && r.y <= z.y + 1 && r.x + r.w >= z.x + z.w - 1 && r.y + r.h >= z.y + z.h - 1) mejor = e;
    }
    return mejor;
  }

  actualizarMarcas() {
    for (const [id, v] of this.vistas) {
      const sel = this.seleccion && this.seleccion.mesa === id ? this.seleccion : null;
      const elemento = sel && sel.lid ? v.elemento(sel.lid) : null;
      v.marcar("marca-seleccion", elemento ? v.rect(elemento) : null, elemento ? `${elemento.localName} · ${sel.lid}` : "");
      v.raiz.classList.toggle("seleccionada", Boolean(sel && !sel.lid));
      const z = this.zona && this.zona.mesa === id ? this.zona : null;
      v.marcar("marca-zona", z, z ? "Zona marcada" : "");
      const foco = this.foco && this.foco.mesa === id ? v.elemento(this.foco.lid) : null;
      v.marcar("marca-foco", foco ? v.rect(foco) : null,
        foco ? recortar(`${this.foco.nombre}${this.foco.nota ? " · " + this.foco.nota : ""}`, 80) : "");
    }
  }

  alCambiar(fn) {
    this.oyentes.add(fn);
  }

  avisar() {
    for (const fn of this.oyentes) fn();
  }
}

function limpiarFamilia(texto) {
  return String(texto).replace(/["\\\n<>{}]/g, "");
}

export function cssFuentes(fuentes) {
  return (fuentes || []).filter((f) => f && typeof f.familia === "string" && typeof f.archivo === "string").map((f) => {
    const peso = /^\d{3}$/.test(String(f.peso)) ? f.peso : "400";
    const estilo = f.estilo === "italic" ? "italic" : "normal";
    const formato = ["woff2", "woff", "opentype", "truetype"].includes(f.formato) ? f.formato : "woff2";
    return `@font-face{font-family:"${limpiarFamilia(f.familia)}";src:url("fuente://local/${encodeURIComponent(f.archivo)}") ` +
      `format("${formato}");font-weight:${peso};font-style:${estilo}}`;
  }).join("\n");
}

function fuentesUsadas(fuentes, mesa) {
  const texto = (mesa.css + mesa.html).toLowerCase();
  return (fuentes || []).filter((f) => f && typeof f.familia === "string" && texto.includes(f.familia.toLowerCase()));
}
