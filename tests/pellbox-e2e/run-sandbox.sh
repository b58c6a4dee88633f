#!/usr/bin/env bash
# Pellbox under hostile installer scripts, in a sealed prefix (sandbox.sh):
# the sandbox suite deletes for real against a scratch drive D:, and a real
# NSIS installer asks to delete that drive in every careless spelling, with
# stand-ins for system libraries planted beside both programs.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/e2e-common.sh"
source "$here/sandbox.sh"
sandbox_prepare

# Programs run from a drive of the sandbox (E:), copied there so that nobody can read them
# wherever the build is, with the planted libraries beside them.
bin=$sandbox_dir/bin
sandbox_map_drive e "$bin"
cp "$build/tests/sandbox/pellbox_sandbox_tests.exe" "$build/tests/planted/Iphlpapi.dll" \
    "$build/tests/planted/Psapi.dll" "$bin/"
chmod -R a+rX "$bin"

# The scratch drive: a marker that the sandbox suite looks for, and files to lose.
drive=$sandbox_dir/drive-d
sandbox_map_drive d "$drive"
mkdir -p "$drive/sandbox-scratch-drive"
[ ${#sandbox_user[@]} -eq 0 ] || chown -R 65534:65534 "$drive"
# The prefix's own users folder, reached through a link on the scratch drive.
ln -s "$sandbox_prefix/drive_c/users" "$drive/users"

echo "== sandbox suite"
check "the sandbox suite passes" sandbox_run 'E:\pellbox_sandbox_tests.exe' --gtest_color=no
check "no planted library was loaded by the suite" test -z "$(ls "$bin" | grep '^planted-' || true)"

if command -v makensis >/dev/null && [ -f "$build/bin/Pellbox.dll" ]; then
    echo "== hostile installer"
    sandbox_map_drive d "$drive"
    mkdir -p "$drive/sub/deep" "$drive/keep" "$drive/victim/inner" "$drive/sandbox-scratch-drive"
    for file in top.txt sub/a.txt sub/deep/b.txt keep/c.txt victim/inner/x.txt; do
        echo precious > "$drive/$file"
    done
    [ ${#sandbox_user[@]} -eq 0 ] || chown -R 65534:65534 "$drive"
    before=$(cd "$drive" && find . -type f | grep -v '^./victim/' | sort)

    setup_dir=$sandbox_dir/setup
    sandbox_map_drive s "$setup_dir"
    makensis -V2 -INPUTCHARSET UTF8 -DNSIS_TARGET="${OSTRA_NSIS_TARGET:-x86-unicode}" -DPLUGIN_DIR="$build/bin" -DOUT_FILE="$setup_dir/pellbox-hostile.exe" \
        "$here/pellbox-hostile.nsi"
    cp "$build/tests/planted/Iphlpapi.dll" "$build/tests/planted/Psapi.dll" "$setup_dir/"
    chmod -R a+rX "$setup_dir"
    results=$sandbox_dir/results
    sandbox_map_drive r "$results"

    sandbox_run 'S:\pellbox-hostile.exe' /S || true
    [ -f "$results/results.txt" ] || { echo "the installer wrote no results"; exit 1; }
    load_results "$results/results.txt"
    expect finished 1
    count=0
    for key in "${!result[@]}"; do
        case $key in
        refused.*.below) expect "$key" sentinel ;;
        refused.*) expect "$key" 0; count=$((count + 1)) ;;
        esac
    done
    check "every hostile spelling was tried ($count)" test "$count" -ge 25
    expect victim 1
    expect victim.left 0
    after=$(cd "$drive" && find . -type f | sort)
    check "nothing on the scratch drive was deleted but the named subfolder" test "$before" = "$after"
    check "the installer loaded no planted library" test -z "$(ls "$setup_dir" | grep '^planted-' || true)"
fi
# A failure may have damaged the prefix itself: the next run makes a new one.
[ "$failures" -eq 0 ] || rm -f "$sandbox_dir/ready"
finish
