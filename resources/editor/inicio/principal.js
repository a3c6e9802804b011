// The home page. Native code calls window.inicio.datos(<home data>),
// window.inicio.trabajos(<job list>) and window.inicio.aviso({texto}); the
// page posts what the user does through enviar(). window.inicio exists,
// whole, before "listo" is posted; after "listo" the whole state comes
// again.

import { avisar } from "../comun/avisos.js";
import { confirmar, hayDialogo } from "../comun/dialogo.js";
import { elegir } from "./elegir.js";
import { Copias, Disenos } from "./disenos.js";
import { leerDatos, leerTrabajos } from "./leer.js";
import { IAs, Trabajos, marca, pintarIntegraciones } from "./lateral.js";
import { Pedido } from "./pedido.js";
import { PLANTILLAS, medida } from "./plantillas.js";
import { $, enviar, enviarUnaVez, esObjeto, inicial, rutaPropia, vaciar } from "./utiles.js";

const disenos = new Disenos();
const copias = new Copias();
const pedido = new Pedido();
const ias = new IAs();
const trabajos = new Trabajos();

// One failing part never takes the rest of the page with it.
function aparte(que, fn) {
  try {
    fn();
  } catch (e) {
    console.error(`inicio: ${que}:`, e);
  }
}

// ---- account, banners ----

function pintarCuenta(cliente) {
  const nombre = cliente && cliente.nombre ? cliente.nombre : "";
  const email = cliente && cliente.email ? cliente.email : "";
  $("cuenta-nombre").textContent = nombre || email || "Tu cuenta";
  $("cuenta-inicial").textContent = inicial(nombre || email || "?");
  $("menu-nombre").textContent = nombre || "Tu cuenta";
  $("menu-email").textContent = email;
  $("menu-email").hidden = !email;
  const primero = nombre.split(/\s+/)[0] || "";
  $("saludo").textContent = primero ? `Hola, ${primero}` : "Hola";
}

function pintarLogo(ruta) {
  const src = rutaPropia(ruta);
  const img = $("logo-imagen");
  if (!src || img.getAttribute("src") === src) return;
  // The drawn logo is an SVG element, which has no `hidden` property:
  // the attribute itself hides it.
  img.onload = () => { img.hidden = false; $("logo-dibujo").toggleAttribute("hidden", true); };
  img.onerror = () => { img.hidden = true; $("logo-dibujo").toggleAttribute("hidden", false); };
  img.src = src;
}

function pintarIAActual(ia) {
  const caja = $("ia-actual");
  caja.hidden = !ia;
  if (!ia) return;
  const logo = ia.logo || "";
  vaciar($("ia-actual-marca")).append(marca(logo, ia.nombre, "marca-mini"));
  $("ia-actual-nombre").textContent = ia.nombre;
  caja.classList.toggle("lista", ia.lista);
  caja.title = ia.lista ? `${ia.nombre} está lista para trabajar` : `${ia.nombre} no tiene la sesión iniciada`;
}

function pintarFranjas(d) {
  $("actualizacion").hidden = !d.actualizacion;
  $("actualizacion-texto").textContent = d.actualizacion
    ? `Hay una versión nueva de Sorvenia Code: la ${d.actualizacion.version}.`
    : "";
  $("error-cuenta").hidden = !d.error;
  $("error-texto").textContent = d.error || "";
  $("error-reintentar").disabled = false;
  $("error-reintentar").textContent = "Reintentar";
}

// ---- the account menu and its shortcuts ----

const menuCuenta = $("cuenta-menu");
const botonCuenta = $("cuenta-boton");

function abrirMenu(abrir) {
  menuCuenta.hidden = !abrir;
  botonCuenta.setAttribute("aria-expanded", String(abrir));
  if (abrir) {
    const primero = menuCuenta.querySelector("button");
    if (primero) primero.focus();
  }
}

botonCuenta.addEventListener("click", (e) => {
  e.stopPropagation();
  abrirMenu(menuCuenta.hidden);
});
document.addEventListener("pointerdown", (e) => {
  if (!menuCuenta.hidden && !menuCuenta.contains(e.target) && !botonCuenta.contains(e.target)) abrirMenu(false);
});
document.addEventListener("keydown", (e) => {
  if (e.key === "Escape" && !menuCuenta.hidden && !hayDialogo()) {
    abrirMenu(false);
    botonCuenta.focus();
  }
  if (!menuCuenta.hidden && (e.key === "ArrowDown" || e.key === "ArrowUp")) {
    e.preventDefault();
    const opciones = [...menuCuenta.querySelectorAll("button")];
    const i = opciones.indexOf(document.activeElement);
    const siguiente = opciones[(i + (e.key === "ArrowDown" ? 1 : opciones.length - 1)) % opciones.length];
    if (siguiente) siguiente.focus();
  }
});

