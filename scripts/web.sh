#!/usr/bin/env bash
# The browser edition. Installs what is missing (Debian's emscripten, nodejs, npm and
# chromium; the npm packages of web/package-lock.json), builds the engine compiled to
# WebAssembly (build/web-engine: the logic, its tests, ombrix-cli for node, the page's
# engine) and the page into build/web/, and serves it at http://127.0.0.1:8080/.
# With --build-only it only builds.
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
if [ "${1:-}" = "--build-only" ]; then build_only=1; fi

packages=(emscripten nodejs chromium cmake ninja-build googletest python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
# Debian's nodejs comes without npm; another node may bring its own.
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
# The npm packages of the page and its tests, as the lock file has them.
if ! cmp -s web/package-lock.json web/node_modules/.ombrix-lock.json 2>/dev/null; then
  (cd web && npm ci --no-audit --no-fund && cp package-lock.json node_modules/.ombrix-lock.json)
fi

# OMBRIX_WERROR=ON (as CI sets it) turns warnings into errors.
emcmake cmake -S . -B build/web-engine -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DOMBRIX_WERROR="${OMBRIX_WERROR:-OFF}" -DOMBRIX_SANITIZE=OFF -DOMBRIX_UI=OFF -DOMBRIX_TESTS=ON \
  -DOMBRIX_BENCH=OFF -DOMBRIX_FUZZ=OFF -DOMBRIX_PORTABLE_ROUND_TRIP=OFF >/dev/null
cmake --build build/web-engine -j "$(nproc)"

# The page: static files only, servable by any web server.
node web/build.mjs

if [ "$build_only" = 1 ]; then exit 0; fi
echo "Ombrix im Browser: http://127.0.0.1:8080/ (Strg+C beendet)"
exec python3 -m http.server 8080 --bind 127.0.0.1 --directory build/web
