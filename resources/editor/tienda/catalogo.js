// The store catalogue as the page draws it, read defensively: the account
// decides its shape, so anything unexpected is left out rather than shown
// half. No DOM here.

const esObjeto = (v) => v !== null && typeof v === "object" && !Array.isArray(v);
const texto = (v) => (typeof v === "string" ? v : "");

// The account's own section, always first.
export const SECCION_MIA = { id: "mio", nombre: "Mi cuenta", productos: [] };

// The panel pages of the account's own section.
export const ENLACES_CUENTA = [
  { nombre: "Panel de mi cuenta", ir: "/panel/" },
  { nombre: "Mis servicios", ir: "/panel/servicios.php" },
  { nombre: "Mis dominios", ir: "/panel/dominios.php" },
  { nombre: "Facturas", ir: "/panel/facturas.php" },
];

export function esRutaPanel(ir) {
  return typeof ir === "string" && ir.startsWith("/panel/");
}

// "5 € / mes"; "" without a price.
export function precio(p) {
  if (typeof p.precio !== "number" || !Number.isFinite(p.precio)) return "";
  const cifra = Number.isInteger(p.precio) ? String(p.precio) : p.precio.toFixed(2).replace(".", ",");
  return texto(p.periodo) ? `${cifra} € / ${p.periodo}` : `${cifra} €`;
}

// [{id, nombre, productos: [{id, nombre, precio, ir}]}], "mio" first; products
// without a name or a panel path are left out.
export function secciones(tienda) {
  const lista = [SECCION_MIA];
  const crudas = esObjeto(tienda) && Array.isArray(tienda.secciones) ? tienda.secciones : [];
  for (const s of crudas) {
    if (!esObjeto(s) || !texto(s.id) || !texto(s.nombre) || s.id === SECCION_MIA.id) continue;
    if (lista.some((x) => x.id === s.id)) continue;
    const productos = (Array.isArray(s.productos) ? s.productos : [])
      .filter((p) => esObjeto(p) && texto(p.nombre) && esRutaPanel(p.ir))
      .map((p) => ({ id: texto(p.id), nombre: p.nombre, precio: precio(p), ir: p.ir }));
    lista.push({ id: s.id, nombre: s.nombre, productos });
  }
  return lista;
}

// The section to show: the one asked for when the catalogue has it, else "mio".
export function elegida(lista, pedida) {
  return lista.some((s) => s.id === pedida) ? pedida : SECCION_MIA.id;
}
