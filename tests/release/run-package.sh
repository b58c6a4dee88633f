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
zip=$(ls "$work"/first/ostra-mail-tools-*.zip | grep -v -- -symbols.zip)
name=$(basename "$zip")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$name" = "ostra-mail-tools-$version.zip" ] || { echo "FAIL package named $name, version $version"; exit 1; }
cmp "$zip" "$work/second/$name" || { echo "FAIL two packages of one build differ"; exit 1; }
echo "ok   $name is the same on both runs ($(stat -c %s "$zip") bytes)"
symbols=${zip%.zip}-symbols.zip
[ -f "$symbols" ] || { echo "FAIL no symbols package beside $name"; exit 1; }
cmp "$symbols" "$work/second/$(basename "$symbols")" || { echo "FAIL two symbols packages of one build differ"; exit 1; }
echo "ok   $(basename "$symbols") is the same on both runs ($(stat -c %s "$symbols") bytes)"

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

# Shipped binaries carry no debug information and no time, only the name and
# checksum of the file the symbols package puts beside them; the plug-in keeps
# its export table.
symbols_dir=$work/symbols
python3 -m zipfile -e "$symbols" "$symbols_dir"
objdump=x86_64-w64-mingw32-objdump
for binary in Movara/Movara.exe Plugins/x86-unicode/Pellbox.dll Plugins/x86-unicode/Tallywick.dll; do
    shipped=$nsis/$binary debug=$symbols_dir/$binary.debug
    headers=$("$objdump" -p -h "$shipped") debug_headers=$("$objdump" -h "$debug")
    ! grep -q ' \.debug_' <<<"$headers" || { echo "FAIL $binary carries debug sections"; exit 1; }
    grep -q ' \.debug_info' <<<"$debug_headers" || { echo "FAIL no debug information for $binary"; exit 1; }
    grep -q '^Time/Date.*00:00:00 1970' <<<"$headers" || { echo "FAIL $binary carries a link time"; exit 1; }
    i686-w64-mingw32-objcopy --dump-section .gnu_debuglink="$work/link" "$shipped" "$work/scratch"
    python3 - "$work/link" "$debug" <<'PY' || { echo "FAIL $binary does not name its debug file"; exit 1; }
import os, struct, sys, zlib
link, debug = open(sys.argv[1], "rb").read(), sys.argv[2]
name = link[:link.index(b"\0")].decode()
sys.exit(name != os.path.basename(debug) or struct.unpack_from("<I", link, (len(name) + 4) & ~3)[0] != zlib.crc32(open(debug, "rb").read()))
PY
    echo "ok   $binary: $(stat -c %s "$shipped") bytes shipped ($(stat -c %s "$build/bin/${binary##*/}") built), debug file $(stat -c %s "$debug") bytes"
done
bash "$top/tests/pellbox-e2e/check-exports.sh" "$nsis/Plugins/x86-unicode/Pellbox.dll" 32 >/dev/null ||
    { echo "FAIL the shipped Pellbox.dll lost exports"; exit 1; }
echo "ok   the shipped Pellbox.dll keeps its export table"
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

# Every NSIS block in the docs compiles as an author would paste it: a whole
# script as it is, a fragment at the top of a section after its own directives.
# Nothing is added that the docs do not say (no include file); only the lines
# with placeholder folders are left out, as the unpacked package is the NSIS folder.
snippets=$(python3 - "$nsis/Docs" "$work/snippets" <<'PY'
import os, re, sys
docs, out = sys.argv[1:3]
os.makedirs(out, exist_ok=True)
count = 0
for name in sorted(os.listdir(docs)):
    if not name.endswith(".md"):
        continue
    text = open(os.path.join(docs, name), encoding="utf-8").read()
    for block in re.findall(r"^```nsis\n(.*?)^```", text, re.S | re.M):
        lines = [l for l in block.splitlines() if not l.startswith(("!addplugindir", "!addincludedir"))]
        whole = any(re.match(r"\s*(Section|Function|OutFile)\b", l) for l in lines)
        if whole:
            script = lines
        else:
            top = [l for l in lines if l.startswith(("!", "Unicode"))]
            body = [l for l in lines if not l.startswith(("!", "Unicode"))]
            script = [*top, 'OutFile "snippet.exe"', "Section", *body, "SectionEnd"]
        count += 1
        with open(os.path.join(out, f"{name[:-3]}-{count}.nsi"), "w", encoding="utf-8") as f:
            f.write("\n".join([*script, ""]))
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
