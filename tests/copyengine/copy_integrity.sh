#!/usr/bin/env bash
# The copy never destroys its source and never calls a torn or missing copy
# complete, on real files: links that make a destination file the source
# itself, a source rewritten while it is copied, a drive too small for one
# file. Runs copytree in a prefix of its own without drive Z:, with drive D:
# mapped to this test's scratch folder only.
set -euo pipefail
build="$1"
here=$(cd "$(dirname "$0")" && pwd)
export OSTRA_WINEPREFIX="$build/wineprefix-integrity" OSTRA_WINE_NO_Z=1
source "$here/../../tools/wine-env"
ostra_prepare_prefix
[ ! -e "$WINEPREFIX/dosdevices/z:" ] || { echo "FAIL: drive Z: still mapped"; exit 1; }
copytree="$build/bin/copytree.exe"
work=$(mktemp -d "$build/copy-integrity.XXXXXX")
small="$work/small"
cleanup() {
  if mountpoint -q "$small" 2>/dev/null; then umount "$small" || true; fi
  rm -f "$WINEPREFIX/dosdevices/d:" "$WINEPREFIX/dosdevices/e:"
  rm -rf "$work"
}
trap cleanup EXIT
ln -sfn "$work" "$WINEPREFIX/dosdevices/d:"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs copytree on two D: paths; sets rc and out.
copy() {
  out=$(wine "$copytree" "$1" "$2" 2>/dev/null) && rc=0 || rc=$?
  out=${out//$'\r'/}
  echo "  copytree $1 $2: exit $rc: $out"
}

# 1. The profile's Mail folder is a link into the destination: every mailbox
#    there is the source itself. Twice, since a second run over the first
#    must not succeed either.
echo "link from the source into the destination"
mkdir -p "$work/p1/src" "$work/p1/dst/Mail"
head -c 20000001 /dev/urandom > "$work/p1/dst/Mail/Inbox"
head -c 3000 /dev/urandom > "$work/p1/src/prefs.js"
ln -s "$work/p1/dst/Mail" "$work/p1/src/Mail"
cp "$work/p1/dst/Mail/Inbox" "$work/p1/inbox.orig"
for run in 1 2; do
  copy 'D:\p1\src' 'D:\p1\dst'
  cmp -s "$work/p1/dst/Mail/Inbox" "$work/p1/inbox.orig" || fail "run $run wrote the mailbox over itself"
  [ "$rc" != 0 ] || fail "run $run called a copy of a file onto itself complete"
done

# 2. A destination folder links back into the source.
echo "link from the destination into the source"
mkdir -p "$work/p2/src/Mail" "$work/p2/dst"
head -c 12000000 /dev/urandom > "$work/p2/src/Mail/Inbox"
cp "$work/p2/src/Mail/Inbox" "$work/p2/inbox.orig"
ln -s "$work/p2/src/Mail" "$work/p2/dst/Mail"
copy 'D:\p2\src' 'D:\p2\dst'
cmp -s "$work/p2/src/Mail/Inbox" "$work/p2/inbox.orig" || fail "the mailbox was written over itself"
[ "$rc" != 0 ] || fail "a copy onto itself was called complete"

# 3. A destination file is a hard link to its source.
echo "hard link"
mkdir -p "$work/p3/src" "$work/p3/dst"
head -c 9000001 /dev/urandom > "$work/p3/src/Inbox"
cp "$work/p3/src/Inbox" "$work/p3/inbox.orig"
ln "$work/p3/src/Inbox" "$work/p3/dst/Inbox"
copy 'D:\p3\src' 'D:\p3\dst'
cmp -s "$work/p3/src/Inbox" "$work/p3/inbox.orig" || fail "the hard-linked mailbox was written over itself"
[ "$rc" != 0 ] || fail "a copy onto a hard link of itself was called complete"

# 4. Another program rewrites a mailbox in place while it is copied: the
#    rewrite starts as soon as the destination file appears, so it always
#    falls inside the copy. The copy either fails and leaves no file, or is
#    one of the two whole states the mailbox had, never a mix.
echo "source rewritten while it is copied"
mkdir -p "$work/p4/src" "$work/p4/dst"
head -c 200000000 /dev/urandom > "$work/p4/src/Inbox"
cp "$work/p4/src/Inbox" "$work/p4/old"
python3 - "$work/p4/src/Inbox" "$work/p4/dst/Inbox" "$work/p4/rewritten" <<'PY' &
import os, sys, time
source, watched, done = sys.argv[1:4]
deadline = time.time() + 120
while not os.path.exists(watched) and time.time() < deadline:
    time.sleep(0.0005)
block = b"\x5a" * (1 << 20)
with open(source, "r+b") as f:
    for _ in range(os.path.getsize(source) >> 20):
        f.write(block)
open(done, "w").close()
PY
rewriter=$!
copy 'D:\p4\src' 'D:\p4\dst'
wait "$rewriter"
[ -e "$work/p4/rewritten" ] || fail "the rewrite did not happen"
if [ "$rc" = 0 ]; then
  cmp -s "$work/p4/dst/Inbox" "$work/p4/old" || cmp -s "$work/p4/dst/Inbox" "$work/p4/src/Inbox" ||
    fail "a torn copy was called complete"
else
  [ ! -e "$work/p4/dst/Inbox" ] || fail "the torn copy was left behind"
fi
echo "$out" | grep -q 'errors=0' && [ "$rc" != 0 ] && fail "incomplete run without errors"

# 5. A drive too small for the first mailbox: its partial file is removed, so
#    the small files after it all fit.
echo "drive too small for one file"
mkdir -p "$work/p5/src" "$small"
if mount -t tmpfs -o size=32m tmpfs "$small" 2>/dev/null; then
  ln -sfn "$small" "$WINEPREFIX/dosdevices/e:"
  head -c 40000000 /dev/urandom > "$work/p5/src/a-Inbox"
  for i in $(seq 1 150); do head -c 20000 /dev/urandom > "$work/p5/src/msg$i.eml"; done
  copy 'D:\p5\src' 'E:\'
  [ "$rc" != 0 ] || fail "a copy that did not fit was called complete"
  [ ! -e "$small/a-Inbox" ] || fail "the partial mailbox was left on the full drive"
  for i in $(seq 1 150); do
    cmp -s "$work/p5/src/msg$i.eml" "$small/msg$i.eml" || { fail "msg$i.eml was not copied"; break; }
  done
  echo "$out" | grep -q 'files_copied=150 ' || fail "not every small file was copied: $out"
else
  echo "SKIP: a tmpfs cannot be mounted here; the engine tests fail writes through the I/O seam instead"
fi

if [ "$failures" != 0 ]; then echo "$failures failures"; exit 1; fi
echo PASS
