// The editor's panels around the canvas: the top bar (name, save state,
// undo, jobs, export and publish), the pages and mesas on the left, the
// design panel of the selection on the right.

import { avisar } from "../comun/avisos.js";
import { abrirDialogo } from "../comun/dialogo.js";
import { AgenteExterno } from "./agente_externo.js";
import { NOMBRES, TIPOS, normalizarAnimacion } from "./animaciones.js";
import { crearMesa, crearPagina, fijarPortada } from "./documento.js";
import { ejecutar } from "./herramientas.js";
import { $, el, enviar, recortar, vaciar } from "./utiles.js";

const ESPERA_RESPUESTA = 60000;

// The page's notices are the shared ones; principal.js takes them from here.
export { avisar };

// A small menu under a button; closes on any outside press.
export function menu(boton, caja, llenar) {
  boton.addEventListener("click", (e) => {
    e.stopPropagation();
    const abrir = caja.hidden;
    for (const otro of document.querySelectorAll(".desplegable")) otro.hidden = true;
    if (abrir) {
      llenar(vaciar(caja));
      caja.hidden = false;
    }
  });
  document.addEventListener("pointerdown", (e) => {
    if (!caja.hidden && !caja.contains(e.target) && e.target !== boton && !boton.contains(e.target)) caja.hidden = true;
  });
}

export function opcion(texto, detalle, hacer, desactivada = false) {
  return el("button", { type: "button", class: "opcion", disabled: desactivada, onclick: (e) => {
    e.currentTarget.closest(".desplegable").hidden = true;
    hacer();
  } }, el("span", { texto }), detalle ? el("small", { texto: detalle }) : null);
}

// ---------------------------------------------------------------- panels

export class Paneles {
  constructor(editor, lienzo, chat) {
    this.editor = editor;
    this.lienzo = lienzo;
    this.chat = chat;
    this.ocupado = {};
    this.destinos = null;
    this.previa = null;
    this.trabajos = [];
    this.claveSeleccion = "";
    this.externo = new AgenteExterno(editor, () => this.pintar());

    $("volver").addEventListener("click", () => this.salir());
    $("nombre").addEventListener("click", () => this.editarNombre());
    $("deshacer").addEventListener("click", () => editor.deshacer());
    $("rehacer").addEventListener("click", () => editor.rehacer());
    $("zoom-menos").addEventListener("click", () => lienzo.zoomEn(1 / 1.25));
    $("zoom-mas").addEventListener("click", () => lienzo.zoomEn(1.25));
    $("zoom-valor").addEventListener("click", () => lienzo.zoomA(1));
    $("zoom-ajustar").addEventListener("click", () => { lienzo.tocada = false; lienzo.ajustar(); });
    for (const boton of document.querySelectorAll("[data-modo]")) {
      boton.addEventListener("click", () => this.ponerModo(boton.dataset.modo));
    }
    $("reproducir").addEventListener("click", () => this.reproducir());
    $("oscuro").addEventListener("click", () => {
      editor.oscuro = !editor.oscuro;
      $("oscuro").setAttribute("aria-pressed", String(editor.oscuro));
      editor.renderizar();
    });
    $("pagina-nueva").addEventListener("click", () => this.nuevaPagina());
    for (const boton of document.querySelectorAll("[data-pestana]")) {
      boton.addEventListener("click", () => this.pestana(boton.dataset.pestana));
    }
    $("agentes-conectar").addEventListener("click", () => { $("tarjeta-agentes").hidden = true; enviar({ tipo: "conectarAgentes" }); });
    $("agentes-luego").addEventListener("click", () => { $("tarjeta-agentes").hidden = true; enviar({ tipo: "agentesVisto" }); });

    menu($("mesa-nueva"), $("mesa-nueva-menu"), (caja) => this.llenarMesasNuevas(caja));
    menu($("exportar-boton"), $("exportar-menu"), (caja) => this.llenarExportar(caja));
    menu($("publicar-boton"), $("publicar-menu"), (caja) => this.llenarPublicar(caja));
    menu($("trabajos-boton"), $("trabajos-menu"), (caja) => this.llenarTrabajos(caja));

    editor.alCambiar(() => this.pintar());
    this.pintar();
  }

  // ---- top bar ----

  salir() {
    this.lienzo.terminarEdicion();
    this.editor.vaciarCambio();
    this.chat.vaciarGuardado();
    enviar({ tipo: "salir" });
  }

