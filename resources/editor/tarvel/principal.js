// The editor page. Native code calls the functions of window.tarvel with
// one JSON argument each (herramienta is awaited and answers); the page
// posts its messages with enviar(). window.tarvel exists, whole, before
// "listo" is posted.

import { PanelChat } from "./chat.js";
import { DisenoIA } from "./diseno_ia.js";
import { crearMesa, fijarPortada } from "./documento.js";
import { Editor } from "./editor.js";
import { ejecutar } from "./herramientas.js";
import { Lienzo } from "./lienzo.js";
import { PanelApp } from "./panel_app.js";
import { PanelDespliegue } from "./panel_despliegue.js";
import { PanelEjecucion } from "./panel_ejecucion.js";
import { Paneles, avisar } from "./paneles.js";
import { $, el, enviar, esObjeto } from "./utiles.js";

// A scratch document, sandboxed like the mesas, where design HTML is parsed
// when it is not going onto the canvas (exports, code).
const taller = $("taller").contentDocument;
taller.open();
taller.write('<!doctype html><html lang="es"><head><meta charset="utf-8"></head><body></body></html>');
taller.close();

const editor = new Editor({ mundo: $("mundo"), taller });
const lienzo = new Lienzo(editor, $("lienzo"), $("mundo"), {
  alZoom: (zoom) => { $("zoom-valor").textContent = `${Math.round(zoom * 100)} %`; },
});
const chat = new PanelChat(editor, { avisar });
const disenoIA = new DisenoIA(editor, { avisar });
$("chat-disenar").addEventListener("click", () => {
  const peticion = $("chat-texto").value.trim();
  if (!peticion) {
    avisar("Escribe qué quieres que diseñe la IA.", true);
    return;
  }
  const recursos = chat.adjuntos
    .map((nombre) => editor.doc && editor.doc.recursos.find((r) => r.nombre === nombre))
    .filter(Boolean)
    .map((r) => ({ nombre: r.nombre, src: r.src }));
  // With something selected the tool changes it; otherwise it makes a new mesa.
  const pedido = { peticion, ia: $("chat-ia").value || "claude", recursos };
  if (editor.seleccion ? disenoIA.cambiar(pedido) : disenoIA.empezar(pedido)) {
    $("chat-texto").value = "";
    chat.adjuntos = [];
    chat.pintarAdjuntos();
  }
});
const paneles = new Paneles(editor, lienzo, chat);
const panelApp = new PanelApp(editor);
const panelEjecucion = new PanelEjecucion({ avisar, chat });
// The two app panels share the place over the canvas: one at a time.
const panelDespliegue = new PanelDespliegue({ avisar, alAbrir: () => panelEjecucion.alternar(false) });
editor.abrirEjecucion = () => {
  panelDespliegue.alternar(false);
  panelEjecucion.alternar(true);
};
editor.abrirDespliegue = () => panelDespliegue.alternar(true);
editor.ganchos = {
  alAbrirPagina: () => { lienzo.tocada = false; lienzo.ajustar(); },
  alEnfocar: (foco) => {
    const mesa = editor.mesa(foco.mesa);
    const vista = editor.vista(foco.mesa);
    const e = vista && foco.lid ? vista.elemento(foco.lid) : null;
    if (!mesa) return;
    const r = e ? vista.rect(e) : { x: 0, y: 0, w: mesa.ancho, h: editor.altoDe(mesa) };
    lienzo.mostrar({ x: mesa.x + r.x, y: mesa.y + r.y, w: Math.max(r.w, 200), h: Math.max(r.h, 120) });
  },
  mesaVisible: () => lienzo.mesaVisible(),
  alMostrarMesa: (mesa) => lienzo.mostrar({ x: mesa.x, y: mesa.y, w: mesa.ancho, h: editor.altoDe(mesa) }),
  antesDeCambiar: () => disenoIA.quitarVistaPrevia(),
  despuesDeCambiar: () => disenoIA.reponerVistaPrevia(),
  // A mesa grew or shrank: effects that wait for the scroll may now be in view.
  alMedir: () => lienzo.programarRevelado(),
};
editor.alCambiar(() => lienzo.programarRevelado());
editor.alCambiar(() => {
  const boton = $("chat-disenar");
  const texto = editor.seleccion ? "Cambiar con IA" : "Mesa con IA";
  if (boton.textContent === texto) return;
  boton.textContent = texto;
  boton.title = editor.seleccion ? "La IA cambia lo que tienes seleccionado, de una vez, sin agente"
    : "La IA escribe una mesa nueva de una vez, sin agente";
});

const esperas = new Map();
let siguienteReq = 1;
let enSegundoPlano = false;

