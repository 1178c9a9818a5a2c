#!/usr/bin/env bash
# Fails when any .exe below the given folder imports a DLL that a fresh Windows lacks,
# such as the MinGW C++ runtime, libgcc or winpthread.
set -u
root=${1:?usage: check-imports.sh BUILD_FOLDER}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
# System DLLs of every Windows since XP.
allowed='^(kernel32|user32|gdi32|shell32|shlwapi|advapi32|comctl32|comdlg32|credui|ole32|oleaut32|wininet|ws2_32|msvcrt|crypt32|version|winmm|rpcrt4|uxtheme|msi)\.dll$'

count=0
bad=0
while IFS= read -r exe; do
  count=$((count + 1))
  while IFS= read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
      echo "$exe imports $dll"
      bad=1
    fi
  done < <("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
done < <(find "$root" -name '*.exe' -not -path '*/drive_c/*' -not -path '*/CMakeFiles/*' | sort)

if [ "$count" -eq 0 ]; then
  echo "no .exe found below $root"
  exit 1
fi
[ "$bad" -eq 0 ] && echo "$count programs import system DLLs only"
exit $bad