  editarNombre() {
    const boton = $("nombre");
    const entrada = el("input", { class: "nombre-entrada", value: this.editor.nombre, maxlength: "80", "aria-label": "Nombre del diseño" });
    let hecho = false;
    const terminar = (guardar) => {
      if (hecho) return;
      hecho = true;
      const valor = entrada.value.trim();
      entrada.replaceWith(boton);
      if (guardar && valor && valor !== this.editor.nombre) this.editor.renombrar(valor, true);
    };
    entrada.addEventListener("keydown", (e) => {
      if (e.key === "Enter") terminar(true);
      if (e.key === "Escape") terminar(false);
    });
    entrada.addEventListener("blur", () => terminar(true));
    boton.replaceWith(entrada);
    entrada.focus();
    entrada.select();
  }

  estado(dato) {
    if (!dato || typeof dato !== "object") return;
    const caja = $("guardado");
    if (typeof dato.guardado === "string") caja.textContent = dato.guardado;
    caja.classList.toggle("error", dato.error === true);
    caja.classList.toggle("hecho", dato.guardado === "guardado");
    if (typeof dato.nombre === "string" && dato.nombre) {
      this.editor.nombre = dato.nombre;
      this.pintar();
    }
  }

  agenteExterno(dato) {
    this.externo.llamada(dato);
  }

  ponerTrabajos(lista) {
    this.trabajos = Array.isArray(lista) ? lista.filter((t) => t && typeof t === "object") : [];
    this.pintar();
    if (!$("trabajos-menu").hidden) this.llenarTrabajos(vaciar($("trabajos-menu")));
  }

  llenarTrabajos(caja) {
    if (!this.trabajos.length) {
      caja.append(el("p", { class: "nada", texto: "No hay ninguna IA trabajando." }));
      return;
    }
    const estados = { trabajando: "Trabajando", listo: "Terminado", pregunta: "Te pregunta algo", parado: "Parado", error: "Con error" };
    for (const t of this.trabajos) {
      const acciones = el("div", { class: "trabajo-acciones" });
      if (t.abrible && !t.aqui) acciones.append(el("button", { type: "button", onclick: () => enviar({ tipo: "abrirTrabajo", clave: t.clave }) }, "Abrir"));
      if (t.estado === "trabajando") acciones.append(el("button", { type: "button", onclick: () => enviar({ tipo: "pararTrabajo", clave: t.clave }) }, "Parar"));
      else acciones.append(el("button", { type: "button", onclick: () => enviar({ tipo: "quitarTrabajo", clave: t.clave }) }, "Quitar"));
      caja.append(el("div", { class: `trabajo estado-${t.estado}` },
        el("div", { class: "trabajo-cabeza" },
          el("strong", { texto: t.nombre || "Sin título" }),
          el("span", { class: "trabajo-estado", texto: `${estados[t.estado] || t.estado || ""}${t.ia ? " · " + t.ia : ""}${t.aqui ? " · aquí" : ""}` })),
        t.paso ? el("div", { class: "trabajo-paso", texto: t.paso }) : null,
        t.texto ? el("div", { class: "trabajo-texto", texto: recortar(t.texto, 160) }) : null,
        acciones));
    }
  }

  mesaElegida() {
    const sel = this.editor.seleccion;
    return (sel && this.editor.mesa(sel.mesa)) || this.lienzo.mesaVisible() || null;
  }

  // Exports and publishing overlap with other work: each kind runs one at
  // a time until its answer (or a minute) has passed.
  reservar(clave) {
    const desde = this.ocupado[clave];
    if (desde && Date.now() - desde < ESPERA_RESPUESTA) {
      avisar("Espera: aún estoy con la anterior.", true);
      return false;
    }
    this.ocupado[clave] = Date.now();
    this.pintar();
    setTimeout(() => { if (this.ocupado[clave] && Date.now() - this.ocupado[clave] >= ESPERA_RESPUESTA) this.soltar(clave); }, ESPERA_RESPUESTA + 50);
    return true;
  }

  soltar(clave) {
    delete this.ocupado[clave];
    this.pintar();
  }

  llenarExportar(caja) {
    const mesa = this.mesaElegida();
    const nombre = mesa ? `«${mesa.nombre}»` : "";
    caja.append(
      opcion("Imagen PNG de la mesa", nombre, () => this.exportar("png"), !mesa),
      opcion("HTML de la mesa", nombre, () => this.exportar("html"), !mesa),
      opcion("Web entera", "Una carpeta con una página por mesa", () => this.exportarWeb(), !this.editor.pagina().mesas.length),
      this.ocupado.video
        ? opcion("Cancelar el vídeo", "Se está grabando", () => enviar({ tipo: "cancelarVideo" }))
        : opcion("Vídeo MP4 de la mesa", "Con sus animaciones", () => this.exportarVideo && this.reservar("video") && this.exportarVideo(mesa), !mesa));
  }

