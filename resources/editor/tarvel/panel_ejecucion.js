// The app's run panel: the design's app project, its local run with the
// running app's preview, its tests, and requests to the AI that builds it.
// The top bar's app menu opens it. Native code answers every action through
// window.tarvel.app; the preview itself is a native view that the panel
// places over its own box with "vistaApp" (the app's pages never run in this
// page).

import { $, el, enviar, esObjeto } from "./utiles.js";

const ESTADOS = {
  sinApp: "Todavía no hay aplicación: pide a la IA que la construya.",
  instalando: "Instalando los paquetes…",
  arrancando: "Arrancando la aplicación…",
  enMarcha: "En marcha",
  parada: "Parada",
};

export class PanelEjecucion {
  constructor({ avisar, chat }) {
    this.avisar = avisar;
    this.chat = chat;
    this.proyecto = null;
    this.vista = null;  // the last "vista" state
    this.url = null;    // the running app's address
    this.abierto = false;
    this.caja = $("panel-app");
    this.construir();
    new ResizeObserver(() => this.colocar()).observe(this.hueco);
    window.addEventListener("resize", () => this.colocar());
  }

  construir() {
    this.titulo = el("strong", { class: "app-titulo", texto: "Aplicación" });
    this.fase = el("span", { class: "app-fase tenue" });
    this.estado = el("span", { id: "app-estado", class: "app-estado", role: "status" });
    this.botones = {
      crear: el("button", { type: "button", class: "principal", onclick: () => enviar({ tipo: "app", accion: "crear", movil: false }) }, "Crear aplicación"),
      vista: el("button", { id: "app-probar", type: "button", class: "principal", onclick: () => this.probar() }, "Probar"),
      parar: el("button", { id: "app-parar", type: "button", onclick: () => enviar({ tipo: "app", accion: "parar" }) }, "Parar"),
      comprobar: el("button", { id: "app-comprobar", type: "button", onclick: () => this.comprobar() }, "Pasar las pruebas"),
      navegador: el("button", { type: "button", onclick: () => enviar({ tipo: "app", accion: "navegador" }) }, "Abrir en el navegador"),
      finder: el("button", { type: "button", onclick: () => enviar({ tipo: "app", accion: "finder" }) }, "Mostrar la carpeta"),
      cerrar: el("button", { type: "button", class: "icono", title: "Cerrar", "aria-label": "Cerrar", onclick: () => this.alternar(false) }, "×"),
    };
    this.peticion = el("textarea", { id: "app-peticion", rows: 2, placeholder: "Pide a la IA qué construir o cambiar en la aplicación…",
      "aria-label": "Petición para la IA" });
    this.construirBoton = el("button", { id: "app-construir", type: "button", class: "principal", onclick: () => this.construirConIA() },
      "Construir con la IA");
    this.hueco = el("div", { id: "app-vista", class: "app-vista" }, el("p", { class: "tenue", texto: "Pulsa «Probar» para ver aquí la aplicación." }));
    this.registro = el("pre", { id: "app-registro", class: "app-registro", "aria-label": "Registro" });
    this.pruebas = el("pre", { id: "app-pruebas", class: "app-registro", "aria-label": "Pruebas", hidden: true });
    this.resultado = el("p", { id: "app-resultado", class: "app-resultado", role: "status" });
    this.caja.append(
      el("div", { class: "app-cabecera" }, this.titulo, this.fase, el("span", { class: "hueco" }), this.botones.cerrar),
      el("div", { class: "fila-botones" }, this.botones.crear, this.botones.vista, this.botones.parar, this.botones.comprobar,
        this.botones.navegador, this.botones.finder),
      el("div", { class: "app-pedir" }, this.peticion, this.construirBoton),
      this.estado, this.hueco, this.resultado, this.pruebas, this.registro);
    this.pintar();
  }

  alternar(abrir = !this.abierto) {
    this.abierto = abrir;
    this.caja.hidden = !abrir;
    if (abrir) enviar({ tipo: "app", accion: "estado" });
    this.colocar();
  }

