#!/usr/bin/env bash
# Sorvenia Code's deploy script for app projects. It runs as root on the
# customer's VPS, called over ssh from the upload folder:
#
#   servidor.sh estado    NOMBRE
#   servidor.sh plan      NOMBRE ARCHIVO DOMINIO CORREO
#   servidor.sh desplegar NOMBRE ARCHIVO DOMINIO CORREO VERSION
#   servidor.sh volver    NOMBRE
#
# NOMBRE is the project folder's name, ARCHIVO the uploaded archive
# (/root/tarvel-subida/NOMBRE.tgz), CORREO may be empty. Progress lines are
# printed as the work goes; the last line is "RESULTADO " followed by one
# JSON object. A failure exits non-zero.
#
# On the server each app lives in /srv/tarvel-apps/<slug>: its unpacked
# versions, the link "actual" to the running one, its persistent "datos"
# folder, its port. A systemd unit runs it behind nginx on 127.0.0.1.
set -uo pipefail
umask 022

SUBIDA=/root/tarvel-subida
APPS=/srv/tarvel-apps
UNIDADES=/etc/systemd/system
SITIOS=/etc/nginx/conf.d
# Versions kept for going back.
GUARDADAS=3

texto_json() {
    local s=$1
    s=${s//\\/\\\\}
    s=${s//\"/\\\"}
    s=${s//$'\n'/\\n}
    s=${s//$'\r'/\\r}
    s=${s//$'\t'/\\t}
    printf '"%s"' "$s"
}

paso() { printf '%s\n' "$*"; }

fallar() {
    printf 'RESULTADO {"ok":false,"error":%s}\n' "$(texto_json "$1")"
    exit 1
}

# ---- What the caller sends, checked before anything is touched ----------

comprobar_nombre() {
    local n=$1
    [[ -n $n && ${#n} -le 100 && $n != "." && $n != ".." && $n != *"/"* ]] || fallar "El nombre del proyecto no es válido."
    [[ $n != *[[:cntrl:]]* ]] || fallar "El nombre del proyecto no es válido."
}

comprobar_archivo() {
    [[ $2 == "$SUBIDA/$1.tgz" ]] || fallar "El paquete no está en la carpeta de subida."
    [[ -f $2 && -r $2 ]] || fallar "Falta el paquete en el VPS. Vuelve a prepararlo."
}

comprobar_dominio() {
    [[ $1 =~ ^([a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?\.)+[a-z]{2,24}$ ]] || fallar "El dominio no es válido."
}

comprobar_correo() {
    [[ -z $1 || $1 =~ ^[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,}$ ]] || fallar "El correo no es válido."
}

comprobar_version() {
    [[ $1 =~ ^[A-Za-z0-9._-]{1,40}$ && $1 != "." && $1 != ".." ]] || fallar "La versión no es válida."
}

# The app's folder and unit name: letters and digits of the name, joined by "-".
slug() {
    local s
    s=$(printf '%s' "$1" | LC_ALL=C tr -cs 'A-Za-z0-9' '-' | LC_ALL=C tr '[:upper:]' '[:lower:]')
    s=${s#-}
    s=${s%-}
    printf '%s' "${s:-app}"
}

# ---- Checks shared by "plan" and "desplegar" --------------------------------

revisar() {
    local archivo=$1
    paso "Revisando el paquete…"
    tar -tzf "$archivo" >/dev/null 2>&1 || fallar "El paquete está dañado. Vuelve a prepararlo."
    tar -xzf "$archivo" -O ./package.json >/dev/null 2>&1 || fallar "El paquete no tiene package.json."
    paso "Revisando Node.js…"
    command -v node >/dev/null 2>&1 || fallar "El VPS no tiene Node.js instalado."
    command -v npm >/dev/null 2>&1 || fallar "El VPS no tiene npm instalado."
    local mayor
    mayor=$(node -p 'process.versions.node.split(".")[0]' 2>/dev/null)
    [[ $mayor =~ ^[0-9]+$ && $mayor -ge 22 ]] || fallar "El VPS necesita Node.js 22 o más nuevo."
    paso "Revisando nginx y systemd…"
    command -v nginx >/dev/null 2>&1 || fallar "El VPS no tiene nginx instalado."
    command -v systemctl >/dev/null 2>&1 || fallar "El VPS no tiene systemd."
    command -v curl >/dev/null 2>&1 || fallar "El VPS no tiene curl instalado."
}

# ---- The running app ------------------------------------------------------

# Whether something accepts connections on 127.0.0.1:PORT.
escucha() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

puerto_de() {
    local carpeta=$1 p otro usado
    if [[ -f $carpeta/puerto ]]; then
        p=$(<"$carpeta/puerto")
        [[ $p =~ ^[0-9]+$ ]] && { printf '%s' "$p"; return; }
    fi
    p=5100
    while :; do
        usado=0
        for otro in "$APPS"/*/puerto; do
            [[ -f $otro && $(<"$otro") == "$p" ]] && usado=1
        done
        # Something else already listening there would answer the app's
        # health check in its place.
        [[ $usado == 0 ]] && ! escucha "$p" && break
        p=$((p + 1))
    done
    printf '%s' "$p" >"$carpeta/puerto"
    printf '%s' "$p"
}

escribir_unidad() {
    local unidad=$1 carpeta=$2 puerto=$3 npm
    npm=$(command -v npm)
    mkdir -p "$UNIDADES" || return 1
    cat >"$UNIDADES/$unidad.service" <<UNIDAD
[Unit]
Description=App de Sorvenia Code ($unidad)
After=network.target

[Service]
WorkingDirectory=$carpeta/actual
Environment=NODE_ENV=production HOST=127.0.0.1 PORT=$puerto PATH=$(dirname "$npm"):/usr/local/bin:/usr/bin:/bin
ExecStart=$npm start --silent
Restart=on-failure
RestartSec=2

[Install]
WantedBy=multi-user.target
UNIDAD
}

escribir_sitio() {
    local unidad=$1 dominio=$2 puerto=$3
    mkdir -p "$SITIOS" || return 1
    cat >"$SITIOS/$unidad.conf" <<SITIO
server {
    listen 80;
    server_name $dominio;
    location / {
        proxy_pass http://127.0.0.1:$puerto;
        proxy_http_version 1.1;
        proxy_set_header Host \$host;
        proxy_set_header X-Forwarded-For \$proxy_add_x_forwarded_for;
        proxy_set_header X-Forwarded-Proto \$scheme;
        proxy_set_header Upgrade \$http_upgrade;
        proxy_set_header Connection "upgrade";
    }
}
SITIO
}

# Waits up to 20 s for GET /salud to answer.
sana() {
    local i
    for ((i = 0; i < 100; i++)); do
        curl -fsS -o /dev/null "http://127.0.0.1:$1/salud" 2>/dev/null && return 0
        sleep 0.2
    done
    return 1
}

# Points "actual" at a version folder in one step.
apuntar() {
    ln -sfn "versiones/$2" "$1/actual.nuevo" && mv -Tf "$1/actual.nuevo" "$1/actual"
}

actual_de() {
    local destino
    destino=$(readlink "$1/actual" 2>/dev/null) || return 0
    printf '%s' "${destino#versiones/}"
}

# ---- Sub-commands -----------------------------------------------------------

estado() {
    comprobar_nombre "$1"
    local s carpeta version activo=false
    s=$(slug "$1")
    carpeta=$APPS/$s
    version=$(actual_de "$carpeta")
    if [[ -n $version ]] && systemctl is-active --quiet "tarvel-app-$s"; then activo=true; fi
    printf 'RESULTADO {"ok":true,"activo":%s,"version":%s}\n' "$activo" "$(texto_json "$version")"
}

plan() {
    comprobar_nombre "$1"
    comprobar_dominio "$3"
    comprobar_correo "$4"
    comprobar_archivo "$1" "$2"
    revisar "$2"
    paso "Todo listo para publicar en $3."
    printf 'RESULTADO {"ok":true,"error":"","dominio":%s}\n' "$(texto_json "$3")"
}

desplegar() {
    comprobar_nombre "$1"
    comprobar_dominio "$3"
    comprobar_correo "$4"
    comprobar_version "$5"
    comprobar_archivo "$1" "$2"
    revisar "$2"
    local nombre=$1 archivo=$2 dominio=$3 correo=$4 version=$5
    local s carpeta unidad destino anterior puerto url
    s=$(slug "$nombre")
    carpeta=$APPS/$s
    unidad=tarvel-app-$s
    destino=$carpeta/versiones/$version
    mkdir -p "$carpeta/versiones" "$carpeta/datos" "$carpeta/copias" || fallar "No se ha podido crear la carpeta de la app."
    anterior=$(actual_de "$carpeta")

    paso "Desempaquetando la versión $version…"
    rm -rf "$destino"
    mkdir -p "$destino" || fallar "No se ha podido crear la carpeta de la versión."
    tar -xzf "$archivo" -C "$destino" --no-same-owner --no-same-permissions || fallar "No se ha podido desempaquetar la app."
    if [[ -s $SUBIDA/$nombre.env ]]; then
        install -m 600 "$SUBIDA/$nombre.env" "$destino/.env" || fallar "No se ha podido copiar el archivo .env."
    fi
    rm -rf "$destino/datos"
    ln -s ../../datos "$destino/datos"

    if [[ -f $SUBIDA/copia-datos.mjs && -n $(ls -A "$carpeta/datos") ]]; then
        paso "Guardando una copia de los datos…"
        node "$SUBIDA/copia-datos.mjs" "$carpeta/datos" "$carpeta/copias/$version" || fallar "No se ha podido copiar los datos."
    fi

    paso "Instalando los paquetes…"
    if [[ -f $destino/package-lock.json ]]; then
        (cd "$destino" && npm ci --omit=dev --no-audit --no-fund 2>&1) || fallar "npm no ha podido instalar los paquetes."
    else
        (cd "$destino" && npm install --omit=dev --no-audit --no-fund 2>&1) || fallar "npm no ha podido instalar los paquetes."
    fi

    puerto=$(puerto_de "$carpeta")
    paso "Arrancando la app en el puerto $puerto…"
    escribir_unidad "$unidad" "$carpeta" "$puerto" || fallar "No se ha podido escribir el servicio de la app."
    apuntar "$carpeta" "$version" || fallar "No se ha podido cambiar a la nueva versión."
    if ! { systemctl daemon-reload && systemctl enable "$unidad" >/dev/null 2>&1 && systemctl restart "$unidad"; }; then
        fallar "systemd no ha podido arrancar la app."
    fi
    if ! sana "$puerto"; then
        if [[ -n $anterior && -d $carpeta/versiones/$anterior ]]; then
            paso "La nueva versión no contesta: se vuelve a la anterior."
            apuntar "$carpeta" "$anterior" && systemctl restart "$unidad"
        fi
        fallar "La app no contesta en el VPS (GET /salud)."
    fi
    [[ -n $anterior && $anterior != "$version" ]] && printf '%s' "$anterior" >"$carpeta/anterior"

    paso "Configurando nginx para $dominio…"
    escribir_sitio "$unidad" "$dominio" "$puerto" || fallar "No se ha podido escribir la configuración de nginx."
    nginx -t 2>&1 || fallar "La configuración de nginx no es válida."
    systemctl reload nginx || fallar "nginx no ha podido recargar su configuración."

    url="http://$dominio/"
    if command -v certbot >/dev/null 2>&1; then
        paso "Pidiendo el certificado HTTPS…"
        local cuenta=(--register-unsafely-without-email)
        [[ -n $correo ]] && cuenta=(-m "$correo")
        if certbot --nginx --non-interactive --agree-tos --redirect "${cuenta[@]}" -d "$dominio" 2>&1; then
            url="https://$dominio/"
        else
            paso "No se ha podido sacar el certificado; la app queda en http."
        fi
    fi

    # Only the latest versions stay (version stamps sort by time).
    local versiones=("$carpeta"/versiones/*) i v
    for ((i = 0; i < ${#versiones[@]} - GUARDADAS; i++)); do
        v=${versiones[i]##*/}
        [[ $v != "$version" && $v != "$anterior" ]] && rm -rf "${carpeta:?}/versiones/$v"
    done

    paso "Publicada la versión $version."
    printf 'RESULTADO {"ok":true,"url":%s,"version":%s}\n' "$(texto_json "$url")" "$(texto_json "$version")"
}

volver() {
    comprobar_nombre "$1"
    local s carpeta unidad anterior actual puerto
    s=$(slug "$1")
    carpeta=$APPS/$s
    unidad=tarvel-app-$s
    anterior=$(cat "$carpeta/anterior" 2>/dev/null)
    [[ -n $anterior && -d $carpeta/versiones/$anterior ]] || fallar "No hay una versión anterior a la que volver."
    actual=$(actual_de "$carpeta")
    puerto=$(puerto_de "$carpeta")
    paso "Volviendo a la versión $anterior…"
    apuntar "$carpeta" "$anterior" || fallar "No se ha podido cambiar de versión."
    systemctl restart "$unidad" || fallar "systemd no ha podido arrancar la app."
    sana "$puerto" || fallar "La versión anterior no contesta en el VPS (GET /salud)."
    printf '%s' "$actual" >"$carpeta/anterior"
    printf 'RESULTADO {"ok":true,"error":"","version":%s}\n' "$(texto_json "$anterior")"
}

orden=${1:-}
shift || true
case $orden in
estado) [[ $# -eq 1 ]] || fallar "Faltan datos para la orden."; estado "$@" ;;
plan) [[ $# -eq 4 ]] || fallar "Faltan datos para la orden."; plan "$@" ;;
desplegar) [[ $# -eq 5 ]] || fallar "Faltan datos para la orden."; desplegar "$@" ;;
volver) [[ $# -eq 1 ]] || fallar "Faltan datos para la orden."; volver "$@" ;;
*) fallar "Orden desconocida." ;;
esac
