#!/usr/bin/env bash
# Every library a program imports must be a KnownDLL, which Windows loads from the system
# directory whatever lies beside the program (a browser's download folder may hold a file of
# any name); the common controls may come in through the program's manifest, which binds them
# to the system's side-by-side copy. Every other library is found at run time in the system
# directory (core/system_library.h).
#   imports_test.sh OBJDUMP PROGRAM.exe...
set -u
objdump=$1; shift
# The KnownDLLs of Windows 10 and 11 (the values of HKLM\SYSTEM\CurrentControlSet\Control\
# Session Manager\KnownDLLs, less the WOW64 emulator's own).
known=(advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt
  normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32)
failures=0
for program in "$@"; do
  imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r')
  [ -n "$imports" ] || { echo "FAIL: no imports read from $program"; failures=$((failures + 1)); continue; }
  for library in $imports; do
    name=$(tr '[:upper:]' '[:lower:]' <<<"${library%.*}")
    if [[ " ${known[*]} " == *" $name "* ]]; then continue; fi
    if [ "$name" = comctl32 ] && grep -qa 'Microsoft.Windows.Common-Controls' "$program"; then continue; fi
    echo "FAIL: $(basename "$program") imports $library, which Windows may load from beside the program"
    failures=$((failures + 1))
  done
  echo "$(basename "$program") imports:" $imports
done
exit $(( failures == 0 ? 0 : 1 ))
