#!/usr/bin/env bash
# Installs every Debian package that building and testing Marlowick needs.
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev zlib1g-dev liblzma-dev libicu-dev nlohmann-json3-dev libcurl4-openssl-dev
  # independent checkers the tests run against what we write
  exfatprogs dosfstools mtools fdisk gdisk util-linux xorriso xz-utils gzip openssl
  # the loopback HTTPS server that stands in for the network in the download tests
  python3
  # a real exFAT driver for test fixtures where the kernel has no exfat module
  exfat-fuse
  # the helper's polkit action, checked against polkit's own DTD
  libxml2-utils polkitd
  # the application starts the helper through pkexec
  pkexec
  # the desktop application: Qt 6 Widgets and QR codes
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqrencode-dev libgl-dev
  # its font (figures of one width) and the icon theme its symbols come from
  fonts-dejavu-core adwaita-icon-theme
  # mounted volumes through udisks2 over D-Bus (sd-bus), and libblkid
  libsystemd-dev libblkid-dev udisks2 udev
  # checkers for what the application makes: QR codes, desktop entries; a display for widget tests
  zbar-tools desktop-file-utils xvfb xauth
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
