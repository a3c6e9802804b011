#!/usr/bin/env bash
# Builds and runs the benchmarks, printing our numbers as ratios to the
# peers they run beside. Not part of the test suite; finishes in well under
# a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -f build/CMakeCache.txt ]; then
  CC=clang CXX=clang++ cmake -S . -B build -G Ninja -DSORVENIA_WERROR=ON >/dev/null
fi
cmake --build build --target banco_mcp banco_lineas_agente banco_puente

# The MCP server: ours in this process, the reference as its child under Node.js.
build/bench/banco_mcp "$(command -v node)" build/interop/servidor_referencia.mjs

# A whole stdio session of the bridge, against cat and the SDK's stdio server.
build/bench/banco_puente build/tarvel-mcp "$(command -v node)" build/interop/servidor_referencia_stdio.mjs
# An agent's event line to the chat message on the editor page, under a display.
cmake --build build --target banco_chat_agente
scripts/entorno-pruebas.sh build/bench/banco_chat_agente
# The editor canvas at rest and under edits, 1 and 50 mesas; the 50-mesa
# design shown beside WebKitGTK's MiniBrowser showing the same documents.
cmake --build build --target banco_lienzo
scripts/entorno-pruebas.sh build/bench/banco_lienzo
# The application's start to its first painted page, and its idle memory,
# beside MiniBrowser opening the same page.
cmake --build build --target banco_arranque
scripts/entorno-pruebas.sh build/bench/banco_arranque
# The agents' output-line parsers, against JSON parsing of the same lines.
build/bench/banco_lineas_agente
# The servers screen's pseudo-terminal against a `script`-driven one.
cmake --build build --target banco_terminal
build/bench/banco_terminal
# The photo search's contact sheet, 12 and 30 photos, against montage.
cmake --build build --target banco_hoja
build/bench/banco_hoja
# MP4 export of a 10 s 1080p animation, against ffmpeg encoding its frames from PNG files.
cmake --build build --target banco_video
scripts/entorno-pruebas.sh build/bench/banco_video
# The agents' capture against headless Chromium (Debian's package; only the
# benchmarks need it), the main loop during a tall capture, and memory.
if ! command -v chromium >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y --no-install-recommends chromium
  else sudo apt-get install -y --no-install-recommends chromium; fi
fi
cmake --build build --target banco_captura
scripts/entorno-pruebas.sh build/bench/banco_captura "$(command -v chromium)"
