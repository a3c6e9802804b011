#!/usr/bin/env bash
# The layer check: fails, naming the file and the include, when a file under
# src/ includes a header from a higher layer, when a core file includes GTK,
# WebKit or a gui/ header, when a core or platform file names a GTK or WebKit
# type or function (even one it declares itself), when the core folders
# include each other in a cycle, or when a folder's CMakeLists.txt adds files
# to the wrong library.
#
# Usage: scripts/comprobar_capas.sh [SOURCE_ROOT]   (default: this tree's src/)
#
# The layers, bottom to top (HACKING.md states the same rule):
#   comun < plataforma < core subsystems, in ORDEN_NUCLEO below
#         < plataforma/gui < <subsystem>/gui, in the same order < app, tarvel_mcp
# A file may include headers from its own folder and from lower layers. A
# subsystem may include a subsystem that comes before it in ORDEN_NUCLEO, and
# a gui/ folder the gui/ folders of those. A core folder not in ORDEN_NUCLEO
# (a new subsystem) counts as above every listed one until someone places it.
set -euo pipefail
raiz="${1:-$(cd "$(dirname "$0")/.." && pwd)/src}"
exec python3 - "$raiz" <<'PY'
import os, re, sys

# The core subsystems, lowest first: each may include the ones before it.
ORDEN_NUCLEO = ["actualizacion", "ias", "cuenta", "medios", "integraciones", "aplicaciones", "centro", "editor", "navegacion",
                "servidores", "pantallas"]
PLATAFORMA = ["comun", "plataforma"]
ARRIBA = ["app", "tarvel_mcp"]
# System headers that only a gui/ folder or the shell may include. gdk-pixbuf
# (image files to pixels and back) needs no display, so the core may use it.
VENTANAS = re.compile(r"^(gtk|gdk(?!-pixbuf/)|gsk|webkit|webkit2|jsc|graphene|pango|fontconfig)[/.-]")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# GTK's and WebKit's types and functions (gdk-pixbuf's excepted, as above): a core file that names one (a
# forward declaration of GtkWidget, say) ties the core to the window library
# as surely as an include does.
VENTANA_NOMBRE = re.compile(r"\b_?(?:(?:Gtk|Gdk(?!Pixbuf)|Gsk|WebKit|JSC)[A-Z]\w*|(?:gtk|gdk(?!_pixbuf)|gsk|webkit|jsc)_[a-z]\w*)")

def sin_comentarios(texto):
    """The text with comments and string and character literals blanked out, lines kept."""
    fuera, i, n = [], 0, len(texto)
    def blanco(trozo):
        return "".join(c if c == "\n" else " " for c in trozo)
    while i < n:
        c = texto[i]
        if texto.startswith("//", i):
            j = texto.find("\n", i)
            j = n if j < 0 else j
        elif texto.startswith("/*", i):
            j = texto.find("*/", i + 2)
            j = n if j < 0 else j + 2
        elif c == "R" and texto.startswith('R"', i) and (i == 0 or not (texto[i - 1].isalnum() or texto[i - 1] == "_")):
            m = re.match(r'R"([^(\s]{0,16})\(', texto[i:])
            if not m:
                fuera.append(c)
                i += 1
                continue
            fin = texto.find(")" + m.group(1) + '"', i)
            j = n if fin < 0 else fin + len(m.group(1)) + 2
        elif c in "\"'":
            j = i + 1
            while j < n and texto[j] != c and texto[j] != "\n":
                j += 2 if texto[j] == "\\" else 1
            j = min(j + 1, n)
        else:
            fuera.append(c)
            i += 1
            continue
        fuera.append(blanco(texto[i:j]))
        i = j
    return "".join(fuera)


raiz = os.path.abspath(sys.argv[1])
fallos, avisos = [], []


def carpeta_de(ruta):
    """The layer folder of a path relative to src/: 'app' for app/canal_pruebas/x.h, 'editor/gui' ..."""
    partes = ruta.split("/")[:-1]
    if not partes:
        return ""
    if partes[0] in ARRIBA:
        return partes[0]
    if len(partes) >= 2 and partes[1] == "gui":
        return partes[0] + "/gui"
    return partes[0]


def rango(carpeta):
    """(layer, position inside the layer). Higher numbers are higher up."""
    if carpeta in ARRIBA:
        return (4, 0)
    gui = carpeta.endswith("/gui")
    base = carpeta[:-4] if gui else carpeta
    if base in PLATAFORMA:
        return (3, -1) if gui else (PLATAFORMA.index(base), 0)
    if base in ORDEN_NUCLEO:
        pos = ORDEN_NUCLEO.index(base)
    else:
        pos = len(ORDEN_NUCLEO)
        if not gui and carpeta not in sin_lugar:
            sin_lugar.add(carpeta)
            avisos.append(f"aviso: src/{carpeta}/ is not in ORDEN_NUCLEO (scripts/comprobar_capas.sh); "
                          "it counts as the top of the core until it is placed")
    return (3 if gui else 2, pos)


