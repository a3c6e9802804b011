// Undo and redo: every change, by the user or by an agent's tool, is one
// step, which holds only what changed (see diferencia in documento.js).

export class Historial {
  constructor(limite = 200) {
    this.limite = limite;
    this.atras = [];
    this.adelante = [];
  }

  // `paso` from diferencia(); null (nothing changed) is no step.
  registrar(paso) {
    if (!paso) return;
    this.atras.push(paso);
    if (this.atras.length > this.limite) this.atras.shift();
    this.adelante = [];
  }

  // The step to take back, or null.
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
