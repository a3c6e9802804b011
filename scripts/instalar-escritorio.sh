#!/usr/bin/env bash
# Registers a built Sorvenia Code with the user's desktop, so that the
# browser can hand the sign-in's "sorvenia-tarvel:" address back to it:
#   scripts/instalar-escritorio.sh /ruta/a/sorvenia-tarvel
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

# True when a path can stand in an Exec line as it is: none of the characters
# the desktop-entry format reserves (they would need quotes), and no "%"
# (a field code). Plain launchers, such as xdg-open on desktops it does not
# know, take the program as the line's first word and understand no quotes,
# so the path is quoted only when nothing else will do.
sencilla() {
  [[ ! $1 =~ [[:space:][:cntrl:]\"\'\\\<\>~\|\&\;\$\*\?\#\(\)\`%] ]]
}

# The path as one quoted Exec argument: inside the quotes '"', '`', '$' and
# '\' take a backslash; then the key file's own escapes double every
# backslash; "%" is written "%%".
citada() {
  local a=$1
  a=${a//\\/\\\\}
  a=${a//\"/\\\"}
  a=${a//\`/\\\`}
  a=${a//\$/\\\$}
  a=${a//\\/\\\\}
  a=${a//%/%%}
  printf '"%s"' "$a"
}

if [[ $ejecutable == *$'\n'* ]]; then
  echo "instalar-escritorio: la ruta del programa contiene un salto de línea: $ejecutable" >&2
  exit 1
fi
programa=$ejecutable
if ! sencilla "$programa"; then
  # A link under the user's data folder gives every launcher a plain path.
  enlace="$datos/SorveniaTarvel/bin/sorvenia-tarvel"
  if sencilla "$enlace"; then
    mkdir -p "$(dirname "$enlace")"
    ln -sfn "$ejecutable" "$enlace"
    programa=$enlace
  fi
fi
if sencilla "$programa"; then exec_programa=$programa; else exec_programa=$(citada "$programa"); fi

# awk reads the line from the environment, where nothing is unescaped.
EXEC_PROGRAMA="$exec_programa" awk '
  /^Exec=@EJECUTABLE@/ { sub(/@EJECUTABLE@/, ""); print "Exec=" ENVIRON["EXEC_PROGRAMA"] substr($0, 6); next }
  { print }
' packaging/es.sorvenia.tarvel.desktop.in >"$apps/es.sorvenia.tarvel.desktop"
cp packaging/iconos/es.sorvenia.tarvel.svg "$iconos/"

update-desktop-database "$apps" 2>/dev/null || true
xdg-mime default es.sorvenia.tarvel.desktop x-scheme-handler/sorvenia-tarvel 2>/dev/null || true
