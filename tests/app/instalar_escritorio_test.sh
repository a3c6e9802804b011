#!/usr/bin/env bash
# The desktop entry that scripts/instalar-escritorio.sh writes, for programs
# under awkward folder names: desktop-file-validate accepts it, and a
# "sorvenia-tarvel:" address reaches the program unchanged through xdg-open on
# a desktop it does not know (its plain mode, which reads Exec without
# quotes) and through GLib's launcher (GNOME's, which follows the format's
# quoting). The program is a stand-in that writes down its arguments.
#   instalar_escritorio_test.sh <raíz del proyecto>
set -uo pipefail
raiz=$(realpath "$1")
trabajo=$(mktemp -d)
trap 'rm -rf "$trabajo"' EXIT
fallos=0
falla() { echo "FALLO [$caso]: $*" >&2; fallos=$((fallos + 1)); }

direccion='sorvenia-tarvel://conectar?codigo=a1b2&estado=x%20y;z'

# Waits for the stand-in's record and compares it with the address.
comprobar() {
  local quien=$1 registro=$2
  for _ in $(seq 50); do [ -s "$registro" ] && break; sleep 0.1; done
  if [ "$(cat "$registro" 2>/dev/null)" != "$direccion" ]; then
    falla "$quien no ha dado la dirección al programa (anotado: '$(cat "$registro" 2>/dev/null)')"
  fi
  rm -f "$registro"
}

# program folder | the user's data folder | whether plain xdg-open can run it.
# A program path with reserved characters gets a plain link under the data
# folder; when that folder is not plain either, the Exec line is quoted, which
# launchers that follow the format read and plain xdg-open never can.
casos=(
  "programa|datos|si"
  "con espacio|datos|si"
  'comilla"y$dólar`|datos|si'
  'barra\invertida y 100%|datos|si'
  'comilla"y\barra $dólar|datos con espacio|no'
)
n=0
for entrada in "${casos[@]}"; do
  IFS='|' read -r carpeta datos plano <<<"$entrada"
  caso=$carpeta
  n=$((n + 1))
  base="$trabajo/$n"
  mkdir -p "$base/$carpeta" "$base/home" "$base/config" "$base/$datos"
  registro="$base/registro"
  programa="$base/$carpeta/sorvenia-tarvel"
  printf '#!/bin/sh\nprintf "%%s" "$*" >"%s"\n' "$registro" >"$programa"
  chmod +x "$programa"
  export HOME="$base/home" XDG_CONFIG_HOME="$base/config" XDG_DATA_HOME="$base/$datos"
  if ! "$raiz/scripts/instalar-escritorio.sh" "$programa"; then
    falla "la instalación ha fallado"
    continue
  fi
  entrada_escritorio="$XDG_DATA_HOME/applications/es.sorvenia.tarvel.desktop"
  if ! informe=$(desktop-file-validate "$entrada_escritorio" 2>&1) || [ -n "$informe" ]; then
    falla "desktop-file-validate: $informe"
  fi
  if [ "$plano" = si ]; then
    grep -q '^Exec=[^"]' "$entrada_escritorio" || falla "Exec lleva comillas: $(grep ^Exec= "$entrada_escritorio")"
    env -u XDG_CURRENT_DESKTOP -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID -u DESKTOP_SESSION \
      DE=generic DISPLAY="${DISPLAY:-:0}" xdg-open "$direccion" >/dev/null 2>&1 || falla "xdg-open ha fallado"
    comprobar "xdg-open" "$registro"
  fi
  gio open "$direccion" >/dev/null 2>&1 || falla "gio open ha fallado"
  comprobar "gio open" "$registro"
done

[ "$fallos" -eq 0 ] && echo "instalar-escritorio: $n casos bien"
exit $((fallos > 0))
