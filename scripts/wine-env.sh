# Sourced by the Wine scripts: one project-local prefix per build folder, quiet and unattended.
: "${PAGEWREN_WINE_STATE:?set PAGEWREN_WINE_STATE to the wine state folder of the build}"
export WINEPREFIX="$PAGEWREN_WINE_STATE/prefix"
# A 64-bit build runs in a win64 prefix through the 64-bit loader; the build writes "win64"
# into the state folder's arch file.
if [ "$(cat "$PAGEWREN_WINE_STATE/arch" 2>/dev/null)" = win64 ]; then
  export WINEARCH=win64
  PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-bin:$PATH"
  export PATH
fi
export WINEDEBUG=-all
# Keeps the Mono and Gecko installers from prompting in a new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${DISPLAY:-}" ] && [ -f "$PAGEWREN_WINE_STATE/display" ]; then
  DISPLAY=$(cat "$PAGEWREN_WINE_STATE/display")
  export DISPLAY
fi
