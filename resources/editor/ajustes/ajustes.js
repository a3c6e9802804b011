// The settings page. It keeps no state of its own: every "datos" call
// replaces the whole picture.
import { enviar, el, $, vaciar } from "../comun/dom.js";
import {
  estadoServicio,
  destinoConexion,
  familias,
  formularioDeConexion,
  mensajeConexion,
  pestanaValida,
} from "./vista_ajustes.js";

let pestanaMostrada = null;
let temporizadorAviso = 0;
const pruebas = new Map();  // connection id → last test report, kept across refreshes

function logo(ruta, nombre) {
  const caja = el("div", { class: "logo", "aria-hidden": "true" }, String(nombre || "?").slice(0, 1).toUpperCase());
  if (ruta) {
    const img = el("img", { src: ruta, alt: "" });
    img.addEventListener("load", () => caja.replaceChildren(img));
    img.addEventListener("error", () => img.remove());
  }
  return caja;
}

function mostrarPestana(pestana) {
  pestanaMostrada = pestanaValida(pestana);
  for (const id of ["integraciones", "agentes"]) {
    $(id).hidden = id !== pestanaMostrada;
    $(`tab-${id}`).setAttribute("aria-selected", String(id === pestanaMostrada));
  }
}

function avisar(texto, mal) {
  const aviso = $("aviso");
  aviso.textContent = texto;
  aviso.classList.toggle("mal", !!mal);
  aviso.hidden = false;
  clearTimeout(temporizadorAviso);
  temporizadorAviso = setTimeout(() => { aviso.hidden = true; }, 6000);
}

function filaServicio(s) {
  const estado = estadoServicio(s);
  const campo = el("input", { class: "clave", type: "password", placeholder: "Pega tu clave", "data-servicio": s.id });
  const guardar = () => enviar({ tipo: "guardarClave", id: s.id, clave: campo.value });
  campo.addEventListener("keydown", (e) => { if (e.key === "Enter") guardar(); });
  return el("li", { class: "fila", "data-id": s.id },
    logo(s.logo, s.nombre),
    el("div", { class: "texto" }, el("strong", { texto: s.nombre }), el("span", { class: "tenue", texto: s.para })),
    el("span", { class: `estado ${estado.tono}`, texto: estado.texto }),
    campo,
    el("button", { class: "principal", onclick: guardar }, "Guardar"),
    el("button", { onclick: () => enviar({ tipo: "abrir", url: s.url }) }, "Consíguela"),
    s.conectado ? el("button", { class: "peligro", onclick: () => enviar({ tipo: "guardarClave", id: s.id, clave: "" }) }, "Quitar") : null,
  );
}

function filaConexion(c) {
  const interruptor = el("input", { type: "checkbox" });
  interruptor.checked = !!c.activa;
  interruptor.addEventListener("change", () => enviar({ tipo: "activarConexion", id: c.id, on: interruptor.checked }));
  const prueba = pruebas.get(c.id);
  return el("li", { class: "fila columna", "data-id": c.id },
    el("div", { class: "linea" },
      logo(c.logo, c.nombre),
      el("div", { class: "texto" },
        el("strong", { texto: c.nombre }),
        el("span", { class: "tenue", texto: destinoConexion(c) }),
        c.para ? el("span", { class: "tenue", texto: c.para }) : null),
      c.secreto ? el("span", { class: "estado bien", texto: "Con secreto" }) : null,
      el("label", { class: "switch", title: "Activa" }, interruptor, el("span")),
      el("button", { onclick: () => { pruebas.set(c.id, { ok: null, texto: "Probando…" }); enviar({ tipo: "probarConexion", id: c.id }); pintarPrueba(c.id); } }, "Probar"),
      el("button", { onclick: () => editarConexion(c) }, "Editar"),
      el("button", { class: "peligro", onclick: () => enviar({ tipo: "borrarConexion", id: c.id }) }, "Quitar")),
    el("p", { class: `prueba ${prueba ? (prueba.ok ? "bien" : prueba.ok === false ? "mal" : "") : ""}`, "data-prueba": c.id, texto: prueba ? prueba.texto : "" }),
  );
}

function pintarPrueba(id) {
  const p = pruebas.get(id);
  const nodo = document.querySelector(`[data-prueba="${CSS.escape(id)}"]`);
  if (!nodo || !p) return;
  nodo.textContent = p.texto;
  nodo.className = `prueba ${p.ok ? "bien" : p.ok === false ? "mal" : ""}`;
}

function editarConexion(c) {
  const form = $("form-conexion");
  for (const [clave, valor] of Object.entries(formularioDeConexion(c))) form.elements[clave].value = valor;
  form.elements.secreto.value = "";
  $("nueva-conexion").open = true;
  mostrarCampos();
  form.elements.nombre.focus();
}

function mostrarCampos() {
  const form = $("form-conexion");
  const clase = form.elements.clase.value;
  for (const campo of form.querySelectorAll("[data-para]"))
    campo.hidden = !campo.dataset.para.split(" ").includes(clase);
}

