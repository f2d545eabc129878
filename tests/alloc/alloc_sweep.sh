#!/bin/sh
# Runs the bundled example once for every allocation it makes (a first run
# counts them: KVXTESTMEMFAIL=count), refusing the Nth (any:N, mode one)
# or the Nth and every later one (any:N+, mode rest), two runs at a time.
# With "warned", the parameter file starts with a TABLE command, whose
# warning loads the message catalogue before anything else does.
#
#   alloc_sweep.sh <tabcopy> <examples dir> one|rest [warned]
#
# Every run must end through the program's own abend (status 1, PROCESS
# ABENDING on the console and, when one allocation fails, SY-088 or SY-094
# and the abend in the error log), or 12 when an error came first; never
# status 0 (the refusal went unnoticed), a signal, a hang, anything on
# standard error (where the sanitizers report), a partial DDL file or a
# temporary file left beside it.
set -u
tabcopy=$1
examples=$2
mode=$3
warned=${4:-}
suffix=$([ "$mode" = rest ] && echo +)
work=$(mktemp -d "${TMPDIR:-/tmp}/tabcopy-alloc-XXXXXX")
trap 'rm -rf "$work"' EXIT
unset KVXERRLOG KVXTESTMEMFAIL

count() { grep -c -F -- "$2" "$1" 2>/dev/null || true; }
# The DDL without its creation time.
ddl() { grep -v -e '^-- Definitions created ' "$1/example.sql"; }

# run DIR VALUE: the example, fresh in DIR, with KVXTESTMEMFAIL=VALUE.
# All folder names have one length, so every run makes the same allocations.
run() {
    rm -rf "$1" && cp -r "$examples" "$1"
    [ -z "$warned" ] || sed -i '1i TABLE x;' "$1/example.par"
    # A run stuck for good ignores the TERM: timeout then KILLs it (137).
    (cd "$1" && KVXTESTMEMFAIL=$2 exec timeout -k 5 20 "$tabcopy" PARAMFILE example.par \
        REPORTFILE example.rpt >out.txt 2>err.txt)
    status=$?
}

# check DIR N: prints what is wrong with the run, if anything.
check() {
    case $status in
        1 | 12) ;;
        *) echo "FAIL: N=$2: status $status"; head -n 30 "$1/err.txt"; return ;;
    esac
    [ -s "$1/err.txt" ] && { echo "FAIL: N=$2: standard error:"; head -n 30 "$1/err.txt"; }
    [ ! -e "$1/example.sql" ] || ddl "$1" | cmp -s - "$work/expected.sql" ||
        echo "FAIL: N=$2: a partial example.sql"
    ls -A "$1" | grep -q -e '\.tabcopy-' && echo "FAIL: N=$2: a temporary file left"
    [ "$status" -eq 1 ] || return
    [ "$(count "$1/out.txt" "KVX ERROR       190  PROCESS ABENDING.")" -eq 1 ] ||
        echo "FAIL: N=$2: status 1 without PROCESS ABENDING on the console"
    [ "$mode" = rest ] || grep -q -e "KVX ERROR    SY-088 " -e "KVX ERROR    SY-094 " "$1/out.txt" ||
        echo "FAIL: N=$2: status 1 without SY-088 or SY-094"
    [ "$mode" = rest ] || [ "$(count "$1/kvxerr.log" ":  PROCESS ABENDING.")" -eq 1 ] ||
        echo "FAIL: N=$2: status 1 without PROCESS ABENDING in the error log"
}

run "$work/runc" count
total=$(sed -n 's/^KVXTESTMEMFAIL count: \([0-9]*\)$/\1/p' "$work/runc/err.txt")
# The wrappers alone make about 30 allocations; operator new, hundreds.
if [ "$status" -ne 0 ] || [ "${total:-0}" -lt 200 ] || [ "$(wc -l <"$work/runc/err.txt")" -ne 1 ]; then
    echo "FAIL: the counting run: status $status, standard error:"
    cat "$work/runc/err.txt"
    exit 1
fi
ddl "$work/runc" >"$work/expected.sql"

# Worker W runs N = W, W+2, ... and stops after 5 faults (a fault that
# hangs every run would otherwise take hours).
for w in 0 1; do
    n=$w
    while [ "$n" -lt "$total" ] && [ "$(count "$work/found$w" FAIL:)" -lt 5 ]; do
        run "$work/run$w" "any:$n$suffix"
        check "$work/run$w" "$n"
        echo "$status" >>"$work/statuses$w"
        n=$((n + 2))
    done >"$work/found$w" 2>&1 &
done
wait
cat "$work/found0" "$work/found1"
echo "$total allocations, refused ($mode):" $(sort "$work"/statuses* | uniq -c | sed 's/^ *\([0-9]*\) \(.*\)/\1 with status \2,/')
! grep -q FAIL: "$work/found0" "$work/found1"
