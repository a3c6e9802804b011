// The sign-in page. Native code calls window.conectar.estado({conectando,
// error, enlace}) with the account's sign-in state ("enlace" only while no
// browser could be opened: the page then shows the link to copy instead of
// saying the browser was opened); the page posts what the user
// does: "listo" once ready, then "conectar", "reabrir", "copiar",
// "cancelar" and "registro".

import { avisar } from "../comun/avisos.js";
import { $, enviar } from "../comun/dom.js";

const vistas = { reposo: $("reposo"), espera: $("espera") };
const error = $("error");
const abierto = $("abierto");
const sinNavegador = $("sin-navegador");
const enlace = $("enlace");
const reabrir = $("reabrir");

const mostrarVista = (nombre) => {
  for (const [clave, vista] of Object.entries(vistas)) vista.hidden = clave !== nombre;
};

const mostrarError = (texto) => {
  const hay = typeof texto === "string" && texto !== "";
  error.textContent = hay ? texto : "";
  error.hidden = !hay;
};

const mostrarEnlace = (texto) => {
  const hay = typeof texto === "string" && texto !== "";
  enlace.textContent = hay ? texto : "";
  sinNavegador.hidden = !hay;
  abierto.hidden = hay;
  reabrir.textContent = hay ? "Probar a abrir el navegador" : "Abrir el navegador otra vez";
};

// One "copied" notice at a time, known by its id.
const avisarCopiado = () => {
  const anterior = $("copiado");
  if (anterior) anterior.remove();
  avisar("Enlace copiado. Pégalo en tu navegador.").id = "copiado";
};

window.conectar = {
  estado(estado) {
    if (estado === null || typeof estado !== "object") return;
    const conectando = estado.conectando === true;
    mostrarVista(conectando ? "espera" : "reposo");
    mostrarError(estado.error);
    mostrarEnlace(conectando ? estado.enlace : null);
    document.body.dataset.estado = conectando ? "espera" : "reposo";
  },
};

for (const boton of document.querySelectorAll("button[data-tipo]")) {
  boton.addEventListener("click", () => {
    const tipo = boton.dataset.tipo;
    enviar({ tipo });
    if (tipo === "copiar") avisarCopiado();
  });
}

mostrarVista("reposo");
enviar({ tipo: "listo" });
