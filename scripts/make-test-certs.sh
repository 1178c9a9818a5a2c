#!/usr/bin/env bash
# Makes the throwaway TLS material of the tests in FOLDER, once: a test authority (ca.pem) that
# the tests trust in their Wine prefix, and certificate and key pairs for the reference server:
#   localhost   issued by the test authority for localhost
#   otherhost   issued by the test authority for another host name
#   untrusted   issued for localhost by an authority nobody trusts
# Nothing of it is committed; the keys live only in the build folder.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: make-test-certs.sh FOLDER" >&2; exit 2; }
folder=$1
[ -s "$folder/ca.pem" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

authority() {  # NAME SUBJECT
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=$2" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null
}

server() {  # NAME HOST AUTHORITY
  openssl req -newkey rsa:2048 -nodes -sha256 -subj "/CN=$2" -keyout "$work/$1.key" -out "$work/$1.csr" 2>/dev/null
  printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' \
    "$2" >"$work/$1.ext"
  openssl x509 -req -sha256 -days 3650 -in "$work/$1.csr" -CA "$work/$3.pem" -CAkey "$work/$3.key" \
    -CAcreateserial -extfile "$work/$1.ext" -out "$work/$1.pem" 2>/dev/null
}

authority ca "Pagewren Test Authority"
authority stranger "Unknown Test Authority"
server localhost localhost ca
server otherhost elsewhere.invalid ca
server untrusted localhost stranger

mkdir -p "$folder"
for name in localhost otherhost untrusted; do
  cp "$work/$name.pem" "$work/$name.key" "$folder/"
done
# Last, so that a folder with ca.pem is complete.
cp "$work/ca.pem" "$folder/ca.pem.partial"
mv "$folder/ca.pem.partial" "$folder/ca.pem"