// Answers that may never come are given up after a while.
function esperarRespuesta(alLlegar, limite, alCaducar) {
  const req = siguienteReq++;
  const temporizador = setTimeout(() => {
    esperas.delete(req);
    if (alCaducar) alCaducar();
  }, limite);
  esperas.set(req, (dato) => {
    clearTimeout(temporizador);
    esperas.delete(req);
    alLlegar(dato);
  });
  return req;
}

function responder(dato) {
  if (!esObjeto(dato) || typeof dato.req !== "number") return;
  const fn = esperas.get(dato.req);
  if (fn) fn(dato);
}

function ponerRecurso(recurso, deshacible = false) {
  if (!esObjeto(recurso) || typeof recurso.nombre !== "string" || !recurso.nombre || typeof recurso.src !== "string") return false;
  const poner = () => {
    const lista = editor.doc.recursos;
    const i = lista.findIndex((r) => r.nombre === recurso.nombre);
    if (i >= 0) lista[i] = { nombre: recurso.nombre, src: recurso.src };
    else lista.push({ nombre: recurso.nombre, src: recurso.src });
  };
  if (deshacible) editor.cambiar(poner);
  else editor.cambiarSinDeshacer(poner);
  return true;
}

// Picks an image file (native panel) for the selected <img>.
export function elegirImagenPara(mesaId, lid) {
  const req = esperarRespuesta((dato) => {
    if (dato.cancelado || typeof dato.src !== "string") return;
    const nombre = (typeof dato.nombre === "string" && dato.nombre ? dato.nombre : `imagen-${dato.req}`).replace(/\.[^.]+$/, "").replace(/[^\w-]+/g, "-").slice(0, 40) || `imagen-${dato.req}`;
    editor.cambiar(() => {
      const lista = editor.doc.recursos;
      const i = lista.findIndex((r) => r.nombre === nombre);
      if (i >= 0) lista[i] = { nombre, src: dato.src };
      else lista.push({ nombre, src: dato.src });
      const vista = editor.vista(mesaId);
      const img = vista && vista.elemento(lid);
      if (img) {
        img.removeAttribute("data-tv-src");
        img.setAttribute("src", `recurso:${nombre}`);
        editor.tocar(mesaId);
      }
    });
  }, 300000);
  enviar({ tipo: "elegirImagen", req });
}
paneles.elegirImagen = elegirImagenPara;
paneles.exportarVideo = (mesa) => exportarVideo(mesa);

function duracionVideo(mesa) {
  let fin = 0;
  for (const a of mesa.animaciones) fin = Math.max(fin, a.retraso + (a.tipo === "kenburns" || a.tipo === "flotar" || a.tipo === "latir" ? 0 : a.duracion));
  return Math.min(20000, Math.max(3000, fin + 1000));
}

function exportarVideo(elegida) {
  const mesa = elegida || paneles.mesaElegida();
  if (!mesa) return false;
  editor.vaciarCambio();
  enviar({ tipo: "exportarVideo", html: editor.fragmento(mesa, "video"), w: mesa.ancho, h: Math.min(editor.altoDe(mesa), mesa.auto ? mesa.alto : editor.altoDe(mesa)),
    duracionMs: duracionVideo(mesa), fps: 30, nombre: mesa.nombre || "animacion" });
  return true;
}

// The notice that shows the Figma import's current step.
let avisoFigma = null;

