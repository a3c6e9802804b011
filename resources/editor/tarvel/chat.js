// The chat with the agent: the user's conversations with the AI tools of
// this computer. Each chat keeps its messages and the tools' session ids,
// so that going back to a chat resumes that conversation. The whole list
// goes to native code ("guardarChats") whenever it changes.

import { $, el, enviar, recortar, vaciar } from "./utiles.js";

const MAX_CHATS = 40;
const MAX_MENSAJES = 300;
const VERBOS = {
  ver_tarvel: "Mira el tarvel", leer: "Lee", captura: "Mira cómo queda", escribir: "Escribe", estilo: "Cambia estilos",
  texto: "Cambia un texto", borrar: "Borra", css: "Cambia el CSS", crear_mesa: "Crea una mesa", guia: "Lee la guía",
  terminar: "Termina", duplicar: "Duplica", mover: "Mueve", codigo: "Saca el código", nombrar: "Pone nombre",
  variables: "Variables", paginas: "Páginas", disenos: "Diseños", animar: "Anima", mesas: "Ordena las mesas",
  proponer_conexion: "Propone una conexión", buscar_fotos: "Busca fotos", generar_imagen: "Genera una imagen",
  enfocar: "Señala",
};

// Claude's own lookups of the tools it loads late: part of how the agent
// works, not a step of the design, so the chat does not show them.
const PASOS_INTERNOS = new Set(["ToolSearch"]);

function ahora() {
  return new Date().toISOString().replace(/\.\d{3}Z$/, "Z");
}

function nuevoChat() {
  return { id: `c${Date.now().toString(36)}${Math.random().toString(36).slice(2, 6)}`, titulo: "Chat nuevo", creado: ahora(), sesiones: {}, mensajes: [] };
}

function nombreHerramienta(nombre) {
  const corto = String(nombre || "").replace(/^mcp__[^_]+(?:_[^_]+)*?__/, "");
  return VERBOS[corto] || corto || "Paso";
}

// A short line for a step's input: the argument that says what the step
// works on, else the first short text among its arguments.
function detalleEntrada(entrada) {
  if (!entrada || typeof entrada !== "object") return "";
  for (const clave of ["id", "mesa", "nombre", "accion", "consulta", "tema", "crear", "prompt", "command", "file_path", "pattern", "url", "description"]) {
    if (typeof entrada[clave] === "string" && entrada[clave].trim()) return recortar(entrada[clave].trim(), 48);
  }
  for (const valor of Object.values(entrada)) {
    if (typeof valor === "string" && valor.trim() && valor.length <= 120) return recortar(valor.trim().split("\n")[0], 48);
  }
  return "";
}

export class PanelChat {
  constructor(editor, { avisar }) {
    this.editor = editor;
    this.avisarUsuario = avisar;
    this.chats = [];
    this.actual = -1;
    this.ias = [];
    this.enMarcha = null;
    this.textoAbierto = null;  // the agent's answer being written
    this.repintePendiente = 0;  // timer of the open message's next redraw
    this.adjuntos = [];
    this.temporizador = 0;
    this.lista = $("chat-lista");
    this.mensajes = $("chat-mensajes");
    this.texto = $("chat-texto");
    this.selectorIA = $("chat-ia");
    this.selectorModelo = $("chat-modelo");
    this.grande = $("chat-grande");
    this.parar = $("chat-parar");
    this.botonEnviar = $("chat-enviar");
    this.cajaSesion = $("ia-sesion");
    this.cajaAdjuntos = $("adjuntos");

    $("chat-form").addEventListener("submit", (e) => {
      e.preventDefault();
      this.mandar();
    });
    this.texto.addEventListener("keydown", (e) => {
      if (e.key === "Enter" && !e.shiftKey && !e.isComposing) {
        e.preventDefault();
        this.mandar();
      }
    });
    this.parar.addEventListener("click", () => {
      if (!this.enMarcha || this.enMarcha.parando) return;
      this.enMarcha.parando = true;
      enviar({ tipo: "pararAgente" });
      this.pintarEstado();
    });
    $("chat-nuevo").addEventListener("click", () => this.abrirNuevo());
    this.lista.addEventListener("change", () => {
      this.actual = Number(this.lista.value);
      this.pintar();
    });
    this.selectorIA.addEventListener("change", () => this.pintarIA());
    this.selectorModelo.addEventListener("change", () => {
      enviar({ tipo: "modeloIA", ia: this.selectorIA.value, modelo: this.selectorModelo.value });
    });
    $("chat-ajustes").addEventListener("click", () => enviar({ tipo: "ajustes" }));
  }

