// The servers page: the customer's servers, access with the root password
// once, and the three views of the chosen server. Everything the server or
// the account sends is shown as text (textContent), never as markup.

import { enviar, el, $, vaciar } from "../comun/dom.js";
import * as estado from "./estado.js";
import * as terminal from "./terminal.js";
import * as archivos from "./archivos.js";
import * as asistente from "./asistente.js";

const vistas = ["estado", "terminal", "archivos", "asistente"];
const pagina = {
  servidores: [],
  elegido: null,   // the chosen server object
  accesos: {},     // id → true once the key opens it
  vista: "estado",
};

let temporizadorAviso = 0;
function aviso(texto) {
  const nodo = $("aviso");
  nodo.textContent = texto;
  nodo.hidden = false;
  clearTimeout(temporizadorAviso);
  temporizadorAviso = setTimeout(() => { nodo.hidden = true; }, 6000);
}

function pintarLista() {
  const lista = vaciar($("lista"));
  for (const s of pagina.servidores) {
    const elegido = pagina.elegido && pagina.elegido.id === s.id;
    const detalle = [s.ip, s.so, s.ubicacion].filter(Boolean).join(" · ");
    lista.append(el("li", {},
      el("button", { type: "button", class: elegido ? "servidor elegido" : "servidor", dataset: { id: String(s.id) },
                     onclick: () => elegir(s) },
        el("span", { class: "nombre", texto: s.nombre || s.ip }),
        s.propio ? el("span", { class: "insignia", texto: "Tuyo" }) : null,
        el("span", { class: "tenue detalle", texto: detalle }))));
  }
  $("sin-servidores").hidden = pagina.servidores.length > 0;
}

function elegir(servidor) {
  if (pagina.elegido && pagina.elegido.id === servidor.id) return;
  pagina.elegido = servidor;
  $("panel").hidden = false;
  $("servidor-nombre").textContent = servidor.nombre || servidor.ip;
  $("servidor-detalle").textContent = [servidor.ip, servidor.so].filter(Boolean).join(" · ");
  estado.olvidar();
  archivos.olvidar();
  pintarLista();
  mostrarAcceso(pagina.accesos[servidor.id] ? "ok" : "comprobando");
  if (!pagina.accesos[servidor.id]) enviar({ tipo: "acceso", servidor: servidor.id, ip: servidor.ip });
  else mostrarVista(pagina.vista);
}

function mostrarAcceso(como, error) {
  const insignia = $("servidor-acceso");
  insignia.textContent = { ok: "Conectado", comprobando: "Comprobando…", clave: "Falta la llave" }[como] || "";
  insignia.dataset.estado = como;
  $("form-clave").hidden = como !== "clave";
  $("pestanas").hidden = como !== "ok";
  $("error-acceso").hidden = !error;
  $("error-acceso").textContent = error || "";
  $("entrar").disabled = false;
  document.body.dataset.acceso = como;
  if (como !== "ok") for (const v of vistas) $(`vista-${v}`).hidden = true;
}

function mostrarVista(vista) {
  pagina.vista = vista;
  document.body.dataset.vista = vista;
  for (const b of $("pestanas").querySelectorAll("button")) b.classList.toggle("activa", b.dataset.vista === vista);
  for (const v of vistas) $(`vista-${v}`).hidden = v !== vista;
  const s = pagina.elegido;
  if (!s) return;
  estado.activar(vista === "estado" ? s.id : null);
  if (vista === "terminal") terminal.mostrar(s.id);
  if (vista === "archivos") archivos.abrir(s.id);
  if (vista === "asistente") asistente.mostrar(s);
}

window.servidores = {
  lista(datos) {
    pagina.servidores = Array.isArray(datos.vps) ? datos.vps : [];
    $("cliente").textContent = datos.cliente || "";
    $("error-lista").hidden = !datos.error;
    $("error-lista").textContent = datos.error || "";
    asistente.fijarIA(datos.ia);
    document.body.dataset.estado = "listo";
    if (pagina.elegido) pagina.elegido = pagina.servidores.find((s) => s.id === pagina.elegido.id) || pagina.elegido;
    pintarLista();
  },
  prueba(datos) {
    if (typeof datos.chat === "string") {
      asistente.proponer(datos.chat);
      pagina.vista = "asistente";
      if (pagina.elegido && pagina.accesos[pagina.elegido.id]) mostrarVista("asistente");
    }
    if (datos.vista && pagina.servidores.length) {
      pagina.vista = datos.vista;
      elegir(pagina.servidores[0]);
    }
  },
  acceso(datos) {
    if (datos.ok) pagina.accesos[datos.servidor] = true;
    if (!pagina.elegido || pagina.elegido.id !== datos.servidor) return;
    if (datos.ok) {
      mostrarAcceso("ok");
      mostrarVista(pagina.vista);
    } else {
      mostrarAcceso("clave", datos.error);
    }
  },
  datos: (d) => terminal.datos(d),
  terminalFin: (d) => terminal.fin(d),
  estado: (d) => estado.pintar(d),
  archivos: (d) => archivos.pintar(d),
  verArchivo: (d) => archivos.verArchivo(d),
  aviso: (d) => aviso(String(d.texto || "")),
  chat: (d) => asistente.mensaje(d),
};

$("volver").addEventListener("click", () => enviar({ tipo: "volver" }));
$("form-clave").addEventListener("submit", (e) => {
  e.preventDefault();
  const s = pagina.elegido;
  if (!s) return;
  $("entrar").disabled = true;
  mostrarAcceso("comprobando");
  enviar({ tipo: "acceso", servidor: s.id, ip: s.ip, password: $("clave").value });
  $("clave").value = "";
});
$("form-propio").addEventListener("submit", (e) => {
  e.preventDefault();
  enviar({ tipo: "anadirVPS", nombre: $("propio-nombre").value, ip: $("propio-ip").value });
  $("propio-nombre").value = "";
  $("propio-ip").value = "";
});
for (const b of $("pestanas").querySelectorAll("button")) b.addEventListener("click", () => mostrarVista(b.dataset.vista));

terminal.preparar();
archivos.preparar();
asistente.preparar();
enviar({ tipo: "listo" });
