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
# Other names for the sandbox's folders: B: shows the same folder as C:, and H:
# the sandbox's own folder, which holds the prefix, D: (H:\drive-d) and the
# folder the profile's Documents link to (H:\home).
ln -sfn "$sandbox_prefix/drive_c" "$sandbox_prefix/dosdevices/b:"
ln -sfn "$sandbox_dir" "$sandbox_prefix/dosdevices/h:"
sandbox_drives="$sandbox_drives b: h:"
sandbox_map_drive j "$drive/holder/inner" # a drive's root inside a folder of D:
check "the profile's Documents link to the sandbox's home" \
    test "$(readlink -f "$sandbox_prefix/drive_c/users/$(ls "$sandbox_prefix/drive_c/users" | grep -v Public | head -n1)/Documents")" = "$(readlink -f "$sandbox_dir/home")"

# Files a deletion must never reach, and a loop that keeps swapping D:\race\sub (while it
# is a real folder and D:\race-go exists) for a link to them for up to a millisecond at a
# time, as an unprivileged program could during an elevated deletion.
# Under Wine a file set for deletion through its handle is removed by its path when the
# handle closes, after a check that the path still leads to that file; a swap between
# that check and the removal still sends one deletion through the link: the last check
# fails in about one run in five on a loaded two-core machine. Windows deletes the file
# object itself.
outside=$sandbox_dir/outside
sandbox_map_drive o "$outside"
# They bear the names of the files in the folder being deleted: a deletion by name would find them.
mkdir -p "$outside/inner"
for i in $(seq 0 29); do echo precious | tee "$outside/$i.txt" > "$outside/inner/$i.txt"; done
[ ${#sandbox_user[@]} -eq 0 ] || chown -R 65534:65534 "$outside"
rm -f "$sandbox_dir/swap-stop"
# The system's Python: one in root's home (pyenv) is out of the sandbox user's reach.
swap_python=/usr/bin/python3
[ -x "$swap_python" ] || swap_python=$(command -v python3)
"${sandbox_user[@]}" "$swap_python" -c '
import os, random, sys, time
race, outside, stop = sys.argv[1] + "/race", sys.argv[2], sys.argv[3]
sub, real, go = race + "/sub", race + "/sub-real", race + "-go"
swaps = 0
while not os.path.exists(stop):
    try:
        if os.path.islink(sub):
            os.unlink(sub)
        elif os.path.isdir(sub) and os.path.exists(go):
            os.rename(sub, real)
            os.symlink(outside, sub)
            swaps += 1
            time.sleep(random.uniform(0, 0.001))
            os.unlink(sub)
            os.rename(real, sub)
            time.sleep(random.uniform(0, 0.002))
            continue
    except OSError:
        pass
    time.sleep(0.001)
print(swaps)
' "$drive" "$outside" "$sandbox_dir/swap-stop" > "$sandbox_dir/swap-count" &
swapper=$!

echo "== sandbox suite"
check "the sandbox suite passes" sandbox_run 'E:\pellbox_sandbox_tests.exe' --gtest_color=no
touch "$sandbox_dir/swap-stop"
wait "$swapper" || true
check "the folder was swapped for the link during the deletions ($(cat "$sandbox_dir/swap-count"))" \
    test "$(cat "$sandbox_dir/swap-count")" -gt 0
check "every file behind the swapped link survived" test "$(find "$outside" -type f | wc -l)" -eq 60
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