  // ---- loading ----

  cargar({ chats, ias, tarjetaAgentes, agentesConectados }) {
    this.chats = Array.isArray(chats)
      ? chats.filter((c) => c && typeof c === "object" && Array.isArray(c.mensajes)).map((c) => ({
        ...c,
        id: typeof c.id === "string" ? c.id : nuevoChat().id,
        titulo: typeof c.titulo === "string" ? c.titulo : "Chat",
        sesiones: c.sesiones && typeof c.sesiones === "object" ? c.sesiones : {},
      }))
      : [];
    this.actual = this.chats.length - 1;
    this.enMarcha = null;
    this.adjuntos = [];
    this.ponerIAs(ias);
    this.pintarTarjeta(tarjetaAgentes === true, Array.isArray(agentesConectados) ? agentesConectados : []);
    // The tools resume the conversations kept in the chats (the last chat's
    // session wins).
    const sesiones = {};
    for (const c of this.chats) {
      for (const [ia, s] of Object.entries(c.sesiones)) if (typeof s === "string" && s) sesiones[ia] = s;
    }
    if (Object.keys(sesiones).length) enviar({ tipo: "usarSesion", sesiones });
    this.pintar();
  }

  pintarTarjeta(mostrar, conectados) {
    const tarjeta = $("tarjeta-agentes");
    tarjeta.hidden = !mostrar;
    const linea = $("agentes-conectados");
    linea.textContent = conectados.length ? `Ya conectados: ${conectados.join(", ")}.` : "";
    linea.hidden = !conectados.length;
  }

  ponerIAs(ias) {
    this.ias = Array.isArray(ias) ? ias.filter((i) => i && typeof i.id === "string") : [];
    const elegida = this.selectorIA.value;
    vaciar(this.selectorIA);
    for (const ia of this.ias) {
      this.selectorIA.append(el("option", { value: ia.id }, `${ia.nombre || ia.id}${ia.sesion === false ? " · sin sesión" : ""}`));
    }
    if (this.ias.some((i) => i.id === elegida)) this.selectorIA.value = elegida;
    else {
      const conSesion = this.ias.find((i) => i.sesion);
      if (conSesion) this.selectorIA.value = conSesion.id;
    }
    this.pintarIA();
  }

  iaElegida() {
    return this.ias.find((i) => i.id === this.selectorIA.value) || null;
  }

  pintarIA() {
    const ia = this.iaElegida();
    vaciar(this.selectorModelo);
    const modelos = ia && Array.isArray(ia.modelos) ? ia.modelos : [];
    for (const m of modelos) this.selectorModelo.append(el("option", { value: m.id, title: m.det || "" }, m.nombre || m.id || "Por defecto"));
    if (ia && modelos.some((m) => m.id === ia.modelo)) this.selectorModelo.value = ia.modelo;
    this.selectorModelo.hidden = !modelos.length;
    this.selectorIA.hidden = !this.ias.length;
    const caja = vaciar(this.cajaSesion);
    if (!this.ias.length) {
      caja.append(el("p", { texto: "No hay ninguna IA en este ordenador. Instala Claude Code o Codex y búscalas de nuevo." }),
        el("button", { type: "button", onclick: () => enviar({ tipo: "redetectarIAs" }) }, "Buscar de nuevo"));
      caja.hidden = false;
    } else if (ia && ia.sesion === false && !this.inicioSesion) {
      caja.append(el("p", { texto: `${ia.nombre || ia.id} no tiene la sesión iniciada.` }),
        el("button", { type: "button", onclick: () => this.iniciarSesion(ia.id) }, "Iniciar sesión"));
      caja.hidden = false;
    } else if (!this.inicioSesion) {
      caja.hidden = true;
    }
    this.pintarEstado();
  }

  // ---- signing a tool in ----

  iniciarSesion(id) {
    this.inicioSesion = { ia: id, estado: "empezando" };
    enviar({ tipo: "iniciarSesionIA", ia: id });
    this.pintarSesion("Se ha abierto el navegador para iniciar la sesión…", false);
  }

  pintarSesion(texto, pideCodigo) {
    const caja = vaciar(this.cajaSesion);
    caja.hidden = false;
    caja.append(el("p", { texto }));
    if (pideCodigo) {
      const entrada = el("input", { type: "text", placeholder: "Pega aquí el código", autocomplete: "off" });
      const mandar = () => {
        if (!entrada.value.trim()) return;
        enviar({ tipo: "codigoIA", codigo: entrada.value.trim() });
        this.pintarSesion("Comprobando el código…", false);
      };
      entrada.addEventListener("keydown", (e) => { if (e.key === "Enter") mandar(); });
      caja.append(entrada, el("button", { type: "button", class: "principal", onclick: mandar }, "Enviar código"));
    }
    caja.append(el("button", { type: "button", onclick: () => {
      enviar({ tipo: "cancelarSesionIA" });
      this.inicioSesion = null;
      this.pintarIA();
    } }, "Cancelar"));
  }

