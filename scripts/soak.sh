#!/usr/bin/env bash
# Soak: runs Pagewren.exe signed in against the reference server with a token lifetime that
# makes it refresh every 3 seconds, for MINUTES (default 30). Every tenth refresh meets a
# random recoverable fault and is followed by a sign-in from the tray menu; before the first
# sample the driver meets each fault once. Every 10 seconds it samples, from outside, the
# Wine process's private memory (smaps_rollup) and thread count, and, through the driver, the
# program's handle and thread counts. It compares the first and last five minutes and fails
# when the upper quartile of private memory grew more than 2% or the least handle or thread
# count grew at all.
#   Usage: scripts/soak.sh [MINUTES [FAULT_EVERY]]   (FAULT_EVERY 10 by default, 0 for no faults,
#   drip for every refresh meeting an answer dripped a byte every 5 s, with the real deadline)
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
fault_every=${2:-10}
target=${PAGEWREN_TARGET:-x86_64}
build="build/$target"
cmake --preset "mingw-$target" >/dev/null
cmake --build --preset "mingw-$target" --target Pagewren soak_driver >/dev/null
# A prefix of its own, so that the test suite can run meanwhile.
export PAGEWREN_WINE_STATE="$PWD/$build/soak-wine"
. scripts/target.sh
pagewren_wine_state "$PAGEWREN_WINE_STATE" "$target"
scripts/wine-session.sh start >/dev/null
trap 'scripts/wine-session.sh stop' EXIT
. scripts/wine-env.sh
# Dialogs skip Wine's wait for managed windows on a display without a window manager.
scripts/wine-run.sh reg add "HKCU\\Software\\Wine\\AppDefaults\\Pagewren.exe\\X11 Driver" /v Managed /d N /f >/dev/null
export PAGEWREN_EXE="Z:$PWD/$build/app/Pagewren.exe"
out="$PWD/$build/soak"
rm -rf "$out" && mkdir -p "$out"
scripts/with-refserver.sh scripts/wine-run.sh "$build/tests/e2e/soak_driver.exe" $((minutes * 60)) "Z:$out/status" "$fault_every" \
  >"$out/driver.log" 2>&1 &
driver=$!

# The program's Wine process: Pagewren.exe in this build's prefix.
program_pid() {
  local p
  for p in /proc/[0-9]*; do
    grep -qa 'Pagewren.exe' "$p/cmdline" 2>/dev/null || continue
    tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && { basename "$p"; return; }
  done
}

# The least of three readings half a second apart: a refresh worker's stack and buffers
# come and go within a second, and a sample must not depend on meeting one.
least_private() {
  local least="" i now
  for i in 1 2 3; do
    now=$(awk '/^Private_(Clean|Dirty):/ {s += $2} END {print s}' "/proc/$1/smaps_rollup" 2>/dev/null || true)
    [ -n "$now" ] && { [ -z "$least" ] || [ "$now" -lt "$least" ]; } && least=$now
    [ "$i" = 3 ] || sleep 0.5
  done
  echo "$least"
}

echo "soak of $minutes minutes; samples in $out/samples.txt"
start=$SECONDS
while kill -0 "$driver" 2>/dev/null; do
  pid=$(program_pid)
  if [ -n "$pid" ] && [ -s "$out/status" ]; then
    private=$(least_private "$pid")
    threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$private" ] && [ -n "$threads" ] &&
      echo "$((SECONDS - start)) $(cat "$out/status") $threads $private" >>"$out/samples.txt"
  fi
  sleep 10
done
rc=0
wait "$driver" || rc=$?
tail -n 1 "$out/driver.log"
# Columns: seconds refreshes faults handles threads gdi wine-threads private-KiB.
python3 - "$out/samples.txt" "$minutes" <<'PY' | tee "$out/summary.txt" || rc=1
import sys
rows = [list(map(int, line.split())) for line in open(sys.argv[1]) if len(line.split()) == 8]
window = min(300, int(sys.argv[2]) * 60 // 3)
first = [r for r in rows if r[0] - rows[0][0] < window]
last = [r for r in rows if rows[-1][0] - r[0] < window]
# Workers come and go, so handles and threads are compared by their least value. Private
# memory is compared by its upper quartile. Wine holds it for minutes at a time at its usual
# level or at one 1.3 or 4 MiB lower, so the least and the median of a window follow the
# level; and the few samples taken while a sign-in dialog is open after a fault stand above
# every level, so the most follows them. The upper quartile is the usual level whenever a
# window spent a quarter of its time there, and a leak raises it as it raises every level.
def quantile(values, q):
    values = sorted(values)
    return values[min(len(values) - 1, int(q * len(values)))]
checks = (("private memory, KiB (least)", lambda p: min(r[7] for r in p), None),
          ("private memory, KiB (median)", lambda p: quantile([r[7] for r in p], 0.5), None),
          ("private memory, KiB (upper quartile)", lambda p: quantile([r[7] for r in p], 0.75), 1.02),
          ("private memory, KiB (most)", lambda p: max(r[7] for r in p), None),
          ("handles (least)", lambda p: min(r[3] for r in p), 1),
          ("handles (most)", lambda p: max(r[3] for r in p), None),
          ("Windows threads (least)", lambda p: min(r[4] for r in p), 1),
          ("Windows threads (most)", lambda p: max(r[4] for r in p), None),
          ("Wine process threads (least)", lambda p: min(r[6] for r in p), 1))
print("%d samples over %d s, %d refreshes, %d faults" % (len(rows), rows[-1][0] - rows[0][0], rows[-1][1], rows[-1][2]))
print("%-36s %12s %12s" % ("", "first %d s" % window, "last %d s" % window))
grown = []
for name, figure, limit in checks:
    a, b = figure(first), figure(last)
    print("%-36s %12.0f %12.0f" % (name, a, b))
    if limit and b > a * limit:
        grown.append(name)
print("GDI objects: %d .. %d (Wine keeps no count)" % (min(r[5] for r in rows), max(r[5] for r in rows)))
print("growth: " + (", ".join(grown) if grown else "none"))
sys.exit(1 if grown else 0)
PY
exit $rc
