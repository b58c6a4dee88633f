#!/usr/bin/env bash
# A build that cannot make a deliverable stops and names the command that
# fixes it; the package refuses a build that lacks a deliverable.
#   run-half-build.sh TOP WORK      (WORK is wiped)
set -euo pipefail
top=$1 work=$2
rm -rf "$work"
mkdir -p "$work/no-jsoncpp"
configure() { # build-dir cmake-options...
    local dir=$1
    shift
    cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" > "$dir.log" 2>&1
}

if configure "$work/missing" -DJSONCPP_SOURCE_DIR="$work/no-jsoncpp"; then
    echo "FAIL configuring without JsonCpp succeeded: Tallywick would be left out silently"
    exit 1
fi
grep -q "tools/setup" "$work/missing.log" || { echo "FAIL the error does not name tools/setup:"; cat "$work/missing.log"; exit 1; }
echo "ok   without JsonCpp the configure step fails and names tools/setup"

configure "$work/partial" -DBUILD_TALLYWICK=OFF -DBUILD_MOVARA=OFF -DBUILD_TESTING=OFF ||
    { echo "FAIL a build of Pellbox alone does not configure:"; cat "$work/partial.log"; exit 1; }
if "$top/tools/package" --build "$work/partial" --output "$work/dist" > "$work/package.log" 2>&1; then
    echo "FAIL tools/package packaged a build without Movara and Tallywick"
    exit 1
fi
grep -q "tools/setup" "$work/package.log" || { echo "FAIL the refusal does not name tools/setup:"; cat "$work/package.log"; exit 1; }
[ -z "$(ls -A "$work/dist" 2>/dev/null)" ] || { echo "FAIL a package was written"; exit 1; }
echo "ok   tools/package refuses a partial build and writes nothing"
echo "all checks passed"
