# Wine helpers for the tests and the demo, sourced by bash scripts.
# A base prefix is made once and cached; each run works in a clone of it.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
QV_CACHE=${QV_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qvsetup}

qv_wine_base() {
  local base=$QV_CACHE/wine-base-3
  mkdir -p "$QV_CACHE"
  # One maker at a time: runs that start together wait for the same base.
  (
    flock 9
    if [ ! -f "$base/.ready" ]; then
      rm -rf "$base"
      WINEPREFIX=$base wineboot -i >/dev/null 2>&1
      # Without a window manager on the virtual screen Wine draws the frames
      # and captions itself.
      WINEPREFIX=$base wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      WINEPREFIX=$base wineserver -w
      touch "$base/.ready"
    fi
  ) 9>"$QV_CACHE/wine-base.lock"
  echo "$base"
}

# qv_wine_clone DEST: a fresh prefix at DEST, hard-linked to the base (a
# copy on another file system). Wine writes its registry files and the
# Windows folder's .ini files in place, so the clone gets its own copies of
# those: nothing flows back into the base or into other clones.
qv_wine_clone() {
  local base f
  base=$(qv_wine_base)
  rm -rf "$1"
  cp -al "$base" "$1" 2>/dev/null || { rm -rf "$1"; cp -a "$base" "$1"; }
  rm -f "$1/.ready"
  for f in "$1"/*.reg "$1"/drive_c/windows/*.ini; do
    if [ -f "$f" ]; then cp --remove-destination "$base/${f#"$1"/}" "$f"; fi
  done
}

# qv_xvfb: starts a virtual screen if none is set, exports DISPLAY.
qv_xvfb() {
  if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    local n=$((90 + RANDOM % 100))
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    QV_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  fi
}

qv_xvfb_stop() {
  [ -n "${QV_XVFB_PID:-}" ] && kill "$QV_XVFB_PID" 2>/dev/null || true
}

# qv_wine_session PREFIX LOG: a session for a script that shows setup on a
# screen: a virtual screen of its own (so a screenshot shows only the setup),
# a fresh prefix at PREFIX as Windows XP, one server for the whole script
# (Wine's own start-up output goes to LOG), all ended when the script exits.
qv_wine_session() {
  unset DISPLAY
  qv_xvfb
  qv_wine_clone "$1"
  export WINEPREFIX=$1
  trap 'wineserver -k 2>/dev/null || true; qv_xvfb_stop' EXIT
  wineserver -p
  wine winecfg -v winxp >"$2" 2>&1
}
