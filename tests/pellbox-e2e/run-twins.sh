#!/usr/bin/env bash
# Calls the plain twins of Pellbox.dll from a separate program through
# LoadLibrary/GetProcAddress and checks what they return.
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/e2e-common.sh"
ostra_prepare_prefix

work=$build/pellbox-e2e/twins
rm -rf "$work"
mkdir -p "$work/run"
# A Chinese program name, so the parent's name is not ASCII.
checker="$work/双胞胎检查.exe"
cp "$build/tests/pellbox_twin_check.exe" "$checker"

out=$work/results.txt
before=$(date +%s)
wine "$checker" "$(winepath -w "$build/bin/Pellbox.dll")" "$(winepath -w "$out")" "$(winepath -w "$work/run")"
after=$(date +%s)
load_results "$out"

check "no twin is missing" test -z "${result[missing]-}"
check "no twin for the icon refresh" test -z "${result[unexpected]-}"
expect wow64 0
expect byname.services 1
expect byname.none 0
expect bypath.services 1
expect bypath.none 0
expect bydir.work 0
expect delete.tree 1
expect delete.tree.left 0
expect delete.missing 0
expect delete.null 0
for length in 260 1500 40000; do
    for twin in delete bypath byname bydir; do
        expect "long$length.$twin" 0
    done
done
expect_match sn "^($wine_disk_identity)?$"
expect_match uuid '^[0-9A-F]{32}$'
check "two UUIDs differ" test "${result[uuid]}" != "${result[uuid2]}"
expect url.ascii "a%20b%26c%7E-._*'()"
expect url.chinese "%E4%B8%AD%E6%96%87%20%E9%82%AE%E4%BB%B6"
expect url.empty ""
expect mac ""
expect_time_between time "$before" "$after"
expect child.started 1

load_results "$work/run/twin-parent.txt"
expect parent "双胞胎检查.exe"
finish
