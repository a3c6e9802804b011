#!/usr/bin/env bash
# The layer check on small trees: each case plants one include and says
# whether the check must refuse it and what its message must name.
set -euo pipefail
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/comprobar_capas.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fallos=0

# A tree with a header in every layer the cases point at.
arbol() {
  rm -rf "$tmp/src"
  mkdir -p "$tmp/src"/{comun,plataforma/gui,ias,centro/gui,editor/gui,app}
  for h in comun/texto.h plataforma/tarea.h plataforma/gui/web_vista.h ias/proceso.h centro/centro.h \
           centro/gui/aparcamiento.h editor/escenas.h editor/gui/editor_vista.h app/raiz.h; do
    echo '#pragma once' > "$tmp/src/$h"
  done
  printf 'target_sources(sorvenia_nucleo PRIVATE centro.cpp)\n' > "$tmp/src/centro/CMakeLists.txt"
  printf 'target_sources(sorvenia_gui PRIVATE aparcamiento.cpp)\n' > "$tmp/src/centro/gui/CMakeLists.txt"
}

# caso <name> <expected: pasa|falla> <file> <line to add> [text the message must contain]
caso() {
  local nombre=$1 esperado=$2 fichero=$3 linea=$4 texto=${5:-}
  arbol
  printf '%s\n' "$linea" >> "$tmp/src/$fichero"
  local salida estado=0
  salida=$("$script" "$tmp/src" 2>&1) || estado=$?
  if [ "$esperado" = pasa ] && [ $estado -ne 0 ]; then
    echo "FALLO $nombre: refused a downward include: $salida"; fallos=$((fallos + 1))
  elif [ "$esperado" = falla ] && [ $estado -eq 0 ]; then
    echo "FALLO $nombre: accepted: $linea in $fichero"; fallos=$((fallos + 1))
  elif [ -n "$texto" ] && ! grep -qF -- "$texto" <<<"$salida"; then
    echo "FALLO $nombre: the message does not name '$texto': $salida"; fallos=$((fallos + 1))
  else
    echo "ok $nombre"
  fi
}

caso abajo_nucleo        pasa  centro/centro.h        '#include "ias/proceso.h"'
caso abajo_gui           pasa  editor/gui/editor_vista.h '#include "centro/gui/aparcamiento.h"'
caso shell_todo          pasa  app/raiz.h             '#include "editor/gui/editor_vista.h"'
caso nucleo_gui          falla centro/centro.h        '#include "centro/gui/aparcamiento.h"' \
     'src/centro/centro.h:2: #include "centro/gui/aparcamiento.h"'
caso nucleo_gtk          falla ias/proceso.h          '#include <gtk/gtk.h>' 'src/ias/proceso.h:2: #include <gtk/gtk.h>'
caso plataforma_nucleo   falla plataforma/tarea.h     '#include "ias/proceso.h"' 'src/plataforma/tarea.h:2'
caso comun_plataforma    falla comun/texto.h          '#include "plataforma/tarea.h"' 'src/comun/texto.h:2'
caso nucleo_arriba       falla ias/proceso.h          '#include "centro/centro.h"' 'src/ias/proceso.h:2: #include "centro/centro.h"'
caso gui_arriba          falla centro/gui/aparcamiento.h '#include "editor/gui/editor_vista.h"' 'src/centro/gui/aparcamiento.h:2'
caso gui_shell           falla editor/gui/editor_vista.h '#include "app/raiz.h"' 'src/editor/gui/editor_vista.h:2'
# Window library types and functions named outside window code, even
# declared by hand; comments, strings and gui/ folders may name them.
caso nucleo_tipo_gtk     falla centro/centro.h        'typedef struct _GtkWindow GtkWindow;' \
     'src/centro/centro.h:2: typedef struct _GtkWindow GtkWindow;: a core or platform file names _GtkWindow'
caso nucleo_parametro    falla editor/escenas.h       'void mostrar(WebKitWebView* vista);' 'src/editor/escenas.h:2'
caso plataforma_funcion  falla plataforma/tarea.h     'inline void f() { gtk_widget_show(nullptr); }' \
     'names gtk_widget_show'
caso nucleo_comentario   pasa  centro/centro.h        '/* parks a GtkWidget */ int x; // gtk_window_new'
caso nucleo_cadena       pasa  ias/proceso.h          'const char* k = "GtkWindow"; const char* r = R"(gdk_x)";'
caso gui_tipo_gtk        pasa  centro/gui/aparcamiento.h 'void aparcar(GtkWidget* web);'
caso nucleo_pixbuf       pasa  editor/escenas.h        'GdkPixbuf* decodificar(); inline void f(GdkPixbuf* p) { gdk_pixbuf_get_width(p); }'

# Two folders outside the order may not include each other both ways.
arbol
mkdir -p "$tmp/src"/{uno,dos}
printf '#pragma once\n#include "dos/b.h"\n' > "$tmp/src/uno/a.h"
printf '#pragma once\n#include "uno/a.h"\n' > "$tmp/src/dos/b.h"
if salida=$("$script" "$tmp/src" 2>&1) || ! grep -q "cycle" <<<"$salida"; then
  echo "FALLO ciclo: not refused: $salida"; fallos=$((fallos + 1))
else
  echo "ok ciclo"
fi

# Window code added to sorvenia_gui from a core folder's CMakeLists.txt.
caso cmake_gui_en_nucleo falla centro/CMakeLists.txt 'target_sources(sorvenia_gui PRIVATE x.cpp)' \
     'src/centro/CMakeLists.txt:2'

exit $((fallos > 0))
