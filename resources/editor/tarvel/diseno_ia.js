// One-shot designs: the chosen AI tool of this computer writes one new mesa
// in one go, without an agent, or changes the user's selection. The page
// shows the tool's status lines and the mesa growing while it writes
// ("iaProgreso", "iaParcial"); the answer ("respuestaIA") goes into the mesa
// through the same road as the agents' "escribir", so its <style> joins the
// mesa's sheet and nothing in it runs. A change is applied as one edit, so
// one undo takes it back.

import { aplicarBloques, htmlDeSeleccion, leerRespuesta, lidsDeSeleccion, reemplazarSeleccion } from "./cambio_ia.js";
import { leerHoja, sumarHoja } from "./css.js";
import { crearMesa, fijarPortada } from "./documento.js";
import { ejecutar } from "./herramientas.js";
import { $, esObjeto, enviar, recortar } from "./utiles.js";

export class DisenoIA {
  constructor(editor, { avisar }) {
    this.editor = editor;
    this.avisar = avisar;
    this.turno = null;  // {req, mesa, ia}, and for a change {cambio: true, lid, lids}
    this.siguienteReq = 1;
    this.caja = $("ia-progreso");
  }

  get enMarcha() {
    return this.turno !== null;
  }

  // A new mesa to the right of the others, the size of the first one (the
  // design's page size), and the request for it.
  empezar({ peticion, ia, recursos }) {
    if (this.turno) {
      this.avisar("La IA ya está diseñando una mesa: espera a que termine.", true);
      return false;
    }
    const editor = this.editor;
    if (!editor.doc || !peticion) return false;
    const pagina = editor.pagina();
    const modelo = pagina.mesas[0];
    const ancho = modelo ? modelo.ancho : 1440;
    const alto = modelo ? modelo.alto : 900;
    const auto = modelo ? modelo.auto : true;
    const x = pagina.mesas.reduce((d, m) => Math.max(d, m.x + m.ancho + 120), 0);
    const mesa = editor.cambiar(() => {
      const nueva = crearMesa(editor.doc, { nombre: recortar(peticion, 40) || "Mesa con IA", ancho, alto, auto, x, y: 0 });
      pagina.mesas.push(nueva);
      fijarPortada(pagina);
      return nueva;
    });
    if (editor.ganchos && editor.ganchos.alMostrarMesa) editor.ganchos.alMostrarMesa(mesa);
    const req = this.siguienteReq++;
    this.turno = { req, mesa: mesa.id, ia };
    this.mostrar("Preparando el encargo…");
    enviar({ tipo: "ia", req, peticion, ancho, alto, ia, revisar: true, web: auto, cambio: false, recursos });
    return true;
  }

  // A change of the selected element (or of the whole selected mesa): the
  // tool gets its HTML and answers only what changes. No review pass: the
  // tool's answer is a list of changes, not a page to photograph.
  cambiar({ peticion, ia, recursos }) {
    if (this.turno) {
      this.avisar("La IA ya está diseñando una mesa: espera a que termine.", true);
      return false;
    }
    const editor = this.editor;
    const sel = editor.seleccion;
    if (!editor.doc || !peticion || !sel) return false;
    const mesa = editor.mesa(sel.mesa);
    const vista = editor.vista(sel.mesa);
    const elemento = sel.lid ? editor.elementoSeleccionado() : null;
    if (!mesa || !vista || (sel.lid && !elemento)) return false;
    const html = htmlDeSeleccion(vista, mesa, elemento);
    const req = this.siguienteReq++;
    this.turno = { req, mesa: mesa.id, ia, cambio: true, lid: sel.lid, lids: lidsDeSeleccion(vista, elemento) };
    this.mostrar("Preparando el cambio…");
    enviar({ tipo: "ia", req, peticion, html, ancho: mesa.ancho, alto: mesa.alto, ia, revisar: false, web: mesa.auto, cambio: true, recursos });
    return true;
  }

  propio(dato) {
    return esObjeto(dato) && this.turno !== null && dato.req === this.turno.req;
  }

  mostrar(texto) {
    this.caja.hidden = false;
    this.caja.textContent = texto;
  }

  progreso(dato) {
    if (this.propio(dato) && typeof dato.texto === "string") this.mostrar(dato.texto);
  }

  // The page so far, shown in the mesa's sandboxed document only: it is
  // not part of the design until the answer comes.
  parcial(dato) {
    if (!this.propio(dato) || typeof dato.html !== "string") return;
    this.turno.parcial = dato.html;
    this.mostrarParcial();
  }

