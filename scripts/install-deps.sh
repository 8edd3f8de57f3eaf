#!/usr/bin/env bash
# Installs every system package the build, the tests and the benchmarks need.
# Idempotent and non-interactive; safe to run on a fresh Debian 12 machine.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  nlohmann-json3-dev libicu-dev libssl-dev liburiparser-dev uuid-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libheif-dev libheif-examples libtesseract-dev tesseract-ocr-eng python3
  libpixman-1-dev libfreetype-dev fonts-dejavu-core
  libxcb1-dev libxcb-randr0-dev libxcb-res0-dev libxcb-xinput-dev libxcb-xtest0-dev
  libxcb-ewmh-dev libxcb-icccm4-dev libxcb-keysyms1-dev libxcb-shm0-dev
  libxcb-composite0-dev libxcb-xfixes0-dev libxkbcommon-x11-dev
  xvfb xauth xdotool x11-utils openbox
  xterm x11-apps wmctrl xfonts-base python3-gi gir1.2-gtk-3.0 dbus-daemon
  libglib2.0-dev libatspi2.0-dev at-spi2-core libglib2.0-bin
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