  exportar(formato) {
    const mesa = this.mesaElegida();
    if (!mesa || !this.reservar("exportar")) return;
    this.editor.vaciarCambio();
    enviar({ tipo: "exportar", formato, html: this.editor.fragmento(mesa, formato === "png" ? "captura" : "web"),
      w: mesa.ancho, h: this.editor.altoDe(mesa), nombre: mesa.nombre });
  }

  exportarWeb() {
    if (!this.reservar("exportar")) return;
    this.editor.vaciarCambio();
    enviar({ tipo: "exportarWeb", paginas: this.editor.paginasWeb(), nombre: this.editor.nombre });
  }

  llenarPublicar(caja) {
    const hay = this.editor.pagina().mesas.length > 0;
    caja.append(opcion("Vista previa", "Un enlace temporal para enseñarla", () => this.publicar("previa", 0), !hay));
    const hostings = this.destinos && Array.isArray(this.destinos.hostings) ? this.destinos.hostings : [];
    for (const h of hostings) caja.append(opcion(`En ${h.dominio}`, `Tu hosting ${h.plan || ""}`.trim(), () => this.publicar("hosting", h.id), !hay));
    const vps = this.destinos && Array.isArray(this.destinos.vps) ? this.destinos.vps : [];
    for (const v of vps) caja.append(opcion(`En tu VPS ${v.nombre || v.ip}`, `${v.ip} · con tu dominio o en la IP`, () => this.publicarVPS(v), !hay));
    if (this.previa && this.previa.url) {
      caja.append(opcion("Abrir la vista previa", this.previa.url, () => enviar({ tipo: "enlace", url: this.previa.url })));
    }
    this.llenarDominios(caja, hay);
  }

  // A domain search inside the publish menu: free domains can be bought
  // with the hosting pack, which publishes the design there once paid.
  llenarDominios(caja, hay) {
    const campo = el("input", { type: "search", placeholder: "Busca un dominio para publicarla", "aria-label": "Buscar un dominio" });
    this.listaDominios = el("div", { class: "dominios", role: "list" });
    const buscar = el("form", { class: "buscar-dominio", onsubmit: (e) => {
      e.preventDefault();
      const q = campo.value.trim();
      if (!q) return;
      vaciar(this.listaDominios).append(el("small", { texto: "Buscando…" }));
      enviar({ tipo: "dominios", q });
    } }, campo);
    this.puedeComprar = hay;
    caja.append(buscar, this.listaDominios);
  }

  mostrarDominios(dato) {
    const lista = this.listaDominios;
    if (!lista || !lista.isConnected || !dato || typeof dato !== "object") return;
    vaciar(lista);
    if (typeof dato.error === "string") {
      lista.append(el("small", { texto: dato.error }));
      return;
    }
    const dominios = Array.isArray(dato.dominios) ? dato.dominios.filter((d) => d && typeof d.dominio === "string") : [];
    if (!dominios.length) {
      lista.append(el("small", { texto: "No hay dominios para esa búsqueda." }));
      return;
    }
    const pack = dato.pack && typeof dato.pack === "object" ? dato.pack : null;
    const precio = pack && typeof pack.mes === "number" ? `${pack.plan || "Hosting"} · ${pack.mes} €/mes` : "Con hosting";
    for (const d of dominios) {
      const estado = d.libre === true ? "Libre" : d.libre === false ? "Ocupado" : "";
      if (d.libre === true && pack) {
        lista.append(opcion(`${d.dominio} · ${estado}`, `Contratar: ${precio}`, () => this.comprarPack(d.dominio), !this.puedeComprar));
      } else {
        lista.append(el("div", { class: "dominio", role: "listitem" }, el("span", { texto: d.dominio }), el("small", { texto: estado })));
      }
    }
  }

  comprarPack(dominio) {
    this.editor.vaciarCambio();
    enviar({ tipo: "comprarPack", paginas: this.editor.paginasWeb(), dominio });
  }

  publicar(destino, servicio) {
    if (!this.reservar("publicar")) return;
    this.editor.vaciarCambio();
    enviar({ tipo: "publicar", paginas: this.editor.paginasWeb(), destino, servicio, carpeta: "" });
    avisar(destino === "hosting" ? "Publicando en tu hosting…" : "Publicando la vista previa…");
  }

  // Publishing on one of the customer's VPS servers: the domain is asked
  // first (none publishes on the IP); the root password only when native
  // code answers "pidePass", and then the same request goes again with it.
  async publicarVPS(v) {
    const campo = el("input", { type: "text", id: "vps-dominio", placeholder: "minegocio.es", "aria-label": "Dominio", autocomplete: "off" });
    const ok = await abrirDialogo({ tipo: "vps", titulo: `Publicar en ${v.nombre || v.ip}`, aceptar: "Publicar", cuerpo: campo,
      texto: "Escribe el dominio de la web, o déjalo vacío para publicarla en la IP del VPS." });
    if (!ok) return;
    this.pedidoVPS = { servicio: v.id, ip: v.ip, dominio: campo.value.trim() };
    this.enviarVPS(null);
  }

