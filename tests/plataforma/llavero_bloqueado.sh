#!/usr/bin/env bash
# Run under a bus of its own (dbus-run-session) with fresh XDG folders:
#   llavero_bloqueado.sh <secretos_programa> <contestador_llavero> <respuesta>
# Leaves a key in a "login" keyring, starts the keyring daemon again as a new
# login that did not unlock it would, with its prompts going to the stand-in
# user, and reads the key. Prints what the read printed, then the stand-in's
# report, then whether the collection is still locked.
set -euo pipefail
secretos=$1 contestador=$2 respuesta=$3
trabajo=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$trabajo"' EXIT

tiene_dueno() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.freedesktop.secrets 2>/dev/null | grep -q true
}
# Waits for the daemon to own its name: asked earlier, the bus would start
# another daemon by activation, one that prompts elsewhere.
esperar_llavero() {
  for _ in $(seq 100); do
    tiene_dueno && return 0
    sleep 0.1
  done
  echo "el llavero no ha arrancado" >&2
  exit 1
}
bloqueado() {
  gdbus call --session --dest org.freedesktop.secrets --object-path /org/freedesktop/secrets/collection/login \
    --method org.freedesktop.DBus.Properties.Get org.freedesktop.Secret.Collection Locked 2>/dev/null |
    grep -q true && echo "bloqueado: si" || echo "bloqueado: no"
}

printf prueba | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
primero=$!
esperar_llavero
"$secretos" guardar servicio-bloqueo ana clave-guardada >"$trabajo/guardado"
grep -qx ok "$trabajo/guardado" || { cat "$trabajo/guardado" >&2; exit 1; }
kill "$primero"
wait "$primero" || true
for _ in $(seq 100); do tiene_dueno || break; sleep 0.1; done

"$contestador" "$respuesta" >"$trabajo/contestador" &
pids+=($!)
for _ in $(seq 100); do [ -s "$trabajo/contestador" ] && break; sleep 0.1; done
nombre=$(head -n 1 "$trabajo/contestador")
GNOME_KEYRING_TEST_PROMPTER=$nombre gnome-keyring-daemon --foreground --components=secrets >/dev/null 2>&1 &
pids+=($!)
esperar_llavero
bloqueado
"$secretos" leer servicio-bloqueo ana
for _ in $(seq 50); do [ "$(wc -l <"$trabajo/contestador")" -ge 2 ] && break; sleep 0.1; done
sed -n 2p "$trabajo/contestador"
bloqueado
