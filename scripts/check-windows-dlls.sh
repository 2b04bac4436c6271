#!/usr/bin/env bash
# Checks that a folder of Windows programs is complete: every DLL that an
# .exe or .dll in it (or in a folder below) imports, as
# `x86_64-w64-mingw32-objdump -p` lists it, is either beside that file or a
# DLL that every Windows 10/11 has (the list below). Names are compared
# without regard to case, as Windows does. Prints one line per file and fails
# on the first missing DLL.
#   usage: check-windows-dlls.sh DIR
set -euo pipefail
DIR="$1"
# DLLs of Windows itself that these programs and their libraries may load.
SYSTEM="advapi32 cfgmgr32 comdlg32 dwmapi gdi32 glu32 hid imm32 kernel32 msvcrt ole32 oleaut32 opengl32 setupapi
shell32 shlwapi user32 userenv version winmm ws2_32 dinput8 dxgi xinput1_4"
status=0
checked=0
while IFS= read -r -d '' file; do
  here="$(dirname "$file")"
  missing=()
  imports=()
  while read -r dll; do
    [ -n "$dll" ] || continue
    imports+=("$dll")
    lower="${dll,,}"
    if [[ " ${SYSTEM//$'\n'/ } " == *" ${lower%.dll} "* ]]; then continue; fi
    if [ -n "$(find "$here" -maxdepth 1 -iname "$dll" -print -quit)" ]; then continue; fi
    missing+=("$dll")
  done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r')
  checked=$((checked + 1))
  if [ ${#missing[@]} -gt 0 ]; then
    echo "check-windows-dlls: ${file#"$DIR"/} imports ${missing[*]}, neither beside it nor part of Windows" >&2
    status=1
  else
    echo "check-windows-dlls: ${file#"$DIR"/}: ${imports[*]}"
  fi
done < <(find "$DIR" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0 | sort -z)
if [ "$checked" = 0 ]; then
  echo "check-windows-dlls: no .exe or .dll in $DIR" >&2
  exit 1
fi
exit "$status"
