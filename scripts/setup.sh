#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Idempotent; run as root.
set -euo pipefail

packages=(
  cmake ninja-build g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-x86-64 googletest
  wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick
  fonts-wine fonts-liberation fonts-dejavu-core fonts-wqy-microhei libgnutls30:i386 libxrender1:i386 libxcursor1:i386
  libxrandr2:i386 libxi6:i386 libxext6:i386 libxfixes3:i386
  libcpp-httplib-dev g++ python3
  wixl msitools osslsigncode openssl locales
  squid apache2-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Wine takes the display language from the Unix locale, which must exist: the German story of
# the end-to-end tests and the screenshots in German, Japanese and Arabic run under these.
locales=()
for l in de_DE ja_JP ar_EG; do
  locale -a 2>/dev/null | grep -qx "$l.utf8" || locales+=("$l")
done
[ ${#missing[@]} -eq 0 ] && [ ${#locales[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
for l in "${locales[@]}"; do
  $SUDO sed -i "s/^# *\($l.UTF-8 UTF-8\)/\1/" /etc/locale.gen
done
[ ${#locales[@]} -eq 0 ] || $SUDO locale-gen
