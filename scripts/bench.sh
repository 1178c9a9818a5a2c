#!/usr/bin/env bash
# Builds the release program and the two baselines, then measures them under Wine in five
# interleaved rounds, Pagewren over plain HTTP and over TLS (see bench/bench.py). Takes
# several minutes; not part of the tests.
# --quick idles 5 seconds instead of 30, for trying the benchmark out; its figures are rough.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
idle=30
[ "${1:-}" = --quick ] && idle=5

bash scripts/setup.sh
. scripts/target.sh
target=$(pagewren_run_target)
cmake --preset "release-$target" >/dev/null
cmake --build --preset "release-$target"
build="$root/build/release-$target"

export PAGEWREN_WINE_STATE="$root/build/bench-$target"
pagewren_wine_state "$PAGEWREN_WINE_STATE" "$target"
trap 'bash scripts/wine-session.sh stop' EXIT
bash scripts/wine-session.sh start
. scripts/wine-env.sh
export DISPLAY
DISPLAY=$(cat "$PAGEWREN_WINE_STATE/display")
# The TLS listener's throwaway certificates; the benchmark trusts their authority in its prefix.
bash scripts/make-test-certs.sh "$PAGEWREN_WINE_STATE/tls"

python3 bench/bench.py --pagewren "$build/app/Pagewren.exe" --same-work "$build/bench/bench_same_work.exe" \
  --bare "$build/bench/bench_bare.exe" --refserver refserver/refserver.py --state "$PAGEWREN_WINE_STATE" \
  --tls-dir "$PAGEWREN_WINE_STATE/tls" --trust "$build/bench/trust_authority.exe" \
  --keep "$build/bench/keep_password.exe" \
  --json "$PAGEWREN_WINE_STATE/results.json" --idle "$idle"
echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(wine --version)"
