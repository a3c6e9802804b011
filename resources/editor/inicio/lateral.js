// The side column: the local AI tools (sign in, install), the agents' jobs
// (open, stop, remove) and the integration cards.

import {
  $, el, enviar, enviarUnaVez, duracion, fechaLarga, haceCuanto, huella, icono, ICONOS, inicial, recortar, rutaPropia, vaciar,
} from "./utiles.js";

// The colour of a known tool's initial while its logo is missing.
const TONOS = { "claude code": 18, claude: 18, codex: 160, chatgpt: 160, "gemini cli": 220, gemini: 220 };

// The three tools the application knows, in the order it looks for them.
const CONOCIDAS = [
  { id: "claude", nombre: "Claude Code", logo: "logos/claude.png", de: "Anthropic" },
  { id: "codex", nombre: "Codex", logo: "logos/chatgpt.png", de: "OpenAI" },
  { id: "gemini", nombre: "Gemini CLI", logo: "logos/gemini.png", de: "Google" },
];

// A logo of ours, or the initial when there is none or it does not load.
export function marca(ruta, nombre, clase = "marca-ia") {
  const caja = el("span", { class: clase, "aria-hidden": "true" });
  const letra = el("span", { class: "marca-letra", texto: inicial(nombre) });
  letra.style.setProperty("--tono", String(TONOS[String(nombre).toLowerCase()] ?? huella(nombre) % 360));
  const src = rutaPropia(ruta);
  if (!src) {
    caja.append(letra);
    return caja;
  }
  const img = el("img", { alt: "", draggable: "false" });
  img.addEventListener("error", () => img.replaceWith(letra));
  img.src = src;
  caja.append(img);
  return caja;
}

export function marcaDeIA(id) {
  const c = CONOCIDAS.find((x) => x.id === id);
  return c ? c.logo : "";
}

export class IAs {
  constructor() {
    this.pedidas = new Set(); // tools whose login or download was asked for
  }

  poner(ias, listas) {
    this.pedidas.clear();
    const caja = vaciar($("lista-ias"));
    $("ias-buscando").hidden = listas || ias.length > 0;
    if (!listas && !ias.length) return;
    const filas = [];
    for (const c of CONOCIDAS) {
      const ia = ias.find((x) => x.id === c.id);
      filas.push({ id: c.id, nombre: (ia && ia.nombre) || c.nombre, logo: c.logo, de: c.de, instalada: !!ia, sesion: !!ia && ia.sesion });
    }
    for (const ia of ias) {
      if (!CONOCIDAS.some((c) => c.id === ia.id)) filas.push({ id: ia.id, nombre: ia.nombre || ia.id, logo: "", de: "", instalada: true, sesion: ia.sesion, otra: true });
    }
    for (const f of filas) caja.append(this.fila(f, listas));
  }

  fila(f, listas) {
    let estado;
    let boton = null;
    if (f.instalada && f.sesion) {
      estado = el("span", { class: "estado-ia conectada", texto: "Lista" });
    } else if (f.instalada) {
      estado = el("span", { class: "estado-ia sin-sesion", texto: "Sin sesión" });
      if (!f.otra) boton = el("button", { type: "button", class: "boton-ia", dataset: { conectar: f.id }, onclick: (e) => this.pedir(e.currentTarget, "conectarIA", f.id, "Abriendo…") }, "Iniciar sesión");
    } else if (listas) {
      estado = el("span", { class: "estado-ia no-instalada", texto: "No instalada" });
      boton = el("button", { type: "button", class: "boton-ia", dataset: { instalar: f.id }, onclick: (e) => this.pedir(e.currentTarget, "instalarIA", f.id, "Abierto") }, "Instalar");
    } else {
      estado = el("span", { class: "estado-ia", texto: "Buscando…" });
    }
    return el("li", { class: `ia${f.instalada ? "" : " ausente"}`, dataset: { ia: f.id } },
      marca(f.logo, f.nombre),
      el("div", { class: "ia-textos" },
        el("strong", { texto: f.nombre }),
        estado),
      boton);
  }

  pedir(boton, tipo, id, hecho) {
    if (this.pedidas.has(`${tipo}:${id}`)) return;
    this.pedidas.add(`${tipo}:${id}`);
    enviar({ tipo, id });
    boton.disabled = true;
    boton.textContent = hecho;
    // Installing happens in the browser; the button comes back for a retry.
    if (tipo === "instalarIA") {
      setTimeout(() => {
        this.pedidas.delete(`${tipo}:${id}`);
        if (document.contains(boton)) { boton.disabled = false; boton.textContent = "Instalar"; }
      }, 4000);
    }
  }
}

const ESTADOS = {
  trabajando: "Trabajando",
  listo: "Terminado",
  pregunta: "Te pregunta algo",
  parado: "Parado",
  error: "Con error",
};

export class Trabajos {
  constructor() {
    this.lista = [];
    this.parando = new Set();
  }

  poner(lista) {
    this.lista = lista;
    for (const clave of this.parando) {
      const t = lista.find((x) => x.clave === clave);
      if (!t || t.estado !== "trabajando") this.parando.delete(clave);
    }
    this.pintar();
  }