let caraNumero = 0;
function filaFamilia({ familia, caras }) {
  // Each face loads through the "fuente" scheme under a name of our own,
  // so the family name never ends up in CSS text.
  const interna = `fuente-usuario-${++caraNumero}`;
  for (const cara of caras) {
    try {
      const ff = new FontFace(interna, `url("fuente://local/${encodeURIComponent(cara.archivo)}")`, {
        weight: String(cara.peso || "400"),
        style: cara.estilo === "italic" || cara.estilo === "oblique" ? cara.estilo : "normal",
      });
      document.fonts.add(ff);
      ff.load().catch(() => {});
    } catch (e) { /* a face that cannot be described is only not previewed */ }
  }
  const detalle = caras.map((c) => `${c.peso}${c.estilo !== "normal" ? " " + c.estilo : ""}`).join(" · ");
  return el("li", { class: "fila", "data-familia": familia },
    el("div", { class: "texto" },
      el("strong", { class: "muestra", style: { fontFamily: `"${interna}", sans-serif` }, texto: familia }),
      el("span", { class: "tenue", texto: detalle })),
    el("button", { class: "peligro", onclick: () => enviar({ tipo: "borrarFuente", familia }) }, "Quitar"));
}

function filaAgente(a) {
  const manual = el("pre", { class: "manual", texto: a.manual || "" });
  const detalles = el("details", {}, el("summary", { class: "tenue", texto: "Hacerlo a mano" }), manual,
    el("div", { class: "acciones" }, el("button", { onclick: () => enviar({ tipo: "copiar", texto: a.manual || "" }) }, "Copiar")));
  return el("li", { class: "fila columna", "data-id": a.id },
    el("div", { class: "linea" },
      logo(a.logo, a.nombre),
      el("div", { class: "texto" }, el("strong", { texto: a.nombre }), el("span", { class: "tenue", texto: a.despues || "" })),
      el("span", { class: `estado ${a.conectado ? "bien" : ""}`, texto: a.conectado ? "Conectado" : "Sin conectar" }),
      el("button", { class: a.conectado ? "" : "principal", onclick: () => enviar({ tipo: "anadirAgente", id: a.id }) },
        a.conectado ? "Volver a conectar" : "Conectar")),
    detalles);
}

function datos(d) {
  if (!d || typeof d !== "object") return;
  if (pestanaMostrada === null) mostrarPestana(d.pestana);
  vaciar($("servicios")).append(...(d.servicios || []).map(filaServicio));
  $("videos").checked = !!d.videos;
  $("nodo-nota").textContent = d.nodo
    ? "Remotion e HyperFrames, con escenas hechas por tu IA."
    : "Remotion e HyperFrames necesitan Node.js (npx) en este ordenador.";
  vaciar($("conexiones")).append(...(d.conexiones || []).map(filaConexion));
  if (!(d.conexiones || []).length) $("conexiones").append(el("li", { class: "tenue", texto: "Todavía no tienes conexiones." }));
  vaciar($("fuentes")).append(...familias(d.fuentes).map(filaFamilia));
  if (!familias(d.fuentes).length) $("fuentes").append(el("li", { class: "tenue", texto: "Todavía no has añadido fuentes." }));
  vaciar($("lista-agentes")).append(...(d.agentes || []).map(filaAgente));
  vaciar($("prompts")).append(...(d.prompts || []).map((p) => el("li", { class: "fila" },
    el("div", { class: "texto" }, el("span", { texto: p })),
    el("button", { onclick: () => enviar({ tipo: "copiar", texto: p }) }, "Copiar"))));
}

function resultado(r) {
  if (!r || typeof r.texto !== "string") return;
  avisar(r.texto, r.mal === true);
  if (r.id && r.mal !== true) {
    const campo = document.querySelector(`input[data-servicio="${CSS.escape(r.id)}"]`);
    if (campo) campo.value = "";
  }
  if (r.mal !== true && /^Conexión guardada/.test(r.texto)) {
    $("form-conexion").reset();
    $("nueva-conexion").open = false;
    mostrarCampos();
  }
}

function conexionProbada(r) {
  if (!r || typeof r.id !== "string") return;
  pruebas.set(r.id, { ok: r.ok === true, texto: String(r.texto || "") });
  pintarPrueba(r.id);
}

window.ajustes = { datos, resultado, conexionProbada };

for (const boton of document.querySelectorAll(".pestanas button"))
  boton.addEventListener("click", () => mostrarPestana(boton.dataset.pestana));
$("cerrar").addEventListener("click", () => enviar({ tipo: "cerrar" }));
$("videos").addEventListener("change", () => enviar({ tipo: "videoIA", on: $("videos").checked }));
$("anadir-fuentes").addEventListener("click", () => enviar({ tipo: "anadirFuentes" }));
$("form-conexion").elements.clase.addEventListener("change", mostrarCampos);
$("form-conexion").addEventListener("submit", (e) => {
  e.preventDefault();
  const form = e.target;
  const campos = Object.fromEntries(["id", "clase", "nombre", "url", "cabecera", "orden", "variable", "para", "secreto"]
    .map((k) => [k, form.elements[k].value]));
  enviar(mensajeConexion(campos));
});
document.addEventListener("keydown", (e) => { if (e.key === "Escape") enviar({ tipo: "cerrar" }); });
mostrarCampos();
enviar({ tipo: "pedirDatos" });
