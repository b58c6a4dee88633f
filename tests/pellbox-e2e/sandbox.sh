# Sourced by tests that delete on purpose: a Wine prefix of their own from
# which nothing a program does can reach the host's files.
# - Drive Z: (the host's root) and every other drive but C: are removed;
#   letters are mapped only to scratch folders of the sandbox.
# - As root, programs run as the unprivileged user nobody, who owns the prefix
#   and its scratch folders (Wine as root could write even read-only files).
# - HOME is a scratch folder, so the profile folders Wine links are scratch too.
# - Wine takes its own build of a system library even when a file of that name
#   lies beside the program; Windows takes the file. Iphlpapi and Psapi are set
#   to prefer files, as Windows does, so a planted copy would really be loaded.
# Needs $build. OSTRA_WINEARCH (else WINEARCH, else win32) picks the prefix kind and
# OSTRA_WINE the loader (wine by default).
sandbox_arch=${OSTRA_WINEARCH:-${WINEARCH:-win32}}
sandbox_wine=${OSTRA_WINE:-wine}
sandbox_user=()
if [ "$(id -u)" = 0 ] && setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
    sandbox_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
# nobody must be able to reach the sandbox; a build below /root is out of its reach.
sandbox_dir=$build/sandbox-$sandbox_arch
if [ ${#sandbox_user[@]} -gt 0 ] && ! "${sandbox_user[@]}" test -x "$build"; then
    sandbox_dir=${TMPDIR:-/tmp}/ostra-sandbox-$(printf %s "$build" | cksum | cut -d' ' -f1)-$sandbox_arch
fi
sandbox_prefix=$sandbox_dir/prefix

sandbox_as_user() {
    "${sandbox_user[@]}" env HOME="$sandbox_dir/home" WINEPREFIX="$sandbox_prefix" WINEARCH="$sandbox_arch" \
        WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;iphlpapi,psapi=n,b" DISPLAY= "$@"
}

# A folder of the sandbox, new and empty, owned by whoever runs the programs.
sandbox_folder() {
    rm -rf "$1"
    mkdir -p "$1"
    [ ${#sandbox_user[@]} -eq 0 ] || chown 65534:65534 "$1"
}

# Keeps only C: and the mapped scratch drives; fails when the host's root is still reachable.
sandbox_seal() {
    local link
    for link in "$sandbox_prefix"/dosdevices/*; do
        case ${link##*/} in
        c: | com* | lpt* | "*") ;;
        *) [[ " $sandbox_drives " == *" ${link##*/} "* ]] || rm -f "$link" ;;
        esac
    done
    if [ -e "$sandbox_prefix/dosdevices/z:" ] || [ -L "$sandbox_prefix/dosdevices/z:" ]; then
        echo "sandbox: drive Z: is still mapped; stopping" >&2
        exit 1
    fi
}

sandbox_drives=""
sandbox_map_drive() { # letter folder
    sandbox_folder "$2"
    ln -sfn "$2" "$sandbox_prefix/dosdevices/$1:"
    sandbox_drives="$sandbox_drives $1:"
}

sandbox_prepare() {
    mkdir -p "$sandbox_dir"
    [ ${#sandbox_user[@]} -eq 0 ] || chown 65534:65534 "$sandbox_dir"
    if [ ! -f "$sandbox_dir/ready" ]; then
        sandbox_folder "$sandbox_prefix"
        sandbox_folder "$sandbox_dir/home"
        sandbox_as_user "$sandbox_wine" wineboot -i >/dev/null 2>&1 || true
        sandbox_as_user wineserver -w
        [ -f "$sandbox_prefix/system.reg" ] || { echo "sandbox: the prefix could not be made" >&2; exit 1; }
        touch "$sandbox_dir/ready"
    fi
    sandbox_seal
    trap sandbox_stop EXIT
}

sandbox_run() { # program arguments...
    sandbox_seal
    local status=0
    sandbox_as_user "$sandbox_wine" "$@" || status=$?
    sandbox_seal
    return $status
}

sandbox_stop() {
    sandbox_as_user wineserver -k >/dev/null 2>&1 || true
}
