# Sourced by tests that run installers able to delete or overwrite: a Wine
# prefix of their own whose drive Z: (the host's root) is removed, with drive
# letters mapped only to scratch folders, run as an unprivileged user when the
# test runs as root. A fault under test cannot reach the host's files.
#
#   sealed_prefix_prepare PREFIX     create (once) and seal the prefix
#   sealed_map_drive LETTER FOLDER   map a drive letter to a scratch folder
#   sealed_own FOLDER...             hand folders to the user that runs Wine
#   sealed_wine ARGS...              run wine in the prefix as that user
#   sealed_prefix_stop               end the prefix's wineserver
#
# WINEARCH (win32 by default) and the wine on PATH choose the architecture.

export WINEARCH="${WINEARCH:-win32}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Extra environment for every Wine start (a locale, say).
sealed_env=()
sealed_as=()
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    sealed_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

sealed_own() {
    ((${#sealed_as[@]})) && chown -R 65534:65534 "$@"
    return 0
}

sealed_prefix_prepare() {
    export WINEPREFIX=$1
    local home="$WINEPREFIX.home"
    export HOME="$home"
    if [ ! -f "$WINEPREFIX/.sealed" ]; then
        rm -rf "$WINEPREFIX" "$home"
        mkdir -p "$WINEPREFIX" "$home"
        sealed_own "$WINEPREFIX" "$home"
        "${sealed_as[@]}" env DISPLAY= "${sealed_env[@]}" wine wineboot -i >/dev/null 2>&1 || true
        "${sealed_as[@]}" wineserver -w
        [ -d "$WINEPREFIX/drive_c/windows" ] || { echo "could not create the Wine prefix $WINEPREFIX"; return 1; }
        touch "$WINEPREFIX/.sealed"
    fi
    local link
    for link in "$WINEPREFIX"/dosdevices/?:; do
        [ "${link##*/}" = c: ] || rm -f "$link"
    done
    sealed_check
}

# Wine recreates missing default drives when it updates a prefix: check before every start.
sealed_check() {
    local link
    rm -f "$WINEPREFIX/dosdevices/z:"
    for link in "$WINEPREFIX"/dosdevices/?:; do
        [ -L "$link" ] || continue
        case "$(readlink -f "$link")" in
        "$(readlink -f "$WINEPREFIX")"/* | "$sealed_scratch"/*) ;;
        *) echo "refusing to run: $link leads outside the scratch folders"; return 1 ;;
        esac
    done
}

# Scratch folders that may be mapped; set by the caller before mapping.
sealed_scratch=""

sealed_map_drive() {
    local letter=$1 folder
    folder=$(readlink -f "$2")
    [ -n "$sealed_scratch" ] && [[ "$folder" == "$sealed_scratch"/* ]] ||
        { echo "drive $letter: would lead outside the scratch folder"; return 1; }
    rm -f "$WINEPREFIX/dosdevices/$letter:"
    ln -s "$folder" "$WINEPREFIX/dosdevices/$letter:"
}

# Wine starts in this folder (a mapped drive's folder; drive C: by default).
sealed_cwd=""
sealed_wine() {
    sealed_check || return 1
    (cd "${sealed_cwd:-$WINEPREFIX/drive_c}" && "${sealed_as[@]}" env "${sealed_env[@]}" wine "$@")
}

# Runs one Windows command line exactly as written (installers read "/D=" and
# "_?=" only unquoted, and wine would quote an argument that holds a space)
# through a batch file: sealed_batch names it, as a host path and as the same
# file seen from Windows.
sealed_batch=()
sealed_command_line() {
    printf '@%s\r\n@exit /b %%errorlevel%%\r\n' "$1" > "${sealed_batch[0]}"
    sealed_wine cmd /c "${sealed_batch[1]}"
}

sealed_prefix_stop() {
    "${sealed_as[@]}" wineserver -k 2>/dev/null || true
}
