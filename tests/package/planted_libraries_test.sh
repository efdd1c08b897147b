#!/usr/bin/env bash
# Stand-ins named after every library the programs use that is not a KnownDLL, planted beside
# copies of the programs, with Wine told to look beside the program first ("n,b", as Windows
# does for these names): the programs must start, discover and close without loading one.
# KnownDLLs (the programs' only imports, checked by imports_test.sh) are always loaded from the
# system directory on Windows, and so are their own imports; Wine does not do the latter, so a
# stand-in that a system library loads at start-up while the program does not import that name
# itself (version.dll, which Wine's setupapi imports) is reported but not counted.
# Run inside scripts/wine-screen.sh (a private prefix and display).
#   planted_libraries_test.sh OBJDUMP STANDIN.dll Mivaro.exe mivaro-cli.exe mivaro-window-driver.exe
set -u
objdump=$1 standin=$2 mivaro=$3 cli=$4 driver=$5
names=(d3d12 dxgi dwmapi version directml nvcuda nvml)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$mivaro" "$cli" "$driver" "$work/"
for name in "${names[@]}"; do cp "$standin" "$work/$name.dll"; done
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Wine shows an Intel adapter to both programs, so that discovery makes a Direct3D 12 device;
# with the build's DirectML stack in the system directory, DirectML is loaded too.
for program in Mivaro mivaro-cli; do
  key="HKCU\\Software\\Wine\\AppDefaults\\$program.exe\\Direct3D"
  wine reg add "$key" /v VideoPciVendorID /t REG_DWORD /d 0x8086 /f >/dev/null 2>&1
  wine reg add "$key" /v VideoPciDeviceID /t REG_DWORD /d 0x3e9b /f >/dev/null 2>&1
done
if [ -n "${MIVARO_DIRECTML_DLL:-}" ] && [ -f "$MIVARO_DIRECTML_DLL" ]; then
  # A new file, not one hard-linked with the build's own prefix.
  cp --remove-destination "$MIVARO_DIRECTML_DLL" "$WINEPREFIX/drive_c/windows/system32/DirectML.dll"
fi

export WINEDLLOVERRIDES="$(IFS=,; echo "${names[*]}")=n,b;mscoree,mshtml="
cd "$work"
out=$(timeout 120 wine mivaro-cli.exe list 2>&1); code=$?
echo "$out"
[ $code -eq 0 ] || [ $code -eq 3 ] || fail "mivaro-cli.exe list ended with $code"
timeout 180 wine Mivaro.exe >mivaro.log 2>&1 &
program=$!
timeout 120 wine mivaro-window-driver.exe wait 90 || fail "the Mivaro window did not appear"
timeout 60 wine mivaro-window-driver.exe close
wait $program || fail "Mivaro.exe ended with $?"

for marker in *.dll.dynamic; do
  [ -e "$marker" ] && fail "${marker%.dynamic} was loaded from beside the program at run time"
done
for marker in *.dll.static; do
  [ -e "$marker" ] || continue
  library=${marker%.static}
  if "$objdump" -p Mivaro.exe mivaro-cli.exe | grep -qiF "DLL Name: $library"; then
    fail "$library was loaded from beside the program as one of its imports"
  else
    echo "note: $library was loaded from beside the program by one of Wine's system libraries"
  fi
done
[ $failures -eq 0 ] && echo "no planted library was loaded by the programs"
exit $(( failures == 0 ? 0 : 1 ))