window.tarvel = {
  cargar(dato) {
    if (!esObjeto(dato)) return;
    lienzo.terminarEdicion();
    const { ilegible } = editor.cargar(dato.doc ?? null, dato.nombre, dato.plantilla);
    editor.fuentes = Array.isArray(dato.fuentes) ? dato.fuentes : [];
    editor.integraciones = Array.isArray(dato.integraciones) ? dato.integraciones : [];
    if (editor.fuentes.length) editor.renderizar();
    chat.cargar(dato);
    lienzo.tocada = false;
    lienzo.ajustar();
    paneles.pintar();
    if (ilegible) avisar("No he podido leer este diseño: empiezo uno en blanco y guardo lo anterior dentro, sin tocarlo.", true);
  },
  trabajos: (lista) => paneles.ponerTrabajos(lista),
  estado: (dato) => paneles.estado(dato),
  exportarCancelado() {
    paneles.soltar("exportar");
  },
  aviso(dato) {
    if (!esObjeto(dato) || typeof dato.texto !== "string") return;
    paneles.soltar("exportar");
    avisar(dato.texto);
  },
  app(dato) {
    if (!esObjeto(dato)) return;
    editor.app = { ...(editor.app || {}), ...dato };
    if (typeof dato.error === "string") avisar(dato.error, true);
    panelApp.recibir();
    panelEjecucion.recibir(dato);
    panelDespliegue.recibir(dato);
  },
  publicado: (dato) => paneles.publicado(dato),
  publicadoHosting(dato) {
    if (esObjeto(dato) && typeof dato.error === "string") {
      paneles.soltar("publicar");
      avisar(dato.error, true);
      return;
    }
    paneles.publicado(dato);
  },
  dominios(dato) {
    if (esObjeto(dato) && typeof dato.error === "string") avisar(dato.error, true);
    editor.dominios = dato;
    paneles.mostrarDominios(dato);
  },
  pack(dato) {
    if (!esObjeto(dato)) return;
    if (typeof dato.error === "string") avisar(dato.error, true);
    else if (dato.abierto) avisar(`He abierto la tienda para contratar ${dato.dominio || "el dominio"} con el hosting.`);
  },
  destinos(dato) {
    if (esObjeto(dato)) paneles.destinos = dato;
  },
  vps(dato) {
    if (!esObjeto(dato)) return;
    // One notice per publication: each phase replaces the one before.
    if (paneles.avisoVPS) paneles.avisoVPS.remove();
    paneles.avisoVPS = null;
    if (dato.estado === "acceso") paneles.avisoVPS = avisar("Preparando el acceso a tu VPS…");
    else if (dato.estado === "pidePass") paneles.pedirPassVPS();
    else if (dato.estado === "error" || dato.estado === "trabajando") paneles.avisoVPS = avisar(String(dato.texto || ""), dato.estado === "error");
    else if (dato.estado === "hecho") paneles.avisoVPS = avisar(`Web publicada en tu VPS${dato.url ? ": " + dato.url : "."}`, false,
      dato.url ? { texto: "Abrir", hacer: () => enviar({ tipo: "enlace", url: dato.url }) } : null);
  },
  vpsPublicado(dato) {
    if (esObjeto(dato)) editor.vpsPublicado = dato;
  },
  anadirRecursoAdjunto(recurso) {
    if (ponerRecurso(recurso)) chat.adjuntar(recurso);
  },
  pedir: (dato) => chat.pedir(dato),
  forzarCambio() {
    if (editor.doc) editor.enviarCambio();
  },
  // Native code is about to quit or close the editor: a text being typed
  // ends, and the change not yet handed over is returned.
  entregarCambio() {
    if (!editor.doc) return null;
    lienzo.terminarEdicion();
    return editor.tomarCambio();
  },
  probarVideo() {
    exportarVideo();
  },
  segundoPlano(dato) {
    enSegundoPlano = esObjeto(dato) && dato.si === true;
    document.body.classList.toggle("segundo-plano", enSegundoPlano);
  },
  video(dato) {
    if (!esObjeto(dato)) return;
    editor.video = dato;
    if ((dato.estado === "error" || dato.estado === "aviso") && typeof dato.texto === "string") avisar(dato.texto, dato.estado === "error");
  },
  chat: (mensaje) => chat.recibir(mensaje),
  escenasCambiadas() {
    const marca = Date.now();
    for (const v of editor.vistas.values()) {
      for (const video of v.body.querySelectorAll("video[data-tv-src^='escenas/'], video[data-tv-poster^='escenas/']")) {
        for (const atributo of ["src", "poster"]) {
          const original = video.getAttribute(`data-tv-${atributo}`);
          if (original && original.startsWith("escenas/")) video.setAttribute(atributo, `escena://local/${original.slice(8)}?v=${marca}`);
        }
        video.load();
      }
    }
  },
  agenteExterno: (dato) => paneles.agenteExterno(dato),
  anadirRecurso(recurso) {
    ponerRecurso(recurso);
  },
  imagenGenerada: responder,
  fotoMesa: responder,
  respuestaIA: (dato) => disenoIA.respuesta(dato),
  iaProgreso: (dato) => disenoIA.progreso(dato),
  iaParcial: (dato) => disenoIA.parcial(dato),
  ias: (lista) => chat.ponerIAs(lista),
  elegirIA: (dato) => chat.elegirIA(dato),
  imagenElegida: responder,
  progresoVideo(dato) {
    if (!esObjeto(dato)) return;
    if (typeof dato.fraccion === "number") {
      // A long recording keeps its reservation while it reports progress.
      if (paneles.ocupado.video) paneles.ocupado.video = Date.now();
      $("exportar-boton").textContent = `Vídeo ${Math.round(Math.min(1, Math.max(0, dato.fraccion)) * 100)} %`;
      return;
    }
    $("exportar-boton").textContent = "Exportar";
    paneles.soltar("video");
    if (dato.cancelado === true) return;
    if (typeof dato.error === "string") avisar(dato.error, true);
    else if (dato.hecho) avisar(`Vídeo guardado${typeof dato.ruta === "string" ? " en " + dato.ruta : ""}.`);
  },
  figma(dato) {
    if (!esObjeto(dato)) return;
    // One notice for the import's progress: each step replaces the last.
    avisoFigma?.remove();
    avisoFigma = null;
    if (typeof dato.error === "string") avisar(dato.error, true);
    else if (typeof dato.progreso === "string") avisoFigma = avisar(dato.progreso);
    else if (Array.isArray(dato.marcos) && dato.marcos.length) {
      const nuevas = [];
      editor.cambiar(() => {
        const pagina = editor.pagina();
        let x = pagina.mesas.reduce((d, m) => Math.max(d, m.x + m.ancho + 120), 0);
        for (const marco of dato.marcos) {
          if (!esObjeto(marco) || typeof marco.html !== "string") continue;
          const mesa = crearMesa(editor.doc, { nombre: typeof marco.nombre === "string" && marco.nombre ? marco.nombre : "Marco de Figma", ancho: typeof marco.w === "number" ? marco.w : 1440, alto: typeof marco.h === "number" ? marco.h : 900, auto: false, x, y: 0 });
          mesa.html = marco.html;
          pagina.mesas.push(mesa);
          nuevas.push(mesa);
          x += mesa.ancho + 120;
        }
        fijarPortada(pagina);
      });
      // The imported mesas come into view, to the right of the others.
      if (nuevas.length) {
        const desde = nuevas[0].x;
        const ultima = nuevas[nuevas.length - 1];
        lienzo.mostrar({ x: desde, y: 0, w: ultima.x + ultima.ancho - desde, h: Math.max(...nuevas.map((m) => editor.altoDe(m))) });
      }
      avisar(`Importados ${dato.marcos.length} marcos de Figma.`);
    }
  },
  fuentes(lista) {
    editor.fuentes = Array.isArray(lista) ? lista : [];
    if (editor.doc) editor.renderizar();
  },
  integraciones(lista) {
    editor.integraciones = Array.isArray(lista) ? lista : [];
  },
  herramienta(nombre, args) {
    return ejecutar(editor, nombre, args);
  },
};

