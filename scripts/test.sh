#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$(pwd)

# The layer rule first: it needs no build and names the include that breaks it.
scripts/comprobar_capas.sh

scripts/dependencias.sh
scripts/compilar.sh

# Each run gets its own home and XDG folders, so nothing of the user's (or of
# an earlier run) is read or written.
aislado=$(mktemp -d)
trap 'rm -rf "$aislado"' EXIT
mkdir -p "$aislado"/{home,config,data,cache,runtime}
chmod 700 "$aislado/runtime"
export HOME="$aislado/home" XDG_CONFIG_HOME="$aislado/config" XDG_DATA_HOME="$aislado/data"
export XDG_CACHE_HOME="$aislado/cache" XDG_RUNTIME_DIR="$aislado/runtime"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY || true

# With a virtual display and a private bus holding a throwaway keyring.
scripts/entorno-pruebas.sh ctest --test-dir build --output-on-failure -j "$(nproc)"

# The core's unit tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer: any report (a leak too) fails its test. Only the
# core library and the programs labelled nucleo or hilos are built (targets
# pruebas_nucleo and pruebas_hilos), not the window code or the end-to-end
# programs, and the build is made for build time (CMakePresets.json,
# asan-ubsan). SORVENIA_SANEADORES=0 leaves the step out of a local run.
if [ "${SORVENIA_SANEADORES:-1}" != 0 ]; then
  cmake --preset asan-ubsan >/dev/null
  cmake --build build/asan --target pruebas_nucleo pruebas_hilos
  scripts/entorno-pruebas.sh ctest --preset asan-ubsan -j "$(nproc)"
fi

# The parsers of outside bytes under libFuzzer with ASan and UBSan.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DSORVENIA_FUZZ=ON -DSORVENIA_WERROR=ON >/dev/null
cmake --build build/fuzz
ctest --test-dir build/fuzz --output-on-failure -j "$(nproc)"
cd "$raiz"