  pintar() {
    const caja = $("lista-trabajos");
    const activos = this.lista.filter((t) => t.estado === "trabajando").length;
    $("trabajos-cuenta").textContent = activos ? String(activos) : "";
    $("trabajos-vacio").hidden = this.lista.length > 0;
    const ahora = new Date();
    // Running first, then questions, then the rest, newest first.
    const orden = { trabajando: 0, pregunta: 1, error: 2, parado: 3, listo: 4 };
    const lista = [...this.lista].sort((a, b) => (orden[a.estado] - orden[b.estado]) || ((b.desde?.getTime() || 0) - (a.desde?.getTime() || 0)));
    // A row that did not change stays the same node: a click on its
    // buttons is never lost to a repaint.
    const antes = this.filas || new Map();
    this.filas = new Map();
    const nodos = lista.map((t) => {
      const firma = JSON.stringify([t, this.parando.has(t.clave), this.cuando(t, ahora)]);
      const guardada = antes.get(t.clave);
      const nodo = guardada && guardada.firma === firma ? guardada.nodo : this.fila(t, ahora);
      this.filas.set(t.clave, { firma, nodo });
      return nodo;
    });
    if (nodos.length !== caja.children.length || nodos.some((nodo, i) => caja.children[i] !== nodo)) {
      const foco = document.activeElement;
      caja.replaceChildren(...nodos);
      if (foco && caja.contains(foco) && document.activeElement !== foco) foco.focus();
    }
  }

  cuando(t, ahora) {
    if (t.estado === "trabajando") return t.desde ? `empezó ${haceCuanto(t.desde, ahora)}` : "";
    if (t.hasta) return `${haceCuanto(t.hasta, ahora)}${t.desde ? ` · tardó ${duracion(t.desde, t.hasta)}` : ""}`;
    return "";
  }

  fila(t, ahora) {
    const trabajando = t.estado === "trabajando";
    const parando = this.parando.has(t.clave);
    const cuando = this.cuando(t, ahora);
    const cabeza = [ESTADOS[t.estado], t.ia, t.modo === "app" ? "app" : "", t.aqui ? "abierto" : ""].filter(Boolean).join(" · ");
    const botones = el("div", { class: "trabajo-botones" });
    if (t.abrible) botones.append(el("button", { type: "button", class: `trabajo-abrir${t.estado === "pregunta" ? " principal" : ""}`, onclick: () => enviarUnaVez({ tipo: "abrirTrabajo", clave: t.clave }) }, t.estado === "pregunta" ? "Responder" : "Abrir"));
    if (trabajando) {
      botones.append(el("button", {
        type: "button",
        class: "trabajo-parar",
        disabled: parando,
        onclick: (e) => {
          this.parando.add(t.clave);
          enviar({ tipo: "pararTrabajo", clave: t.clave });
          e.currentTarget.disabled = true;
          e.currentTarget.textContent = "Parando…";
        },
      }, icono(ICONOS.parar), parando ? "Parando…" : "Parar"));
    } else {
      botones.append(el("button", { type: "button", class: "icono trabajo-quitar", title: "Quitar de la lista", "aria-label": "Quitar de la lista", onclick: () => enviar({ tipo: "quitarTrabajo", clave: t.clave }) }, icono(ICONOS.cerrar)));
    }
    return el("li", { class: `trabajo estado-${t.estado}`, dataset: { clave: t.clave } },
      el("div", { class: "trabajo-cabeza" },
        el("span", { class: "trabajo-luz", "aria-hidden": "true" }),
        el("strong", { class: "trabajo-nombre", title: t.nombre || "Sin título", texto: t.nombre || "Sin título" })),
      el("div", { class: "trabajo-estado", texto: cabeza }),
      t.paso ? el("div", { class: "trabajo-paso", title: t.paso, texto: t.paso }) : null,
      t.texto ? el("div", { class: "trabajo-texto", title: t.texto, texto: recortar(t.texto, 180) }) : null,
      el("div", { class: "trabajo-pie" },
        el("span", { class: "trabajo-cuando", title: t.desde ? `Desde ${fechaLarga(t.desde)}` : null, texto: cuando }),
        botones));
  }
}

export function pintarIntegraciones(lista) {
  const caja = vaciar($("lista-integraciones"));
  $("integraciones-vacio").hidden = lista.length > 0;
  const grupos = new Map();
  for (const c of lista) {
    if (!grupos.has(c.grupo)) grupos.set(c.grupo, []);
    grupos.get(c.grupo).push(c);
  }
  for (const [grupo, tarjetas] of grupos) {
    const ul = el("ul", { class: "integraciones" });
    for (const c of tarjetas) {
      ul.append(el("li", { class: `integracion${c.activa ? " activa" : ""}`, dataset: { integracion: c.id } },
        marca(c.logo, c.nombre, "marca-integracion"),
        el("div", { class: "integracion-textos" },
          el("strong", { texto: c.nombre }),
          el("span", { texto: c.para })),
        c.activa
          ? el("span", { class: "estado-ia conectada", texto: "Activa" })
          : el("button", { type: "button", class: "boton-ia", dataset: { conectarIntegracion: c.id }, onclick: () => enviarUnaVez({ tipo: "menu", accion: "ajustes" }) }, "Conectar")));
    }
    caja.append(el("div", { class: "grupo-integraciones" }, el("h3", { texto: grupo }), ul));
  }
}