  enviarVPS(password) {
    if (!this.pedidoVPS) return;
    this.editor.vaciarCambio();
    const mensaje = { tipo: "publicarVPS", ...this.pedidoVPS, paginas: this.editor.paginasWeb() };
    if (password) mensaje.password = password;
    enviar(mensaje);
  }

  async pedirPassVPS() {
    const campo = el("input", { type: "password", id: "vps-password", "aria-label": "Contraseña de root", autocomplete: "off" });
    const ok = await abrirDialogo({ tipo: "vpsPass", titulo: "Contraseña de root del VPS", aceptar: "Entrar", cuerpo: campo,
      texto: "Sorvenia Code la usa una sola vez para instalar su llave en el servidor. No la guarda." });
    if (ok && campo.value) this.enviarVPS(campo.value);
  }

  publicado(dato) {
    this.soltar("publicar");
    if (!dato || typeof dato !== "object") return;
    if (typeof dato.error === "string") {
      avisar(dato.error, true);
      return;
    }
    if (typeof dato.url === "string" && dato.url) {
      this.previa = dato;
      const paginas = typeof dato.paginas === "number" ? ` (${dato.paginas} ${dato.paginas === 1 ? "página" : "páginas"})` : "";
      avisar(`${dato.dominio ? `Publicada en ${dato.dominio}` : "Vista previa publicada"}${paginas}: ${dato.url}`, false,
        { texto: "Abrir", hacer: () => enviar({ tipo: "enlace", url: dato.url }) });
    }
  }

  ponerModo(modo) {
    this.lienzo.modo = modo;
    for (const b of document.querySelectorAll("[data-modo]")) b.setAttribute("aria-pressed", String(b.dataset.modo === modo));
    $("lienzo").dataset.modo = modo;
  }

  reproducir() {
    for (const m of this.editor.pagina().mesas) {
      const v = this.editor.vista(m.id);
      if (v) v.repetir(m);
    }
    this.lienzo.programarRevelado();
  }

  pestana(nombre) {
    for (const b of document.querySelectorAll("[data-pestana]")) b.setAttribute("aria-selected", String(b.dataset.pestana === nombre));
    $("panel-chat").hidden = nombre !== "chat";
    $("panel-diseno").hidden = nombre !== "diseno";
  }

  // ---- pages and mesas ----

  nuevaPagina() {
    const doc = this.editor.doc;
    this.editor.cambiar(() => {
      doc.paginas.push(crearPagina(doc, `Página ${doc.paginas.length + 1}`));
      this.editor.abrirPagina(doc.paginas.length - 1);
    });
  }

  llenarMesasNuevas(caja) {
    const tamanos = [
      ["Página web", "1440 de ancho, alto automático", 1440, 900, true],
      ["Móvil", "390 × 844", 390, 844, false],
      ["Tableta", "834 × 1194", 834, 1194, false],
      ["Publicación cuadrada", "1080 × 1080", 1080, 1080, false],
      ["Historia vertical", "1080 × 1920", 1080, 1920, false],
    ];
    for (const [nombre, detalle, ancho, alto, auto] of tamanos) {
      caja.append(opcion(nombre, detalle, () => this.nuevaMesa(nombre, ancho, alto, auto)));
    }
    caja.append(opcion("Importar de Figma", "Una mesa por marco del enlace", () => this.importarFigma()));
  }

  // Asks for a Figma link and hands it to native code, which answers
  // through window.tarvel.figma.
  async importarFigma() {
    const campo = el("input", { id: "enlace-figma", type: "url", placeholder: "https://www.figma.com/design/…", spellcheck: "false", style: { width: "100%" } });
    campo.addEventListener("keydown", (e) => {
      if (e.key === "Enter") $("dialogo-aceptar").click();
    });
    const pedido = abrirDialogo({ tipo: "figma", titulo: "Importar de Figma", texto: "Pega el enlace de un archivo, una página o un marco de Figma.", aceptar: "Importar", cuerpo: campo });
    campo.focus();
    if (!(await pedido)) return;
    const enlace = campo.value.trim();
    if (enlace) enviar({ tipo: "importarFigma", enlace });
  }

