#!/usr/bin/env bash
# Makes the two packages the install tests use from one build's Pagewren.exe: Pagewren.msi
# with the project's version, and Pagewren-older.msi with version 0.9.0.0 and a program file
# that differs, so that an upgrade shows which file it left.
# Usage: make-test-packages.sh PAGEWREN_EXE x86|x64 VERSION OUTPUT_FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1 arch=$2 version=$3 out=$4
mkdir -p "$out"
bash "$here/../../scripts/make-msi.sh" "$version" "$arch" "$exe" "$out/Pagewren.msi"
# Bytes after the image change the file, not the program.
{ cat "$exe"; printf 'older build'; } >"$out/Pagewren-older.exe"
bash "$here/../../scripts/make-msi.sh" 0.9.0.0 "$arch" "$out/Pagewren-older.exe" "$out/Pagewren-older.msi"
