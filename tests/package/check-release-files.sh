#!/usr/bin/env bash
# Makes the release files with a throwaway certificate and checks them without running them:
# names and checksums, what each zip holds and for which processor, the signatures against
# that certificate (and not against another), and that the package is a per-user 32-bit one
# holding the very program of the win32 zip.
# Usage: check-release-files.sh VERSION
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
version=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cd "$work"
for name in signer other; do
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Pagewren test $name" \
    -addext extendedKeyUsage=codeSigning -keyout "$name.key" -out "$name.pem" 2>/dev/null ||
    { echo "openssl could not make a certificate"; exit 1; }
done
bash "$root/scripts/package.sh" --out "$work/dist" --cert signer.pem --key signer.key >package.log 2>&1 ||
  { cat package.log; echo "package.sh failed"; exit 1; }

cd dist
msi="Pagewren-$version.msi"
expected="$msi Pagewren-$version-win32.zip Pagewren-$version-x64.zip SHA256SUMS"
[ "$(ls | sort | tr '\n' ' ')" = "$(echo $expected | tr ' ' '\n' | sort | tr '\n' ' ')" ] ||
  fail "dist holds $(ls | tr '\n' ' '), expected $expected"
sha256sum --quiet -c SHA256SUMS || fail "SHA256SUMS does not match"

machine() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(); p=struct.unpack_from("<I",d,60)[0]; print(hex(struct.unpack_from("<H",d,p+4)[0]))' "$1"; }
verify() { osslsigncode verify -CAfile "$2" -in "$1" >/dev/null 2>&1; }
for zip in win32:0x14c x64:0x8664; do
  name=${zip%%:*} want=${zip##*:}
  mkdir "$name" && (cd "$name" && python3 -m zipfile -e "../Pagewren-$version-$name.zip" .)
  [ "$(cd "$name" && find . -type f | sort | tr '\n' ' ')" = "./Pagewren/Pagewren.exe ./Pagewren/README.txt " ] ||
    fail "$name zip holds $(cd "$name" && find . -type f | tr '\n' ' ')"
  [ "$(machine "$name/Pagewren/Pagewren.exe")" = "$want" ] || fail "$name zip holds a program for $(machine "$name/Pagewren/Pagewren.exe")"
  grep -q 'config.xml' "$name/Pagewren/README.txt" || fail "$name README.txt does not say where the settings are"
  verify "$name/Pagewren/Pagewren.exe" "$work/signer.pem" || fail "$name Pagewren.exe is not signed by the test certificate"
done
verify "$msi" "$work/signer.pem" || fail "$msi is not signed by the test certificate"
verify "$msi" "$work/other.pem" && fail "$msi verifies against a certificate that did not sign it"

msiinfo suminfo "$msi" >suminfo.txt
grep -qx 'Template: Intel;1033' suminfo.txt || fail "the package is not a 32-bit one: $(grep Template suminfo.txt)"
# Word count bit 8: the package needs no administrator rights.
source_flags=$(sed -n 's/^Source: \([0-9]*\).*/\1/p' suminfo.txt)
[ $((source_flags & 8)) -eq 8 ] || fail "the package asks for elevation (word count $source_flags)"
mkdir extracted && (cd extracted && msiextract "../$msi" >/dev/null)
packaged=$(find extracted -name Pagewren.exe)
cmp -s "$packaged" win32/Pagewren/Pagewren.exe || fail "the package does not hold the win32 zip's program"

[ "$failures" -eq 0 ] && echo "release files of $version: all checks passed"
exit $((failures > 0))
