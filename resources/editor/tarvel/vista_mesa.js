// One mesa on the canvas: its frame, and the sandboxed document inside it
// that holds the design's HTML. The document runs no scripts (the iframe
// has no "allow-scripts"); this module reads and edits its DOM from the
// editor's side.

import { cssAnimaciones, decorar, desdecorar } from "./animaciones.js";
import { fijarAlturasDeVentana } from "./css.js";
import { el, escaparXml } from "./utiles.js";

// The same base rules the native renderer wraps every page in, so that the
// canvas, the screenshots and the published site agree.
export const CSS_BASE = "*{box-sizing:border-box}html,body{margin:0;height:100%}" +
  "body{font-family:Inter,system-ui,sans-serif;-webkit-font-smoothing:antialiased}" +
  "h1,h2,h3,h4,h5,h6,p,ul,ol{margin:0}img{display:block;max-width:100%}";
const FUENTES_CASA = "@font-face{font-family:Inter;src:url(../fuentes/inter.woff2) format('woff2');font-weight:100 900}" +
  "@font-face{font-family:'JetBrains Mono';src:url(../fuentes/jetbrains-mono.woff2) format('woff2');font-weight:100 800}";
// Only on the canvas: a mesa never scrolls inside (it is as tall as its page
// or clips like a fixed-size piece does), and the text being edited shows
// no focus ring.
const CSS_EDITOR = "html{overflow:hidden}[data-tv-editando]{outline:none;cursor:text}";
const CSS_AUTO = "html,body{height:auto!important;min-height:0!important}";
export const ALTO_MOSTRADO_MAX = 30000;

// Elements that never reach a mesa: they would load, navigate or run
// something, and none of that belongs in a static design.
const QUITAR = "script,base,meta,title,link,object,embed,applet,frame,frameset";

// A grey picture that names the photo or logo still to be found.
function marcador(texto) {
  const t = escaparXml(texto.length > 60 ? texto.slice(0, 59) + "…" : texto);
  const svg = `<svg xmlns="http://www.w3.org/2000/svg" width="800" height="500" viewBox="0 0 800 500">` +
    `<rect width="800" height="500" fill="#d9dce3"/><path d="M330 300l60-80 50 60 30-40 70 100H270z" fill="#b3b8c4"/>` +
    `<circle cx="350" cy="190" r="24" fill="#b3b8c4"/><text x="400" y="380" font-family="sans-serif" font-size="22" ` +
    `fill="#5d6270" text-anchor="middle">${t}</text></svg>`;
  return "data:image/svg+xml;charset=utf-8," + encodeURIComponent(svg);
}

// Where a design address is shown from on the canvas. The stored HTML keeps
// "recurso:nombre", "escenas/<id>.mp4" and the placeholders for native code.
export function direccionMostrada(valor, recursos) {
  const v = String(valor || "").trim();
  if (v.startsWith("recurso:")) {
    const r = recursos.find((x) => x.nombre === v.slice(8));
    return r ? r.src : marcador(v);
  }
  if (v.startsWith("escenas/")) return "escena://local/" + v.slice(8);
  if (/^(foto|photo|logo):/i.test(v)) return marcador(v);
  return null;
}

