#!/usr/bin/env bash
# Sets up, builds and starts Sorvenia Code.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/dependencias.sh
scripts/compilar.sh
# Until the application's window is built, the bridge is what runs: an MCP
# client speaks JSON-RPC to it on standard input.
exec build/tarvel-mcp "$@"
