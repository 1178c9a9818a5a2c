#!/usr/bin/env bash
# start: builds the Wine prefix once, keeps one wineserver and one Xvfb display for the run.
# stop: ends both. Used as the test suite's set-up and clean-up.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
mkdir -p "$PAGEWREN_WINE_STATE"
log="$PAGEWREN_WINE_STATE/session.log"

start_display() {
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >>"$log" 2>&1 &
    echo $! >"$PAGEWREN_WINE_STATE/xvfb.pid"
    local i
    for i in $(seq 1 100); do
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        echo ":$n" >"$PAGEWREN_WINE_STATE/display"
        return 0
      fi
      kill -0 "$(cat "$PAGEWREN_WINE_STATE/xvfb.pid")" 2>/dev/null || break
      sleep 0.1
    done
    # Taken by another server meanwhile: try the next number.
    kill "$(cat "$PAGEWREN_WINE_STATE/xvfb.pid")" 2>/dev/null || true
  done
  echo "no X display could be started" >&2
  return 1
}

case "${1:-}" in
  start)
    "$0" stop
    start_display || exit 1
    export DISPLAY
    DISPLAY=$(cat "$PAGEWREN_WINE_STATE/display")
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i >>"$log" 2>&1
      wineserver -w
    fi
    wineserver -p >>"$log" 2>&1
    # As on Windows, Arial and the dialog fonts borrow the glyphs they lack (Chinese, Japanese,
    # Korean, Arabic, Hebrew) from fonts that have them.
    # Arial itself is Liberation Sans, which has its metrics. Wine looks up the links of a bold
    # font under its face's own name, as Windows keeps "Segoe UI Bold": without those, bold
    # headings show boxes.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f >>"$log" 2>&1 </dev/null
    for face in Arial "Liberation Sans" "Arial Bold" "Liberation Sans Bold" Tahoma "Microsoft Sans Serif"; do
      wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
        /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei\0DejaVuSans.ttf,DejaVu Sans' /f >>"$log" 2>&1 </dev/null
    done
    # Starts the prefix's services now, with their output going to the log, not to a test's pipe.
    wine cmd /c exit >>"$log" 2>&1 </dev/null
    echo "wine prefix $WINEPREFIX, display $DISPLAY"
    ;;
  stop)
    wineserver -k >/dev/null 2>&1 || true
    if [ -f "$PAGEWREN_WINE_STATE/xvfb.pid" ]; then
      kill "$(cat "$PAGEWREN_WINE_STATE/xvfb.pid")" 2>/dev/null || true
      rm -f "$PAGEWREN_WINE_STATE/xvfb.pid" "$PAGEWREN_WINE_STATE/display"
    fi
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