  elegirIA(dato) {
    if (!dato || typeof dato !== "object") return;
    const ia = this.ias.find((i) => i.id === dato.ia);
    const nombre = ia ? ia.nombre || ia.id : dato.ia || "la IA";
    if (dato.estado === "pideCodigo") {
      this.inicioSesion = { ia: dato.ia, estado: "codigo" };
      this.pintarSesion(`Copia el código que te da ${nombre} en el navegador y pégalo aquí.`, true);
    } else if (dato.estado === "codigoMalo") {
      this.pintarSesion("Ese código no vale. Cópialo otra vez del navegador.", true);
    } else if (dato.estado === "fin") {
      this.inicioSesion = null;
      this.avisarUsuario(dato.sesion ? `Sesión iniciada en ${nombre}.` : `No se ha iniciado la sesión en ${nombre}.`, !dato.sesion);
      this.pintarIA();
    }
  }

  // ---- the chats ----

  chat() {
    if (this.actual < 0 || !this.chats[this.actual]) {
      this.chats.push(nuevoChat());
      if (this.chats.length > MAX_CHATS) this.chats.shift();
      this.actual = this.chats.length - 1;
    }
    return this.chats[this.actual];
  }

  abrirNuevo() {
    if (this.enMarcha) {
      this.avisarUsuario("Espera a que la IA termine (o párala) antes de empezar otro chat.", true);
      return;
    }
    const actual = this.chats[this.actual];
    if (actual && !actual.mensajes.length) return;
    this.chats.push(nuevoChat());
    if (this.chats.length > MAX_CHATS) this.chats.shift();
    this.actual = this.chats.length - 1;
    this.guardar();
    this.pintar();
    this.texto.focus();
  }

  anadir(chat, mensaje) {
    // The open message gets its last pieces before anything follows it.
    this.repintarTexto();
    const guardado = { ...mensaje, hora: ahora() };
    chat.mensajes.push(guardado);
    if (chat.mensajes.length > MAX_MENSAJES) chat.mensajes.splice(0, chat.mensajes.length - MAX_MENSAJES);
    this.textoAbierto = null;
    this.guardar();
    if (chat === this.chats[this.actual]) this.pintarMensaje(guardado, true);
    return guardado;
  }

  // The agent's answer comes in pieces: they join into one message until a
  // step or the end comes between them.
  anadirTexto(chat, pieza) {
    const abierto = this.textoAbierto;
    if (abierto && chat.mensajes[chat.mensajes.length - 1] === abierto) {
      abierto.texto += pieza;
      this.guardar();
      if (chat === this.chats[this.actual]) this.repintarTextoPronto();
      return abierto;
    }
    if (!pieza.trim()) return null;
    const nuevo = this.anadir(chat, { rol: "ia", texto: pieza.replace(/^\s+/, "") });
    this.textoAbierto = nuevo;
    return nuevo;
  }

  // The open message is redrawn at most once per frame's worth of time: an
  // agent sends its answer a few letters at a time, and laying out the
  // whole growing message for each piece would fall behind the agent.
  repintarTextoPronto() {
    if (!this.repintePendiente) this.repintePendiente = setTimeout(() => this.repintarTexto(), 40);
  }

  // Draws the open message now, if a redraw is waiting.
  repintarTexto() {
    if (!this.repintePendiente) return;
    clearTimeout(this.repintePendiente);
    this.repintePendiente = 0;
    const abierto = this.textoAbierto;
    const nodo = this.mensajes.lastElementChild;
    const chat = this.chats[this.actual];
    if (!abierto || !nodo || !nodo.classList.contains("rol-ia") || !chat || chat.mensajes[chat.mensajes.length - 1] !== abierto) return;
    const abajo = this.mensajes.scrollHeight - this.mensajes.scrollTop - this.mensajes.clientHeight < 40;
    nodo.textContent = abierto.texto;
    if (abajo) this.mensajes.scrollTop = this.mensajes.scrollHeight;
  }

  guardar() {
    clearTimeout(this.temporizador);
    this.temporizador = setTimeout(() => this.guardarAhora(), 300);
  }

