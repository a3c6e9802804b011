#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# asking apt-get only for those that are missing. Also generates the Spanish
# locale the tests use.
set -euo pipefail

paquetes=(
  cmake ninja-build g++ pkg-config
  nlohmann-json3-dev libcurl4-openssl-dev libssl-dev libasio-dev
  libcpp-httplib-dev
  libglib2.0-dev libgtk-4-dev libwebkitgtk-6.0-dev libsecret-1-dev
  gnome-keyring dbus dbus-x11 xvfb xauth
  libgcr-3-dev
  libgtest-dev
  libicu-dev
  libre2-dev
  clang libclang-rt-14-dev
  libfontconfig-dev libfreetype-dev fonts-dejavu-core desktop-file-utils xdg-utils
  locales
  # The tests start their own sshd instance (own port, key and configuration)
  # from this package; they never use or change the machine's service.
  openssh-server openssh-client
  # The contact sheet: gdk-pixbuf decodes and encodes, cairo draws; the
  # benchmark compares the sheet with ImageMagick's montage.
  libgdk-pixbuf-2.0-dev libcairo2-dev imagemagick
  # Video export encodes through FFmpeg's libraries; its tests and benchmark
  # read the result with the ffmpeg and ffprobe programs.
  libavcodec-dev libavformat-dev libswscale-dev libavutil-dev ffmpeg
  # Checks the deploy script the application runs on customers' servers.
  shellcheck
)
# npm fetches the front-end files the resources ship (the fonts); any
# Node.js that brings npm will do, else Debian's.
command -v npm >/dev/null 2>&1 || paquetes+=(npm)

faltan=()
for p in "${paquetes[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || faltan+=("$p")
done
# Node.js and npm run the MCP SDK of the interoperability test. Asked for by
# command, not by package: a Node.js from elsewhere may bring npm inside its
# own package, which conflicts with Debian's npm.
command -v node >/dev/null || faltan+=(nodejs)
command -v npm >/dev/null || faltan+=(npm)

como_root=()
[ "$(id -u)" -eq 0 ] || como_root=(sudo)

if [ ${#faltan[@]} -gt 0 ]; then
  echo "Instalando: ${faltan[*]}"
  "${como_root[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${como_root[@]}" apt-get install -y -q --no-install-recommends "${faltan[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^es_ES\.utf-\?8$'; then
  "${como_root[@]}" sed -i 's/^# *\(es_ES.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^es_ES.UTF-8 UTF-8' /etc/locale.gen || echo 'es_ES.UTF-8 UTF-8' | "${como_root[@]}" tee -a /etc/locale.gen >/dev/null
  "${como_root[@]}" locale-gen >/dev/null
fi