  mostrarParcial() {
    const vista = this.editor.vista(this.turno.mesa);
    if (!vista) return;
    if (this.turno.cambio) this.previsualizarCambio(vista, this.turno.parcial);
    else vista.escribirHtml(this.turno.parcial);
    vista.raiz.classList.add("escribiendo-ia");
  }

  // Every edit of the design first puts the previewed mesa back to what is
  // stored: an edit made while the preview shows (the user's, an agent's)
  // must land on the design, and the mesa's document must never be saved
  // with the tool's unfinished answer in it.
  quitarVistaPrevia() {
    const turno = this.turno;
    const vista = turno && turno.parcial !== undefined ? this.editor.vista(turno.mesa) : null;
    const mesa = turno ? this.editor.mesa(turno.mesa) : null;
    if (!vista || !mesa || !vista.raiz.classList.contains("escribiendo-ia")) return;
    vista.raiz.classList.remove("escribiendo-ia");
    this.restaurar(vista, mesa);
  }

  // After that edit, the preview again, over the design as it now is.
  reponerVistaPrevia() {
    const turno = this.turno;
    const vista = turno && turno.parcial !== undefined ? this.editor.vista(turno.mesa) : null;
    if (vista && this.editor.mesa(turno.mesa) && !vista.raiz.classList.contains("escribiendo-ia")) this.mostrarParcial();
  }

  // The mesa as it would be with the blocks written so far (the last one
  // may still be growing), built from the stored design each time.
  previsualizarCambio(vista, html) {
    const mesa = this.editor.mesa(this.turno.mesa);
    if (!mesa) return;
    const copia = vista.fragmento(mesa.html);
    aplicarBloques(copia, leerRespuesta(vista, html).bloques, this.turno.lids);
    vista.body.replaceChildren(vista.doc.importNode(copia, true));
    vista.presentar(vista.body, this.editor.doc.recursos);
  }

  // The mesa's document back to the stored design, after previews.
  restaurar(vista, mesa) {
    vista.escribirHtml(mesa.html);
    vista.presentar(vista.body, this.editor.doc.recursos);
    vista.animar(mesa);
  }

  aplicarCambio(turno, html) {
    const editor = this.editor;
    const mesa = editor.mesa(turno.mesa);
    const vista = editor.vista(turno.mesa);
    if (!mesa || !vista) return false;
    this.restaurar(vista, mesa);
    const elemento = turno.lid ? vista.elemento(turno.lid) : null;
    if (turno.lid && !elemento) return false;
    return editor.cambiar(() => {
      const { fragmento, css, bloques } = leerRespuesta(vista, html);
      const hechos = bloques.length ? aplicarBloques(vista.body, bloques, turno.lids) : reemplazarSeleccion(vista, elemento, fragmento);
      if (!hechos) return false;
      const { buenas } = leerHoja(editor.taller, css);
      if (buenas.length) mesa.css = sumarHoja(mesa.css, buenas.join("\n"));
      editor.tocar(mesa.id);
      editor.mesaTrabajo = mesa.id;
      return true;
    });
  }

  async respuesta(dato) {
    if (!this.propio(dato)) return;
    const turno = this.turno;
    const { mesa } = turno;
    this.turno = null;
    this.caja.hidden = true;
    const vista = this.editor.vista(mesa);
    if (vista) vista.raiz.classList.remove("escribiendo-ia");
    if (turno.cambio) {
      const html = typeof dato.html === "string" ? dato.html : "";
      if (html && this.aplicarCambio(turno, html)) return;
      if (vista && this.editor.mesa(mesa)) this.restaurar(vista, this.editor.mesa(mesa));
      this.avisar(typeof dato.error === "string" ? dato.error
        : "La IA no ha devuelto ningún cambio que se pueda aplicar a lo que tenías seleccionado.", true);
      return;
    }
    if (typeof dato.html === "string" && dato.html && this.editor.mesa(mesa)) {
      const hecho = await ejecutar(this.editor, "escribir", { id: mesa, modo: "reemplazar", html: dato.html });
      if (hecho && hecho.error) this.avisar(hecho.texto, true);
      return;
    }
    // A failed turn leaves no empty mesa behind.
    const { pagina } = this.editor.paginaDe(mesa) || {};
    if (pagina) {
      this.editor.cambiar(() => {
        pagina.mesas = pagina.mesas.filter((m) => m.id !== mesa);
        fijarPortada(pagina);
      });
    }
    this.avisar(typeof dato.error === "string" ? dato.error : "La IA no ha devuelto un diseño.", true);
  }
}