  nuevaMesa(nombre, ancho, alto, auto) {
    const pagina = this.editor.pagina();
    let x = 0;
    let y = null;
    for (const m of pagina.mesas) {
      x = Math.max(x, m.x + m.ancho + 120);
      y = y === null ? m.y : Math.min(y, m.y);
    }
    const mesa = this.editor.cambiar(() => {
      const nueva = crearMesa(this.editor.doc, { nombre, ancho, alto, auto, x, y: y ?? 0 });
      pagina.mesas.push(nueva);
      fijarPortada(pagina);
      return nueva;
    });
    this.editor.seleccionar({ mesa: mesa.id, lid: null });
    this.lienzo.mostrar({ x: mesa.x, y: mesa.y, w: mesa.ancho, h: this.editor.altoDe(mesa) });
  }

  pintarListas() {
    const doc = this.editor.doc;
    const sel = this.editor.seleccion;
    // Rebuilt only when what they show changed: the panels are painted after
    // every edit, and a design of many mesas would rebuild its whole list.
    // Their buttons look the page and mesa up when pressed, so an undo that
    // replaces those objects leaves them working.
    const clave = JSON.stringify([doc.pagina, doc.paginas.map((p) => [p.id, p.nombre, p.mesas.length]),
      this.editor.pagina().mesas.map((m) => [m.id, m.nombre, m.ancho]), sel ? sel.mesa : null]);
    if (clave === this.claveListas) return;
    this.claveListas = clave;
    const paginas = vaciar($("lista-paginas"));
    doc.paginas.forEach((p, i) => {
      const item = el("li", { class: i === doc.pagina ? "activa" : "" },
        el("button", { type: "button", class: "fila", onclick: () => this.editor.abrirPagina(i) },
          el("span", { texto: p.nombre }), el("small", { texto: String(p.mesas.length) })));
      item.addEventListener("dblclick", () => {
        const pagina = this.editor.doc.paginas[i];
        if (pagina) this.renombrarPagina(item, pagina);
      });
      paginas.append(item);
    });
    const lista = vaciar($("lista-mesas"));
    this.editor.pagina().mesas.forEach((m, i) => {
      lista.append(el("li", { class: sel && sel.mesa === m.id ? "activa" : "" },
        el("button", { type: "button", class: "fila", onclick: () => {
          const mesa = this.editor.mesa(m.id);
          if (!mesa) return;
          this.editor.seleccionar({ mesa: mesa.id, lid: null });
          this.lienzo.mostrar({ x: mesa.x, y: mesa.y, w: mesa.ancho, h: this.editor.altoDe(mesa) });
        } }, el("span", { texto: m.nombre }), el("small", { texto: i === 0 ? "portada" : `${m.ancho}` }))));
    });
    $("vacio").hidden = this.editor.pagina().mesas.length > 0;
  }

  renombrarPagina(item, pagina) {
    const entrada = el("input", { value: pagina.nombre, maxlength: "60", "aria-label": "Nombre de la página" });
    const terminar = () => {
      this.claveListas = null;  // the list holds the field now: rebuild it
      const valor = entrada.value.trim();
      if (valor && valor !== pagina.nombre) this.editor.cambiar(() => { pagina.nombre = valor; });
      else this.pintar();
    };
    entrada.addEventListener("keydown", (e) => { if (e.key === "Enter") entrada.blur(); if (e.key === "Escape") { entrada.value = pagina.nombre; entrada.blur(); } });
    entrada.addEventListener("blur", terminar);
    vaciar(item).append(entrada);
    entrada.focus();
    entrada.select();
  }

  // ---- the design panel ----

  pintarDiseno() {
    const panel = $("panel-diseno");
    const sel = this.editor.seleccion;
    const elemento = this.editor.elementoSeleccionado();
    const clave = sel ? `${sel.mesa}/${sel.lid || ""}/${this.editor.zona ? "z" : ""}` : `-/${this.editor.zona ? "z" : ""}`;
    // Never rebuilt under the user's typing, unless the selection changed.
    if (clave === this.claveSeleccion && panel.contains(document.activeElement)) return;
    this.claveSeleccion = clave;
    vaciar(panel);
    if (this.editor.zona) panel.append(this.tarjetaZona());
    if (elemento) panel.append(...this.panelElemento(this.editor.mesa(sel.mesa), elemento));
    else if (sel && this.editor.mesa(sel.mesa)) panel.append(...this.panelMesa(this.editor.mesa(sel.mesa)));
    else panel.append(...this.panelArchivo());
  }

  tarjetaZona() {
    const z = this.editor.zona;
    const mesa = this.editor.mesa(z.mesa);
    return el("section", { class: "grupo-panel zona" },
      el("h3", { texto: "Zona marcada" }),
      el("p", { class: "ayuda", texto: `En «${mesa.nombre}»: ${Math.round(z.w)} × ${Math.round(z.h)} px. Tu IA la ve cuando mira el tarvel: dile qué hacer con ella.` }),
      el("button", { type: "button", onclick: () => { this.editor.zona = null; this.editor.actualizarMarcas(); this.editor.avisar(); } }, "Quitar la zona"));
  }

