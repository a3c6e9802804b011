// The canvas: the camera (pan and zoom), and what the pointer does on it —
// select an element inside a mesa, mark a zone, move a mesa by its title,
// edit a text in place. The mesa documents run no scripts and their events
// never reach us, so the pointer is read over them: their frames let the
// pointer through to ours, and the element under it is asked for with
// elementFromPoint.

import { estadoDeshacible } from "./documento.js";
import { limitar } from "./utiles.js";

const ZOOM_MIN = 0.05;
const ZOOM_MAX = 4;
const MARGEN = 64;
const UMBRAL_ARRASTRE = 4;
// Screen pixels a mesa's title takes above the mesa, at any zoom.
const ALTO_TITULO = 28;

export class Lienzo {
  constructor(editor, raiz, mundo, { alZoom } = {}) {
    this.editor = editor;
    this.raiz = raiz;
    this.mundo = mundo;
    this.alZoom = alZoom || (() => {});
    this.camara = { x: MARGEN, y: MARGEN, zoom: 0.5 };
    this.tocada = false;
    this.modo = "seleccionar";
    this.espacio = false;
    this.gesto = null;
    this.edicion = null;
    this.temporizadorRevelado = 0;

    raiz.addEventListener("pointerdown", (e) => this.alPulsar(e));
    raiz.addEventListener("pointermove", (e) => this.alMover(e));
    raiz.addEventListener("pointerup", (e) => this.alSoltar(e));
    raiz.addEventListener("pointercancel", () => { this.gesto = null; });
    raiz.addEventListener("pointerleave", () => this.quitarHover());
    raiz.addEventListener("wheel", (e) => this.alRueda(e), { passive: false });
    // Any press outside the text being edited ends the edit.
    document.addEventListener("pointerdown", (e) => {
      if (this.edicion && !(e.target instanceof Node && this.edicion.vista.marco.contains(e.target))) this.terminarEdicion();
    }, true);
    window.addEventListener("resize", () => {
      if (!this.tocada) this.ajustar();
      else this.programarRevelado();
    });
    this.aplicar();
  }

  // ---- camera ----

  aplicar() {
    const { x, y, zoom } = this.camara;
    this.mundo.style.transform = `translate(${x}px, ${y}px) scale(${zoom})`;
    this.raiz.style.setProperty("--zoom", String(zoom));
    this.raiz.style.backgroundPosition = `${x}px ${y}px`;
    this.raiz.style.backgroundSize = `${24 * zoom}px ${24 * zoom}px`;
    this.alZoom(zoom);
    this.programarRevelado();
  }

  tamano() {
    const w = this.raiz.clientWidth;
    const h = this.raiz.clientHeight;
    return { w: w > 50 ? w : 1200, h: h > 50 ? h : 800 };
  }

  limites(mesas) {
    if (!mesas.length) return null;
    let x0 = Infinity;
    let y0 = Infinity;
    let x1 = -Infinity;
    let y1 = -Infinity;
    for (const m of mesas) {
      x0 = Math.min(x0, m.x);
      y0 = Math.min(y0, m.y - 40);
      x1 = Math.max(x1, m.x + m.ancho);
      y1 = Math.max(y1, m.y + this.editor.altoDe(m));
    }
    return { x: x0, y: y0, w: x1 - x0, h: y1 - y0 };
  }

  // Shows a rectangle of the world whole, centred.
  encuadrar(r, zoomMax = 1) {
    const { w, h } = this.tamano();
    const zoom = limitar(Math.min((w - 2 * MARGEN) / r.w, (h - 2 * MARGEN) / r.h, zoomMax), ZOOM_MIN, ZOOM_MAX);
    this.camara = { zoom, x: (w - r.w * zoom) / 2 - r.x * zoom, y: Math.max(MARGEN / 2, (h - r.h * zoom) / 2) - r.y * zoom };
    this.aplicar();
  }

