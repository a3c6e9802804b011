// The peer of the bridge benchmark: the smallest stdio MCP server built the
// way the official TypeScript SDK documents it, with one tool. It ends when
// its standard input ends, as the bridge does.
import { Server } from '@modelcontextprotocol/sdk/server/index.js';
import { StdioServerTransport } from '@modelcontextprotocol/sdk/server/stdio.js';
import { ListToolsRequestSchema } from '@modelcontextprotocol/sdk/types.js';

const servidor = new Server({ name: 'referencia', version: '1.0.0' }, { capabilities: { tools: {} } });
servidor.setRequestHandler(ListToolsRequestSchema, async () => ({
  tools: [{ name: 'escribir', inputSchema: { type: 'object', properties: { html: { type: 'string' } } } }],
}));
const transporte = new StdioServerTransport();
process.stdin.on('end', () => process.exit(0));
await servidor.connect(transporte);
