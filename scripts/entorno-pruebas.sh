#!/usr/bin/env bash
# Runs a command in the surroundings the tests need, for example
#   scripts/entorno-pruebas.sh ctest --test-dir build -L gui
# A fresh home and XDG folders (removed afterwards), a virtual X display, a
# private D-Bus session bus, and on it gnome-keyring's Secret Service with a
# throwaway "login" keyring, unlocked, as the default collection. Nothing of
# the user's session (keyring, display, bus) is reached.
set -euo pipefail

if [ "${1:-}" != "--dentro" ]; then
  if [ $# -eq 0 ]; then
    echo "uso: $0 orden [argumentos...]" >&2
    exit 2
  fi
  aislado=$(mktemp -d)
  trap 'rm -rf "$aislado"' EXIT
  mkdir -p "$aislado"/{home,config,data,cache,runtime}
  chmod 700 "$aislado/runtime"
  export HOME="$aislado/home" XDG_CONFIG_HOME="$aislado/config" XDG_DATA_HOME="$aislado/data"
  export XDG_CACHE_HOME="$aislado/cache" XDG_RUNTIME_DIR="$aislado/runtime"
  unset DBUS_SESSION_BUS_ADDRESS GNOME_KEYRING_CONTROL SSH_AUTH_SOCK DISPLAY WAYLAND_DISPLAY XAUTHORITY \
        SORVENIA_LLAVERO_DESECHABLE || true
  estado=0
  xvfb-run -a -s "-screen 0 1920x1080x24" dbus-run-session -- "$(realpath "$0")" --dentro "$@" || estado=$?
  exit "$estado"
fi
shift

# Inside the private bus. The keyring daemon reads the new keyring's password
# from standard input and creates "login" with it, unlocked.
registro="$XDG_RUNTIME_DIR/gnome-keyring.log"
printf 'prueba' | gnome-keyring-daemon --foreground --unlock --components=secrets >"$registro" 2>&1 &
llavero=$!
trap 'kill "$llavero" 2>/dev/null || true; wait "$llavero" 2>/dev/null || true' EXIT

secretos() {
  gdbus call --session --dest org.freedesktop.secrets --object-path "$@" 2>/dev/null
}
# Asked before the daemon owns its name, the bus would start a second one by
# activation; so first wait for the name, then for the collection.
propio() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.freedesktop.secrets 2>/dev/null | grep -q true
}
listo=""
for _ in $(seq 100); do
  if ! propio; then
    kill -0 "$llavero" 2>/dev/null || break
    sleep 0.1
    continue
  fi
  coleccion=$(secretos /org/freedesktop/secrets --method org.freedesktop.Secret.Service.ReadAlias default || true)
  coleccion=$(sed -n "s/^(objectpath '\(.*\)',)$/\1/p" <<<"$coleccion")
  if [ -n "$coleccion" ] && [ "$coleccion" != "/" ] &&
     secretos "$coleccion" --method org.freedesktop.DBus.Properties.Get org.freedesktop.Secret.Collection Locked |
       grep -q false; then
    listo=1
    break
  fi
  kill -0 "$llavero" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$listo" ]; then
  echo "entorno-pruebas: gnome-keyring no ha dejado un llavero por omisión desbloqueado." >&2
  cat "$registro" >&2
  exit 1
fi

# Tells the keychain tests that the keyring they write into is throwaway.
export SORVENIA_LLAVERO_DESECHABLE=1
"$@"
