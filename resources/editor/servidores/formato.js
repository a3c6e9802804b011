// Pure helpers of the servers page: no DOM at import time (tested with
// node --test in tests/paginas/).

const unidades = ["B", "KB", "MB", "GB", "TB"];

export function bytes(n) {
  let v = Number(n) || 0;
  let i = 0;
  while (Math.abs(v) >= 1024 && i < unidades.length - 1) {
    v /= 1024;
    i += 1;
  }
  const texto = i === 0 ? String(Math.round(v)) : v.toFixed(v < 10 ? 1 : 0);
  return `${texto.replace(".", ",")} ${unidades[i]}`;
}

export function porcentaje(parte, total) {
  if (!total) return "0 %";
  return `${Math.round((100 * parte) / total)} %`;
}

export function duracion(segundos) {
  const s = Math.max(0, Math.floor(Number(segundos) || 0));
  const dias = Math.floor(s / 86400);
  const horas = Math.floor((s % 86400) / 3600);
  const minutos = Math.floor((s % 3600) / 60);
  if (dias > 0) return `${dias} d ${horas} h`;
  if (horas > 0) return `${horas} h ${minutos} min`;
  return `${minutos} min`;
}

// Bytes (a Uint8Array) to standard Base64, and back.
export function aBase64(bytesEntrada) {
  let binario = "";
  for (let i = 0; i < bytesEntrada.length; i += 0x8000) {
    binario += String.fromCharCode(...bytesEntrada.subarray(i, i + 0x8000));
  }
  return btoa(binario);
}

export function desdeBase64(texto) {
  const binario = atob(texto);
  const r = new Uint8Array(binario.length);
  for (let i = 0; i < binario.length; i += 1) r[i] = binario.charCodeAt(i);
  return r;
}

// What the terminal sends for a typed string: its UTF-8 bytes in Base64.
export function teclasBase64(texto) {
  return aBase64(new TextEncoder().encode(texto));
}

// The folder above a remote path ("/" stays "/").
export function padre(ruta) {
  const limpia = String(ruta || "/").replace(/\/+$/, "");
  const i = limpia.lastIndexOf("/");
  return i <= 0 ? "/" : limpia.slice(0, i);
}

// A child's path in a remote folder.
export function unir(carpeta, nombre) {
  return (carpeta === "/" ? "" : String(carpeta).replace(/\/+$/, "")) + "/" + nombre;
}

export function fecha(segundos) {
  if (!segundos) return "";
  const d = new Date(segundos * 1000);
  const dos = (n) => String(n).padStart(2, "0");
  return `${dos(d.getDate())}/${dos(d.getMonth() + 1)}/${d.getFullYear()} ${dos(d.getHours())}:${dos(d.getMinutes())}`;
}
