#!/usr/bin/env bash
# Sets up, builds and starts Sorvenia Code.
#
# The account site is the "servidor" preference. While none is set (or it
# is the local service this script set last time), the local account
# service cuenta-local runs on a free port of 127.0.0.1 with its data in
# ~/.local/share/SorveniaTarvel/cuenta-local/, and "servidor" points at it;
# it stops when the application that started it ends. Sign in there as its
# "Cliente de prueba".
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/dependencias.sh
# Only what starts here: the application (with its resources and the bridge
# it installs) and the local account service; the tests are not built.
scripts/compilar.sh sorvenia-tarvel cuenta_local_programa
# The browser hands the sign-in back through the desktop's handler of
# "sorvenia-tarvel:" addresses.
scripts/instalar-escritorio.sh build/sorvenia-tarvel

preferencias="${XDG_CONFIG_HOME:-$HOME/.config}/SorveniaTarvel/preferencias.json"
locales="$HOME/.local/share/SorveniaTarvel/cuenta-local"

# Reads or sets one text of the preferences file (a JSON object, replaced
# atomically, owner-only like the application writes it).
preferencia() {
  node -e '
    const fs = require("fs"), path = require("path");
    const [archivo, clave, valor] = process.argv.slice(1);
    let datos = {};
    try { datos = JSON.parse(fs.readFileSync(archivo, "utf8")); } catch {}
    if (datos === null || typeof datos !== "object" || Array.isArray(datos)) datos = {};
    if (valor === undefined) { if (typeof datos[clave] === "string") process.stdout.write(datos[clave]); process.exit(0); }
    datos[clave] = valor;
    fs.mkdirSync(path.dirname(archivo), { recursive: true, mode: 0o700 });
    const temporal = archivo + ".run-" + process.pid;
    fs.writeFileSync(temporal, JSON.stringify(datos, null, 2) + "\n", { mode: 0o600 });
    fs.renameSync(temporal, archivo);
  ' "$preferencias" "$@"
}

vivo() {
  local pid url puerto
  pid=$(cat "$locales/pid" 2>/dev/null) || return 1
  url=$(cat "$locales/servidor" 2>/dev/null) || return 1
  puerto=${url##*:}
  kill -0 "$pid" 2>/dev/null && (exec 3<>"/dev/tcp/127.0.0.1/$puerto") 2>/dev/null
}

servidor=$(preferencia servidor)
propio=""
if [ -z "$servidor" ] || [ "$servidor" = "$(cat "$locales/servidor" 2>/dev/null)" ]; then
  if ! vivo; then
    mkdir -p "$locales"
    rm -f "$locales/salida"
    build/cuenta-local --datos "$locales/datos" --puerto 0 >"$locales/salida" 2>"$locales/errores" &
    propio=$!
    for _ in $(seq 100); do
      url=$(sed -n 's/^cuenta-local escuchando en //p' "$locales/salida" 2>/dev/null)
      [ -n "$url" ] && break
      kill -0 "$propio" 2>/dev/null || { cat "$locales/errores" >&2; exit 1; }
      sleep 0.1
    done
    [ -n "$url" ] || { echo "cuenta-local no ha arrancado" >&2; kill "$propio"; exit 1; }
    echo "$propio" >"$locales/pid"
    echo "$url" >"$locales/servidor"
    trap 'kill "$propio" 2>/dev/null || true' EXIT
  fi
  preferencia servidor "$(cat "$locales/servidor")"
  echo "Cuenta local: $(cat "$locales/servidor")"
  echo "Siguiente paso: pulsa «Conectar» y conecta con «Cliente de prueba» en la página que se abre."
else
  echo "Siguiente paso: pulsa «Conectar» y conecta con tu cuenta de Sorvenia en la página que se abre."
fi
echo "Si no se abre ningún navegador, la ventana muestra el enlace: cópialo y ábrelo en un navegador de este ordenador."

build/sorvenia-tarvel "$@"