  campo(etiqueta, entrada) {
    return el("label", { class: "campo" }, el("span", { texto: etiqueta }), entrada);
  }

  entrada(valor, alCambiar, atributos = {}) {
    const e = el(atributos.multilinea ? "textarea" : "input", { ...atributos, multilinea: null });
    e.value = valor ?? "";
    e.addEventListener("change", () => alCambiar(e.value));
    return e;
  }

  panelElemento(mesa, elemento) {
    const editor = this.editor;
    const lid = elemento.getAttribute("data-lid");
    // Each change acts on the element as the mesa holds it when the change
    // runs: taking an AI preview away first puts the mesa's stored body back,
    // and the element this panel was built from is then no longer in it.
    const cambiarEl = (fn) => editor.cambiar(() => {
      const actual = editor.vista(mesa.id)?.elemento(lid);
      if (!actual) return;
      fn(actual);
      editor.tocar(mesa.id);
    });
    const partes = [el("div", { class: "cabeza-panel" },
      el("strong", { texto: `<${elemento.localName}>` }), el("span", { class: "lid", texto: lid }),
      el("span", { class: "donde", texto: `en «${mesa.nombre}»` }))];

    const soloTexto = [...elemento.childNodes].every((n) => n.nodeType === Node.TEXT_NODE) && !/^(img|video|svg|input|br|hr|iframe)$/.test(elemento.localName);
    if (soloTexto) {
      partes.push(el("section", { class: "grupo-panel" }, el("h3", { texto: "Texto" }),
        this.entrada(elemento.textContent, (v) => cambiarEl((e) => { e.textContent = v; }), { multilinea: true, rows: "3" })));
    } else if (elemento.textContent.trim()) {
      partes.push(el("p", { class: "ayuda", texto: "Haz doble clic en el texto, en el tarvel, para cambiarlo ahí mismo." }));
    }
    if (elemento.localName === "img") {
      const src = elemento.getAttribute("data-tv-src") ?? elemento.getAttribute("src") ?? "";
      partes.push(el("section", { class: "grupo-panel" }, el("h3", { texto: "Imagen" }),
        this.campo("Dirección", this.entrada(src, (v) => cambiarEl((e) => { e.removeAttribute("data-tv-src"); e.setAttribute("src", v.trim()); }))),
        this.campo("Texto alternativo", this.entrada(elemento.getAttribute("alt") || "", (v) => cambiarEl((e) => e.setAttribute("alt", v)))),
        el("button", { type: "button", onclick: () => this.elegirImagen && this.elegirImagen(mesa.id, lid) }, "Elegir una imagen del ordenador…")));
    }
    if (elemento.localName === "a") {
      partes.push(el("section", { class: "grupo-panel" }, el("h3", { texto: "Enlace" }),
        this.campo("Va a", this.entrada(elemento.getAttribute("href") || "", (v) => cambiarEl((e) => e.setAttribute("href", v.trim()))))));
    }

    const calculado = elemento.ownerDocument.defaultView.getComputedStyle(elemento);
    const estilo = (propiedad, etiqueta, opciones) => {
      const actual = elemento.style.getPropertyValue(propiedad);
      const poner = (v) => cambiarEl((e) => {
        if (v.trim()) e.style.setProperty(propiedad, v.trim());
        else e.style.removeProperty(propiedad);
        if (e.getAttribute("style") === "") e.removeAttribute("style");
      });
      let control;
      if (opciones) {
        control = el("select", {}, el("option", { value: "" }, `— (${calculado.getPropertyValue(propiedad)})`),
          ...opciones.map(([v, t]) => el("option", { value: v }, t)));
        control.value = opciones.some(([v]) => v === actual) ? actual : "";
        control.addEventListener("change", () => poner(control.value));
      } else {
        const visto = calculado.getPropertyValue(propiedad).replace(/(\d+\.\d+)px/g, (_, n) => `${Math.round(Number(n))}px`);
        control = this.entrada(actual, poner, { placeholder: visto });
      }
      return this.campo(etiqueta, control);
    };
    partes.push(el("section", { class: "grupo-panel rejilla" }, el("h3", { texto: "Estilo" }),
      estilo("color", "Color del texto"),
      estilo("background-color", "Fondo"),
      estilo("font-size", "Tamaño de letra"),
      estilo("font-weight", "Grosor", [["300", "Fina"], ["400", "Normal"], ["500", "Media"], ["600", "Seminegrita"], ["700", "Negrita"], ["800", "Extranegrita"]]),
      estilo("text-align", "Alineación", [["left", "Izquierda"], ["center", "Centro"], ["right", "Derecha"], ["justify", "Justificado"]]),
      estilo("padding", "Relleno"),
      estilo("margin", "Margen"),
      estilo("border-radius", "Esquinas"),
      estilo("width", "Ancho"),
      estilo("max-width", "Ancho máximo")));

    const actual = mesa.animaciones.find((a) => a.lid === lid);
    const tipo = el("select", {}, el("option", { value: "" }, "Sin animación"), ...TIPOS.map((t) => el("option", { value: t }, `${t} · ${NOMBRES[t]}`)));
    tipo.value = actual ? actual.tipo : "";
    const disparo = el("select", {}, el("option", { value: "carga" }, "Al abrirse la página"), el("option", { value: "scroll" }, "Al llegar con el scroll"));
    disparo.value = actual ? actual.disparo : "carga";
    const ponerAnimacion = () => editor.cambiar(() => {
      mesa.animaciones = mesa.animaciones.filter((a) => a.lid !== lid);
      if (tipo.value) mesa.animaciones.push(normalizarAnimacion({ ...(actual || {}), lid, tipo: tipo.value, disparo: disparo.value, duracion: actual && actual.tipo === tipo.value ? actual.duracion : undefined }));
    });
    tipo.addEventListener("change", ponerAnimacion);
    disparo.addEventListener("change", ponerAnimacion);
    partes.push(el("section", { class: "grupo-panel" }, el("h3", { texto: "Animación" }),
      this.campo("Efecto", tipo), this.campo("Empieza", disparo),
      el("button", { type: "button", onclick: () => this.reproducir() }, "Ver otra vez")));

    const padre = elemento.parentElement && elemento.parentElement.hasAttribute("data-lid") ? elemento.parentElement : null;
    partes.push(el("section", { class: "grupo-panel acciones" },
      el("button", { type: "button", disabled: !padre, onclick: () => editor.seleccionar({ mesa: mesa.id, lid: padre.getAttribute("data-lid") }) }, "Seleccionar el que lo contiene"),
      el("div", { class: "fila-botones" },
        el("button", { type: "button", disabled: !elemento.previousElementSibling, onclick: () => cambiarEl((e) => e.previousElementSibling?.before(e)) }, "Subir"),
        el("button", { type: "button", disabled: !elemento.nextElementSibling, onclick: () => cambiarEl((e) => e.nextElementSibling?.after(e)) }, "Bajar"),
        el("button", { type: "button", onclick: () => this.duplicarSeleccion() }, "Duplicar")),
      el("button", { type: "button", class: "peligro", onclick: () => this.borrarSeleccion() }, "Borrar")));
    return partes;
  }

