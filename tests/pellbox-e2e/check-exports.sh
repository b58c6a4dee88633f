#!/usr/bin/env bash
# The export table of Pellbox.dll: exactly the 23 undecorated names, and no
# runtime DLLs beside the system's.
set -euo pipefail
dll=$1
bits=${2:-32}
# The x86-64 objdump reads 32- and 64-bit PE files alike.
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
table=$("$objdump" -p "$dll")
names=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
expected=$(sort <<'NAMES'
NSISDeleteFolder
DLLDeleteFolder
NSISIsWow64
DLLIsWow64
NSISIsProcessRunningByFilePath
DLLIsProcessRunningByFilePath
NSISIsProcessRunningByFileName
DLLIsProcessRunningByFileName
NSISIsProcessRunningByDirectory
DLLIsProcessRunningByDirectory
NSISGetHardSNW
DLLGetHardSNW
NSISGetAppUUID
DLLGetAppUUID
NSISUrlEncode
DLLUrlEncode
NSISGetMacAddress
DLLGetMacAddress
NSISGetParentProcessName
DLLGetParentProcessName
NSISGetLocalTimeString
DLLGetLocalTimeString
NSISRebuildIconCache
NAMES
)
status=0
if [ "$names" != "$expected" ]; then
    echo "export names differ:"
    diff <(echo "$expected") <(echo "$names") || true
    status=1
fi
count=$(grep -c . <<<"$names")
[ "$count" -eq 23 ] || { echo "expected 23 exports, found $count"; status=1; }
magic=010b; [ "$bits" = 64 ] && magic=020b
grep -q "Magic.*$magic" <<<"$table" || { echo "not a $bits-bit PE"; status=1; }
if grep -iE 'DLL Name: (libstdc|libgcc|libwinpthread)' <<<"$table"; then
    echo "links a runtime DLL"
    status=1
fi
[ $status -eq 0 ] && echo "Pellbox.dll exports: $count undecorated names"
exit $status
