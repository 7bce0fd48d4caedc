#!/usr/bin/env bash
# Runs a test under the Wine wrapper in a prefix made anew: an installer test must not find what
# an earlier run installed. Usage: fresh-prefix.sh <wine wrapper> <test exe> [args...]
set -euo pipefail
wrapper="$1"
exe="$2"
root="${TVQ_WINE_ROOT:-$(dirname "$(cd "$(dirname "$exe")" && pwd)")/wine}"
prefix="$root/${TVQ_WINE_PREFIX:?}"
if [[ -d "$prefix" ]]; then
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
  rm -rf "$prefix"
fi
exec "$wrapper" "${@:2}"
