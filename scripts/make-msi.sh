#!/usr/bin/env bash
# Builds the Windows Installer package from installer/pagewren.wxs.
# Usage: make-msi.sh VERSION x86|x64 PAGEWREN_EXE OUTPUT.msi
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 4 ] || { echo "usage: make-msi.sh VERSION x86|x64 PAGEWREN_EXE OUTPUT.msi" >&2; exit 2; }
version=$1 arch=$2 exe=$3 out=$4

out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
rm -f "$out"
# wixl takes source files by relative name only, so they are gathered in a staging folder.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/Pagewren.exe"
cp "$root/res/small.ico" "$stage/pagewren.ico"
(cd "$stage" && wixl -a "$arch" -D Version="$version" -D ExeFile=Pagewren.exe -D IconFile=pagewren.ico \
  -o "$out" "$root/installer/pagewren.wxs")
# wixl has no component conditions; the start at sign-in follows the AUTOSTART property.
msibuild "$out" -q "UPDATE Component SET Condition='AUTOSTART = \"1\"' WHERE Component='StartAtSignIn'"
# Immediate actions (51: set a property; 50 + 64: run the program it names, ignoring its exit code).
msibuild "$out" -q "UPDATE CustomAction SET Type=51 WHERE Action='FindTaskkill' OR Action='FindTaskkill64'" \
  -q "UPDATE CustomAction SET Type=114 WHERE Action='CloseRunningCopy'"
# Windows Installer compares only the first three fields of a version, and ours count builds in
# the fourth, so a package of the same three fields must still replace the installed one
# (VersionMaxInclusive 512, with MigrateFeatures 1) instead of installing beside it.
# The attributes are part of the row's key, so the row is replaced.
upgrade_code=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$root/installer/pagewren.wxs" | tr a-z A-Z)
msibuild "$out" -q "DELETE FROM Upgrade WHERE ActionProperty='WIX_UPGRADE_DETECTED'" \
  -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty)
      VALUES ('{$upgrade_code}', '$version', 513, 'WIX_UPGRADE_DETECTED')"