  // What is waiting to be saved goes now (before leaving the editor).
  vaciarGuardado() {
    if (this.temporizador) this.guardarAhora();
  }

  guardarAhora() {
    clearTimeout(this.temporizador);
    this.temporizador = 0;
    enviar({ tipo: "guardarChats", chats: this.chats });
  }

  adjuntar(recurso) {
    this.adjuntos.push(recurso.nombre);
    this.pintarAdjuntos();
  }

  pintarAdjuntos() {
    vaciar(this.cajaAdjuntos);
    for (const nombre of this.adjuntos) this.cajaAdjuntos.append(el("span", { class: "adjunto", title: `recurso:${nombre}` }, nombre));
    this.cajaAdjuntos.hidden = !this.adjuntos.length;
  }

  // The user's request to the chosen tool; with `app`, a run on the design's
  // app project, which gets the design's pages.
  mandar(textoDado, iaDada, app = false) {
    const texto = (textoDado ?? this.texto.value).trim();
    if (!texto) return false;
    if (this.enMarcha) {
      this.avisarUsuario("La IA ya está trabajando en este diseño. Espera a que termine o párala.", true);
      return false;
    }
    const ia = iaDada || this.selectorIA.value || "claude";
    const chat = this.chat();
    if (!chat.mensajes.length) chat.titulo = recortar(texto, 50);
    chat.ia = ia;
    this.anadir(chat, { rol: "usuario", texto });
    // Each chat is its own conversation with the tool.
    const sesion = chat.sesiones[ia];
    if (sesion) enviar({ tipo: "usarSesion", sesiones: { [ia]: sesion } });
    else enviar({ tipo: "olvidarConversacion", ia });
    this.editor.vaciarCambio();
    enviar({ tipo: "agente", ia, peticion: texto, app, grande: this.grande.checked, movil: false,
      paginas: app ? this.editor.paginasWeb() : [] });
    this.enMarcha = { chat: chat.id, ia, nombre: "" };
    if (textoDado === undefined) this.texto.value = "";
    this.adjuntos = [];
    this.pintarAdjuntos();
    this.pintarLista();
    this.pintarEstado();
    return true;
  }

  pedir(dato) {
    if (!dato || typeof dato.texto !== "string" || !dato.texto.trim()) return;
    const ia = typeof dato.ia === "string" && dato.ia ? dato.ia : this.selectorIA.value;
    if (this.ias.some((i) => i.id === ia)) this.selectorIA.value = ia;
    let texto = dato.texto.trim();
    if (dato.animar === true) texto += "\n\nAnima la página: entradas al abrirse y al llegar con el scroll (herramienta animar).";
    this.mandar(texto, ia);
  }

  chatDeLaTarea() {
    if (this.enMarcha) {
      const c = this.chats.find((x) => x.id === this.enMarcha.chat);
      if (c) return c;
    }
    return this.chat();
  }

  // What native code reports of an agent run.
  recibir(m) {
    if (!m || typeof m !== "object") return;
    const chat = this.chatDeLaTarea();
    switch (m.tipo) {
      case "usuario":
        if (typeof m.texto === "string" && m.texto.trim()) this.anadir(chat, { rol: "usuario", texto: m.texto });
        break;
      case "empieza": {
        const nombre = typeof m.ia === "string" && m.ia ? m.ia : "La IA";
        if (!this.enMarcha) this.enMarcha = { chat: chat.id, ia: "", nombre };
        this.enMarcha.nombre = nombre;
        this.editor.agenteChat = nombre;
        this.anadir(chat, { rol: "aviso", texto: `${nombre} está trabajando…` });
        enviar({ tipo: "trabajo", paso: "Empezando", nombre: this.editor.nombre });
        break;
      }
      case "texto": {
        const mensaje = typeof m.texto === "string" ? this.anadirTexto(chat, m.texto) : null;
        // The job list shows the end of what the agent is saying.
        if (mensaje) enviar({ tipo: "trabajo", paso: "", texto: mensaje.texto.trim().slice(-240) });
        break;
      }
      case "paso": {
        const herramienta = String(m.herramienta || "");
        if (PASOS_INTERNOS.has(herramienta)) break;
        const detalle = detalleEntrada(m.entrada);
        const mensaje = { rol: "paso", id: String(m.id ?? ""), herramienta, detalle, agente: typeof m.agente === "string" ? m.agente : "", estado: "trabajando" };
        this.anadir(chat, mensaje);
        enviar({ tipo: "trabajo", paso: recortar(`${nombreHerramienta(herramienta)}${detalle ? " · " + detalle : ""}`, 140) });
        break;
      }
      case "pasoHecho": {
        const paso = [...chat.mensajes].reverse().find((x) => x.rol === "paso" && x.id === String(m.id ?? ""));
        if (paso) {
          paso.estado = m.error === true ? "error" : "hecho";
          this.guardar();
          if (chat === this.chats[this.actual]) this.pintarMensajes();
        }
        break;
      }
      case "sesion":
        if (typeof m.ia === "string" && typeof m.sesion === "string") {
          chat.sesiones[m.ia] = m.sesion;
          this.guardar();
        }
        break;
      case "fin": {
        const ultimo = [...chat.mensajes].reverse().find((x) => x.rol === "ia");
        if (typeof m.texto === "string" && m.texto.trim() && (!ultimo || ultimo.texto.trim() !== m.texto.trim())) {
          this.anadir(chat, { rol: "ia", texto: m.texto });
        }
        break;
      }
      case "termina":
        if (m.parado === true || (this.enMarcha && this.enMarcha.parando)) this.anadir(chat, { rol: "aviso", texto: "Has parado la IA." });
        else if (typeof m.codigo === "number" && m.codigo !== 0) this.anadir(chat, { rol: "aviso", texto: `La IA ha terminado con el código ${m.codigo}.` });
        this.acabar();
        break;
      case "error":
        this.anadir(chat, { rol: "error", texto: typeof m.texto === "string" ? m.texto : "La IA no ha podido trabajar." });
        this.acabar();
        break;
      default:
        break;
    }
  }

