// The agency page: clients and projects, their designs, the agents at work.
// The data and its uploads live in sincronia.js; this module draws them and
// turns the user's actions into changes.

import { $, el, enviar, esObjeto, plural, vaciar } from "../comun/dom.js";
import { avisar } from "../comun/avisos.js";
import { abrirDialogo, cerrarDialogo } from "../comun/dialogo.js";
import { Sincronia } from "./sincronia.js";

const sincronia = new Sincronia(enviar);
let disenos = [];
let trabajos = [];

const TEXTOS_SINCRONIA = {
  "al-dia": "Guardado en tu cuenta",
  pendiente: "Cambios sin subir",
  subiendo: "Subiendo…",
  sinRed: "Sin conexión: tus cambios están guardados en este equipo",
  error: "No se han podido subir los cambios",
  conflicto: "Otro equipo ha cambiado estos datos",
};

const ESTADOS_PROYECTO = [
  ["propuesta", "Propuesta"],
  ["en-curso", "En curso"],
  ["entregado", "Entregado"],
];

function nuevoId() {
  const bytes = crypto.getRandomValues(new Uint8Array(8));
  return Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join("");
}

function texto(v) {
  return typeof v === "string" ? v : "";
}

function cambiar(transformar) {
  const d = structuredClone(sincronia.datos);
  transformar(d);
  sincronia.cambiar(d);
  dibujar();
}

function dibujarSincronia() {
  const estado = sincronia.estado();
  const nodo = $("sincronia");
  nodo.dataset.estado = estado;
  nodo.textContent = TEXTOS_SINCRONIA[estado];
  $("reintentar").hidden = estado !== "error" && estado !== "sinRed";
}

function boton(textoBoton, hacer, clase) {
  return el("button", { type: "button", class: clase, onclick: hacer }, textoBoton);
}

function fichaCliente(c, proyectos) {
  const acciones = el("div", { class: "ficha-acciones" });
  if (texto(c.email)) acciones.append(boton(texto(c.email), () => enviar({ tipo: "correo", valor: c.email })));
  if (texto(c.telefono)) acciones.append(boton(texto(c.telefono), () => enviar({ tipo: "llamar", valor: c.telefono })));
  acciones.append(boton("Borrar", () => borrarCliente(c), "peligro"));
  const suyos = proyectos.filter((p) => p.cliente === c.id).length;
  return el("li", { class: "ficha", dataset: { id: c.id } },
    el("div", { class: "ficha-cabeza" }, el("strong", { texto: texto(c.nombre) }), el("span", { class: "tenue", texto: texto(c.empresa) })),
    el("span", { class: "tenue", texto: plural(suyos, "proyecto", "proyectos") }),
    acciones);
}

function fichaProyecto(p, clientes) {
  const cliente = clientes.find((c) => c.id === p.cliente);
  const diseno = disenos.find((d) => d.id === p.diseno);
  const estado = el("select", { "aria-label": "Estado", onchange: (e) => cambiar((d) => {
    const propio = d.proyectos.find((x) => x.id === p.id);
    if (propio) propio.estado = e.target.value;
  }) });
  for (const [valor, nombre] of ESTADOS_PROYECTO) estado.append(el("option", { value: valor, selected: p.estado === valor }, nombre));
  const acciones = el("div", { class: "ficha-acciones" }, estado);
  if (texto(p.diseno)) acciones.append(boton(diseno ? `Abrir «${diseno.nombre}»` : "Abrir el diseño", () => enviar({ tipo: "abrirDiseno", id: p.diseno })));
  acciones.append(boton("Borrar", () => borrarProyecto(p), "peligro"));
  const detalle = [cliente ? texto(cliente.nombre) : "Sin cliente", texto(p.entrega) ? `entrega ${p.entrega}` : ""].filter(Boolean).join(" · ");
  return el("li", { class: "ficha", dataset: { id: p.id } },
    el("div", { class: "ficha-cabeza" }, el("strong", { texto: texto(p.nombre) })),
    el("span", { class: "tenue", texto: detalle }),
    acciones);
}

function opciones(select, lista, vacioTexto, valorDe, nombreDe) {
  const elegido = select.value;
  vaciar(select).append(el("option", { value: "" }, vacioTexto));
  for (const x of lista) select.append(el("option", { value: valorDe(x) }, nombreDe(x)));
  // The property, not the attribute: resetting the form goes back to the first option.
  select.value = lista.some((x) => valorDe(x) === elegido) ? elegido : "";
}

function dibujar() {
  const { clientes, proyectos } = sincronia.datos;
  vaciar($("clientes")).append(...clientes.map((c) => fichaCliente(c, proyectos)));
  vaciar($("proyectos")).append(...proyectos.map((p) => fichaProyecto(p, clientes)));
  $("sin-clientes").hidden = clientes.length > 0;
  $("sin-proyectos").hidden = proyectos.length > 0;
  $("n-clientes").textContent = clientes.length ? String(clientes.length) : "";
  $("n-proyectos").textContent = proyectos.length ? String(proyectos.length) : "";
  opciones($("proyecto-cliente"), clientes, "Sin cliente", (c) => c.id, (c) => texto(c.nombre));
  opciones($("proyecto-diseno"), disenos, "Sin diseño", (d) => d.id, (d) => texto(d.nombre));
  dibujarSincronia();
}

