#!/usr/bin/env bash
# Builds two installers that call Tallywick, runs them silently under Wine and
# checks the documents they wrote. Argument: the CMake build directory.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../tools/wine-env"
ostra_prepare_prefix

dll="$build/bin/Tallywick.dll"
[ -f "$dll" ] || { echo "missing $dll"; exit 1; }
work="$build/tallywick-e2e"
rm -rf "$work"
mkdir -p "$work"

"$OSTRA_OBJDUMP" -p "$dll" > "$work/objdump.txt"
python3 "$here/check.py" exports "$work/objdump.txt"

for script in event uninstall limit; do
  makensis -V2 -INPUTCHARSET UTF8 -DNSIS_TARGET="$OSTRA_NSIS_TARGET" -DPLUGINDIR="$build/bin" -DOUTFILE="$work/$script-setup.exe" \
    "$here/$script.nsi" > "$work/$script-makensis.log"
  (cd "$work" && wine "$script-setup.exe" /S)
  [ -f "$work/$script.json" ] || [ -f "$work/$script-past.json" ] || { echo "$script installer wrote nothing"; exit 1; }
done

python3 "$here/check.py" event "$work/event.json" "$work/event-stack.txt"
python3 "$here/check.py" uninstall "$work/uninstall.json"
# The string size of Debian's NSIS build, as the installer saw it.
max_strlen=$(makensis -HDRINFO 2>&1 | grep -o 'NSIS_MAX_STRLEN=[0-9]*' | head -n 1 | cut -d= -f2)
python3 "$here/check.py" limit "$work" "${max_strlen:-1024}"
echo "tallywick e2e: all checks passed"
