#!/usr/bin/env bash
# scripts/build on a copy of the sources (own build folder, an empty ffmpeg placeholder so that the
# set-up fetches nothing): one small library builds, then with a source broken on purpose the
# script must fail with the compiler's message. Usage: build-fails.sh <source root>
set -uo pipefail
root="$(cd "${1:?source root}" && pwd)"
marker="broken on purpose by the build script's test"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
copy="$work/src"
mkdir -p "$copy/.cache/ffmpeg"
tar -C "$root" --exclude=./.git --exclude=./build --exclude='./build-*' --exclude=./.cache \
  -cf - . | tar -C "$copy" -xf - || exit 1
: >"$copy/.cache/ffmpeg/ffmpeg.exe"
export TVQ_BUILD_DIR="$copy/build"

if ! bash "$copy/scripts/build" tvq_channel >"$work/log" 2>&1; then
  echo "the unbroken copy did not build:"; cat "$work/log"; exit 1
fi
printf '\n#error %s\n' "$marker" >>"$copy/channel/CSharedMemory.cpp"
if bash "$copy/scripts/build" tvq_channel >"$work/log" 2>&1; then
  echo "scripts/build reported success for a broken source:"; cat "$work/log"; exit 1
fi
if ! grep -q "$marker" "$work/log"; then
  echo "scripts/build failed, but not on the broken source:"; cat "$work/log"; exit 1
fi
echo "scripts/build failed as it should"