  ajustar() {
    const r = this.limites(this.editor.pagina().mesas);
    if (r) this.encuadrar(r);
    else {
      this.camara = { x: MARGEN, y: MARGEN, zoom: 0.5 };
      this.aplicar();
    }
  }

  zoomEn(factor, cx, cy) {
    const caja = this.raiz.getBoundingClientRect();
    const px = cx === undefined ? caja.width / 2 : cx - caja.left;
    const py = cy === undefined ? caja.height / 2 : cy - caja.top;
    const zoom = limitar(this.camara.zoom * factor, ZOOM_MIN, ZOOM_MAX);
    const k = zoom / this.camara.zoom;
    this.camara = { zoom, x: px - (px - this.camara.x) * k, y: py - (py - this.camara.y) * k };
    this.tocada = true;
    this.aplicar();
  }

  zoomA(zoom) {
    this.zoomEn(zoom / this.camara.zoom);
  }

  // The world point at the centre of the canvas.
  centro() {
    const { w, h } = this.tamano();
    return { x: (w / 2 - this.camara.x) / this.camara.zoom, y: (h / 2 - this.camara.y) / this.camara.zoom };
  }

  mesaVisible() {
    const c = this.centro();
    let mejor = null;
    let distancia = Infinity;
    for (const m of this.editor.pagina().mesas) {
      const dx = Math.max(m.x - c.x, 0, c.x - (m.x + m.ancho));
      const dy = Math.max(m.y - c.y, 0, c.y - (m.y + this.editor.altoDe(m)));
      const d = Math.hypot(dx, dy);
      if (d < distancia) { distancia = d; mejor = m; }
    }
    return mejor;
  }

  // Brings a rectangle of the world into view when it is not. Room is kept
  // above it for a mesa's title, which stands over the mesa's top edge.
  mostrar(r) {
    const { w, h } = this.tamano();
    const z = this.camara.zoom;
    const sx = this.camara.x + r.x * z;
    const sy = this.camara.y + r.y * z;
    // Whole, or for a tall one its top half of the view's height.
    if (sx >= 0 && sy >= ALTO_TITULO && sx + r.w * z <= w && sy + Math.min(r.h * z, h / 2) <= h) return;
    if (r.w * z > w - 2 * MARGEN) this.encuadrar({ ...r, h: Math.min(r.h, r.w) });
    else {
      this.camara = { zoom: z, x: w / 2 - (r.x + r.w / 2) * z, y: MARGEN - r.y * z };
      this.aplicar();
    }
  }

  // ---- pointer ----

  puntoEnMesa(vista, e) {
    const r = vista.marco.getBoundingClientRect();
    const z = this.camara.zoom;
    return { x: (e.clientX - r.left) / z, y: (e.clientY - r.top) / z };
  }

  vistaDe(objetivo) {
    const marco = objetivo instanceof Element ? objetivo.closest(".mesa-marco") : null;
    return marco ? this.editor.vista(marco.dataset.mesa) : null;
  }

  alPulsar(e) {
    if (e.button !== 0 && e.button !== 1) return;
    const titulo = e.target instanceof Element ? e.target.closest(".mesa-titulo") : null;
    const vista = this.vistaDe(e.target);
    const base = { x0: e.clientX, y0: e.clientY, movido: false, id: e.pointerId };
    if (e.button === 1 || this.espacio || this.modo === "mano") {
      this.gesto = { ...base, tipo: "mover", camara: { ...this.camara } };
    } else if (titulo) {
      const mesa = this.editor.mesa(titulo.dataset.mesa);
      this.gesto = { ...base, tipo: "mesa", mesa, origen: { x: mesa.x, y: mesa.y }, antes: estadoDeshacible(this.editor.doc) };
    } else if (vista && (this.modo === "zona" || e.shiftKey)) {
      const p = this.puntoEnMesa(vista, e);
      this.gesto = { ...base, tipo: "zona", vista, p };
    } else {
      this.gesto = { ...base, tipo: vista ? "clic" : "fondo", vista, camara: { ...this.camara } };
    }
    try {
      this.raiz.setPointerCapture(e.pointerId);
    } catch {
      // A pointer that is no longer down cannot be captured; nothing to keep.
    }
    // The canvas takes the keyboard (for Supr, Ctrl+Z...) from any field.
    this.raiz.focus({ preventScroll: true });
    e.preventDefault();
  }

