// One-shot designs: the chosen AI tool of this computer writes one new mesa
// in one go, without an agent. The page shows the tool's status lines and
// the mesa growing while it writes ("iaProgreso", "iaParcial"); the answer
// ("respuestaIA") goes into the mesa through the same road as the agents'
// "escribir", so its <style> joins the mesa's sheet and nothing in it runs.

import { crearMesa, fijarPortada } from "./documento.js";
import { ejecutar } from "./herramientas.js";
import { $, esObjeto, enviar, recortar } from "./utiles.js";

export class DisenoIA {
  constructor(editor, { avisar }) {
    this.editor = editor;
    this.avisar = avisar;
    this.turno = null;  // {req, mesa, ia}
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
    const vista = this.editor.vista(this.turno.mesa);
    if (!vista) return;
    vista.escribirHtml(dato.html);
    vista.raiz.classList.add("escribiendo-ia");
  }

  async respuesta(dato) {
    if (!this.propio(dato)) return;
    const { mesa } = this.turno;
    this.turno = null;
    this.caja.hidden = true;
    const vista = this.editor.vista(mesa);
    if (vista) vista.raiz.classList.remove("escribiendo-ia");
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