export function cssMostrado(css, recursos) {
  return String(css || "")
    .replace(/url\(\s*(['"]?)recurso:([^'")]+)\1\s*\)/g, (m, q, nombre) => {
      const r = recursos.find((x) => x.nombre === nombre);
      return r ? `url("${r.src}")` : m;
    })
    .replace(/(['"(])escenas\//g, "$1escena://local/");
}

export function quitarPeligrosos(raiz) {
  const quitados = [...raiz.querySelectorAll(QUITAR)];
  for (const e of quitados) e.remove();
  return quitados.filter((e) => e.localName === "script").length;
}

export class VistaMesa {
  // `observador` (a ResizeObserver) watches the page's size while the
  // mesa lives.
  constructor(mesa, capa, observador) {
    this.id = mesa.id;
    this.nombre = el("span", { class: "mesa-nombre" });
    this.medida = el("span", { class: "mesa-medida" });
    this.titulo = el("div", { class: "mesa-titulo", dataset: { mesa: mesa.id } }, this.nombre, this.medida);
    this.iframe = el("iframe", { sandbox: "allow-same-origin", tabindex: "-1", "aria-hidden": "true" });
    this.cristal = el("div", { class: "mesa-cristal" });
    this.marco = el("div", { class: "mesa-marco", dataset: { mesa: mesa.id } }, this.iframe, this.cristal);
    this.raiz = el("div", { class: "mesa", dataset: { mesa: mesa.id } }, this.titulo, this.marco);
    capa.append(this.raiz);

    this.doc = this.iframe.contentDocument;
    this.doc.open();
    this.doc.write('<!doctype html><html lang="es"><head><meta charset="utf-8"></head><body></body></html>');
    this.doc.close();
    this.estilos = {};
    for (const clave of ["base", "fuentes", "variables", "hoja", "animaciones", "editor"]) {
      const estilo = this.doc.createElement("style");
      estilo.setAttribute("data-tv", clave);
      this.doc.head.append(estilo);
      this.estilos[clave] = estilo;
    }
    this.estilos.base.textContent = FUENTES_CASA + CSS_BASE;
    this.html = null;
    this.textos = {};
    this.alto = 0;
    this.editando = null;
    this.escritos = {};
    this.entradas = null;
    this.observador = observador;
    observador.observe(this.body);
  }

  get body() {
    return this.doc.body;
  }

  poner(clave, texto) {
    if (this.textos[clave] === texto) return false;
    this.textos[clave] = texto;
    this.estilos[clave].textContent = texto;
    return true;
  }

  // Puts `html` into the mesa's document. Design HTML is parsed only here,
  // inside the sandboxed document, through an inert template.
  escribirHtml(html) {
    const plantilla = this.doc.createElement("template");
    plantilla.innerHTML = html;
    quitarPeligrosos(plantilla.content);
    this.body.replaceChildren(this.doc.importNode(plantilla.content, true));
  }

  // Parses a fragment in this document without placing it.
  fragmento(html) {
    const plantilla = this.doc.createElement("template");
    plantilla.innerHTML = html;
    return plantilla.content;
  }

  // Shows resources, scenes and placeholders from where they can be loaded,
  // remembering what the design said.
  presentar(raiz, recursos) {
    const elementos = raiz.querySelectorAll ? raiz.querySelectorAll("[src],[poster]") : [];
    for (const e of elementos) {
      for (const atributo of ["src", "poster"]) {
        const original = e.hasAttribute(`data-tv-${atributo}`) ? e.getAttribute(`data-tv-${atributo}`) : e.getAttribute(atributo);
        if (original === null) continue;
        const mostrada = direccionMostrada(original, recursos);
        if (mostrada === null) {
          if (e.hasAttribute(`data-tv-${atributo}`)) {
            e.setAttribute(atributo, original);
            e.removeAttribute(`data-tv-${atributo}`);
          }
          continue;
        }
        e.setAttribute(`data-tv-${atributo}`, original);
        if (e.getAttribute(atributo) !== mostrada) e.setAttribute(atributo, mostrada);
      }
    }
  }

  // The design's HTML as it is now, without anything the canvas added.
  serializar() {
    const copia = this.body.cloneNode(true);
    limpiarCopia(copia);
    return copia.innerHTML;
  }

  // Writes `valor` into the DOM through `escribir` only when it differs from
  // what was written last under `clave`: every write to the canvas makes the
  // engine restyle and repaint, however equal the value.
  fijar(clave, valor, escribir) {
    if (this.escritos[clave] === valor) return;
    this.escritos[clave] = valor;
    escribir(valor);
  }

  // Whether the inputs of actualizar are exactly those of the last call:
  // strings are compared by identity first, so an untouched mesa costs a
  // few comparisons whatever the size of its HTML.
  igualQueAntes(mesa, contexto) {
    const antes = this.entradas;
    const recursos = contexto.recursos;
    const ahora = [mesa.html, mesa.css, mesa.x, mesa.y, mesa.ancho, mesa.alto, mesa.auto, mesa.nombre,
      JSON.stringify(mesa.animaciones), contexto.fuentesCss, contexto.variablesCss, contexto.portada,
      recursos.length, ...recursos.flatMap((r) => [r.nombre, r.src])];
    this.entradas = ahora;
    return antes !== null && antes.length === ahora.length && antes.every((v, i) => v === ahora[i]);
  }

  // Brings the document in line with the mesa. Gives true when the HTML was
  // replaced (the caller then checks its data-lids). A mesa whose inputs did
  // not change since the last call is left alone.
  actualizar(mesa, contexto) {
    if (this.igualQueAntes(mesa, contexto)) return false;
    this.fijar("x", mesa.x, (v) => { this.raiz.style.left = `${v}px`; });
    this.fijar("y", mesa.y, (v) => { this.raiz.style.top = `${v}px`; });
    this.fijar("ancho", mesa.ancho, (v) => {
      this.raiz.style.width = `${v}px`;
      this.iframe.style.width = `${v}px`;
    });
    this.fijar("nombre", mesa.nombre, (v) => { this.nombre.textContent = v; });
    this.fijar("portada", contexto.portada, (v) => { this.raiz.classList.toggle("es-portada", v); });
    this.poner("fuentes", contexto.fuentesCss);
    this.poner("variables", contexto.variablesCss);
    this.poner("hoja", cssMostrado(mesa.auto ? fijarAlturasDeVentana(mesa.css, mesa.alto) : mesa.css, contexto.recursos));
    this.poner("editor", CSS_EDITOR + (mesa.auto ? CSS_AUTO : ""));
    let nueva = false;
    if (this.html !== mesa.html) {
      this.escribirHtml(mesa.html);
      this.html = mesa.html;
      nueva = true;
    }
    this.presentar(this.body, contexto.recursos);
    this.animar(mesa);
    // A mesa whose height follows its content is measured here only when it
    // is new or its width or least height changed: changes of its page reach
    // the ResizeObserver, and a measure on every edit would make the engine
    // lay out the whole canvas before the frame needs it.
    const medida = `${mesa.auto}/${mesa.ancho}/${mesa.alto}`;
    if (!mesa.auto || this.medidaDe !== medida) {
      this.medidaDe = medida;
      this.medir(mesa);
    }
    return nueva;
  }

  animar(mesa) {
    decorar(this.body, mesa.animaciones);
    this.poner("animaciones", cssAnimaciones(mesa.animaciones, "editor", this.body));
  }

  // Starts every effect of the mesa again.
  repetir(mesa) {
    for (const e of this.body.querySelectorAll(".tv-ya")) e.classList.remove("tv-ya");
    this.estilos.animaciones.textContent = "";
    void this.doc.defaultView.getComputedStyle(this.body).opacity;
    this.estilos.animaciones.textContent = this.textos.animaciones = cssAnimaciones(mesa.animaciones, "editor", this.body);
  }

  // The height shown: fixed, or the content's with the mesa's height as the
  // least. Layout is asked for directly, so this works while hidden.
  medir(mesa) {
    let alto = mesa.alto;
    if (mesa.auto) {
      const contenido = Math.ceil(Math.max(this.body.scrollHeight, this.body.getBoundingClientRect().height));
      alto = Math.min(ALTO_MOSTRADO_MAX, Math.max(mesa.alto, contenido));
    }
    this.fijar("medida", mesa.auto ? `${mesa.ancho} × ${alto} · alto automático` : `${mesa.ancho} × ${mesa.alto}`,
      (v) => { this.medida.textContent = v; });
    if (alto === this.alto) return false;
    this.alto = alto;
    this.iframe.style.height = `${alto}px`;
    this.marco.style.height = `${alto}px`;
    return true;
  }

  // The element under a point of the mesa (mesa coordinates), or null for
  // the page itself.
  elementoEn(x, y) {
    let e = this.doc.elementFromPoint(x, y);
    while (e && e !== this.body && !e.hasAttribute("data-lid")) e = e.parentElement;
    return e && e !== this.body && e !== this.doc.documentElement ? e : null;
  }

  elemento(lid) {
    return this.body.querySelector(`[data-lid="${CSS.escape(lid)}"]`);
  }

  rect(elemento) {
    const r = elemento.getBoundingClientRect();
    return { x: r.left, y: r.top, w: r.width, h: r.height };
  }

  caja(clase) {
    let caja = this.cristal.querySelector(`:scope > .${clase}`);
    if (!caja) {
      caja = el("div", { class: `marca ${clase}` }, el("span", { class: "marca-rotulo" }));
      this.cristal.append(caja);
    }
    return caja;
  }

  marcar(clase, rect, rotulo) {
    if (!rect) {
      const caja = this.cristal.querySelector(`:scope > .${clase}`);
      if (caja) caja.remove();
      return;
    }
    const caja = this.caja(clase);
    Object.assign(caja.style, { left: `${rect.x}px`, top: `${rect.y}px`, width: `${rect.w}px`, height: `${rect.h}px` });
    caja.firstChild.textContent = rotulo || "";
    caja.firstChild.hidden = !rotulo;
  }

  destruir() {
    this.observador.unobserve(this.body);
    this.raiz.remove();
  }
}

export function limpiarCopia(raiz) {
  desdecorar(raiz);
  for (const e of raiz.querySelectorAll("[data-tv-src],[data-tv-poster]")) {
    for (const atributo of ["src", "poster"]) {
      if (!e.hasAttribute(`data-tv-${atributo}`)) continue;
      e.setAttribute(atributo, e.getAttribute(`data-tv-${atributo}`));
      e.removeAttribute(`data-tv-${atributo}`);
    }
  }
  for (const e of raiz.querySelectorAll("[data-tv-editando]")) {
    e.removeAttribute("data-tv-editando");
    e.removeAttribute("contenteditable");
    e.removeAttribute("spellcheck");
  }
}