function dibujarTrabajos() {
  const activos = trabajos.filter((t) => esObjeto(t) && t.estado === "trabajando");
  vaciar($("trabajos")).append(...activos.map((t) => el("li", { class: "ficha" },
    el("strong", { texto: texto(t.nombre) || "Diseño sin nombre" }),
    el("span", { class: "estado-trabajo", texto: [texto(t.ia), texto(t.paso)].filter(Boolean).join(" · ") }))));
  $("sin-trabajos").hidden = activos.length > 0;
}

async function borrarCliente(c) {
  const ok = await abrirDialogo({ tipo: "borrar", titulo: `¿Borrar a ${texto(c.nombre)}?`, texto: "Sus proyectos se quedan, sin cliente.", aceptar: "Borrar", peligro: true });
  if (!ok) return;
  cambiar((d) => {
    d.clientes = d.clientes.filter((x) => x.id !== c.id);
    for (const p of d.proyectos) if (p.cliente === c.id) p.cliente = "";
  });
}

async function borrarProyecto(p) {
  const ok = await abrirDialogo({ tipo: "borrar", titulo: `¿Borrar «${texto(p.nombre)}»?`, aceptar: "Borrar", peligro: true });
  if (ok) cambiar((d) => { d.proyectos = d.proyectos.filter((x) => x.id !== p.id); });
}

async function ofrecerConflicto() {
  const cuerpo = el("div", { class: "ficha-acciones" },
    boton("Usar la copia de la cuenta", () => cerrarDialogo("cuenta")),
    boton("Unir los cambios", () => cerrarDialogo("unir"), "principal"));
  const eleccion = await abrirDialogo({
    tipo: "conflicto",
    titulo: "Otro equipo ha cambiado estos datos",
    texto: "Puedes unir tus cambios con los suyos o quedarte con la copia que hay en tu cuenta.",
    sinAceptar: true,
    cuerpo,
  });
  // Closing the dialog keeps the user's changes: they are merged.
  sincronia.resolver(eleccion === "cuenta" ? "cuenta" : "unir");
  dibujar();
}

window.agencia = {
  datos(d) {
    if (!esObjeto(d)) return;
    disenos = Array.isArray(d.disenos) ? d.disenos.filter(esObjeto) : [];
    trabajos = Array.isArray(d.trabajos) ? d.trabajos : [];
    $("cliente").textContent = esObjeto(d.cliente) ? texto(d.cliente.nombre) : "";
    sincronia.cargar(d.agencia, d.local);
    dibujar();
    dibujarTrabajos();
  },
  disenos(lista) {
    disenos = Array.isArray(lista) ? lista.filter(esObjeto) : [];
    dibujar();
  },
  trabajos(lista) {
    trabajos = Array.isArray(lista) ? lista : [];
    dibujarTrabajos();
  },
  guardado(r) {
    if (esObjeto(r) && r.ok === false) avisar(texto(r.error) || "No se han podido guardar los datos.", true);
  },
  subido(r) {
    const resultado = sincronia.alSubir(r);
    if (resultado === "conflicto") ofrecerConflicto();
    dibujarSincronia();
  },
  aviso(r) {
    if (esObjeto(r) && texto(r.texto)) avisar(r.texto);
  },
};

$("volver").addEventListener("click", () => enviar({ tipo: "volver" }));
$("nuevo-diseno").addEventListener("click", () => enviar({ tipo: "nuevoDiseno" }));
$("reintentar").addEventListener("click", () => {
  sincronia.error = null;
  sincronia.subir();
  dibujarSincronia();
});

$("form-cliente").addEventListener("submit", (e) => {
  e.preventDefault();
  const f = new FormData(e.target);
  const nombre = String(f.get("nombre") || "").trim();
  if (!nombre) return;
  cambiar((d) => d.clientes.push({
    id: nuevoId(), nombre,
    empresa: String(f.get("empresa") || "").trim(),
    email: String(f.get("email") || "").trim(),
    telefono: String(f.get("telefono") || "").trim(),
  }));
  e.target.reset();
});

$("form-proyecto").addEventListener("submit", (e) => {
  e.preventDefault();
  const f = new FormData(e.target);
  const nombre = String(f.get("nombre") || "").trim();
  if (!nombre) return;
  cambiar((d) => d.proyectos.push({
    id: nuevoId(), nombre,
    cliente: String(f.get("cliente") || ""),
    diseno: String(f.get("diseno") || ""),
    entrega: String(f.get("entrega") || ""),
    estado: "propuesta",
  }));
  e.target.reset();
});

dibujar();
enviar({ tipo: "listo" });
