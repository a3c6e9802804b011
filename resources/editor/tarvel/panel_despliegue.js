// The deployment panel: puts the design's app project on one of the
// customer's VPS servers, a step at a time that the user confirms: see the
// server's state, prepare (upload and plan), deploy, go back to the previous
// version. Native code does the work and tells every phase, each line of
// the server's script and the server's state through window.tarvel.app;
// the root password is asked here only when the server does not yet know
// the application's key, and is never kept.

import { abrirDialogo, confirmar } from "../comun/dialogo.js";
import {
  anadirLinea, describirEstado, estadoTras, etiquetaServidor, fase, lineaVisible, servidoresValidos, ultimoDespliegue,
} from "./despliegue_vps.js";
import { $, el, enviar, esObjeto, vaciar } from "./utiles.js";

export class PanelDespliegue {
  constructor({ avisar, alAbrir }) {
    this.avisar = avisar;
    this.alAbrir = alAbrir;  // the other panel over the canvas closes
    this.abierto = false;
    this.proyecto = null;
    this.servidores = [];
    this.ocupado = false;    // a step runs: one at a time
    this.pedido = null;      // the step running, sent again with the password
    this.planDe = null;      // the server and domain a passed plan was for
    this.lineas = [];
    this.url = "";           // the address of the last deployment here
    this.caja = $("panel-despliegue");
    this.construir();
  }

  construir() {
    this.nombre = el("span", { class: "app-fase tenue" });
    this.elegir = el("select", { id: "despliegue-servidor", "aria-label": "Servidor", onchange: () => this.alCambiarServidor() });
    this.dominio = el("input", { id: "despliegue-dominio", type: "text", placeholder: "minegocio.es", autocomplete: "off",
      spellcheck: "false", "aria-label": "Dominio", oninput: () => { this.planDe = null; this.pintar(); } });
    this.estado = el("p", { id: "despliegue-estado", class: "despliegue-estado", role: "status" });
    this.ultimo = el("p", { id: "despliegue-ultimo", class: "tenue despliegue-ultimo" });
    this.botones = {
      estado: el("button", { id: "despliegue-comprobar", type: "button", onclick: () => this.paso("estadoServidor") }, "Ver el estado"),
      plan: el("button", { id: "despliegue-preparar", type: "button", onclick: () => this.paso("plan") }, "Preparar"),
      desplegar: el("button", { id: "despliegue-desplegar", type: "button", class: "principal", onclick: () => this.paso("desplegar") },
        "Desplegar"),
      volver: el("button", { id: "despliegue-volver", type: "button", onclick: () => this.volver() }, "Volver a la versión anterior"),
      anadir: el("button", { id: "despliegue-anadir", type: "button", onclick: () => this.anadirVPS() }, "Añadir un VPS"),
    };
    this.fase = el("p", { id: "despliegue-fase", class: "app-resultado", role: "status" });
    this.enlace = el("button", { id: "despliegue-abrir", type: "button", hidden: true, onclick: () => this.abrirDireccion() }, "Abrir");
    this.registro = el("pre", { id: "despliegue-registro", class: "app-registro despliegue-registro", "aria-label": "Lo que hace el VPS" });
    this.caja.append(
      el("div", { class: "app-cabecera" }, el("strong", { class: "app-titulo", texto: "Desplegar en un VPS" }), this.nombre,
        el("span", { class: "hueco" }),
        el("button", { type: "button", class: "icono", title: "Cerrar", "aria-label": "Cerrar", onclick: () => this.alternar(false) }, "×")),
      el("p", { class: "tenue despliegue-nota",
        texto: "Primero se prepara: la aplicación se sube y el VPS revisa que puede ejecutarla. Luego se despliega detrás de tu dominio con HTTPS." }),
      el("div", { class: "despliegue-campos" },
        el("label", { class: "despliegue-campo" }, el("span", { texto: "Servidor" }), el("span", { class: "despliegue-fila" }, this.elegir, this.botones.anadir)),
        el("label", { class: "despliegue-campo" }, el("span", { texto: "Dominio" }), this.dominio,
          el("small", { class: "tenue", texto: "Déjalo vacío para usar una dirección en la IP del VPS." }))),
      this.estado, this.ultimo,
      el("div", { class: "fila-botones" }, this.botones.estado, this.botones.plan, this.botones.desplegar, this.botones.volver),
      el("div", { class: "despliegue-fila" }, this.fase, this.enlace),
      this.registro);
    this.pintar();
  }