  acabar() {
    this.enMarcha = null;
    this.textoAbierto = null;
    this.editor.agenteChat = "";
    if (this.editor.foco && !this.editor.agenteExterno) this.editor.terminarAgente();
    this.guardarAhora();
    this.pintarEstado();
  }

  // ---- drawing ----

  pintar() {
    this.pintarLista();
    this.pintarMensajes();
    this.pintarEstado();
  }

  pintarLista() {
    vaciar(this.lista);
    if (!this.chats.length) this.lista.append(el("option", { value: "-1" }, "Chat nuevo"));
    this.chats.forEach((c, i) => this.lista.append(el("option", { value: String(i) }, recortar(c.titulo || "Chat", 40))));
    this.lista.value = String(this.chats.length ? this.actual : -1);
    this.lista.disabled = Boolean(this.enMarcha);
  }

  pintarMensajes() {
    clearTimeout(this.repintePendiente);
    this.repintePendiente = 0;
    vaciar(this.mensajes);
    const chat = this.chats[this.actual];
    if (!chat || !chat.mensajes.length) {
      this.mensajes.append(el("div", { class: "chat-vacio" },
        el("strong", { texto: "Pídele a tu IA lo que quieras" }),
        el("p", { texto: "«Hazme una landing para mi peluquería», «pon el título más grande», «ordena las mesas». La verás trabajar en el tarvel." })));
      return;
    }
    for (const m of chat.mensajes) this.pintarMensaje(m, false);
    this.mensajes.scrollTop = this.mensajes.scrollHeight;
  }

  pintarMensaje(m, desplazar) {
    const vacio = this.mensajes.querySelector(".chat-vacio");
    if (vacio) vacio.remove();
    let nodo;
    if (m.rol === "paso") {
      const icono = { hecho: "✓", error: "✕", trabajando: "…" }[m.estado] || "…";
      nodo = el("div", { class: `chat-paso estado-${m.estado || "trabajando"}` },
        el("span", { class: "chat-paso-icono", texto: icono }),
        el("span", { texto: nombreHerramienta(m.herramienta) }),
        m.detalle ? el("span", { class: "chat-paso-detalle", texto: m.detalle }) : null,
        m.agente ? el("span", { class: "chat-paso-detalle", texto: `· ${m.agente}` }) : null);
    } else {
      nodo = el("div", { class: `chat-mensaje rol-${m.rol}`, texto: m.texto || "" });
    }
    this.mensajes.append(nodo);
    if (desplazar) this.mensajes.scrollTop = this.mensajes.scrollHeight;
  }

  pintarEstado() {
    const trabajando = Boolean(this.enMarcha);
    this.parar.hidden = !trabajando;
    const parando = trabajando && this.enMarcha.parando === true;
    this.parar.disabled = parando;
    this.parar.textContent = parando ? "Parando…" : "Parar";
    this.botonEnviar.disabled = trabajando;
    this.botonEnviar.textContent = trabajando ? "Trabajando…" : "Enviar";
    this.lista.disabled = trabajando;
    $("panel-chat").classList.toggle("trabajando", trabajando);
  }
}
