#!/usr/bin/env bash
# The signed release: a throwaway self-signed code-signing certificate, the package step with it
# (on the tree already built), osslsigncode's verdict on every program file, the signed installer
# installed and used by the installer tests' own cases, then the bad inputs, which must fail with
# their message and leave the packages of the good run as they were.
# Usage: signed-package.sh <source root> <build dir> <wine wrapper> <install_tests exe>
set -euo pipefail
root="$1" build="$2" wrapper="$3" install_tests="$4"
for tool in openssl osslsigncode makensis; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
setup="$work/dist/Tessavue-$version-x64-setup.exe"
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

certificate() {  # name, then what openssl req adds
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 2 \
    -subj "/CN=Tessavue test" "${@:2}" 2>/dev/null
  openssl pkcs12 -export -inkey "$1.key" -in "$1.pem" -out "$1.pfx" -passout pass:secret
}
certificate good -addext extendedKeyUsage=codeSigning
certificate plain
# openssl req cannot date a certificate back: a one-off CA issues one for a day in 2020.
printf '%s\n' >ca.cnf '[ca]' 'default_ca=d' '[d]' 'database=index.txt' 'new_certs_dir=.' \
  'serial=serial' 'policy=p' 'default_md=sha256' '[p]' 'commonName=supplied' '[x]' \
  'extendedKeyUsage=codeSigning'
touch index.txt && echo 01 >serial
openssl req -new -key good.key -subj "/CN=Tessavue test" -out expired.csr
openssl ca -batch -config ca.cnf -selfsign -keyfile good.key -in expired.csr -extensions x \
  -startdate 20200101000000Z -enddate 20200102000000Z -notext -out expired.pem 2>/dev/null
openssl pkcs12 -export -inkey good.key -in expired.pem -out expired.pfx -passout pass:secret

package() {  # pfx, password, time-stamp server
  TVQ_BUILD_DIR="$build" TVQ_SIGN_PFX="$1" TVQ_SIGN_PASSWORD="$2" TVQ_SIGN_TIMESTAMP="$3" \
    timeout 120 bash "$root/scripts/package" --no-build --dist-dir "$work/dist"
}

verify_signed() {
  local log
  if ! log="$(osslsigncode verify -CAfile good.pem -in "$1" 2>&1)"; then
    fail "not signed and intact: $1"
    return
  fi
  grep -q "Text description: Tessavue $version" <<<"$log" || fail "no description in $1: $log"
  grep -q "Message digest algorithm *: SHA256" <<<"$log" || fail "not SHA-256: $1"
}

if ! package good.pfx secret "" >/dev/null; then
  echo "FAILED: the package step refused a good certificate" >&2
  exit 1
fi
mkdir zip && unzip -q "$work"/dist/*.zip -d zip
for file in "$setup" zip/*/TessavueManager.exe zip/*/TVQDirectShowFilter.dll; do
  verify_signed "$file"
done
TVQ_SETUP="$setup" bash "$root/tests/install/fresh-prefix.sh" "$wrapper" "$install_tests" \
  --gtest_filter='Installer.SilentInstall*:Installer.TheShortcutsManagerFeedsFfmpeg*' ||
  fail "the signed installer's install and stream"
prefix="${TVQ_WINE_ROOT:-$build/wine}/$TVQ_WINE_PREFIX"
verify_signed "$prefix/drive_c/Program Files/Tessavue/Uninstall.exe"

# A port where nothing listens: the connection is refused at once.
for port in {47000..47999}; do ! (: >"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; done
bad_inputs=(
  "missing file|$work/missing.pfx|secret||does not exist"
  # A folder: root, which these machines test as, reads a file whatever its permissions.
  "unreadable file|$work|secret||cannot be read"
  "wrong password|good.pfx|wrong||wrong password"
  "no code-signing use|plain.pfx|secret||not made for code signing"
  "expired|expired.pfx|secret||expired on Jan  2 00:00:00 2020"
  "time-stamp server that does not answer|good.pfx|secret|http://127.0.0.1:$port|time-stamp server")
before="$(cd dist && ls -A && sha256sum ./*)"
for row in "${bad_inputs[@]}"; do
  IFS='|' read -r name pfx password timestamp message <<<"$row"
  if package "$pfx" "$password" "$timestamp" >out.txt 2>&1; then fail "$name: accepted"; fi
  grep -q "$message" out.txt || fail "$name: no \"$message\" in: $(cat out.txt)"
  [[ "$(cd dist && ls -A && sha256sum ./*)" == "$before" ]] || fail "$name: changed the packages"
done
((failures == 0))