  alternar(abrir = !this.abierto) {
    this.abierto = abrir;
    this.caja.hidden = !abrir;
    if (!abrir) return;
    this.alAbrir();
    enviar({ tipo: "app", accion: "servidores" });
  }

  servidor() {
    const id = Number(this.elegir.value);
    return this.servidores.find((s) => s.id === id) || null;
  }

  // One step for the chosen server; a step that needs the password is sent
  // again with it.
  paso(accion, password = null) {
    const s = this.servidor();
    if (!s || this.ocupado) return;
    const mensaje = { tipo: "app", accion, servidor: s.id, ip: s.ip, dominio: this.dominio.value.trim() };
    // "Desplegar" uses the archive and the domain its plan was made for.
    if (accion === "desplegar" && this.planDe) mensaje.dominio = this.planDe.dominio;
    if (password) mensaje.password = password;
    this.pedido = { accion, servidor: s.id };
    this.ocupado = true;
    if (accion !== "estadoServidor") {
      this.lineas = [];
      this.registro.textContent = "";
      this.url = "";
      this.ponerFase("", false);
    } else {
      this.estado.textContent = "Mirando el VPS…";
      this.estado.classList.remove("mal");
    }
    if (accion === "plan") this.planDe = null;
    enviar(mensaje);
    this.pintar();
  }

  async volver() {
    const s = this.servidor();
    if (!s || this.ocupado) return;
    const ok = await confirmar({ titulo: "Volver a la versión anterior", aceptar: "Volver",
      texto: `La aplicación de ${etiquetaServidor(s)} vuelve a la versión que estaba antes del último despliegue.` });
    if (ok) this.paso("volver");
  }

  async pedirPassword(aviso) {
    const pedido = this.pedido;
    const campo = el("input", { type: "password", id: "despliegue-password", "aria-label": "Contraseña de root", autocomplete: "off" });
    const ok = await abrirDialogo({ tipo: "desplieguePass", titulo: "Contraseña de root del VPS", aceptar: "Entrar", cuerpo: campo,
      texto: `${aviso ? `${aviso} ` : ""}Sorvenia Code la usa una sola vez para instalar su llave en el servidor. No la guarda.` });
    if (ok && campo.value && pedido && this.servidor() && this.servidor().id === pedido.servidor) this.paso(pedido.accion, campo.value);
  }

  async anadirVPS() {
    const nombre = el("input", { type: "text", id: "despliegue-vps-nombre", placeholder: "Mi VPS", "aria-label": "Nombre", autocomplete: "off" });
    const ip = el("input", { type: "text", id: "despliegue-vps-ip", placeholder: "203.0.113.7", "aria-label": "IP", autocomplete: "off" });
    const ok = await abrirDialogo({ tipo: "anadirVPS", titulo: "Añadir un VPS", aceptar: "Añadir",
      texto: "Un servidor tuyo con Debian o Ubuntu. La contraseña de root se pide al desplegar por primera vez.",
      cuerpo: el("div", { class: "despliegue-campos" }, nombre, ip) });
    if (ok) enviar({ tipo: "app", accion: "anadirVPS", nombre: nombre.value.trim(), ip: ip.value.trim() });
  }

  abrirDireccion() {
    if (this.url) enviar({ tipo: "enlace", url: this.url });
  }

  alCambiarServidor() {
    this.planDe = null;
    this.estado.textContent = "";
    this.pintar();
    if (this.servidor()) this.paso("estadoServidor");
  }

