// What every page of ours needs: the one road to native code, and building
// our own DOM (always through textContent and attributes, never markup).

export function enviar(mensaje) {
  document.dispatchEvent(new CustomEvent("sorvenia-mensaje", { detail: JSON.stringify(mensaje) }));
}

// el("button", {class: "x", onclick: f}, "texto", otroNodo)
export function el(etiqueta, atributos = {}, ...hijos) {
  const nodo = document.createElement(etiqueta);
  for (const [clave, valor] of Object.entries(atributos || {})) {
    if (valor === undefined || valor === null || valor === false) continue;
    if (clave.startsWith("on") && typeof valor === "function") nodo.addEventListener(clave.slice(2), valor);
    else if (clave === "class") nodo.className = valor;
    else if (clave === "texto") nodo.textContent = valor;
    else if (clave === "dataset") Object.assign(nodo.dataset, valor);
    else if (clave === "style" && typeof valor === "object") Object.assign(nodo.style, valor);
    else if (valor === true) nodo.setAttribute(clave, "");
    else nodo.setAttribute(clave, String(valor));
  }
  for (const hijo of hijos.flat()) {
    if (hijo === null || hijo === undefined || hijo === false) continue;
    nodo.append(hijo instanceof Node ? hijo : String(hijo));
  }
  return nodo;
}

export const $ = (id) => document.getElementById(id);

export function vaciar(nodo) {
  nodo.replaceChildren();
  return nodo;
}

export function esObjeto(valor) {
  return valor !== null && typeof valor === "object" && !Array.isArray(valor);
}

export function recortar(texto, max) {
  const t = String(texto ?? "").replace(/\s+/g, " ").trim();
  return t.length > max ? t.slice(0, max - 1) + "…" : t;
}

export function plural(n, uno, varios) {
  return `${n} ${n === 1 ? uno : varios}`;
}
