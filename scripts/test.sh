#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test. The 32-bit program is
# built on every machine; its suite runs where 32-bit programs run, and elsewhere only the
# checks that need no execution. The 64-bit suite runs everywhere unless PAGEWREN_TARGET
# names one target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
. scripts/target.sh
targets=$(pagewren_test_targets)

build() {
  cmake --preset "mingw-$1"
  cmake --build --preset "mingw-$1"
}

failed=""
build i686
case " $targets " in
  *" i686 "*) ctest --preset mingw-i686 || failed="$failed i686" ;;
  *) ctest --preset mingw-i686 -L static || failed="$failed i686-static" ;;
esac
case " $targets " in
  *" x86_64 "*)
    build x86_64
    ctest --preset mingw-x86_64 || failed="$failed x86_64"
    ;;
esac

if [ -n "$failed" ]; then
  echo "failed:$failed" >&2
  exit 1
fi
