#!/usr/bin/env bash
# TIBET.dll exports exactly the names that libTIBET.so exports, undecorated (no stdcall "_name@bytes"),
# and the Windows programs need no MinGW runtime DLL beside them.
# Usage: exports.sh OBJDUMP TIBET.dll libTIBET.so PROGRAM...
set -uo pipefail
objdump=$1 dll=$2 so=$3
shift 3
if [ ! -f "$so" ]; then
  echo "SKIP: $so is not built (the Linux build comes first in 'make test')"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# The name table of the export directory: lines "[ordinal] name" after its heading.
"$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^\t\[/ {print $NF; next} on {exit}' |
  sort >"$work/dll"
nm -D --defined-only "$so" | awk '{print $NF}' | sort >"$work/so"
count=$(wc -l <"$work/dll")
if ! diff -u "$work/so" "$work/dll"; then
  echo "FAIL: the export tables differ (- libTIBET.so, + TIBET.dll)"
  failed=1
fi
if [ "$count" -ne 104 ]; then
  echo "FAIL: TIBET.dll exports $count names, not 104"
  failed=1
fi
if grep -q '@' "$work/dll"; then
  echo "FAIL: decorated names in TIBET.dll: $(grep '@' "$work/dll" | head -3 | tr '\n' ' ')"
  failed=1
fi

# 32-bit: the word processor's convention is stdcall, where the callee takes its arguments off the stack:
# wdAutoOpen(short) returns with "ret $0x4", the host's wdCommandDispatch (five arguments) with "ret $0x14"
# (their code keeps the stdcall names _wdAutoOpen@4 and _wdCommandDispatch@20 in the symbol table).
return_of() {
  "$objdump" -d --no-show-raw-insn "$1" |
    awk -v name="$2" 'index($2, "<_" name "@") == 1 && /:$/ {on = 1} on && /\tret/ {print $NF; exit}'
}
host=
for program in "$@"; do
  case "$program" in *wordhost.exe) host=$program ;; esac
done
if "$objdump" -f "$dll" | grep -q 'file format pei-i386'; then
  [ "$(return_of "$dll" wdAutoOpen)" = '$0x4' ] || { echo "FAIL: wdAutoOpen in TIBET.dll is not stdcall"; failed=1; }
  [ "$(return_of "$host" wdCommandDispatch)" = '$0x14' ] ||
    { echo "FAIL: wdCommandDispatch in wordhost.exe is not stdcall"; failed=1; }
fi

for program in "$dll" "$@"; do
  runtime=$("$objdump" -p "$program" | awk '/DLL Name:/ {print $3}' | grep -iE 'libgcc|libstdc|libwinpthread|mingw' || true)
  if [ -n "$runtime" ]; then
    echo "FAIL: $(basename "$program") needs $runtime"
    failed=1
  fi
done
[ $failed -eq 0 ] && echo "TIBET.dll exports the $count names of libTIBET.so; no MinGW DLL is needed"
exit $failed
