#!/usr/bin/env bash
# The build script on a copy of the sources: one small library builds (status 0), then the same
# library with a source broken on purpose must fail the script with the compiler's message.
# Nothing of the real build is reused; the copy gets its own build folder and an empty ffmpeg
# placeholder, so that the set-up step fetches nothing. Usage: build-fails.sh <source root>
set -uo pipefail
root="$(cd "${1:?source root}" && pwd)"
target=tvq_channel
broken=channel/CSharedMemory.cpp
marker="broken on purpose by the build script's test"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
copy="$work/src"
mkdir -p "$copy"
tar -C "$root" --exclude=./.git --exclude=./build --exclude='./build-*' --exclude=./.cache \
  -cf - . | tar -C "$copy" -xf - || { echo "could not copy $root"; exit 1; }
mkdir -p "$copy/.cache/ffmpeg"
: >"$copy/.cache/ffmpeg/ffmpeg.exe"
export TVQ_BUILD_DIR="$copy/build"

bash "$copy/scripts/build" "$target" >"$work/good.log" 2>&1
status=$?
if ((status != 0)); then
  echo "the unbroken copy did not build (status $status):"
  cat "$work/good.log"
  exit 1
fi

printf '\n#error %s\n' "$marker" >>"$copy/$broken"
bash "$copy/scripts/build" "$target" >"$work/broken.log" 2>&1
status=$?
if ((status == 0)); then
  echo "scripts/build reported success for a broken source:"
  cat "$work/broken.log"
  exit 1
fi
if ! grep -q "$marker" "$work/broken.log"; then
  echo "scripts/build failed (status $status), but not on the broken source:"
  cat "$work/broken.log"
  exit 1
fi
echo "scripts/build failed as it should (status $status)"
