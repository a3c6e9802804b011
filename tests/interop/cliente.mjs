// A standard MCP client (the official TypeScript SDK) in one MCP session
// against the application's local server:
//   node cliente.mjs http    Streamable HTTP, straight to /mcp/<token>
//   node cliente.mjs stdio   stdio, through the bridge program
// Environment: MCP_PUERTO and MCP_TOKEN (http), MCP_PUENTE and HOME (stdio).
// Initialises, lists the tools, pings and calls "leer" {"id":"s1"}; prints
// one JSON line with what it saw. Exits 1 when something does not match
// what any MCP server of ours must answer, 2 on a time-out.
import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StdioClientTransport } from '@modelcontextprotocol/sdk/client/stdio.js';
import { StreamableHTTPClientTransport } from '@modelcontextprotocol/sdk/client/streamableHttp.js';

const modo = process.argv[2];
const limite = { timeout: 10_000 };

const reloj = setTimeout(() => {
  console.error(`cliente ${modo}: sin respuesta a tiempo`);
  process.exit(2);
}, 30_000);

// Every HTTP exchange the SDK makes, "METHOD status", so that a refusal
// says which request the server turned down.
const intercambios = [];
const enCurso = new Set();
const fetchAnotado = (url, init) => {
  const peticion = fetch(url, init).then((respuesta) => {
    intercambios.push(`${init?.method ?? 'GET'} ${respuesta.status}`);
    return respuesta;
  });
  enCurso.add(peticion);
  peticion.then(() => enCurso.delete(peticion), () => enCurso.delete(peticion));
  return peticion;
};

function transporte() {
  if (modo === 'http') {
    const url = new URL(`http://127.0.0.1:${process.env.MCP_PUERTO}/mcp/${process.env.MCP_TOKEN}`);
    return new StreamableHTTPClientTransport(url, { fetch: fetchAnotado });
  }
  if (modo === 'stdio') {
    return new StdioClientTransport({
      command: process.env.MCP_PUENTE,
      env: { HOME: process.env.HOME, PATH: process.env.PATH ?? '/usr/bin:/bin' },
      stderr: 'inherit',
    });
  }
  throw new Error(`modo desconocido: ${modo}`);
}

function exigir(condicion, texto) {
  if (!condicion) throw new Error(texto);
}

const cliente = new Client({ name: `interop-${modo}`, version: '1.0.0' });
// Failures outside any request's own answer (the GET the HTTP transport
// makes on its own after initialising, say) reach only this handler.
const erroresAparte = [];
cliente.onerror = (error) => erroresAparte.push(String(error?.message ?? error));
let visto;
try {
  await cliente.connect(transporte(), limite);
  const servidor = cliente.getServerVersion();
  const { tools } = await cliente.listTools(undefined, limite);
  const pong = await cliente.ping(limite);
  const llamada = await cliente.callTool({ name: 'leer', arguments: { id: 's1' } }, undefined, limite);
  // Also what the transport sent on its own, so the record is whole.
  await Promise.allSettled([...enCurso]);
  visto = {
    modo,
    servidor: servidor?.name,
    capacidades: cliente.getServerCapabilities(),
    instrucciones: cliente.getInstructions(),
    herramientas: tools.map((t) => t.name),
    pong,
    llamada,
    intercambios,
    erroresAparte,
  };
  exigir(tools.length === 24, `se esperaban 24 herramientas, hay ${tools.length}`);
  exigir(tools[0].name === 'ver_tarvel', `primera herramienta: ${tools[0].name}`);
  exigir(tools.at(-1).name === 'enfocar', `última herramienta: ${tools.at(-1).name}`);
  exigir(JSON.stringify(pong) === '{}', `ping: ${JSON.stringify(pong)}`);
  exigir(llamada.isError === false, 'la llamada volvió marcada como error');
  exigir(Array.isArray(llamada.content) && llamada.content[0]?.type === 'text', 'la llamada no trae texto');
  exigir(erroresAparte.length === 0, `errores del transporte: ${erroresAparte.join('; ')}`);
} catch (error) {
  console.error(`cliente ${modo}: ${error?.stack ?? error}`);
  console.error(`intercambios HTTP: ${intercambios.join(', ') || '(ninguno)'}`);
  if (visto) console.error(JSON.stringify(visto));
  process.exitCode = 1;
} finally {
  await cliente.close().catch(() => {});
  clearTimeout(reloj);
}
if (!process.exitCode) console.log(JSON.stringify(visto));
