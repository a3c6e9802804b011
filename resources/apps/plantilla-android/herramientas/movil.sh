#!/bin/sh
# Órdenes de la app de Android de AppPlantilla, desde la carpeta android/:
#   herramientas/movil.sh compilar    compila la versión de depuración
#   herramientas/movil.sh instalar    la instala en el emulador o teléfono conectado
#   herramientas/movil.sh abrir       la abre
set -e
cd "$(dirname "$0")/.."
case "$1" in
    compilar) ./gradlew assembleDebug ;;
    instalar) ./gradlew installDebug ;;
    abrir) adb shell monkey -p es.sorvenia.code.plantilla -c android.intent.category.LAUNCHER 1 ;;
    *) echo "Uso: herramientas/movil.sh compilar|instalar|abrir" >&2; exit 2 ;;
esac
