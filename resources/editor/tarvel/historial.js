// Undo and redo over whole states of the design (texts from
// estadoDeshacible): every change, by the user or by an agent's tool,
// is one step.

export class Historial {
  constructor(limite = 200) {
    this.limite = limite;
    this.atras = [];
    this.adelante = [];
  }

  registrar(antes, despues, etiqueta) {
    if (antes === despues) return;
    this.atras.push({ antes, despues, etiqueta });
    if (this.atras.length > this.limite) this.atras.shift();
    this.adelante = [];
  }

  // The state to go back to, or null.
  deshacer() {
    const paso = this.atras.pop();
    if (!paso) return null;
    this.adelante.push(paso);
    return paso;
  }

  rehacer() {
    const paso = this.adelante.pop();
    if (!paso) return null;
    this.atras.push(paso);
    return paso;
  }

  vaciar() {
    this.atras = [];
    this.adelante = [];
  }

  get puedeDeshacer() {
    return this.atras.length > 0;
  }

  get puedeRehacer() {
    return this.adelante.length > 0;
  }
}