// Every control with data-accion is an account menu action.
for (const boton of document.querySelectorAll("[data-accion]")) {
  boton.addEventListener("click", () => {
    abrirMenu(false);
    enviarMenu(boton.dataset.accion);
  });
}

async function enviarMenu(accion) {
  if (accion === "refrescar") {
    enviar({ tipo: "menu", accion });
    return;
  }
  if (accion === "desconectar") {
    const si = await confirmar({
      tipo: "desconectar",
      titulo: "¿Desconectar esta cuenta?",
      texto: "Tus diseños siguen en tu cuenta. Para volver a verlos tendrás que conectarla otra vez desde el navegador.",
      aceptar: "Desconectar",
      peligro: true,
    });
    if (!si) return;
  }
  enviarUnaVez({ tipo: "menu", accion });
}

// The next data answers a retry; the button comes back anyway after a while.
$("error-reintentar").addEventListener("click", (e) => {
  const boton = e.currentTarget;
  enviar({ tipo: "menu", accion: "refrescar" });
  boton.disabled = true;
  boton.textContent = "Reintentando…";
  setTimeout(() => { boton.disabled = false; boton.textContent = "Reintentar"; }, 15000);
});
$("actualizacion-descargar").addEventListener("click", () => enviarUnaVez({ tipo: "descargarActualizacion" }));

// ---- new design ----

async function nuevoDiseno() {
  const id = await elegir({
    tipo: "plantillas",
    titulo: "Nuevo diseño",
    texto: "Elige el tamaño de la página. Podrás añadir más mesas de otros tamaños después.",
    opciones: PLANTILLAS.map((p) => ({ id: p.id, nombre: p.nombre, detalle: p.para, medida: medida(p), ancho: p.ancho, alto: p.alto, auto: p.auto })),
  });
  if (id) enviarUnaVez({ tipo: "nuevo", plantilla: id });
}
$("nuevo-diseno").addEventListener("click", nuevoDiseno);
$("vacio-nuevo").addEventListener("click", nuevoDiseno);

// ---- the page object ----

let datosRecibidos = false;

function ponerTrabajos(lista) {
  aparte("trabajos", () => trabajos.poner(lista));
}

window.inicio = {
  datos(dato) {
    if (!esObjeto(dato)) return;
    let d;
    try {
      d = leerDatos(dato);
    } catch (e) {
      console.error("inicio: datos ilegibles:", e);
      return;
    }
    aparte("cuenta", () => pintarCuenta(d.cliente));
    aparte("logo", () => pintarLogo(d.logo));
    aparte("franjas", () => pintarFranjas(d));
    aparte("diseños", () => disenos.poner(d.disenos, { error: d.error }));
    aparte("copias", () => copias.poner(d.sinSubir));
    aparte("ia actual", () => pintarIAActual(d.ia));
    aparte("ias", () => ias.poner(d.ias, d.iasListas));
    aparte("pedido", () => pedido.ponerIAs(d.ias, d.iasListas, d.ia));
    aparte("integraciones", () => pintarIntegraciones(d.integraciones));
    if (d.trabajos) ponerTrabajos(d.trabajos);
    datosRecibidos = true;
    document.body.dataset.estado = "listo";
  },

  trabajos(lista) {
    if (!Array.isArray(lista)) return;
    ponerTrabajos(leerTrabajos(lista));
  },

  aviso(dato) {
    if (!esObjeto(dato) || typeof dato.texto !== "string" || !dato.texto.trim()) return;
    avisar(dato.texto, /^No se ha podido/.test(dato.texto));
    aparte("copias", () => copias.alAvisar());
  },
};

// Relative times ("hace 3 min") move on by themselves.
setInterval(() => {
  if (!datosRecibidos) return;
  aparte("reloj", () => {
    trabajos.pintar();
    disenos.refrescarFechas();
    if (!document.activeElement || !document.activeElement.closest(".lista-copias")) copias.pintar();
  });
}, 60000);

enviar({ tipo: "listo" });
