#!/usr/bin/env bash
# An idle Manager whose 8 slots all wait for recorded sources that are not there (4 windows, 4
# cameras: every second it reads the window titles and lists the video devices), against the same
# idle Manager without records, alternately in the same run. CPU from the Linux process table, as
# bench/manager-load.sh reads it.
#
# Sourced environment from scripts/bench: DISPLAY, TVQ_WINE_ROOT, TVQ_WINE_PREFIX, TVQ_BENCH_CSV.
# Usage: restore-idle.sh <build folder> [--quick]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"
quick=0
[[ "${2:-}" == "--quick" ]] && quick=1
seconds=$((quick ? 6 : 30))
rounds=$((quick ? 1 : 2))
csv="$build/bench/results.csv"

source "$root/bench/wine-process.sh"

settings() {
  printf '[Tessavue]\r\nMaxNumOfCaptureDev=8\r\nRestoreSlots=%d\r\n' "$1"
  printf '[Video]\r\nWidth=1280\r\nHeight=720\r\nFramePerSecond=30\r\n'
  local slot
  for slot in 1 2 3 4; do
    printf '[Slot%d]\r\nKind=Window\r\nTitle=Not started yet %d\r\nClass=Slides\r\n' "$slot" "$slot"
  done
  for slot in 5 6 7 8; do
    printf '[Slot%d]\r\nKind=Camera\r\nDevicePath=\\\\?\\usb#unplugged%d\r\nFriendlyName=Unplugged %d\r\n' \
      "$slot" "$slot" "$slot"
  done
}

# measure <restore 0|1>: prints the Manager's cores over the measured seconds.
measure() {
  local folder="$build/bench/restore-idle/restore$1"
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$build/bin/TessavueManager.exe" "$folder/"
  settings "$1" > "$folder/Tessavue.ini"
  # No store of scenes from an earlier run: the records above are taken over at this start.
  local users="${TVQ_WINE_ROOT:?}/${TVQ_WINE_PREFIX:?}/drive_c/users"
  rm -f "$users"/*/AppData/Roaming/Tessavue/Scenes.ini
  (cd "$folder" && exec "$root/cmake/wine-run.sh" "$folder/TessavueManager.exe") >/dev/null 2>&1 &
  local runner=$! pid=
  for _ in $(seq 1 100); do
    pid="$(linux_pid TessavueManager.exe "restore$1")" && break
    sleep 0.1
  done
  [[ -n "$pid" ]] || { echo "restore-idle: the Manager did not start" >&2; return 1; }
  sleep 3
  local cores
  cores="$(cores_used "$pid" "$seconds")"
  kill "$pid" 2>/dev/null
  wait "$runner" 2>/dev/null
  echo "$cores"
}

averages="$(alternate_rounds "$rounds")" || exit 1
read -r empty waiting <<< "$averages"
echo "Idle Manager, 1280 x 720 at 30 fps, window shown, ${seconds} s x ${rounds} rounds"
printf '%-48s %8s cores\n' "Manager CPU idle, slots empty" "$empty" \
  "Manager CPU idle, 8 slots waiting" "$waiting"
echo "Manager CPU idle empty,$empty,cores,1,$empty" >> "$csv"
echo "Manager CPU idle 8 waiting,$waiting,cores,0.01,$(awk -v w="$waiting" 'BEGIN { printf "%.4f", w / 0.01 }')" >> "$csv"
