#!/usr/bin/env bash
# Installs the Debian packages Ombrix needs to build, test and run; skips what is there.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
  libbenchmark-dev qt6-base-dev qt6-translations-l10n fonts-dejavu-core clang-format xvfb xauth
  imagemagick desktop-file-utils appstream shared-mime-info librsvg2-bin dpkg-dev file python3
  time pkg-config qt6-svg-dev libemf2svg-dev libuemf-dev libwmf-dev fonts-urw-base35 clang-tidy
  lintian git
  qt6-pdf-dev libmpfr-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
