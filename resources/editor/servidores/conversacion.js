// One server's conversation with the AI administrator, as the page keeps
// it: what the user asked, the administrator's words, its steps on the
// server and how the run ended. Pure: no DOM, so it is tested in Node.

export function nueva() {
  return { entradas: [], enMarcha: false, parando: false };
}

// What the user sent; a run is about to start.
export function pedir(c, texto) {
  c.entradas.push({ rol: "yo", texto: String(texto) });
  c.enMarcha = true;
  c.parando = false;
  return c;
}

// The remote command of a step, without the launcher's path in front of it
// ("/…/ssh/bin/tarvel-vps-7 'uptime'" → "uptime"); any other text as it is.
export function ordenVisible(orden) {
  const t = String(orden ?? "").trim();
  const m = /^\S*\/tarvel-vps-\d+\s+(.*)$/s.exec(t);
  if (!m) return t;
  const resto = m[1].trim();
  const citada = /^'(.*)'$/s.exec(resto);
  return citada && !citada[1].includes("'") ? citada[1] : resto;
}

function ultima(c) {
  return c.entradas[c.entradas.length - 1];
}

// One "chat" message from native code. Unknown or malformed ones change nothing.
export function aplicar(c, m) {
  if (!m || typeof m !== "object") return c;
  switch (m.tipo) {
    case "empieza":
      c.enMarcha = true;
      break;
    case "texto": {
      if (typeof m.texto !== "string") break;
      const u = ultima(c);
      // Pieces of one answer arrive one after another until a step comes.
      if (u && u.rol === "ia" && u.abierta) u.texto += m.texto;
      else c.entradas.push({ rol: "ia", texto: m.texto, abierta: true });
      break;
    }
    case "paso":
      cerrarTexto(c);
      c.entradas.push({
        rol: "paso",
        id: String(m.id ?? ""),
        herramienta: String(m.herramienta ?? ""),
        orden: ordenVisible(m.orden),
        desc: typeof m.desc === "string" ? m.desc : "",
        estado: "trabajando",
      });
      break;
    case "pasoHecho": {
      const paso = [...c.entradas].reverse().find((e) => e.rol === "paso" && e.id === String(m.id ?? ""));
      if (paso) paso.estado = m.error === true ? "error" : "hecho";
      break;
    }
    case "fin": {
      cerrarTexto(c);
      const texto = typeof m.texto === "string" ? m.texto.trim() : "";
      const dichas = c.entradas.filter((e) => e.rol === "ia").map((e) => e.texto.trim());
      // The final text usually repeats what was already streamed.
      if (texto && !dichas.includes(texto) && !dichas.join("").endsWith(texto)) c.entradas.push({ rol: "ia", texto });
      break;
    }
    case "termina":
      cerrarTexto(c);
      if (c.parando) c.entradas.push({ rol: "aviso", texto: "Has parado al asistente." });
      else if (typeof m.codigo === "number" && m.codigo !== 0)
        c.entradas.push({ rol: "aviso", texto: `El asistente ha terminado con el código ${m.codigo}.` });
      c.enMarcha = false;
      c.parando = false;
      break;
    case "error":
      cerrarTexto(c);
      c.entradas.push({ rol: "error", texto: typeof m.texto === "string" ? m.texto : "El asistente no ha podido trabajar." });
      c.enMarcha = false;
      c.parando = false;
      break;
    default:
      break;
  }
  return c;
}

function cerrarTexto(c) {
  const u = ultima(c);
  if (u && u.rol === "ia") delete u.abierta;
}
