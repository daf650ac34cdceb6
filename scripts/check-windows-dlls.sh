#!/usr/bin/env bash
# Usage: scripts/check-windows-dlls.sh DLL...
#
# Checks the shipped plug-in DLLs as the host will see them (objdump -p): 32-bit PE, symbols
# stripped, an export table of exactly the five entry points, and imports from nothing but
# the host's qx_plugins.dll (AddinQX_ functions only) and Windows' own DLLs, so that no
# MinGW runtime DLL has to sit beside the host. Prints every fault and exits 1 on any.
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 DLL..." >&2
  exit 2
fi
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
command -v "$objdump" >/dev/null || { echo "$0: $objdump not found" >&2; exit 1; }

expected_exports=$(printf '%s\n' ExecuteMainCommand GetMainCommandName GetTaskMenuCommandName \
  SetLanguage TaskMenuCommandExecute | sort)
# Windows' own DLLs (compared in lower case).
system_dlls='^(kernel32|user32|comdlg32|msvcrt|advapi32|gdi32|shell32|ole32|oleaut32|ntdll)\.dll$'

faults=0
fault() {
  echo "FAULT: $1: $2" >&2
  faults=$((faults + 1))
}

for dll in "$@"; do
  if [ ! -f "$dll" ]; then
    fault "$dll" "missing"
    continue
  fi
  if ! dump=$("$objdump" -p "$dll" 2>&1); then
    fault "$dll" "objdump -p failed: $dump"
    continue
  fi

  grep -q 'file format pei-i386$' <<<"$dump" || fault "$dll" "not a 32-bit (i386) PE file"
  grep -q '(PE32)$' <<<"$dump" || fault "$dll" "not PE32"
  grep -q 'symbols stripped' <<<"$dump" || fault "$dll" "symbols not stripped"
  if "$objdump" -h "$dll" | grep -q '\.debug'; then fault "$dll" "carries debug sections"; fi

  exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
                 on && /^[ \t]*$/ { on = 0 }
                 on { print $NF }' <<<"$dump" | sort)
  if [ "$exports" != "$expected_exports" ]; then
    fault "$dll" "exports are [$(echo $exports)], expected [$(echo $expected_exports)]"
  fi

  # "DLL Name: X" starts each imported DLL; its functions follow as "vma hint name".
  imports=$(awk '/^\tDLL Name: / { dll = $3; print "DLL " dll; next }
                 /^\tvma:/ { next }
                 dll != "" && /^\t[0-9a-f]+\t/ { print "FN " dll " " $NF }
                 /^$/ { dll = "" }' <<<"$dump")
  dlls=$(awk '$1 == "DLL" { print $2 }' <<<"$imports")
  grep -qix 'qx_plugins.dll' <<<"$dlls" || fault "$dll" "does not import qx_plugins.dll"
  for name in $dlls; do
    lower=$(tr 'A-Z' 'a-z' <<<"$name")
    if [ "$lower" != qx_plugins.dll ] && ! grep -Eq "$system_dlls" <<<"$lower"; then
      fault "$dll" "imports $name, which the host does not provide"
    fi
  done
  host_functions=$(awk 'tolower($2) == "qx_plugins.dll" && $1 == "FN" { print $3 }' <<<"$imports")
  [ -n "$host_functions" ] || fault "$dll" "imports no function from qx_plugins.dll"
  for function in $host_functions; do
    case "$function" in
      AddinQX_*) ;;
      *) fault "$dll" "imports $function from qx_plugins.dll" ;;
    esac
  done

  echo "$dll: PE32 i386, stripped; exports: $(echo $exports); imports: $(echo $dlls)"
done

if [ "$faults" -ne 0 ]; then
  echo "check-windows-dlls: $faults fault(s)" >&2
  exit 1
fi
