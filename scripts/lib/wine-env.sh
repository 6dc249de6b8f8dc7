# Sourced by scripts/test and scripts/demo: a Wine prefix owned by the build,
# a display (Xvfb when there is none) and one wineserver for the whole run.
# Call wine_start once; wine_stop runs on exit.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=${SCRIBLY_WINEPREFIX:-$ROOT/build/wine-prefix}
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
_xvfb_pid=

wine_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "$_xvfb_pid" ] && kill "$_xvfb_pid" >/dev/null 2>&1 || true
  _xvfb_pid=
}

wine_start() {
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 90 140); do
      [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
      _xvfb_pid=$!
      export DISPLAY=":$n"
      local t
      for t in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
      done
      kill -0 "$_xvfb_pid" 2>/dev/null && break
      _xvfb_pid=
    done
    [ -n "$_xvfb_pid" ] || { echo "wine: could not start Xvfb" >&2; return 1; }
  fi
  trap wine_stop EXIT
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/.scribly-booted" ]; then
    echo "wine: preparing the prefix $WINEPREFIX" >&2
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w
    touch "$WINEPREFIX/.scribly-booted"
  fi
  # One persistent server: every test program reuses it instead of paying the
  # start-up again.
  "$WINESERVER" -p >/dev/null 2>&1 || true
  # Our Xvfb runs no window manager, yet Wine waits up to 2 s for one each
  # time it hides a managed window; unmanaged, Wine stacks the windows itself.
  local managed=Y
  [ -n "$_xvfb_pid" ] && managed=N
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d $managed /f \
    >/dev/null 2>&1 || true
}

# Runs a Windows program (path in the Linux file system) under Wine.
wine_run() {
  "$WINE" "$@"
}
