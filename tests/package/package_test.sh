#!/usr/bin/env bash
# Makes the package of a build tree with cpack, unpacks it into an empty folder, checks that
# it holds exactly what a user needs, and runs it: natively mivaro-cli answers --version and
# list, needs no glibc symbol newer than $MIVARO_GLIBC_BASELINE and answers --version under
# the C library of the system root $MIVARO_GLIBC_BASELINE_ROOT; for Windows, under the
# build's Wine session, mivaro-cli.exe answers --version and the window starts and closes
# with exit code 0.
#   package_test.sh CPACK BUILD_DIR VERSION [WINDOW_DRIVER.exe]
set -u
cpack=$1 build_dir=$(cd "$2" && pwd) version=$3 driver=${4:-}
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

if ! "$cpack" --config "$build_dir/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"; fail "cpack failed"
fi
if [ -n "$driver" ]; then
  top=Mivaro-$version-win64 archive=$work/out/Mivaro-$version-win64.zip
  expected=("$top/LICENSE.txt" "$top/Mivaro.exe" "$top/README.txt" "$top/mivaro-cli.exe")
else
  top=mivaro-cli-$version-linux-x86_64 archive=$work/out/mivaro-cli-$version-linux-x86_64.tar.gz
  expected=("$top/LICENSE.txt" "$top/README.txt" "$top/mivaro-cli")
fi
[ -f "$archive" ] || fail "no $(basename "$archive") in: $(ls "$work/out")"

mkdir "$work/unpacked"
(cd "$work/unpacked" && "$(dirname "$cpack")/cmake" -E tar xf "$archive") || fail "cannot unpack $archive"
contents=$(cd "$work/unpacked" && find . -mindepth 1 -not -type d | sed 's|^\./||' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
[ "$contents" = "$wanted" ] || fail "the package holds"$'\n'"$contents"$'\n'"instead of"$'\n'"$wanted"
dir=$work/unpacked/$top
echo "ok   contents: ${expected[*]}"

if [ -z "$driver" ]; then
  readelf -S "$dir/mivaro-cli" | grep -q '\.debug_' && fail "mivaro-cli carries debug information"
  out=$("$dir/mivaro-cli" --version) || fail "--version: exit $?"
  [[ $out == "mivaro-cli $version"* ]] || fail "--version said: $out"
  out=$("$dir/mivaro-cli" list 2>&1); code=$?
  { [ $code -eq 0 ] || [ $code -eq 3 ]; } && grep -q 'References (--reference):' <<<"$out" ||
    fail "list: exit $code, $out"
  echo "ok   mivaro-cli --version and list answer"

  baseline=${MIVARO_GLIBC_BASELINE:?the glibc baseline is not set}
  newest=$(objdump -T "$dir/mivaro-cli" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -Vu | tail -1)
  [ "$(printf '%s\n' "$newest" "$baseline" | sort -V | tail -1)" = "$baseline" ] ||
    fail "mivaro-cli needs GLIBC_$newest, newer than $baseline:"$'\n'"$(objdump -T "$dir/mivaro-cli" | grep "GLIBC_$newest")"
  # Symbol versions alone do not show start files of a newer C library: run it on the old one.
  root=${MIVARO_GLIBC_BASELINE_ROOT:?the system root of the glibc baseline is not set}
  out=$("$root/lib64/ld-linux-x86-64.so.2" --library-path "$root/lib/x86_64-linux-gnu" "$dir/mivaro-cli" --version 2>&1) ||
    fail "under glibc $baseline, --version: exit $?, $out"
  [[ $out == "mivaro-cli $version"* ]] || fail "under glibc $baseline, --version said: $out"
  echo "ok   needs glibc $newest at most and runs on glibc $baseline"
  exit 0
fi

for exe in Mivaro.exe mivaro-cli.exe; do
  # Static runtime: no MinGW DLL may be needed; no symbols left for a debugger.
  imports=$(x86_64-w64-mingw32-objdump -p "$dir/$exe" | grep 'DLL Name' | tr 'A-Z' 'a-z')
  grep -qE 'libstdc|libgcc|libwinpthread' <<<"$imports" && fail "$exe needs a MinGW DLL: $imports"
  x86_64-w64-mingw32-objdump -h "$dir/$exe" | grep -q '\.debug_' && fail "$exe carries debug information"
done
out=$("$scripts/wine-run.sh" "$build_dir" "$dir/mivaro-cli.exe" --version | tr -d '\r') ||
  fail "mivaro-cli.exe --version: exit $?"
[[ $out == "mivaro-cli $version"* ]] || fail "mivaro-cli.exe --version said: $out"
echo "ok   mivaro-cli.exe --version answers"

MIVARO_WINE_TIMEOUT=120 "$scripts/wine-run.sh" "$build_dir" "$dir/Mivaro.exe" &
window=$!
"$scripts/wine-run.sh" "$build_dir" "$driver" wait 60 >/dev/null || { kill $window; fail "the window did not appear"; }
"$scripts/wine-run.sh" "$build_dir" "$driver" close
wait $window; code=$?
[ $code -eq 0 ] || fail "Mivaro.exe ended with exit code $code"
echo "ok   Mivaro.exe started and closed with exit code 0"
