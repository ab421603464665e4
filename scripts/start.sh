#!/usr/bin/env bash
# Installs what is missing, builds Ombrix (Release) and starts the window. Without a
# display it says how to start it, and shows the command-line tool at work instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Every option stated: build/release is shared with test-all.sh and the package, and its
# cache would otherwise keep what the last of them chose.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DOMBRIX_UI=ON -DOMBRIX_TESTS=OFF \
  -DOMBRIX_BENCH=OFF -DOMBRIX_FUZZ=OFF -DOMBRIX_SANITIZE=OFF -DOMBRIX_WERROR=OFF \
  -DOMBRIX_PORTABLE_ROUND_TRIP=OFF
cmake --build build/release -j "$(nproc)"
if [ -x build/release/ui/ombrix ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/release/ui/ombrix
fi
if [ -x build/release/ui/ombrix ]; then
  echo "Kein Bildschirm gefunden. Starten Sie Ombrix mit:"
  echo "  xvfb-run -a build/release/ui/ombrix      (unsichtbar, z. B. für Bildschirmfotos)"
  echo "  QT_QPA_PLATFORM=offscreen build/release/ui/ombrix"
fi
echo "Beispiel mit dem Kommandozeilenwerkzeug:"
build/release/cli/ombrix-cli eval --decimal-separator , "2*Sin(1/2)+3^2" "Betrag(3+4*i)"
