// Sorvenia Code's data copy for app projects, run by the deploy script on
// the VPS before a new version starts:
//
//   node copia-datos.mjs ORIGEN DESTINO
//
// Copies the app's data folder ORIGEN into DESTINO (which must not exist
// yet), keeping symbolic links as links and never following one out of the
// folder, so a version can be brought back with its data as they were.
// Prints one line when done; exits 1 with a Spanish sentence on failure.
import { cpSync, existsSync, lstatSync } from "node:fs";
import { resolve } from "node:path";

function fallar(texto) {
    console.error(texto);
    process.exit(1);
}

const [origen, destino] = process.argv.slice(2);
if (!origen || !destino) fallar("Uso: node copia-datos.mjs ORIGEN DESTINO");
const desde = resolve(origen);
const hasta = resolve(destino);
if (!existsSync(desde) || !lstatSync(desde).isDirectory()) fallar("No existe la carpeta de datos.");
if (existsSync(hasta)) fallar("La copia de los datos ya existe.");
if (hasta.startsWith(desde + "/")) fallar("La copia no puede ir dentro de los datos.");
try {
    cpSync(desde, hasta, { recursive: true, verbatimSymlinks: true, preserveTimestamps: true, errorOnExist: true });
} catch (e) {
    fallar("No se han podido copiar los datos: " + e.message);
}
console.log("Datos copiados.");
