#!/usr/bin/env bash
# Regenerates docs/signin.png, docs/signin-error.png and docs/about.png, and the same at 144 and
# 192 DPI (docs/signin-144.png ...), and the dialog with its error line in German, Japanese and
# Arabic (docs/signin-error-de.png ...): each dialog is shown under Wine on a private Xvfb display
# and cut out of a screenshot of the whole screen.
# Usage: docs/make-screenshots.sh [BUILD_FOLDER]   (default: build/TARGET of the run command, built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -eq 0 ]; then
  . "$root/scripts/target.sh"
  set -- "$root/build/$(pagewren_run_target)"
fi
build=$(cd "$1" && pwd)
tool="$build/tests/ui/ui_screenshot_dialogs.exe"
[ -f "$tool" ] || { echo "build $tool first" >&2; exit 1; }

export PAGEWREN_WINE_STATE="$build/wine-screenshots"
mkdir -p "$PAGEWREN_WINE_STATE"
cp "$build/wine/arch" "$PAGEWREN_WINE_STATE/arch"
# The session links Arial, bold too, to fonts with the Chinese, Japanese, Korean, Arabic and
# Hebrew glyphs it lacks (FontLink\SystemLink), so every heading shows in its own script.
"$root/scripts/wine-session.sh" start >/dev/null
trap '"$root/scripts/wine-session.sh" stop' EXIT
. "$root/scripts/wine-env.sh"
# Debian's Wine finds its own Marlett, which draws the caption's close box, only in the
# prefix's font folder; without it the box shows an "r".
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
# No window manager runs on the display, so Wine draws the frames and captions itself.
wine reg add 'HKCU\Software\Wine\AppDefaults\ui_screenshot_dialogs.exe\X11 Driver' \
  /v Decorated /d N /f >"$PAGEWREN_WINE_STATE/reg.log" 2>&1

work=$(mktemp -d)
# DPI, display language (the Unix locale Wine takes it from) and the shots in it.
for run in "96 C signin signin-error about" "144 C signin signin-error about" "192 C signin signin-error about" \
  "96 de_DE.UTF-8 signin-error" "96 ja_JP.UTF-8 signin-error" "96 ar_EG.UTF-8 signin-error"; do
  read -r dpi locale shots <<<"$run"
  # The display scale is read when a program starts.
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >>"$PAGEWREN_WINE_STATE/reg.log" 2>&1
  suffix=$([ $dpi = 96 ] || echo "-$dpi")$([ $locale = C ] || echo "-${locale%%_*}")
  # Wine orders and joins Arabic letters only in the font a text is drawn with, never in one
  # it links to; Windows' own Arial has them, DejaVu Sans has them too.
  face=$([ "${locale%%_*}" = ar ] && echo "DejaVu Sans" || echo "Liberation Sans")
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d "$face" /f >>"$PAGEWREN_WINE_STATE/reg.log" 2>&1
  for shot in $shots; do
    rm -f "$work/ready" "$work/done"
    # Wine maps Z: to the Unix root, so the tool can reach the files.
    LANG=$locale wine "$tool" "$shot" "Z:$work/ready" "Z:$work/done" >"$work/$shot.log" 2>&1 &
    pid=$!
    for _ in $(seq 1 200); do
      [ -s "$work/ready" ] && break
      sleep 0.1
    done
    [ -s "$work/ready" ] || { echo "$shot: the dialog did not appear" >&2; cat "$work/$shot.log" >&2; exit 1; }
    read -r x y w h <"$work/ready"
    # Wine hands the painted window to X a moment after the program has drawn it.
    sleep 1
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$root/docs/$shot$suffix.png"
    touch "$work/done"
    wait "$pid"
    echo "docs/$shot$suffix.png (${w}x${h})"
  done
done
rm -rf "$work"