  panelMesa(mesa) {
    const editor = this.editor;
    const pagina = editor.pagina();
    const cambiarMesa = (fn) => editor.cambiar(fn);
    const numeroDe = (v, min, max) => {
      const n = Math.round(Number(v));
      return Number.isFinite(n) ? Math.min(max, Math.max(min, n)) : null;
    };
    const auto = el("input", { type: "checkbox" });
    auto.checked = mesa.auto;
    auto.addEventListener("change", () => cambiarMesa(() => { mesa.auto = auto.checked; }));
    const hoja = this.entrada(mesa.css, (v) => cambiarMesa(() => { mesa.css = v; }), { multilinea: true, rows: "10", class: "codigo", spellcheck: "false" });
    const esPortada = pagina.mesas[0] === mesa;
    return [
      el("div", { class: "cabeza-panel" }, el("strong", { texto: mesa.nombre }), el("span", { class: "lid", texto: mesa.id }),
        el("span", { class: "donde", texto: esPortada ? "portada" : "" })),
      el("section", { class: "grupo-panel rejilla" }, el("h3", { texto: "Mesa" }),
        this.campo("Nombre", this.entrada(mesa.nombre, (v) => v.trim() && cambiarMesa(() => { mesa.nombre = v.trim(); }))),
        this.campo("Ancho", this.entrada(String(mesa.ancho), (v) => { const n = numeroDe(v, 80, 6000); if (n) cambiarMesa(() => { mesa.ancho = n; }); }, { type: "number", min: "80", max: "6000" })),
        this.campo(mesa.auto ? "Alto mínimo" : "Alto", this.entrada(String(mesa.alto), (v) => { const n = numeroDe(v, 80, 12000); if (n) cambiarMesa(() => { mesa.alto = n; }); }, { type: "number", min: "80", max: "12000" })),
        el("label", { class: "campo casilla" }, auto, el("span", { texto: "Alto automático (crece con el contenido)" }))),
      el("section", { class: "grupo-panel acciones" },
        el("button", { type: "button", disabled: esPortada, onclick: () => ejecutar(editor, "mesas", { accion: "portada", id: mesa.id }) }, esPortada ? "Es la portada" : "Hacer portada"),
        el("div", { class: "fila-botones" },
          el("button", { type: "button", onclick: () => { editor.mesaTrabajo = mesa.id; ejecutar(editor, "animar", { id: "todo" }); } }, "Animar la página"),
          el("button", { type: "button", onclick: () => this.duplicarSeleccion() }, "Duplicar")),
        el("button", { type: "button", class: "peligro", onclick: () => this.borrarSeleccion() }, "Borrar la mesa")),
      el("section", { class: "grupo-panel" }, el("h3", { texto: "Hoja CSS de la mesa" }), hoja),
    ];
  }

