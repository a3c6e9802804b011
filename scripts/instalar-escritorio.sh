#!/usr/bin/env bash
# Registers a built Sorvenia Code with the user's desktop, so that the
# browser can hand the sign-in's "sorvenia-tarvel:" address back to it:
#   scripts/instalar-escritorio.sh /ruta/absoluta/a/sorvenia-tarvel
# Writes es.sorvenia.tarvel.desktop (named after the application id, which
# notifications need too) into the user's applications folder, makes it the
# handler of the scheme, and installs the icon.
set -euo pipefail
cd "$(dirname "$0")/.."

ejecutable=$(realpath "$1")
datos="${XDG_DATA_HOME:-$HOME/.local/share}"
apps="$datos/applications"
iconos="$datos/icons/hicolor/scalable/apps"
mkdir -p "$apps" "$iconos"

# Exec takes the path quoted, with the characters the desktop-entry format
# reserves inside quotes escaped.
citado=$(printf '%s' "$ejecutable" | sed -e 's/[\\"`$]/\\\\&/g')
sed "s|^Exec=@EJECUTABLE@|Exec=\"$citado\"|" packaging/es.sorvenia.tarvel.desktop.in >"$apps/es.sorvenia.tarvel.desktop"
cp packaging/iconos/es.sorvenia.tarvel.svg "$iconos/"

update-desktop-database "$apps" 2>/dev/null || true
xdg-mime default es.sorvenia.tarvel.desktop x-scheme-handler/sorvenia-tarvel 2>/dev/null || true