  // The request goes to the chat's tool as a run on the app project; its
  // steps show in the chat.
  construirConIA() {
    const texto = this.peticion.value.trim();
    if (!texto) {
      this.avisar("Escribe qué quieres que construya la IA.", true);
      return;
    }
    if (this.chat.mandar(texto, undefined, true)) this.peticion.value = "";
  }

  probar() {
    this.pruebas.hidden = true;
    this.resultado.textContent = "";
    enviar({ tipo: "app", accion: "vista" });
  }

  comprobar() {
    this.pruebas.textContent = "";
    this.pruebas.hidden = false;
    this.resultado.textContent = "";
    enviar({ tipo: "app", accion: "comprobar" });
  }

  // One message of native code; its top key says what it is.
  recibir(dato) {
    if (!esObjeto(dato)) return;
    if (esObjeto(dato.proyecto)) this.proyecto = dato.proyecto;
    if (dato.nuevo === true && !this.abierto) this.alternar(true);
    if (typeof dato.registro === "string") {
      this.registro.textContent = dato.registro;
      this.registro.scrollTop = this.registro.scrollHeight;
    }
    if (typeof dato.vista === "string") this.cambiarVista(dato);
    if (typeof dato.comprobacion === "string") {
      this.pruebas.hidden = false;
      if (dato.comprobando === false && dato.comprobado === undefined) this.resultado.textContent = dato.comprobacion;
      else this.pruebas.textContent += `${dato.comprobacion}\n`;
      // The last lines (where test runners put their counts) stay in sight.
      this.pruebas.scrollTop = this.pruebas.scrollHeight;
    }
    if (typeof dato.comprobado === "boolean") {
      this.resultado.textContent = dato.comprobado ? "Las pruebas pasan." : "Alguna prueba falla.";
      this.resultado.classList.toggle("mal", !dato.comprobado);
    }
    if (dato.comprobando === true) this.resultado.textContent = "Pasando las pruebas…";
    this.pintar();
  }

  cambiarVista(dato) {
    this.vista = dato.vista;
    if (dato.vista === "enMarcha" && typeof dato.url === "string") {
      this.url = dato.url;
    } else if (dato.vista !== "enMarcha") {
      this.url = null;
    }
    if (dato.vista === "sinNode" && typeof dato.texto === "string") this.avisar(dato.texto, true);
    this.colocar();
  }

  pintar() {
    const p = this.proyecto;
    this.titulo.textContent = p && typeof p.nombre === "string" ? p.nombre : "Aplicación";
    const fases = { inicio: "Empezando", diseno: "Diseñando", construccion: "Construyendo", lista: "Lista" };
    const progreso = p && Number.isInteger(p.total) && p.total > 0 ? ` · ${p.hechas}/${p.total} tareas` : "";
    this.fase.textContent = p ? `${fases[p.fase] || ""}${progreso}` : "";
    this.botones.crear.hidden = Boolean(p);
    for (const clave of ["vista", "parar", "comprobar", "navegador", "finder"]) this.botones[clave].hidden = !p;
    this.botones.parar.disabled = !(this.vista === "enMarcha" || this.vista === "arrancando" || this.vista === "instalando");
    this.estado.textContent = this.vista ? (ESTADOS[this.vista] || "") + (this.url ? ` · ${this.url}` : "") : "";
  }

  // The native preview follows the panel's box while the app runs and the
  // panel is open; otherwise it is hidden.
  colocar() {
    const visible = this.abierto && this.url !== null;
    this.hueco.classList.toggle("con-app", visible);
    if (!visible) {
      enviar({ tipo: "vistaApp", rect: null });
      return;
    }
    const r = this.hueco.getBoundingClientRect();
    enviar({ tipo: "vistaApp", rect: { x: Math.round(r.left), y: Math.round(r.top), w: Math.round(r.width), h: Math.round(r.height) }, url: this.url });
  }
}