  alMover(e) {
    const g = this.gesto;
    if (!g) {
      this.hover(e);
      return;
    }
    const dx = e.clientX - g.x0;
    const dy = e.clientY - g.y0;
    if (!g.movido && Math.hypot(dx, dy) < UMBRAL_ARRASTRE) return;
    g.movido = true;
    const z = this.camara.zoom;
    if (g.tipo === "mover" || g.tipo === "fondo" || g.tipo === "clic") {
      this.camara = { ...this.camara, x: g.camara.x + dx, y: g.camara.y + dy };
      this.tocada = true;
      this.raiz.classList.add("arrastrando");
      this.aplicar();
    } else if (g.tipo === "mesa") {
      g.mesa.x = Math.round(g.origen.x + dx / z);
      g.mesa.y = Math.round(g.origen.y + dy / z);
      const v = this.editor.vista(g.mesa.id);
      if (v) {
        v.raiz.style.left = `${g.mesa.x}px`;
        v.raiz.style.top = `${g.mesa.y}px`;
      }
    } else if (g.tipo === "zona") {
      const p = this.puntoEnMesa(g.vista, e);
      const mesa = this.editor.mesa(g.vista.id);
      const alto = this.editor.altoDe(mesa);
      const x = limitar(Math.min(p.x, g.p.x), 0, mesa.ancho);
      const y = limitar(Math.min(p.y, g.p.y), 0, alto);
      g.zona = { mesa: mesa.id, x, y, w: limitar(Math.max(p.x, g.p.x), 0, mesa.ancho) - x, h: limitar(Math.max(p.y, g.p.y), 0, alto) - y };
      g.vista.marcar("marca-zona", g.zona, "Zona marcada");
    }
  }

  alSoltar(e) {
    const g = this.gesto;
    this.gesto = null;
    this.raiz.classList.remove("arrastrando");
    if (!g) return;
    if (g.tipo === "mesa") {
      if (g.movido) this.editor.cambiarDesde(g.antes, () => {});
      else this.editor.seleccionar({ mesa: g.mesa.id, lid: null });
    } else if (g.tipo === "zona") {
      if (g.zona && g.zona.w >= 4 && g.zona.h >= 4) {
        this.editor.zona = g.zona;
        this.editor.mesaTrabajo = g.zona.mesa;
      }
      this.editor.actualizarMarcas();
      this.editor.avisar();
    } else if (g.tipo === "clic" && !g.movido) {
      const p = this.puntoEnMesa(g.vista, e);
      const elemento = g.vista.elementoEn(p.x, p.y);
      // Two clicks on the same element in a short time edit its text.
      const ahora = Date.now();
      const anterior = this.ultimoClic;
      this.ultimoClic = { t: ahora, elemento };
      if (elemento && anterior && anterior.elemento === elemento && ahora - anterior.t < 450) {
        this.ultimoClic = null;
        this.editarTexto(g.vista, elemento, p);
        return;
      }
      this.editor.seleccionar({ mesa: g.vista.id, lid: elemento ? elemento.getAttribute("data-lid") : null });
    } else if (g.tipo === "fondo" && !g.movido) {
      this.editor.seleccionar(null);
    }
  }

  hover(e) {
    const vista = this.vistaDe(e.target);
    if (this.hoverVista && this.hoverVista !== vista) this.hoverVista.marcar("marca-hover", null);
    this.hoverVista = vista;
    if (!vista || this.modo !== "seleccionar" || this.edicion) return;
    const p = this.puntoEnMesa(vista, e);
    const elemento = vista.elementoEn(p.x, p.y);
    vista.marcar("marca-hover", elemento ? vista.rect(elemento) : null);
  }