sin_lugar = set()
grafo = {}  # core folder -> {core folder it includes: first file and include}
for dirpath, dirnames, ficheros in os.walk(raiz):
    dirnames.sort()
    for nombre in sorted(ficheros):
        if not nombre.endswith((".h", ".cpp", ".cc", ".inc")):
            continue
        ruta = os.path.relpath(os.path.join(dirpath, nombre), raiz).replace(os.sep, "/")
        propia = carpeta_de(ruta)
        if not propia:
            continue
        mio = rango(propia)
        with open(os.path.join(dirpath, nombre), encoding="utf-8", errors="replace") as f:
            texto = f.read()
        if mio[0] <= 2:
            for linea_n, linea in enumerate(sin_comentarios(texto).split("\n"), 1):
                m = VENTANA_NOMBRE.search(linea)
                if m:
                    fallos.append(f"src/{ruta}:{linea_n}: {linea.strip()}: a core or platform file names "
                                  f"{m.group(0)}, a window library's; take a callback or a small interface "
                                  "that a gui/ folder fills in")
        for linea_n, linea in enumerate(texto.split("\n"), 1):
            m = INCLUDE.match(linea)
            if not m:
                continue
            comillas, cabecera = m.group(1) == '"', m.group(2)
            donde = f"src/{ruta}:{linea_n}: {linea.strip()}"
            if not comillas:
                if mio[0] <= 2 and VENTANAS.match(cabecera):
                    fallos.append(f"{donde}: a core or platform file includes a window library header")
                continue
            if "/" not in cabecera or not os.path.exists(os.path.join(raiz, cabecera)):
                continue
            suya = carpeta_de(cabecera)
            if suya == propia:
                continue
            otro = rango(suya)
            if suya in ARRIBA:
                fallos.append(f"{donde}: only the top layer itself may include src/{suya}/")
            elif otro > mio:
                fallos.append(f"{donde}: src/{propia}/ may not include src/{suya}/, a higher layer")
            elif mio[0] == 2 and otro[0] == 2:
                grafo.setdefault(propia, {}).setdefault(suya, donde)

# Folders outside the order cannot be ranked against each other: refuse any
# include cycle among core folders all the same.
def ciclo():
    color = {}
    pila = []
    def visitar(n):
        color[n] = 1
        pila.append(n)
        for m in sorted(grafo.get(n, {})):
            if color.get(m) == 1:
                return pila[pila.index(m):] + [m]
            if not color.get(m):
                c = visitar(m)
                if c:
                    return c
        pila.pop()
        color[n] = 2
        return None
    for n in sorted(grafo):
        if not color.get(n):
            c = visitar(n)
            if c:
                return c
    return None

c = ciclo()
if c:
    pasos = [grafo[a][b] for a, b in zip(c, c[1:])]
    fallos.append("core folders include each other in a cycle: " + " -> ".join(c) + "\n    " + "\n    ".join(pasos))

# Which library a folder's files go to follows from the folder.
for dirpath, dirnames, ficheros in os.walk(raiz):
    if "CMakeLists.txt" not in ficheros:
        continue
    rel = os.path.relpath(dirpath, raiz).replace(os.sep, "/")
    carpeta = carpeta_de(rel + "/x")
    with open(os.path.join(dirpath, "CMakeLists.txt"), encoding="utf-8") as f:
        texto = f.read()
    for m in re.finditer(r"target_sources\(\s*(sorvenia_nucleo|sorvenia_gui)\b", texto):
        linea_n = texto.count("\n", 0, m.start()) + 1
        objetivo = m.group(1)
        ventana = carpeta.endswith("/gui") or carpeta in ARRIBA
        if objetivo == "sorvenia_gui" and not ventana:
            fallos.append(f"src/{rel}/CMakeLists.txt:{linea_n}: files of a core folder go to sorvenia_nucleo; "
                          "window code goes in a gui/ folder")
        if objetivo == "sorvenia_nucleo" and ventana:
            fallos.append(f"src/{rel}/CMakeLists.txt:{linea_n}: a gui/ folder adds to sorvenia_gui only")

for a in avisos:
    print(a, file=sys.stderr)
for f in fallos:
    print(f, file=sys.stderr)
if fallos:
    print(f"comprobar_capas: {len(fallos)} fault(s): upward includes, window library names in core files or misplaced "
          "files; see HACKING.md, 'The layer rule'",
          file=sys.stderr)
    sys.exit(1)
print("comprobar_capas: every include runs downward")
PY
