#!/usr/bin/env bash
# Fails when a source folder uses a folder above it. From the bottom up the folders are res,
# storage, net, ui and app; each may include headers from, and link, only those below it.
set -u
root=${1:?usage: check-layers.sh SOURCE_FOLDER}
layers=(res storage net ui app)

bad=0
for ((i = 0; i < ${#layers[@]} - 1; i++)); do
  above=$(IFS='|'; echo "${layers[*]:i+1}")
  # Includes name the folder first; the CMake libraries are pagewren_ and the folder.
  if grep -rnIE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"($above)/|pagewren_($above)\b" "$root/${layers[i]}"; then
    bad=1
  fi
done
[ "$bad" -eq 0 ] && echo "every folder uses only the folders below it"
exit $bad
