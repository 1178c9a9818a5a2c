# Sourced by the Wine scripts: one project-local prefix per build folder, quiet and unattended.
: "${PAGEWREN_WINE_STATE:?set PAGEWREN_WINE_STATE to the wine state folder of the build}"
export WINEPREFIX="$PAGEWREN_WINE_STATE/prefix"
export WINEDEBUG=-all
# Keeps the Mono and Gecko installers from prompting in a new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${DISPLAY:-}" ] && [ -f "$PAGEWREN_WINE_STATE/display" ]; then
  DISPLAY=$(cat "$PAGEWREN_WINE_STATE/display")
  export DISPLAY
fi
