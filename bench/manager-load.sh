#!/usr/bin/env bash
# The whole Manager as a user runs it, in three scenes, with Tessavue.ini at the output size and
# 30 fps:
# - live: slot 1 the desktop over the whole canvas at its default rate, slot 2 a moving test
#   pattern window in the bottom-right corner captured 30 times a second, the Manager's window
#   shown with its live preview (which the desktop slot sees);
# - presenter: the same slots with the Manager's window minimized, so the desktop holds still
#   but for the pattern window;
# - still: slot 1 the desktop alone, nothing moving, the Manager's window minimized.
# Runs the shipped Manager (after) and TessavueManagerWhole.exe, the same program with every
# capture changing its whole slot and every tick publishing the whole canvas (before),
# alternately in the same run, and reads each one's CPU time and peak memory from the Linux
# process table (Wine's GetProcessTimes for another process answers with the caller's own times).
#
# Sourced environment from scripts/bench: DISPLAY, TVQ_WINE_ROOT, TVQ_WINE_PREFIX, TVQ_BENCH_CSV,
# TVQ_SCREEN (the private display's size, for the labels).
# Usage: manager-load.sh <build folder> [--quick]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"
quick=0
[[ "${2:-}" == "--quick" ]] && quick=1
seconds=$((quick ? 6 : 15))
rounds=$((quick ? 1 : 2))
screen="${TVQ_SCREEN:-1280x1024}"
settings=("presenter 1920x1080")
((quick)) || settings=("live 1280x720" "live 1920x1080" "presenter 1920x1080" "still 1920x1080")
csv="$build/bench/results.csv"
wine_run() { "$root/cmake/wine-run.sh" "$@"; }
clock_ticks="$(getconf CLK_TCK)"
helper="$build/bin/composition_e2e_tests.exe"

wait_for_window() {
  local id
  for _ in $(seq 1 200); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)" || true
    if [[ -n "$id" ]]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  echo "manager-load: no window \"$1\" appeared" >&2
  return 1
}

source "$root/bench/wine-process.sh"
peak_kib() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status"; }

pattern_pid=
stop_pattern() {
  [[ -n "$pattern_pid" ]] || return 0
  # Ending the wrapper leaves the Wine process and its window behind.
  wine_run taskkill /f /im composition_e2e_tests.exe >/dev/null 2>&1
  kill "$pattern_pid" 2>/dev/null
  wait "$pattern_pid" 2>/dev/null
  pattern_pid=
}
trap stop_pattern EXIT

# fill_slots <scene>: keys into the focused Manager; the pattern window goes into slot 2.
fill_slots() {
  if [[ "$1" == still ]]; then
    xdotool key --delay 40 d
    return 0
  fi
  xdotool key --delay 40 d Down w
  local chooser
  # A key typed while the Manager's window was still taking focus is lost: ask once more.
  chooser="$(wait_for_window "キャプチャするウインドウの選択" 2>/dev/null)" ||
    { xdotool key w; chooser="$(wait_for_window "キャプチャするウインドウの選択")"; } || return 1
  xdotool windowfocus --sync "$chooser" 2>/dev/null || true
  xdotool key Return
}

# measure <exe name> <scene> <width> <height>: prints "<cores> <peak MiB>".
measure() {
  local exe="$1" scene="$2" width="$3" height="$4"
  local folder="$build/bench/manager-load/${exe%.exe}"
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$build/bin/$exe" "$folder/"
  printf '[Tessavue]\r\nMaxNumOfCaptureDev=8\r\n[Video]\r\nWidth=%d\r\nHeight=%d\r\nFramePerSecond=30\r\n' \
    "$width" "$height" > "$folder/Tessavue.ini"
  printf '[Tessavue test pattern]\r\nPos_x=0.7\r\nPos_y=0.7\r\nWidth=0.28\r\nHeight=0.28\r\nCapturePerSecond=30\r\n' \
    > "$folder/TVQ_CaptureWindow.ini"
  if [[ "$scene" != still ]]; then
    wine_run "$helper" --child=pattern 980 620 280 240 moving >/dev/null 2>&1 &
    pattern_pid=$!
    wait_for_window "Tessavue test pattern" >/dev/null || return 1
  fi
  (cd "$folder" && exec "$root/cmake/wine-run.sh" "$folder/$exe") >/dev/null 2>&1 &
  local runner=$!
  local window
  window="$(wait_for_window TessavueManager)" || return 1
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  fill_slots "$scene" || return 1
  [[ "$scene" == live ]] || wine_run "$helper" --child=minimize TessavueManager >/dev/null 2>&1
  sleep 3
  local pid start end
  pid="$(linux_pid "$exe")" || { echo "manager-load: no process for $exe" >&2; return 1; }
  start="$(cpu_ticks "$pid")"
  sleep "$seconds"
  end="$(cpu_ticks "$pid")"
  local peak
  peak="$(peak_kib "$pid")"
  wine_run taskkill /im "$exe" >/dev/null 2>&1
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null
  wait "$runner" 2>/dev/null
  stop_pattern
  awk -v t=$((end - start)) -v hz="$clock_ticks" -v s="$seconds" -v kib="$peak" \
    'BEGIN { printf "%.3f %.1f\n", t / hz / s, kib / 1024 }'
}

printf '\nWhole Manager on a %s screen: every capture and tick whole (before) and following the changed pixels (after), %d s x %d rounds; load average at the start: %s\n' \
  "$screen" "$seconds" "$rounds" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-56s %14s %-8s %14s %8s  %s\n' figure value unit reference ratio "reference is"
status=0
for setting in "${settings[@]}"; do
  scene="${setting% *}"
  size="${setting#* }"
  width="${size%x*}"
  height="${size#*x}"
  before_cpu=0 after_cpu=0 before_peak=0 after_peak=0
  for _ in $(seq 1 "$rounds"); do
    read -r cpu peak < <(measure TessavueManagerWhole.exe "$scene" "$width" "$height") || status=1
    before_cpu="$(awk -v a="$before_cpu" -v b="${cpu:-0}" -v n="$rounds" 'BEGIN {print a + b / n}')"
    before_peak="$(awk -v a="$before_peak" -v b="${peak:-0}" 'BEGIN {print (b > a ? b : a)}')"
    read -r cpu peak < <(measure TessavueManager.exe "$scene" "$width" "$height") || status=1
    after_cpu="$(awk -v a="$after_cpu" -v b="${cpu:-0}" -v n="$rounds" 'BEGIN {print a + b / n}')"
    after_peak="$(awk -v a="$after_peak" -v b="${peak:-0}" 'BEGIN {print (b > a ? b : a)}')"
  done
  label="${scene}_scene_${size}_screen_${screen}"
  while read -r name value unit reference refname; do
    ratio="$(awk -v v="$value" -v r="$reference" 'BEGIN {printf "%.3f", r ? v / r : 0}')"
    printf '%-56s %14.3f %-8s %14.3f %8s  %s\n' "${name//_/ }" "$value" "$unit" "$reference" \
      "$ratio" "${refname//_/ }"
    echo "${name//_/ },$value,$unit,$reference,$ratio" >> "$csv"
  done <<EOT
Manager_CPU_before_$label $before_cpu cores 1 one_core
Manager_CPU_after_$label $after_cpu cores $before_cpu CPU_before
Manager_peak_memory_before_$label $before_peak MiB 1 -
Manager_peak_memory_after_$label $after_peak MiB $before_peak peak_memory_before
EOT
done
exit $status
