// The peer of the MCP server benchmark: a minimal MCP server built the way
// the official TypeScript SDK documents a stateless Streamable HTTP server
// (a new server and transport for every request, JSON responses instead of
// event streams), on node:http at 127.0.0.1, POST /mcp.
//
// One tool, "escribir" {"html"}, answers "recibidos <n> caracteres", as the
// benchmark's handler for our server does. Bodies up to the same limit as
// our server's (16 MiB plus 64 KiB). Prints "PUERTO <n>" once listening and
// exits when its standard input ends, so it never outlives the benchmark.
import http from 'node:http';
import { Server } from '@modelcontextprotocol/sdk/server/index.js';
import { StreamableHTTPServerTransport } from '@modelcontextprotocol/sdk/server/streamableHttp.js';
import { CallToolRequestSchema, ListToolsRequestSchema } from '@modelcontextprotocol/sdk/types.js';

const limiteCuerpo = 16 * 1024 * 1024 + 64 * 1024;

function servidorMCP() {
  const servidor = new Server({ name: 'referencia', version: '1.0.0' }, { capabilities: { tools: {} } });
  servidor.setRequestHandler(ListToolsRequestSchema, async () => ({
    tools: [
      {
        name: 'escribir',
        inputSchema: { type: 'object', properties: { html: { type: 'string' } }, required: ['html'] },
      },
    ],
  }));
  servidor.setRequestHandler(CallToolRequestSchema, async (peticion) => {
    const html = peticion.params.arguments?.html;
    const n = typeof html === 'string' ? html.length : 0;
    return { content: [{ type: 'text', text: `recibidos ${n} caracteres` }], isError: false };
  });
  return servidor;
}

const escucha = http.createServer(async (req, res) => {
  if (req.method !== 'POST' || req.url !== '/mcp') {
    res.writeHead(404).end();
    return;
  }
  const servidor = servidorMCP();
  const transporte = new StreamableHTTPServerTransport({
    sessionIdGenerator: undefined,
    enableJsonResponse: true,
    maxRequestBodySize: limiteCuerpo,
  });
  res.on('close', () => {
    transporte.close();
    servidor.close();
  });
  try {
    await servidor.connect(transporte);
    await transporte.handleRequest(req, res);
  } catch (error) {
    console.error(`referencia: ${error?.stack ?? error}`);
    if (!res.headersSent) res.writeHead(500).end();
  }
});

escucha.listen(0, '127.0.0.1', () => {
  process.stdout.write(`PUERTO ${escucha.address().port}\n`);
});

process.stdin.on('end', () => process.exit(0));
process.stdin.resume();
