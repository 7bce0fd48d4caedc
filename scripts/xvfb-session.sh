# Sourced by scripts/test, scripts/demo and scripts/bench: a private Xvfb display and helpers to
# stop it, and every wineserver of a prefix root, on exit.

# start_private_display: starts Xvfb on the first free display from :90 up; exports DISPLAY.
# The screen is 1280 x 1024 x 24 unless TVQ_XVFB_SCREEN names another (the benchmarks).
start_private_display() {
  local n
  for n in $(seq 90 150); do
    if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then
      Xvfb ":$n" -screen 0 "${TVQ_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
      TVQ_XVFB_PID=$!
      export DISPLAY=":$n"
      local i
      for i in $(seq 1 100); do
        kill -0 "$TVQ_XVFB_PID" 2>/dev/null || break
        if [[ -e /tmp/.X11-unix/X$n ]]; then
          # Another run may have taken the same display a moment earlier: ours must still live.
          sleep 0.2
          kill -0 "$TVQ_XVFB_PID" 2>/dev/null && return 0
          break
        fi
        sleep 0.05
      done
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}

# stop_wineservers <prefix root>: ends the wineserver of every prefix below the root.
stop_wineservers() {
  local root="$1" prefix
  [[ -d "$root" ]] || return 0
  for prefix in "$root"/*/; do
    [[ -f "$prefix/.ready" ]] || continue
    WINEPREFIX="${prefix%/}" wineserver -k >/dev/null 2>&1 || true
  done
}

stop_private_display() {
  if [[ -n "${TVQ_XVFB_PID:-}" ]]; then
    kill "$TVQ_XVFB_PID" 2>/dev/null || true
    wait "$TVQ_XVFB_PID" 2>/dev/null || true
    TVQ_XVFB_PID=
  fi
}