// ---- keyboard ----

function escribiendo(objetivo) {
  return objetivo instanceof HTMLElement && (objetivo.isContentEditable || /^(input|textarea|select)$/i.test(objetivo.tagName));
}

document.addEventListener("keydown", (e) => {
  if (e.key === " " && !escribiendo(e.target)) {
    lienzo.espacio = true;
    $("lienzo").classList.add("mano");
    e.preventDefault();
    return;
  }
  if (escribiendo(e.target) || !editor.doc) return;
  const ctrl = e.ctrlKey || e.metaKey;
  const tecla = e.key.toLowerCase();
  if (ctrl && tecla === "z") {
    e.preventDefault();
    if (e.shiftKey) editor.rehacer();
    else editor.deshacer();
  } else if (ctrl && tecla === "y") {
    e.preventDefault();
    editor.rehacer();
  } else if (ctrl && tecla === "d") {
    e.preventDefault();
    paneles.duplicarSeleccion();
  } else if (ctrl && (tecla === "+" || tecla === "=")) {
    e.preventDefault();
    lienzo.zoomEn(1.25);
  } else if (ctrl && tecla === "-") {
    e.preventDefault();
    lienzo.zoomEn(1 / 1.25);
  } else if (ctrl && tecla === "0") {
    e.preventDefault();
    lienzo.zoomA(1);
  } else if (e.shiftKey && e.code === "Digit1") {
    lienzo.tocada = false;
    lienzo.ajustar();
  } else if (e.key === "Delete" || e.key === "Backspace") {
    if (editor.seleccion) {
      e.preventDefault();
      paneles.borrarSeleccion();
    }
  } else if (e.key === "Escape") {
    if (editor.zona) {
      editor.zona = null;
      editor.actualizarMarcas();
      editor.avisar();
    } else editor.seleccionar(null);
    paneles.ponerModo("seleccionar");
  } else if (!ctrl && !e.altKey) {
    const modos = { v: "seleccionar", r: "zona", h: "mano" };
    if (modos[tecla]) paneles.ponerModo(modos[tecla]);
  }
});

document.addEventListener("keyup", (e) => {
  if (e.key === " ") {
    lienzo.espacio = false;
    $("lienzo").classList.remove("mano");
  }
});

paneles.pestana("chat");
paneles.ponerModo("seleccionar");
enviar({ tipo: "listo" });
