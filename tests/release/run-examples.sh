#!/usr/bin/env bash
# Compiles the NSIS examples with makensis (warnings are errors) and runs them
# silently under Wine in a sealed prefix, checking what they did and wrote.
#   run-examples.sh --nsis DIR --plugins DIR --target NSIS_TARGET --helper EXE --work DIR --prefix DIR
# --nsis holds Include/ and Examples/; --plugins the plug-in DLLs for the target;
# --helper a program that runs until stop.flag appears beside it (stands in for
# the mail client); --work is wiped; --prefix is kept between runs.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
while (($#)); do
    case $1 in
    --nsis) nsis=$2 ;;
    --plugins) plugins=$2 ;;
    --target) target=$2 ;;
    --helper) helper=$2 ;;
    --work) work=$2 ;;
    --prefix) prefix=$2 ;;
    *) echo "unknown option $1"; exit 2 ;;
    esac
    shift 2
done
# The project's Wine choice (architecture, which wine), then a prefix of our own.
source "$here/../../tools/wine-env"
source "$here/sealed-prefix.sh"
# Chinese Windows: survey answers pass through the ANSI code page 936.
sealed_env=(LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8)

failures=0
check() { # description command...
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

rm -rf "$work"
mkdir -p "$work/d"
work=$(cd "$work" && pwd)
sealed_scratch=$work
sealed_prefix_prepare "$prefix-$WINEARCH"
trap sealed_prefix_stop EXIT

d=$work/d
inst="$d/Ostra Mail"
old="$inst/Ostra Mail 2 (Bob's \$ edition)"
decoy="$inst/Ostra Mail 2 (Bob's \$\$ edition)"
mkdir -p "$old/sub" "$decoy" "$d/Other" "$d/stats"
echo mail > "$old/mail.dat"
echo deep > "$old/sub/deep.txt"
echo decoy > "$decoy/keep.txt"
echo other > "$d/Other/keep.txt"
cp "$helper" "$inst/ostramail.exe"

makensis -V2 -WX -INPUTCHARSET UTF8 -X"Target $target" -X"!addincludedir $nsis/Include" \
    -X"!addplugindir /$target $plugins" -DOUTFILE="$d/OstraMailSetup.exe" "$nsis/Examples/OstraMailSetup.nsi"
echo "ok   OstraMailSetup.nsi compiles without warnings"
sealed_own "$work"
sealed_map_drive d "$d"
sealed_batch=("$d/command.bat" 'D:\command.bat')
sealed_cwd=$d

run() { # expected-exit-code what windows-command-line
    local status=0
    sealed_command_line "$3" || status=$?
    check "$2 exits with $1 (got $status)" test "$status" = "$1"
}

# 1. The client runs from the installation folder: refused, nothing touched.
sealed_wine 'D:\Ostra Mail\ostramail.exe' &
client=$!
sleep 3
setup='D:\OstraMailSetup.exe /S /STATSDIR=D:\stats /D=D:\Ostra Mail'
run 2 "the installer" "$setup"
check "refused install keeps the old version" test -f "$old/mail.dat"
check "refused install writes nothing" test ! -e "$inst/install.ini" -a ! -e "$d/stats/install-event.json"
touch "$inst/stop.flag"
wait "$client" || true
rm -f "$inst/stop.flag"

# 2. Install: the old version's folder goes, its look-alike and other folders stay, one event is spooled.
run 0 "the installer" "$setup"
check "the old version's folder is deleted" test ! -e "$old"
check "a folder named with \$\$ is not the one deleted" test -f "$decoy/keep.txt"
check "folders outside the installation stay" test -f "$d/Other/keep.txt"
check "the uninstaller is written" test -f "$inst/uninst.exe"
uuid=$(tr -d '\r' < "$inst/install.ini" | sed -n 's/^InstallId=//p')
check "the installation identity is 32 hexadecimal digits" grep -qE '^[0-9A-F]{32}$' <<<"$uuid"
check "the install event is spooled" test -s "$d/stats/install-event.json"
check "the install event document" python3 "$here/check-documents.py" event "$d/stats/install-event.json" "$uuid"

# 3. Uninstall with survey answers: the survey is spooled, the folder goes.
run 0 "the uninstaller" 'cd /d D:\Ostra Mail && uninst.exe /S /STATSDIR=D:\stats /REASONS=1,3 /QUESTION=too-slow /QQ=10001 /EMAIL=a@b.cn /TEL=138 _?=D:\Ostra Mail'
# The survey is sent whole when it fits the installer's strings, else not at all.
check "the uninstall survey" python3 "$here/check-documents.py" uninstall "$d/stats/uninstall-survey.json" "$uuid" \
    "$d/stats/install-event.json"
left=$(cd "$inst" 2>/dev/null && find . -mindepth 1 ! -name 'uninst.exe*' | sort | tr '\n' ' ')
check "the installation folder is emptied except the running uninstaller [$left]" test -z "$left"
check "folders outside the installation stay" test -f "$d/Other/keep.txt"

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
