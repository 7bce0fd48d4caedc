#!/usr/bin/env bash
# A still scene in the whole Manager, 1280 x 720 at 30 fps with its window minimized: slot 1 the
# desktop alone, against the desktop with a transparent logo (an image slot) and a caption (a
# text slot) over it, alternately in the same run. The slots come back from records in
# Tessavue.ini, as a presenter's scene comes back at every start. CPU from the Linux process
# table, as bench/manager-load.sh reads it.
#
# Sourced environment from scripts/bench: DISPLAY, TVQ_WINE_ROOT, TVQ_WINE_PREFIX, TVQ_BENCH_CSV.
# Usage: picture-slots.sh <build folder> [--quick]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"
quick=0
[[ "${2:-}" == "--quick" ]] && quick=1
seconds=$((quick ? 6 : 20))
rounds=$((quick ? 1 : 2))
csv="$build/bench/results.csv"
helper="$build/bin/composition_e2e_tests.exe"
caption="Taro Yamada / Sales"

source "$root/bench/wine-process.sh"
windows_path() { local unix="$1"; printf 'Z:%s' "${unix//\//\\}"; }

# write_scene <folder> <with pictures 0|1>
write_scene() {
  local folder="$1" logo
  logo="$(windows_path "$folder/logo.png")"
  convert -size 640x360 xc:none -fill 'rgba(230,40,40,0.6)' \
    -draw 'roundrectangle 20,20 620,340 40,40' -fill white -draw 'circle 320,180 320,80' \
    "$folder/logo.png"
  {
    printf '[Tessavue]\r\nMaxNumOfCaptureDev=8\r\nRestoreSlots=1\r\n'
    printf '[Video]\r\nWidth=1280\r\nHeight=720\r\nFramePerSecond=30\r\n'
    printf '[Slot1]\r\nKind=Desktop\r\n'
    if (($2)); then
      printf '[Slot2]\r\nKind=Image\r\nPath=%s\r\n' "$logo"
      printf '[Slot3]\r\nKind=Text\r\nText=%s\r\n' "$caption"
      printf 'Style=Font=Meiryo;Bold=1;Size=80;Color=FFFFFF;Outline=8;OutlineColor=000000;'
      printf 'Box=1;BoxColor=000000;BoxOpacity=50\r\n'
    fi
  } > "$folder/Tessavue.ini"
  printf '[%s]\r\nPos_x=0.72\r\nPos_y=0.04\r\nWidth=0.25\r\nHeight=0.25\r\n' "$logo" \
    > "$folder/TVQ_CaptureImage.ini"
  printf '[%s]\r\nPos_x=0.05\r\nPos_y=0.78\r\nWidth=0.9\r\nHeight=0.16\r\n' "$caption" \
    > "$folder/TVQ_CaptureText.ini"
}

# measure <with pictures 0|1>: prints the Manager's cores over the measured seconds.
measure() {
  local name="pictures$1"
  local folder="$build/bench/picture-slots/$name"
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$build/bin/TessavueManager.exe" "$folder/"
  write_scene "$folder" "$1"
  (cd "$folder" && exec "$root/cmake/wine-run.sh" "$folder/TessavueManager.exe") >/dev/null 2>&1 &
  local runner=$! pid=
  for _ in $(seq 1 100); do
    pid="$(linux_pid TessavueManager.exe "$name")" && break
    sleep 0.1
  done
  [[ -n "$pid" ]] || { echo "picture-slots: the Manager did not start" >&2; return 1; }
  sleep 2
  "$root/cmake/wine-run.sh" "$helper" --child=minimize TessavueManager >/dev/null 2>&1
  sleep 3
  local cores
  cores="$(cores_used "$pid" "$seconds")"
  kill "$pid" 2>/dev/null
  wait "$runner" 2>/dev/null
  echo "$cores"
}

averages="$(alternate_rounds "$rounds")" || exit 1
read -r alone with <<< "$averages"
ratio="$(awk -v w="$with" -v a="$alone" 'BEGIN { printf "%.3f", a ? w / a : 0 }')"
echo "Still scene, 1280 x 720 at 30 fps, window minimized, ${seconds} s x ${rounds} rounds"
printf '%-52s %8s cores\n' "Manager CPU, desktop alone" "$alone" \
  "Manager CPU, desktop + transparent logo + caption" "$with"
echo "Manager CPU still desktop alone,$alone,cores,1,$alone" >> "$csv"
echo "Manager CPU still desktop logo caption,$with,cores,$alone,$ratio" >> "$csv"
