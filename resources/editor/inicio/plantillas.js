// The page sizes a new design can start from: the application's table of
// templates (ids, names and sizes as native code has them), with a line
// that says what each one is for.

export const PLANTILLAS = [
  { id: "web", nombre: "Página web", ancho: 1440, alto: 900, auto: true, para: "Una web que crece hacia abajo" },
  { id: "webmovil", nombre: "Web móvil", ancho: 390, alto: 844, auto: true, para: "La web vista en un teléfono" },
  { id: "escritorio", nombre: "Pantalla", ancho: 1440, alto: 900, auto: false, para: "Una pantalla de ordenador" },
  { id: "tableta", nombre: "Tableta", ancho: 834, alto: 1194, auto: false, para: "Una pantalla de tableta" },
  { id: "movil", nombre: "Móvil", ancho: 390, alto: 844, auto: false, para: "Una pantalla de teléfono" },
  { id: "redes", nombre: "Post redes", ancho: 1080, alto: 1350, auto: false, para: "Instagram, LinkedIn…" },
  { id: "presentacion", nombre: "Diapositiva", ancho: 1920, alto: 1080, auto: false, para: "Una presentación 16:9" },
  { id: "aplicacion", nombre: "Aplicación", ancho: 1440, alto: 900, auto: true, para: "Una aplicación web" },
  { id: "appmovil", nombre: "App de móvil", ancho: 390, alto: 844, auto: false, para: "Las pantallas de una app" },
];

export const PLANTILLA_INICIAL = "web";

export function plantilla(id) {
  return PLANTILLAS.find((p) => p.id === id) || PLANTILLAS[0];
}

// "1440 × 900", "1440 × alto libre"
export function medida(p) {
  return p.auto ? `${p.ancho} × alto libre` : `${p.ancho} × ${p.alto}`;
}
