// The sign-in page. Native code calls window.conectar.estado({conectando,
// error}) with the account's sign-in state; the page posts what the user
// does: "listo" once ready, then "conectar", "reabrir", "copiar",
// "cancelar" and "registro".
"use strict";

(() => {
  const enviar = (mensaje) =>
    document.dispatchEvent(new CustomEvent("sorvenia-mensaje", { detail: JSON.stringify(mensaje) }));

  const $ = (id) => document.getElementById(id);
  const vistas = { reposo: $("reposo"), espera: $("espera") };
  const error = $("error");
  const copiado = $("copiado");
  let ocultarCopiado = 0;

  const mostrarVista = (nombre) => {
    for (const [clave, vista] of Object.entries(vistas)) vista.hidden = clave !== nombre;
  };

  const mostrarError = (texto) => {
    const hay = typeof texto === "string" && texto !== "";
    error.textContent = hay ? texto : "";
    error.hidden = !hay;
  };

  const avisarCopiado = () => {
    copiado.hidden = false;
    clearTimeout(ocultarCopiado);
    ocultarCopiado = setTimeout(() => { copiado.hidden = true; }, 2500);
  };

  window.conectar = {
    estado(estado) {
      if (estado === null || typeof estado !== "object") return;
      const conectando = estado.conectando === true;
      mostrarVista(conectando ? "espera" : "reposo");
      mostrarError(estado.error);
      if (!conectando) copiado.hidden = true;
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
})();
