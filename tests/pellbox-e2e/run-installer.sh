#!/usr/bin/env bash
# Builds a Unicode NSIS installer that calls every Pellbox export, runs it
# silently under Wine and checks what each export returned.
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/e2e-common.sh"
ostra_prepare_prefix

work=$build/pellbox-e2e/installer
rm -rf "$work"
mkdir -p "$work/run" "$work/outside" "$work/linkcase"
echo precious > "$work/outside/precious.txt"
echo ours > "$work/linkcase/own.txt"
# Wine cannot make links itself; it shows a Unix symbolic link as a directory link.
ln -s "$work/outside" "$work/linkcase/link"

setup="$work/pellbox-安装.exe"
makensis -V2 -INPUTCHARSET UTF8 -DNSIS_TARGET="$OSTRA_NSIS_TARGET" -DPLUGIN_DIR="$build/bin" -DOUT_FILE="$setup" "$here/pellbox-e2e.nsi"

out=$work/results.txt
before=$(date +%s)
wine "$setup" /S "/OUT=$(winepath -w "$out")" "/WORK=$(winepath -w "$work/run")" \
    "/HELPER=$(winepath -w "$build/tests/pellbox_e2e_sleeper.exe")" "/LINKCASE=$(winepath -w "$work/linkcase")"
after=$(date +%s)
[ -f "$out" ] || { echo "the installer wrote no results"; exit 1; }
load_results "$out"

expect started 1
expect finished 1
for key in "${!result[@]}"; do
    [[ $key == *.below ]] && expect "$key" sentinel
done

expect wow64 0
expect sn.later "$wine_disk_identity"
expect_match sn "^($wine_disk_identity)?$"
expect mac ""
expect_match uuid '^[0-9A-F]{32}$'
expect_match uuid2 '^[0-9A-F]{32}$'
check "two UUIDs differ" test "${result[uuid]}" != "${result[uuid2]}"

expect url.ascii "a%20b%26c%7E-._*'()"
expect url.chinese "%E4%B8%AD%E6%96%87%20%E9%82%AE%E4%BB%B6"
expect url.thai "%3Fa"
expect url.empty ""
expect_time_between time "$before" "$after"
expect icons.top sentinel

expect byname.helper 1
expect byname.none 0
expect bypath.helper 1
expect bypath.self 0
expect bypath.none 0
expect bydir.helper 1
expect bydir.noslash 0
expect bydir.other 0
expect child "pellbox-安装.exe"

expect delete.tree 1
expect delete.tree.left 0
expect delete.locked 1
expect delete.locked.left 1
expect delete.locked.sub 0
expect_match delete.locked.name '^busy\.dat(_d_[0-9a-f]+)?$'
pending=$(wine reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' || true)
check "the open file is scheduled for deletion at restart" grep -qF "${result[delete.locked.name]}" <<<"$pending"
expect delete.running 1
expect delete.running.left 1
expect_match delete.running.name '^e2e_sleeper\.exe_d_[0-9a-f]+$'
check "the running program is scheduled for deletion at restart" grep -qF "${result[delete.running.name]}" <<<"$pending"
expect delete.file 0
expect delete.file.left 1
expect delete.empty 0
expect delete.missing 0
expect delete.link 1
check "the link's target keeps its contents" test -f "$work/outside/precious.txt"
check "the folder's own files are gone" test ! -e "$work/linkcase/own.txt"
finish
