#!/usr/bin/env bash
# Runs a Windows executable under Wine for CTest.
#
# Prefixes live under $TVQ_WINE_ROOT (default: <build>/wine, next to bin/). A base prefix is made
# once; each test group named by $TVQ_WINE_PREFIX gets its own copy of it, so groups never see each
# other's registry or named kernel objects. A persistent wineserver per prefix keeps starts fast;
# scripts/test stops them all at the end of the run.
set -euo pipefail

exe="$1"
exe_dir="$(cd "$(dirname "$exe")" && pwd)"
root="${TVQ_WINE_ROOT:-$(dirname "$exe_dir")/wine}"
name="${TVQ_WINE_PREFIX:-default}"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv=d"
export WINEARCH=win64

make_base() {
  local base="$root/base"
  [[ -f "$base/.ready" ]] && return 0
  rm -rf "$base"
  mkdir -p "$base"
  WINEPREFIX="$base" wineboot -i >/dev/null 2>&1 </dev/null 9>&- || true
  # Without a window manager every hide or destroy of a managed window blocks for seconds.
  WINEPREFIX="$base" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    >/dev/null 2>&1 </dev/null 9>&-
  # Japanese text (menus, status text, message boxes) needs a font with those glyphs; the
  # Windows names map to the IPA Gothic font that scripts/setup installs.
  local font
  for font in "MS UI Gothic" "MS Gothic" "MS PGothic" "MS Mincho" "Meiryo" "Yu Gothic UI"; do
    WINEPREFIX="$base" wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" \
      /d IPAGothic /f >/dev/null 2>&1 </dev/null 9>&-
  done
  WINEPREFIX="$base" wineserver -w
  touch "$base/.ready"
}

make_prefix() {
  local prefix="$root/$name"
  [[ -f "$prefix/.ready" ]] && return 0
  make_base
  rm -rf "$prefix"
  # Hard links keep a prefix copy almost free: its ~700 MB of Wine's own DLLs are never written.
  # What a prefix does write in place (registry files, ini files, the user's folders) gets
  # copies of its own. Where links are not possible, a full copy does the same.
  if cp -al "$root/base" "$prefix" 2>/dev/null; then
    local file
    while IFS= read -r -d '' file; do
      cp --remove-destination -p "$root/base/${file#"$prefix/"}" "$file"
    done < <(find "$prefix" -type f \( -name '*.reg' -o -name '*.ini' -o -path '*/users/*' \
             -o -path '*/temp/*' \) -print0)
  else
    rm -rf "$prefix"
    cp -a "$root/base" "$prefix"
  fi
}

mkdir -p "$root"
(
  flock 9
  make_prefix
) 9>"$root/.lock"

export WINEPREFIX="$root/$name"
# -p: keep the server alive between test processes; it answers 0 only when it started a new one.
# Wine's own helper processes (services, explorer) outlive the program that started them and
# would hold its output pipe open, so a fresh server gets them started with nothing inherited.
if wineserver -p >/dev/null 2>&1 </dev/null; then
  wine cmd /c exit >/dev/null 2>&1 </dev/null 9>&- || true
fi
exec wine "$@"
