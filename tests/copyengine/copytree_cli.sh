#!/usr/bin/env bash
# copytree's command line: the summary line and the exit codes 0, 1 and 2.
set -euo pipefail
build="$1"
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tools/wine-env"
ostra_prepare_prefix
copytree="$build/bin/copytree.exe"
work=$(mktemp -d "$build/copytree-cli.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/源目录/子目录/empty" "$work/dst"
head -c 70001 /dev/urandom > "$work/源目录/子目录/数据.bin"
printf 'x' > "$work/源目录/.dotfile"
win() { winepath -w "$1" 2>/dev/null; }

out=$(wine "$copytree" "$(win "$work/源目录")" "$(win "$work/dst")" 2>/dev/null) && rc=0 || rc=$?
out=${out//$'\r'/}
echo "$out"
[ "$rc" = 0 ] || fail "complete copy exited $rc"
echo "$out" | grep -Eq '^files_total=2 files_copied=2 errors=0 bytes_total=70002 bytes_done=70002 seconds=[0-9.]+$' ||
  fail "summary line: $out"
diff -r "$work/源目录" "$work/dst" || fail "copy differs"

out=$(wine "$copytree" "$(win "$work/missing")" "$(win "$work/dst")" 2>/dev/null) && rc=0 || rc=$?
[ "$rc" = 1 ] || fail "missing source exited $rc"
echo "$out" | grep -q 'errors=1' || fail "missing source summary: $out"

# A directory link pointing back up must not recurse until the stack runs out.
mkdir -p "$work/loop/sub" "$work/loop-dst"
printf 'y' > "$work/loop/sub/f"
ln -s .. "$work/loop/sub/up"
out=$(timeout 120 wine "$copytree" "$(win "$work/loop")" "$(win "$work/loop-dst")" 2>/dev/null) && rc=0 || rc=$?
out=${out//$'\r'/}
[ "$rc" = 1 ] || fail "looping tree exited $rc: $out"
echo "$out" | grep -q 'errors=1' || fail "looping tree summary: $out"

wine "$copytree" only-one-argument >/dev/null 2>"$work/usage" && rc=0 || rc=$?
[ "$rc" = 2 ] || fail "bad usage exited $rc"
grep -q usage "$work/usage" || fail "no usage message"
echo PASS
