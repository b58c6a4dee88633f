#!/usr/bin/env bash
# The release package: two runs of tools/package give the same bytes, the
# checksums hold, and unpacked over a copy of the NSIS installation the
# examples compile from there.
#   run-package.sh TOP BUILD WORK
# BUILD is the 32-bit build to package; WORK is wiped.
set -euo pipefail
top=$1 build=$2 work=$3
rm -rf "$work"
mkdir -p "$work"

"$top/tools/package" --build "$build" --output "$work/first" >/dev/null
"$top/tools/package" --build "$build" --output "$work/second" >/dev/null
zip=$(ls "$work"/first/ostra-mail-tools-*.zip)
name=$(basename "$zip")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$name" = "ostra-mail-tools-$version.zip" ] || { echo "FAIL package named $name, version $version"; exit 1; }
cmp "$zip" "$work/second/$name" || { echo "FAIL two packages of one build differ"; exit 1; }
echo "ok   $name is the same on both runs ($(stat -c %s "$zip") bytes)"

# Relinking must not change the binaries either: no link time in their headers.
python3 - "$build/bin/Movara.exe" "$build/bin/Pellbox.dll" "$build/bin/Tallywick.dll" <<'PY'
import struct, sys
for path in sys.argv[1:]:
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    stamp = struct.unpack_from("<I", data, pe + 8)[0]
    if stamp:
        sys.exit(f"FAIL {path} carries a link time ({stamp:#x})")
print("ok   no link time in the PE headers")
PY

nsis=$work/nsis
cp -r /usr/share/nsis "$nsis"
python3 -m zipfile -e "$zip" "$nsis"
expected=(SHA256SUMS Plugins/x86-unicode/Pellbox.dll Plugins/x86-unicode/Tallywick.dll Include/Pellbox.nsh
          Include/Tallywick.nsh Docs/pellbox.md Docs/tallywick.md Docs/movara.md Movara/Movara.exe Movara/app.ico)
for file in "${expected[@]}"; do
    [ -f "$nsis/$file" ] || { echo "FAIL the package has no $file"; exit 1; }
done
(cd "$nsis" && sha256sum --quiet -c SHA256SUMS) || { echo "FAIL SHA256SUMS"; exit 1; }
listed=$(wc -l < "$nsis/SHA256SUMS")
packed=$(python3 -c 'import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
[ "$listed" -eq $((packed - 1)) ] || { echo "FAIL SHA256SUMS lists $listed of $((packed - 1)) files"; exit 1; }
echo "ok   layout and SHA256SUMS ($listed files)"

# makensis takes its Include and Plugins folders from NSISDIR: the unpacked package is all it gets.
count=0
for script in "$nsis"/Examples/*.nsi; do
    NSISDIR=$nsis makensis -V2 -WX -INPUTCHARSET UTF8 -DOUTFILE="$work/$(basename "$script" .nsi).exe" "$script" ||
        { echo "FAIL $(basename "$script") does not compile from the package"; exit 1; }
    count=$((count + 1))
done
[ "$count" -gt 0 ] || { echo "FAIL no examples in the package"; exit 1; }
echo "ok   $count example(s) compile from the unpacked package"

# The NSIS snippets in the docs compile too: directives at the top, the rest in a section
# (the placeholder folder lines are left out).
snippets=$(python3 - "$nsis/Docs" "$work/snippets" <<'PY'
import os, re, sys
docs, out = sys.argv[1:3]
os.makedirs(out, exist_ok=True)
count = 0
for name in sorted(os.listdir(docs)):
    if not name.endswith(".md"):
        continue
    text = open(os.path.join(docs, name), encoding="utf-8").read()
    for block in re.findall(r"```nsis\n(.*?)```", text, re.S):
        lines = [l for l in block.splitlines() if not l.startswith(("!addplugindir", "!addincludedir"))]
        top = [l for l in lines if l.startswith(("!", "Unicode"))]
        body = [l for l in lines if not l.startswith(("!", "Unicode"))]
        count += 1
        with open(os.path.join(out, f"{name[:-3]}-{count}.nsi"), "w", encoding="utf-8") as f:
            f.write("\n".join(["Unicode true", "!include LogicLib.nsh", *top, 'OutFile "snippet.exe"',
                               "Section", *body, "SectionEnd", ""]))
print(count)
PY
)
for script in "$work"/snippets/*.nsi; do
    (cd "$work/snippets" && NSISDIR=$nsis makensis -V2 -WX -INPUTCHARSET UTF8 "$script") ||
        { echo "FAIL the snippet $(basename "$script") from the docs does not compile:"; cat "$script"; exit 1; }
done
[ "$snippets" -gt 0 ] || { echo "FAIL no NSIS snippets found in the docs"; exit 1; }
echo "ok   $snippets NSIS snippet(s) from the docs compile"
echo "all checks passed"
