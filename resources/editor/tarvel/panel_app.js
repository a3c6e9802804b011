// The app panel of the top bar: turns the design into an app project and
// shows the project's phase and progress as native code reports them.

import { describirProyecto, etiquetaBoton } from "./app_resumen.js";
import { menu, opcion } from "./paneles.js";
import { $, el, enviar } from "./utiles.js";

export class PanelApp {
  constructor(editor) {
    this.editor = editor;
    menu($("app-boton"), $("app-menu"), (caja) => this.llenar(caja));
  }

  // Each "app" message of native code, after the editor merged it.
  recibir() {
    $("app-boton").textContent = etiquetaBoton(this.editor.app && this.editor.app.proyecto);
  }

  llenar(caja) {
    const app = this.editor.app || {};
    const d = describirProyecto(app.proyecto);
    if (!d) {
      caja.append(el("p", { class: "app-nota", texto: "Convierte este diseño en una aplicación que la IA construye siguiendo un plan." }));
      caja.append(opcion("Convertir en app web", "Una aplicación de Node.js", () => enviar({ tipo: "app", accion: "crear", movil: false })));
      caja.append(opcion("Convertir en app móvil", "iPhone y Android", () => enviar({ tipo: "app", accion: "crear", movil: true })));
      return;
    }
    caja.append(el("div", { class: "app-proyecto" },
      el("strong", { texto: d.movil ? `${d.nombre} · móvil` : d.nombre }),
      el("span", { texto: d.fase }),
      el("span", { texto: d.progreso }),
      el("small", { texto: d.carpeta })));
    caja.append(opcion("Actualizar", "Vuelve a leer el plan", () => enviar({ tipo: "app", accion: "estado" })));
    if (this.editor.abrirEjecucion) {
      caja.append(opcion("Probar y construir", "Verla funcionando aquí, sus pruebas y la IA", () => this.editor.abrirEjecucion()));
    }
    if (this.editor.abrirDespliegue && !d.movil) {
      caja.append(opcion("Desplegar en un VPS", "Ponerla en marcha en tu servidor, con tu dominio", () => this.editor.abrirDespliegue()));
    }
  }
}
