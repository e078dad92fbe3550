# Where Wine is, and the environment every Windows program run here gets; sourced by the scripts
# that run them (wine-run.sh, wine-desktop.sh, test-mingw.sh).
#
#   wine_find                        sets $wine (wine64) and $wineserver; fails, saying what to
#                                    install, when there is no Wine
#   wine_use_prefix <prefix> [<overrides>]
#                                    exports WINEPREFIX, WINEARCH, WINEDEBUG and WINEDLLOVERRIDES
#                                    for a 64-bit prefix; <overrides> adds DLL overrides

wine_find() {
  wine=$(command -v wine64 || true)
  if [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; fi
  if [ -z "$wine" ]; then
    echo "wine64 not found (install it with scripts/install-deps.sh)" >&2
    return 127
  fi
  wineserver=$(command -v wineserver || echo "$(dirname "$wine")/wineserver")
}

wine_use_prefix() {
  export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all
  # No Mono or Gecko installer prompts: nothing here needs .NET or an HTML engine (the help
  # viewer's page pane stays empty without Gecko).
  export WINEDLLOVERRIDES="mscoree,mshtml=${2:+;$2}"
}