  quitarHover() {
    if (this.hoverVista) this.hoverVista.marcar("marca-hover", null);
    this.hoverVista = null;
  }

  alRueda(e) {
    e.preventDefault();
    if (e.ctrlKey || e.metaKey) {
      this.zoomEn(Math.exp(-e.deltaY * (e.deltaMode === 1 ? 0.05 : 0.0025)), e.clientX, e.clientY);
      return;
    }
    const k = e.deltaMode === 1 ? 16 : 1;
    const dx = e.shiftKey && !e.deltaX ? e.deltaY : e.deltaX;
    const dy = e.shiftKey && !e.deltaX ? 0 : e.deltaY;
    this.camara = { ...this.camara, x: this.camara.x - dx * k, y: this.camara.y - dy * k };
    this.tocada = true;
    this.aplicar();
  }

  // ---- editing a text in place ----

  editarTexto(vista, elemento, punto) {
    if (!elemento.textContent.trim() || /^(img|video|svg|input|br|hr|iframe|picture|canvas)$/.test(elemento.localName)) return false;
    this.terminarEdicion();
    this.editor.seleccionar({ mesa: vista.id, lid: elemento.getAttribute("data-lid") });
    const antes = estadoDeshacible(this.editor.doc);
    elemento.setAttribute("data-tv-editando", "");
    elemento.setAttribute("contenteditable", "true");
    elemento.setAttribute("spellcheck", "false");
    vista.raiz.classList.add("editando");
    vista.iframe.focus();
    elemento.focus();
    const seleccion = vista.doc.getSelection();
    const rango = punto && vista.doc.caretRangeFromPoint ? vista.doc.caretRangeFromPoint(punto.x, punto.y) : null;
    if (seleccion) {
      if (rango) { seleccion.removeAllRanges(); seleccion.addRange(rango); }
      else seleccion.selectAllChildren(elemento);
    }
    // The mesa's document cannot tell us when the user leaves the text, so
    // we look: once it loses the focus, the edit ends.
    const vigilante = setInterval(() => {
      if (vista.doc.activeElement !== elemento || !vista.doc.hasFocus()) this.terminarEdicion();
    }, 300);
    this.edicion = { vista, elemento, antes, vigilante };
    return true;
  }

  terminarEdicion() {
    const ed = this.edicion;
    if (!ed) return;
    this.edicion = null;
    clearInterval(ed.vigilante);
    ed.elemento.removeAttribute("data-tv-editando");
    ed.elemento.removeAttribute("contenteditable");
    ed.elemento.removeAttribute("spellcheck");
    ed.vista.raiz.classList.remove("editando");
    const seleccion = ed.vista.doc.getSelection();
    if (seleccion) seleccion.removeAllRanges();
    this.editor.cambiarDesde(ed.antes, () => this.editor.tocar(ed.vista.id));
  }

  // ---- effects that wait for the scroll ----

  programarRevelado() {
    clearTimeout(this.temporizadorRevelado);
    this.temporizadorRevelado = setTimeout(() => this.revelar(), 60);
  }

  // Gives "tv-ya" to every scroll effect whose element is on screen.
  revelar() {
    const caja = this.raiz.getBoundingClientRect();
    const z = this.camara.zoom;
    for (const mesa of this.editor.pagina().mesas) {
      const vista = this.editor.vista(mesa.id);
      if (!vista) continue;
      const pendientes = vista.body.querySelectorAll(".tv-scroll:not(.tv-ya)");
      if (!pendientes.length) continue;
      const marco = vista.marco.getBoundingClientRect();
      for (const e of pendientes) {
        const r = e.getBoundingClientRect();
        const arriba = marco.top + r.top * z;
        const izquierda = marco.left + r.left * z;
        if (arriba < caja.bottom - 20 && arriba + r.height * z > caja.top && izquierda < caja.right && izquierda + r.width * z > caja.left) {
          e.classList.add("tv-ya");
        }
      }
    }
  }
}