  panelArchivo() {
    const editor = this.editor;
    const filas = el("div", { class: "variables" });
    const pintarFila = (v) => {
      const nombre = el("input", { value: v ? v.nombre : "", placeholder: "color-marca", maxlength: "80", "aria-label": "Nombre" });
      const valor = el("input", { value: v ? v.valor : "", placeholder: "#2f5bff", "aria-label": "Valor" });
      const oscuro = el("input", { value: v ? v.oscuro || "" : "", placeholder: "en oscuro", "aria-label": "Valor en modo oscuro" });
      const guardar = () => {
        const n = nombre.value.trim().replace(/^--/, "");
        if (!/^[A-Za-z_][\w-]*$/.test(n) || /[{};]/.test(valor.value + oscuro.value)) return;
        editor.cambiar(() => {
          const lista = editor.doc.variables;
          const i = v ? lista.indexOf(v) : -1;
          if (!valor.value.trim()) {
            if (i >= 0) lista.splice(i, 1);
            return;
          }
          const nueva = { nombre: n, valor: valor.value.trim(), ...(oscuro.value.trim() ? { oscuro: oscuro.value.trim() } : {}) };
          if (i >= 0) lista[i] = nueva;
          else lista.push(nueva);
        });
      };
      for (const e of [nombre, valor, oscuro]) e.addEventListener("change", guardar);
      filas.append(el("div", { class: "variable" }, nombre, valor, oscuro));
    };
    for (const v of editor.doc.variables) pintarFila(v);
    return [
      el("section", { class: "grupo-panel" }, el("h3", { texto: "Nada seleccionado" }),
        el("p", { class: "ayuda", texto: "Haz clic en un elemento de una mesa para seleccionarlo, o en el título de una mesa para elegirla entera. Con Mayús y arrastrando marcas una zona que tu IA verá." })),
      el("section", { class: "grupo-panel" }, el("h3", { texto: "Variables del archivo" }),
        el("p", { class: "ayuda", texto: "Colores, tipografías y medidas que se usan como var(--nombre). Deja el valor vacío para borrar una." }),
        filas,
        el("button", { type: "button", onclick: () => pintarFila(null) }, "Añadir variable")),
    ];
  }

  duplicarSeleccion() {
    const sel = this.editor.seleccion;
    if (!sel) return;
    ejecutar(this.editor, "duplicar", { id: sel.lid || sel.mesa });
  }

  borrarSeleccion() {
    const sel = this.editor.seleccion;
    if (!sel) return;
    if (sel.lid) ejecutar(this.editor, "borrar", { id: sel.lid });
    else ejecutar(this.editor, "mesas", { accion: "borrar", id: sel.mesa });
    this.editor.seleccionar(null);
  }

  // ---- everything at once ----

  pintar() {
    const editor = this.editor;
    if (!editor.doc) return;
    $("nombre").textContent = editor.nombre;
    $("nombre").title = editor.doc.nombreAMano ? "Nombre puesto a mano. Haz clic para cambiarlo." : "Haz clic para cambiar el nombre";
    $("deshacer").disabled = !editor.historial.puedeDeshacer;
    $("rehacer").disabled = !editor.historial.puedeRehacer;
    const externo = editor.agenteExterno;
    const indicador = $("agente-externo");
    indicador.hidden = !externo && !editor.agenteChat;
    indicador.textContent = externo
      ? `${externo.nombre} está trabajando${externo.herramienta ? " · " + externo.herramienta : ""}`
      : editor.agenteChat ? `${editor.agenteChat} está trabajando` : "";
    const activos = this.trabajos.filter((t) => t.estado === "trabajando").length;
    $("trabajos-contador").textContent = this.trabajos.length ? String(activos || this.trabajos.length) : "";
    $("trabajos-boton").classList.toggle("activo", activos > 0);
    $("exportar-boton").disabled = Boolean(this.ocupado.exportar);
    $("publicar-boton").disabled = Boolean(this.ocupado.publicar);
    $("publicar-boton").textContent = this.ocupado.publicar ? "Publicando…" : "Publicar";
    this.pintarListas();
    this.pintarDiseno();
  }
}
