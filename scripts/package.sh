#!/usr/bin/env bash
# Makes the release files from the release builds of both targets:
#   Pagewren-VERSION.msi         Windows Installer package of the 32-bit program (per user)
#   Pagewren-VERSION-win32.zip   the 32-bit program with a short text, for use without installing
#   Pagewren-VERSION-x64.zip     the same for 64-bit Windows
#   SHA256SUMS
# With --cert and --key (PEM files) the programs and the package are signed with Authenticode.
# Usage: scripts/package.sh [--out DIR] [--cert CERT.pem --key KEY.pem]   (default DIR: dist)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

out="$root/dist"
cert=""
key=""
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$2; shift 2 ;;
    --cert) cert=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    *) echo "usage: package.sh [--out DIR] [--cert CERT.pem --key KEY.pem]" >&2; exit 2 ;;
  esac
done
if { [ -n "$cert" ] && [ -z "$key" ]; } || { [ -z "$cert" ] && [ -n "$key" ]; }; then
  echo "--cert and --key go together" >&2
  exit 2
fi
[ -z "$cert" ] || { cert=$(realpath "$cert") && key=$(realpath "$key"); }
mkdir -p "$out"
out=$(cd "$out" && pwd)
cd "$root"

bash scripts/setup.sh
# The one place that holds the version.
version=$(sed -n 's/^project(Pagewren VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

sign() {
  [ -n "$cert" ] || return 0
  osslsigncode sign -certs "$cert" -key "$key" -n Pagewren -h sha256 -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}

for target in i686:win32 x86_64:x64; do
  preset=${target%%:*} name=${target##*:}
  cmake --preset "release-$preset" >/dev/null
  cmake --build --preset "release-$preset"
  mkdir -p "$stage/$name/Pagewren"
  cp "build/release-$preset/app/Pagewren.exe" "$stage/$name/Pagewren/Pagewren.exe"
  sign "$stage/$name/Pagewren/Pagewren.exe"
  # Notepad on older Windows wants CR LF line ends.
  sed 's/$/\r/' installer/portable-readme.txt >"$stage/$name/Pagewren/README.txt"
done

msi="Pagewren-$version.msi"
rm -f "$out/$msi" "$out/Pagewren-$version-win32.zip" "$out/Pagewren-$version-x64.zip" "$out/SHA256SUMS"
bash scripts/make-msi.sh "$version" x86 "$stage/win32/Pagewren/Pagewren.exe" "$out/$msi"
sign "$out/$msi"
for name in win32 x64; do
  (cd "$stage/$name" && python3 -m zipfile -c "$out/Pagewren-$version-$name.zip" Pagewren)
done
(cd "$out" && sha256sum "$msi" "Pagewren-$version-win32.zip" "Pagewren-$version-x64.zip" >SHA256SUMS)

echo "release files of Pagewren $version in $out:"
ls -l "$out"
[ -n "$cert" ] && echo "signed with $cert" || echo "not signed (give --cert and --key to sign)"
