// The "<agent> está trabajando" indicator of an outside AI client. Native
// code tells the page about every tool call such a client makes; the
// indicator shows from the first call until the client's terminar, or until
// the client has gone quiet for too long: a client that crashes, is closed
// or simply never calls terminar must not leave the design looking busy
// forever. The next call shows the indicator again.

// Five minutes without a call. An agent writing a whole mesa of markup, or
// waiting on its model, can go a couple of minutes between calls while it is
// still working; past five minutes it has almost surely stopped, and the
// user should no longer be told otherwise.
export const SILENCIO_MAXIMO_AGENTE_MS = 5 * 60 * 1000;

export class AgenteExterno {
  // `editor` holds the state the page draws (`agenteExterno`, `foco`;
  // `actualizarMarcas()` redraws the marks on the canvas), `pintar` redraws
  // the indicator, and `silencioMaximo` is the quiet time after which the
  // indicator goes away.
  constructor(editor, pintar, silencioMaximo = SILENCIO_MAXIMO_AGENTE_MS) {
    this.editor = editor;
    this.pintar = pintar;
    this.silencioMaximo = silencioMaximo;
    this.temporizador = null;
  }

  // One tool call relayed from an outside client: {nombre, herramienta,
  // terminar}. Malformed notices are ignored.
  llamada(dato) {
    if (!dato || typeof dato !== "object") return;
    this.cancelar();
    // The terminar tool that follows removes the indicator itself, and
    // answers whether there was one.
    if (dato.terminar === true) return;
    this.editor.agenteExterno = {
      nombre: typeof dato.nombre === "string" && dato.nombre ? dato.nombre : "Un agente",
      herramienta: String(dato.herramienta || ""),
    };
    this.temporizador = setTimeout(() => this.caducar(), this.silencioMaximo);
    this.pintar();
  }

  cancelar() {
    if (this.temporizador !== null) clearTimeout(this.temporizador);
    this.temporizador = null;
  }

  // The client went quiet: its indicator goes, and so does the focus mark it
  // left on the canvas (a mark placed by the chat's own agent stays).
  caducar() {
    this.temporizador = null;
    const agente = this.editor.agenteExterno;
    if (!agente) return;
    this.editor.agenteExterno = null;
    if (this.editor.foco && this.editor.foco.nombre === agente.nombre) {
      this.editor.foco = null;
      this.editor.actualizarMarcas();
    }
    this.pintar();
  }
}