  // Each "app" message of native code; the deployment's are picked here.
  recibir(dato) {
    if (!esObjeto(dato)) return;
    if (esObjeto(dato.proyecto)) this.proyecto = dato.proyecto;
    if (Array.isArray(dato.servidores)) this.ponerServidores(dato.servidores, dato.texto);
    // A server that could not be added: {"texto"} alone.
    else if (typeof dato.texto === "string" && Object.keys(dato).length === 1) this.avisar(dato.texto, true);
    if (Number.isInteger(dato.anadido)) {
      this.elegido = dato.anadido;
      enviar({ tipo: "app", accion: "servidores" });
    }
    if (lineaVisible(dato.linea)) {
      this.lineas = anadirLinea(this.lineas, dato.linea);
      this.registro.textContent = this.lineas.join("\n");
      this.registro.scrollTop = this.registro.scrollHeight;
    }
    if (dato.estadoServidor !== undefined) {
      const d = describirEstado(dato.estadoServidor);
      this.estado.textContent = d.texto;
      this.estado.classList.toggle("mal", d.mal);
      if (this.pedido && this.pedido.accion === "estadoServidor") this.ocupado = false;
    }
    const f = fase(dato);
    if (f) this.cambiarFase(f);
    const tras = estadoTras(dato);
    if (tras) {
      this.estado.textContent = tras.texto;
      this.estado.classList.toggle("mal", tras.mal);
    }
    this.pintar();
  }

  cambiarFase(f) {
    const accion = this.pedido ? this.pedido.accion : "";
    // The server's state check shows its progress on the state line; what
    // stops any step shows on the phase line.
    if (accion === "estadoServidor") {
      this.estado.textContent = f.fin ? "" : f.fase;
      this.estado.classList.remove("mal");
    }
    if (accion !== "estadoServidor" || f.fin) this.ponerFase(f.fase, f.mal);
    if (f.url) this.url = f.url;
    if (f.planListo && this.pedido) this.planDe = { servidor: this.pedido.servidor, dominio: f.dominio };
    if (!f.fin) return;
    this.ocupado = false;
    if (f.pidePass) this.pedirPassword(f.aviso);
  }

  ponerFase(texto, mal) {
    this.fase.textContent = texto;
    this.fase.classList.toggle("mal", mal);
  }

  ponerServidores(lista, aviso) {
    const antes = this.elegido !== undefined ? this.elegido : Number(this.elegir.value);
    this.elegido = undefined;
    this.servidores = servidoresValidos(lista);
    vaciar(this.elegir);
    for (const s of this.servidores) this.elegir.append(el("option", { value: String(s.id), texto: etiquetaServidor(s) }));
    if (!this.servidores.length) this.elegir.append(el("option", { value: "", texto: "No tienes ningún VPS todavía" }));
    const guardado = this.proyecto && esObjeto(this.proyecto.desplegada) ? this.proyecto.desplegada.servidor : undefined;
    const elegido = [antes, guardado].find((id) => this.servidores.some((s) => s.id === id));
    if (elegido !== undefined) this.elegir.value = String(elegido);
    if (typeof aviso === "string" && aviso) this.avisar(aviso, true);
    if (this.servidor() && !this.ocupado) this.paso("estadoServidor");
  }

  pintar() {
    const p = this.proyecto;
    this.nombre.textContent = p && typeof p.nombre === "string" ? p.nombre : "";
    this.ultimo.textContent = ultimoDespliegue(p);
    const s = this.servidor();
    const libre = Boolean(s) && !this.ocupado && Boolean(p);
    this.botones.estado.disabled = !libre;
    this.botones.plan.disabled = !libre;
    this.botones.volver.disabled = !libre;
    this.botones.desplegar.disabled = !(libre && this.planDe && this.planDe.servidor === s.id);
    this.botones.anadir.disabled = this.ocupado;
    this.elegir.disabled = this.ocupado;
    this.dominio.disabled = this.ocupado;
    this.enlace.hidden = !this.url || this.ocupado;
    this.caja.classList.toggle("ocupado", this.ocupado);
  }
}
