// The bridge into the video studio's player page. The editor's web view
// injects this into every frame; it acts only in the player frame: served
// over HTTP from 127.0.0.1 and a direct child of the editor page (the
// composition nested inside the player is left alone). The editor page
// drives the player with window messages {hfOrden, ...} and hears back
// through messages marked hf: 1. Commands may call the functions below
// (window.__movs and the rest), which read and change the composition
// inside the player's own iframe.
"use strict";

(() => {
  if (location.protocol !== "http:" || location.hostname !== "127.0.0.1") return;
  if (window === window.top || window.parent !== window.top) return;

  const estilo = document.createElement("style");
  estilo.textContent =
    "html,body{background:transparent!important;padding:0!important;margin:0!important;overflow:hidden!important}" +
    "body{display:block!important}.info{display:none!important}" +
    ".player-wrap{max-width:none!important;width:100vw!important;height:100vh!important;aspect-ratio:auto!important;" +
    "border-radius:0!important;box-shadow:none!important}";
  (document.head || document.documentElement).appendChild(estilo);

  const publicar = (mensaje) => {
    try {
      window.parent.postMessage(Object.assign({ hf: 1 }, mensaje), "*");
    } catch (_) {
      // The editor page may be gone or busy reloading; nothing to tell.
    }
  };

  const numero = (v) => {
    const n = Number(v);
    return Number.isFinite(n) ? n : 0;
  };
  const llamarNumero = (objeto, metodo) =>
    objeto && typeof objeto[metodo] === "function" ? numero(objeto[metodo]()) : 0;

  let hp = null;

  // --- The composition inside the player -------------------------------------

  const marcoInterno = () => {
    if (!hp) return null;
    return (hp.shadowRoot && hp.shadowRoot.querySelector("iframe")) || hp.querySelector("iframe");
  };

  // The composition's window, when its document can be read from here.
  const composicion = () => {
    const marco = marcoInterno();
    try {
      return marco && marco.contentWindow && marco.contentWindow.document ? marco.contentWindow : null;
    } catch (_) {
      return null;
    }
  };

  // Where the composition sits in this frame: page points are composition
  // coordinates times the iframe's displayed scale, offset by its position.
  const lienzo = () => {
    const marco = marcoInterno();
    const cw = composicion();
    if (!marco || !cw) return null;
    const caja = marco.getBoundingClientRect();
    const escala = marco.offsetWidth ? caja.width / marco.offsetWidth : 1;
    return {
      cw,
      doc: cw.document,
      escala,
      x: caja.left + marco.clientLeft * escala,
      y: caja.top + marco.clientTop * escala,
    };
  };
  const aPagina = (l, x, y, w, h) =>
    ({ x: l.x + x * l.escala, y: l.y + y * l.escala, w: w * l.escala, h: h * l.escala });

  const tamano = () => {
    const cw = composicion();
    const raiz = cw && cw.document.querySelector("[data-composition-id]");
    return {
      w: raiz ? numero(raiz.getAttribute("data-width")) : 0,
      h: raiz ? numero(raiz.getAttribute("data-height")) : 0,
    };
  };

  const estado = (k) =>
    Object.assign({ k, t: numero(hp.currentTime), d: numero(hp.duration), paused: Boolean(hp.paused) }, tamano());

  const etiquetas = () => {
    const r = {};
    const cw = composicion();
    if (!cw) return r;
    for (const el of cw.document.querySelectorAll("[id][data-label]")) {
      if (el.id) r[el.id] = el.getAttribute("data-label");
    }
    return r;
  };

  // --- Player events ----------------------------------------------------------

  let ultimoTiempo = -Infinity;
  let listoVisto = false;

  // Players may report ready again; the editor page is told once.
  const alListo = () => {
    if (listoVisto) return;
    listoVisto = true;
    let reloj = 0;
    const mirar = () => {
      const marco = marcoInterno();
      if (!marco || !marco.contentWindow) return false;
      clearInterval(reloj);
      publicar(Object.assign(estado("ready"), { labels: etiquetas() }));
      return true;
    };
    if (!mirar()) reloj = setInterval(mirar, 120);
  };

  const escuchar = (reproductor) => {
    reproductor.addEventListener("timeupdate", () => {
      // Players report time far more often than the editor can redraw.
      const ahora = performance.now();
      if (ahora - ultimoTiempo < 50) return;
      ultimoTiempo = ahora;
      publicar(estado("t"));
    });
    for (const k of ["play", "pause", "ended"]) reproductor.addEventListener(k, () => publicar(estado(k)));
    reproductor.addEventListener("ready", alListo);
  };

  const buscarReproductor = () => {
    const encontrado = document.querySelector("hyperframes-player");
    if (!encontrado) {
      setTimeout(buscarReproductor, 60);
      return;
    }
    encontrado.removeAttribute("controls");
    hp = encontrado;
    window.__hp = encontrado;
    escuchar(encontrado);
  };

  // --- Commands from the editor page -----------------------------------------

  const sinRechazo = (resultado) => {
    if (resultado && typeof resultado.catch === "function") resultado.catch(() => {});
  };

  // Undefined, functions and cycles all come out as null.
  const porJSON = (valor) => {
    try {
      return JSON.parse(JSON.stringify(valor) ?? "null");
    } catch (_) {
      return null;
    }
  };

  const textoDeError = (error) =>
    String(error !== null && typeof error === "object" && "message" in error ? error.message : error);

  const llamar = (orden) => {
    const respuesta = { k: "resp", id: orden.id, valor: null, error: null };
    const funcion = typeof orden.fn === "string" ? window[orden.fn] : undefined;
    if (typeof funcion !== "function") return respuesta;
    try {
      respuesta.valor = porJSON(funcion.apply(window, Array.isArray(orden.args) ? orden.args : []));
    } catch (error) {
      respuesta.error = textoDeError(error);
    }
    return respuesta;
  };

  const ordenes = new Map([
    ["play", () => sinRechazo(hp.play())],
    ["pause", () => sinRechazo(hp.pause())],
    ["alternar", () => sinRechazo(hp.paused ? hp.play() : hp.pause())],
    ["ir", (orden) => {
      hp.currentTime = typeof orden.t === "number" && Number.isFinite(orden.t) ? orden.t : 0;
      publicar(estado("t"));
    }],
    ["bucle", (orden) => { hp.loop = Boolean(orden.v); }],
    ["llamar", (orden) => publicar(llamar(orden))],
  ]);

  window.addEventListener("message", (evento) => {
    // Only the editor page gives orders; the composition below may post too.
    if (!hp || evento.source !== window.parent) return;
    const orden = evento.data;
    if (orden === null || typeof orden !== "object" || orden.hfOrden === undefined) return;
    const hacer = ordenes.get(orden.hfOrden);
    if (hacer) hacer(orden);
  });

  // --- Movements: the tweens of the composition's timelines ------------------

  const excluidas = new Set([
    "duration", "overwrite", "delay", "repeat", "immediateRender", "ease", "onComplete", "onUpdate", "onStart",
    "stagger", "yoyo", "runBackwards", "startAt", "data", "id", "callbackScope", "lazy", "parent", "repeatDelay",
    "inherit", "paused", "reversed", "keyframes",
  ]);

  const propiedadesSimples = (vars) =>
    Object.keys(vars || {})
      .filter((clave) => !excluidas.has(clave) && ["number", "string"].includes(typeof vars[clave]))
      .map((clave) => [clave, vars[clave]]);

  const etiqueta = (el) => {
    if (!el || el.nodeType !== 1) return "?";
    const propia = el.getAttribute("data-label");
    if (propia) return propia;
    if (el.id) return "#" + el.id;
    if (el.classList.length) return "." + el.classList[0];
    return el.tagName.toLowerCase();
  };

  const objetivos = (tween) => (typeof tween.targets === "function" ? Array.from(tween.targets() || []) : []);
  const esNodo = (objetivo) =>
    objetivo !== null && typeof objetivo === "object" && typeof objetivo.nodeType === "number";

  // The registered timelines that no other registered one contains: their
  // time is the composition's time.
  const principales = (lineas) => {
    const todas = new Set(lineas);
    return new Set(lineas.filter((linea) => {
      for (let p = linea.parent; p; p = p.parent) if (todas.has(p)) return false;
      return true;
    }));
  };

  const inicioAbsoluto = (tween, raices) => {
    let inicio = llamarNumero(tween, "startTime");
    for (let p = tween.parent; p && !raices.has(p) && p.parent; p = p.parent) {
      inicio = llamarNumero(p, "startTime") + inicio / (llamarNumero(p, "timeScale") || 1);
    }
    return inicio;
  };

  const lineasDe = (cw) => {
    const registradas = cw && cw.__timelines;
    if (!registradas || typeof registradas !== "object") return [];
    return Object.values(registradas).filter((linea) => linea && typeof linea.getChildren === "function");
  };

  const movimiento = (i) => (Number.isInteger(i) && Array.isArray(window.__tw) ? window.__tw[i] : undefined) || null;

  const describir = (tween, raices) => {
    const lista = objetivos(tween);
    const mas = lista.length - 1;
    const ease = tween.vars ? tween.vars.ease : undefined;
    return {
      i: window.__tw.length,
      el: etiqueta(lista[0]) + (mas > 0 ? " (+" + mas + ")" : ""),
      s: inicioAbsoluto(tween, raices),
      d: llamarNumero(tween, "duration"),
      ease: ease === undefined || ease === null ? "" : String(ease),
      props: propiedadesSimples(tween.vars),
    };
  };

  window.__movs = () => {
    window.__tw = [];
    const lineas = lineasDe(composicion());
    const raices = principales(lineas);
    const vistos = new Set();
    const lista = [];
    for (const linea of lineas) {
      for (const tween of linea.getChildren(true, true, false) || []) {
        if (vistos.has(tween)) continue;
        vistos.add(tween);
        if (llamarNumero(tween, "duration") < 0.05) continue;
        if (!esNodo(objetivos(tween)[0])) continue;
        if (propiedadesSimples(tween.vars).length === 0) continue;
        lista.push(describir(tween, raices));
        window.__tw.push(tween);
      }
    }
    return lista;
  };

  window.__editMov = (i, c) => {
    const tween = movimiento(i);
    if (!tween) return false;
    const cambio = c !== null && typeof c === "object" ? c : {};
    if (typeof cambio.ds === "number" && Number.isFinite(cambio.ds)) {
      tween.startTime(llamarNumero(tween, "startTime") + cambio.ds);
    }
    if (typeof cambio.d === "number" && Number.isFinite(cambio.d)) tween.duration(cambio.d);
    if (!tween.vars) tween.vars = {};
    if (typeof cambio.ease === "string") tween.vars.ease = cambio.ease;
    if (cambio.vars !== null && typeof cambio.vars === "object") Object.assign(tween.vars, cambio.vars);
    tween.invalidate();
    // Seeking to where the player stands redraws the changed tween.
    if (hp) hp.currentTime = numero(hp.currentTime);
    return true;
  };

  // --- Selection: the text element under a point -----------------------------

  const textosPropios = (el) =>
    Array.from(el.childNodes).filter((nodo) => nodo.nodeType === 3 && nodo.nodeValue.trim() !== "");

  const selector = (el) => {
    let s = el.tagName.toLowerCase();
    if (el.id) s += "#" + el.id;
    if (el.hasAttribute("data-hf-id")) return s + '[data-hf-id="' + el.getAttribute("data-hf-id") + '"]';
    for (const clase of Array.from(el.classList).slice(0, 3)) s += "." + clase;
    return s;
  };

  const textoDe = (el) => {
    const crudo = el.children.length === 0 ? el.textContent : textosPropios(el).map((n) => n.nodeValue).join(" ");
    return crudo.replace(/\s+/g, " ").trim().slice(0, 300);
  };

  const hex = (color) => {
    const partes = /^rgba?\(\s*([\d.]+)[\s,]+([\d.]+)[\s,]+([\d.]+)/.exec(color || "");
    if (!partes) return "";
    return partes.slice(1, 4)
      .map((canal) => Math.max(0, Math.min(255, Math.round(Number(canal)))).toString(16).padStart(2, "0"))
      .join("")
      .toUpperCase();
  };

  const seleccionada = () => {
    const el = window.__selEl;
    return el && el.nodeType === 1 && el.isConnected ? el : null;
  };

  window.__sel = (x, y) => {
    const l = lienzo();
    if (!l) return {};
    const golpe = l.doc.elementFromPoint((numero(x) - l.x) / l.escala, (numero(y) - l.y) / l.escala);
    if (!golpe) return {};
    let el = golpe;
    for (let a = golpe; a && a.nodeType === 1 && a !== l.doc.body; a = a.parentElement) {
      if (textosPropios(a).length) {
        el = a;
        break;
      }
    }
    window.__selEl = el;
    const escena = el.closest("[data-label]");
    const caja = el.getBoundingClientRect();
    const computado = l.cw.getComputedStyle(el);
    return Object.assign(
      { el: selector(el), escena: escena ? escena.getAttribute("data-label") : "", texto: textoDe(el) },
      aPagina(l, caja.left, caja.top, caja.width, caja.height),
      {
        tamano: String(Math.round(parseFloat(computado.fontSize) || 0)),
        peso: String(computado.fontWeight),
        color: hex(computado.color),
      });
  };

  window.__setEstilo = (c) => {
    const el = seleccionada();
    if (!el || c === null || typeof c !== "object" || Object.keys(c).length === 0) return false;
    for (const [clave, valor] of Object.entries(c)) {
      const texto = valor === null || valor === undefined ? "" : String(valor);
      if (clave.includes("-")) el.style.setProperty(clave, texto);
      else el.style[clave] = texto;
    }
    return true;
  };

  window.__setTexto = (t) => {
    const el = seleccionada();
    if (!el) return false;
    const texto = t === null || t === undefined ? "" : String(t);
    if (el.children.length === 0) {
      el.textContent = texto;
      return true;
    }
    const nodo = textosPropios(el)[0];
    if (!nodo) return false;
    nodo.nodeValue = texto;
    return true;
  };

  // --- Camera framing ----------------------------------------------------------

  // A translate-and-scale transform as its scale and translation.
  const transformacion = (valor) => {
    const m = /^matrix(3d)?\(([^)]*)\)/.exec(valor || "");
    if (!m) return { s: 1, x: 0, y: 0 };
    const n = m[2].split(",").map(Number);
    return m[1] ? { s: n[0], x: n[12], y: n[13] } : { s: n[0], x: n[4], y: n[5] };
  };

  const elementoDe = (tween) => {
    const primero = tween ? objetivos(tween)[0] : null;
    return primero && primero.nodeType === 1 ? primero : null;
  };

  const video = (doc) => doc.querySelector("[data-composition-id]") || doc.documentElement;

  window.__encuadre = (i) => {
    const el = elementoDe(movimiento(i));
    const l = lienzo();
    if (!el || !l) return null;
    const computado = l.cw.getComputedStyle(el);
    const { s, x, y } = transformacion(computado.transform);
    if (!(s > 0)) return null;
    const [ox, oy] = computado.transformOrigin.split(" ").map((v) => parseFloat(v) || 0);
    // Undo the transform about its origin: box = origin + s·(layout − origin) + t.
    const ahora = el.getBoundingClientRect();
    const caja = {
      x: ahora.left - ox * (1 - s) - x, y: ahora.top - oy * (1 - s) - y, w: ahora.width / s, h: ahora.height / s,
    };
    const r = video(l.doc).getBoundingClientRect();
    const v = { x: r.left, y: r.top, w: r.width, h: r.height };
    const k = Math.min(v.w / caja.w, v.h / caja.h, 1) * 0.92;
    const ajustada = { x: v.x + (v.w - k * caja.w) / 2, y: v.y + (v.h - k * caja.h) / 2, w: k * caja.w, h: k * caja.h };
    el.style.transform =
      "translate(" + (ajustada.x - caja.x - ox * (1 - k)) + "px, " + (ajustada.y - caja.y - oy * (1 - k)) + "px) " +
      "scale(" + k + ")";
    window.__enc = { caja, ox, oy, k, v, ajustada };
    // What the video showed: its rectangle in the element's own units under
    // the old transform, drawn over the fitted element.
    const propio = (borde, t, inicio, origen) => (borde - t - inicio - origen) / s + origen;
    const vista = aPagina(l,
      ajustada.x + k * propio(v.x, x, caja.x, ox), ajustada.y + k * propio(v.y, y, caja.y, oy),
      k * v.w / s, k * v.h / s);
    const encajada = aPagina(l, ajustada.x, ajustada.y, ajustada.w, ajustada.h);
    return {
      vx: encajada.x, vy: encajada.y, vw: encajada.w, vh: encajada.h,
      rx: vista.x, ry: vista.y, rw: vista.w, rh: vista.h,
    };
  };

  window.__encuadreValores = (rx, ry, rw, rh) => {
    const e = window.__enc;
    const l = lienzo();
    if (!e || !l) return null;
    // From page points to the element's own units.
    const p = {
      x: ((numero(rx) - l.x) / l.escala - e.ajustada.x) / e.k,
      y: ((numero(ry) - l.y) / l.escala - e.ajustada.y) / e.k,
      w: numero(rw) / l.escala / e.k,
      h: numero(rh) / l.escala / e.k,
    };
    if (!(p.w > 0 && p.h > 0)) return null;
    const escala = Math.min(e.v.w / p.w, e.v.h / p.h);
    // The rectangle's centre lands on the video's centre.
    const x = e.v.x + e.v.w / 2 - e.caja.x - e.ox - escala * (p.x + p.w / 2 - e.ox);
    const y = e.v.y + e.v.h / 2 - e.caja.y - e.oy - escala * (p.y + p.h / 2 - e.oy);
    return { scale: Math.round(escala * 1000) / 1000, x: Math.round(x * 10) / 10, y: Math.round(y * 10) / 10 };
  };

  window.__destino = (i) => {
    const tween = movimiento(i);
    const el = elementoDe(tween);
    const l = lienzo();
    if (!el || !l) return null;
    const padre = el.parentElement;
    const proporcion = padre && padre.offsetWidth ? padre.getBoundingClientRect().width / padre.offsetWidth : 1;
    const f = l.escala * proporcion;
    const actual = transformacion(l.cw.getComputedStyle(el).transform);
    const vars = tween.vars || {};
    const recorrido = (fin, desde) => {
      const n = typeof fin === "number" ? fin : parseFloat(fin);
      return Number.isFinite(n) ? n - desde : 0;
    };
    const caja = el.getBoundingClientRect();
    const centro = aPagina(l, caja.left + caja.width / 2, caja.top + caja.height / 2, 0, 0);
    return { x: centro.x + recorrido(vars.x, actual.x) * f, y: centro.y + recorrido(vars.y, actual.y) * f, f };
  };

  buscarReproductor();
})();
