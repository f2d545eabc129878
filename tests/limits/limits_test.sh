#!/bin/sh
# Runs tabcopy where the system refuses it something: a console (standard
# output) on a full disk, and a sweep of address-space limits.
#
#   limits_test.sh <tabcopy> <fixture-dir> <sanitized: ON|OFF> console|version|ulimit
#
# Every run must end through the program's own paths (status 12 with
# SY-093 for lost output, status 1 with PROCESS ABENDING for exhausted
# memory, or status 0 with the whole DDL), never a crash, a hang or a
# sanitizer report. Exit status 77 means skipped.
set -u
tabcopy=$1
fixture=$2
sanitized=$3
mode=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/tabcopy-limits-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A fresh copy of the fixture; the error log goes to its kvxerr.log.
fresh() {
    rm -rf "$work/run"
    cp -r "$fixture" "$work/run"
    cd "$work/run" || exit 2
    unset KVXERRLOG KVXTESTMEMFAIL
}

# count FILE TEXT: lines of FILE containing TEXT.
count() { grep -c -F -- "$2" "$1" 2>/dev/null || true; }

console_test() {
    fresh
    timeout 60 "$tabcopy" PARAMFILE run.par >/dev/full 2>err.txt
    status=$?
    [ "$status" -eq 12 ] || fail "console on a full disk: status $status, expected 12"
    n=$(count err.txt "KVX ERROR    SY-093  Writing to standard output failed (No space left on device)")
    [ "$n" -eq 1 ] || fail "console on a full disk: SY-093 $n times on standard error, expected once"
    # The text standard output refused is not lost: it is on standard error.
    [ "$(count err.txt "***********************************************************************")" -ge 1 ] ||
        fail "console on a full disk: the refused banner text is not on standard error"
    [ "$(count kvxerr.log "SY-093  Brantix Kivex SQL DDL Generation Utility for COBOL, run.par:  Writing to standard output failed")" -eq 1 ] ||
        fail "console on a full disk: SY-093 missing from the error log"
    [ -e out.sql ] && fail "console on a full disk: the run went on and wrote out.sql"
    [ "$failures" -eq 0 ] && echo "console on a full disk: status 12, SY-093 once on standard error and in the log"
}

version_test() {
    fresh
    timeout 60 "$tabcopy" --version >/dev/full 2>err.txt
    status=$?
    [ "$status" -ne 0 ] || fail "--version on a full disk ended with status 0"
    [ "$(count err.txt "Brantix Kivex SQL DDL Generation Utility for COBOL")" -eq 1 ] ||
        fail "--version on a full disk: the banner is not on standard error"
    [ "$(count err.txt "SY-093  Writing to standard output failed")" -eq 1 ] ||
        fail "--version on a full disk: no SY-093 on standard error"
    [ "$failures" -eq 0 ] && echo "--version on a full disk: status $status, banner and SY-093 on standard error"
}

# One run under an address-space limit of $1 KiB; prints the outcome word.
limited_run() {
    (ulimit -v "$1" && exec timeout 60 "$tabcopy" PARAMFILE long.par >out.txt 2>err.txt)
    status=$?
    if [ "$status" -eq 0 ]; then
        if [ "$(count out.sql "A_NAME")" -eq 1 ] && [ ! -s err.txt ]; then echo ok; else echo "bad-success"; fi
        return
    fi
    if [ "$status" -ne 1 ]; then echo "status-$status"; return; fi
    if [ -s err.txt ]; then echo "stderr"; return; fi
    [ "$(count out.txt "KVX ERROR       190  PROCESS ABENDING.")" -eq 1 ] || { echo "no-abend-console"; return; }
    [ "$(count kvxerr.log ":  PROCESS ABENDING.")" -eq 1 ] || { echo "no-abend-log"; return; }
    for code in SY-088 SY-094 SY-095; do
        if [ "$(count out.txt "KVX ERROR    $code")" -ge 1 ]; then echo "$code"; return; fi
    done
    echo "abend-without-cause"
}

ulimit_test() {
    if [ "$sanitized" = ON ]; then
        echo "skipped: ulimit -v does not work under AddressSanitizer (it reserves far more address space than any limit leaves); the sanitizer build tests exhaustion through the KVXTESTMEMFAIL hook"
        exit 77
    fi
    fresh
    # The smallest limit at which the program starts at all (the loader
    # maps the ICU data library), in 5 MiB steps.
    base=0
    limit=20480
    while [ "$limit" -le 1048576 ]; do
        if (ulimit -v "$limit" && exec "$tabcopy" -v >/dev/null 2>&1); then base=$limit; break; fi
        limit=$((limit + 5120))
    done
    [ "$base" -gt 0 ] || { fail "tabcopy -v does not start under 1 GiB"; return; }
    # A 30 MB comment line: it is read into a growing string (operator
    # new) and echoed through the formatting buffer (kvMalloc), so some
    # limits run out in one and some in the other.
    { printf -- '-- '; head -c 30000000 /dev/zero | tr '\0' x; echo; cat run.par; } >long.par
    seen=""
    limit=$base
    top=$((base + 250 * 1024))
    oks=0
    # Three limits in a row that are enough end the sweep.
    while [ "$limit" -le "$top" ] && [ "$oks" -lt 3 ]; do
        rm -f out.sql kvxerr.log
        outcome=$(limited_run "$limit")
        case $outcome in
            ok | SY-088 | SY-094 | SY-095) ;;
            *) fail "limit $limit KiB: $outcome"; sed -n '1,20p' err.txt ;;
        esac
        echo "limit $limit KiB: $outcome"
        if [ "$outcome" = ok ]; then oks=$((oks + 1)); else oks=0; fi
        case " $seen " in *" $outcome "*) ;; *) seen="$seen $outcome" ;; esac
        limit=$((limit + 10240))
    done
    for needed in SY-088 SY-094 ok; do
        case " $seen " in
            *" $needed "*) ;;
            *) fail "no limit of the sweep ended with $needed (seen:$seen)" ;;
        esac
    done
}

case $mode in
    console) console_test ;;
    version) version_test ;;
    ulimit) ulimit_test ;;
    *) echo "unknown mode $mode"; exit 2 ;;
esac
[ "$failures" -eq 0 ]
