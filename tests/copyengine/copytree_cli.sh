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

# A destination that is the source under another name (a link to it) is
# refused before anything is opened for writing; one that is a folder inside
# the source under another name is left out of the copy. Either way the source
# keeps every byte: the big file spans several chunks, so a copy over itself
# would truncate it while it is still being read.
mkdir -p "$work/self/src/sub"
head -c 41000000 /dev/urandom > "$work/self/src/big.bin"
printf 'z' > "$work/self/src/sub/small"
cp "$work/self/src/big.bin" "$work/self/big.orig"
ln -s src "$work/self/same"
out=$(wine "$copytree" "$(win "$work/self/src")" "$(win "$work/self/same")" 2>/dev/null) && rc=0 || rc=$?
[ "$rc" = 1 ] || fail "copy onto an alias of the source exited $rc: $out"
echo "$out" | grep -q 'files_total=0 .*errors=1' || fail "copy onto an alias summary: $out"
out=$(wine "$copytree" "$(win "$work/self/src/big.bin")" "$(win "$work/self/same")" 2>/dev/null) && rc=0 || rc=$?
[ "$rc" = 1 ] || fail "file copy into an alias of its folder exited $rc: $out"
cmp "$work/self/src/big.bin" "$work/self/big.orig" || fail "source overwritten through an alias"
out=$(wine "$copytree" "$(win "$work/self/src")" "$(win "$work/self/same/sub")" 2>/dev/null) && rc=0 || rc=$?
out=${out//$'\r'/}
[ "$rc" = 0 ] || fail "copy into an alias of a folder inside the source exited $rc: $out"
echo "$out" | grep -q '^files_total=1 files_copied=1 errors=0 bytes_total=41000000 ' || fail "inner alias summary: $out"
cmp "$work/self/src/big.bin" "$work/self/big.orig" || fail "source changed by a copy into it"
cmp "$work/self/src/big.bin" "$work/self/src/sub/big.bin" || fail "copy into the source's own folder differs"
[ ! -e "$work/self/src/sub/sub" ] || fail "the destination was copied into itself"

wine "$copytree" only-one-argument >/dev/null 2>"$work/usage" && rc=0 || rc=$?
[ "$rc" = 2 ] || fail "bad usage exited $rc"
grep -q usage "$work/usage" || fail "no usage message"
echo PASS
