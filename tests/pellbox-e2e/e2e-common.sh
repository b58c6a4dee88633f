# Shared by the Pellbox end-to-end drivers: Wine environment, result files
# and checks. Sourced, with $build set to the CMake build folder.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../tools/wine-env"
export LC_ALL=C.UTF-8

failures=0
declare -A result

# Reads a UTF-16LE "key=value" file into the array "result".
load_results() {
    result=()
    local key value
    while IFS='=' read -r key value; do
        [ -n "$key" ] && result[$key]=$value
    done < <(iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r')
}

expect() { # key expected-value
    local actual=${result[$1]-<missing>}
    if [ "$actual" != "$2" ]; then
        echo "FAIL $1: expected '$2', got '$actual'"
        failures=$((failures + 1))
    else
        echo "ok   $1 = '$actual'"
    fi
}

expect_match() { # key extended-regex
    local actual=${result[$1]-<missing>}
    if [[ ! "$actual" =~ $2 ]]; then
        echo "FAIL $1: '$actual' does not match $2"
        failures=$((failures + 1))
    else
        echo "ok   $1 = '$actual'"
    fi
}

check() { # description command...
    local what=$1
    shift
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        failures=$((failures + 1))
    fi
}

expect_time_between() { # key earliest latest
    local actual=${result[$1]-<missing>}
    if [[ "$actual" =~ ^[0-9]+$ ]] && [ "$actual" -ge "$2" ] && [ "$actual" -le "$3" ]; then
        echo "ok   $1 = $actual"
    else
        echo "FAIL $1: '$actual' not within $2..$3"
        failures=$((failures + 1))
    fi
}

# What Wine's WMI reports for its disk: model "Wine Disk Drive", serial "WINEHDISK", no firmware.
wine_disk_identity=WineWINEHDISK

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
}
