// Lets the test look inside a frame it cannot reach: a message
// {sonda, codigo} from anywhere runs `codigo` as the body of an async
// function here and is answered to its sender with {sonda, valor} or
// {sonda, error}.
"use strict";
const FuncionAsincrona = (async () => {}).constructor;
addEventListener("message", async (evento) => {
  const pedido = evento.data;
  if (pedido === null || typeof pedido !== "object" || pedido.sonda === undefined) return;
  const respuesta = { sonda: pedido.sonda };
  try {
    const valor = await new FuncionAsincrona(pedido.codigo)();
    respuesta.valor = valor === undefined ? null : valor;
  } catch (error) {
    respuesta.error = String(error && error.message);
  }
  evento.source.postMessage(respuesta, "*");
});
