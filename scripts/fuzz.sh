#!/usr/bin/env bash
# Runs a long fuzz pass of the answer reader and the configuration reader under Wine:
#   scripts/fuzz.sh [ANSWERS [CONFIGS [SEED]]]   (defaults 10000, 1000, the current time)
# Case i mutates from seed SEED + i; a failure prints its seed, and
#   scripts/fuzz.sh 1 0 SEED   or   scripts/fuzz.sh 0 1 SEED   replays it alone.
# Builds the x86_64 target first unless PAGEWREN_TARGET names the other one.
set -euo pipefail
cd "$(dirname "$0")/.."
answers=${1:-10000}
configs=${2:-1000}
seed=${3:-$(date +%s)}
target=${PAGEWREN_TARGET:-x86_64}
cmake --preset "mingw-$target" >/dev/null
cmake --build --preset "mingw-$target" --target fuzz_tests >/dev/null
build="build/$target"
# A prefix of its own, so that the test suite can run meanwhile.
export PAGEWREN_WINE_STATE="$PWD/$build/fuzz-wine"
. scripts/target.sh
pagewren_wine_state "$PAGEWREN_WINE_STATE" "$target"
scripts/wine-session.sh start >/dev/null
trap 'scripts/wine-session.sh stop' EXIT
echo "seed $seed: $answers server answers, $configs configuration files"
PAGEWREN_FUZZ_ANSWERS=$answers PAGEWREN_FUZZ_CONFIGS=$configs PAGEWREN_FUZZ_SEED=$seed \
  scripts/wine-run.sh "$build/tests/fuzz/fuzz_tests.exe" 2>&1 |
  # Wine's XML parser reports every undecodable input on stderr, in the middle of other lines.
  sed -E 's/I\/O error : encoder error//g; s/encoding error : [a-z ,]*( 0x[0-9A-F]{2})*//g' |
  grep -av '^[[:space:]]*$'
