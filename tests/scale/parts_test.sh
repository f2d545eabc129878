#!/bin/sh
# A data file converted on several threads, or in parts side by side, must
# give the bytes of one single-threaded run: rows, rejects and reject log.
# Generated customer files (bench/datagen.c) in FIXED, V and VB framing,
# with a bad record every 53, are converted
#   - on 1, 2 and 8 threads (a file of several decoding batches);
#   - in 1 to 16 parts listed by tabcopy SPLIT, each converted with START,
#     LENGTH and FIRSTRECORD, the parts concatenated in order;
#   - in 4 parts by xargs -P 4, as docs/scale.md shows;
# and, when the sqlite3 shell is there, parts of a parameter-file run
# loaded by their own load scripts hold the whole run's rows.
# Usage: parts_test.sh TABCOPY SOURCE_DIR
set -eu
tabcopy=$1
src=$2
fail() { echo "FAILED: $*" >&2; exit 1; }
command -v "${CC:-cc}" > /dev/null 2>&1 || { echo "SKIPPED: no C compiler for bench/datagen.c"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tabcopy-parts.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM
cd "$work"
"${CC:-cc}" -O2 -o datagen "$src/bench/datagen.c"
./datagen -c customer > c.cpy
tab=$(printf '\t')

# convert OUT FILE FRAMING [options]: rows to OUT.csv, rejects to OUT.rej
# and OUT.log; status 0 or 4 (records rejected) is a success.
convert() {
    out=$1 file=$2 framing=$3
    shift 3
    status=0
    "$tabcopy" DATA c.cpy "$file" FRAMING "$framing" REJECTS "$out.rej" REJECTLOG "$out.log" "$@" \
        < /dev/null > "$out.csv" 2> "$out.err" || status=$?
    [ "$status" -le 4 ] || fail "tabcopy DATA $file $* ended with status $status: $(cat "$out.err")"
}

same() {
    for ext in csv rej log; do
        cmp -s "$1.$ext" "$2.$ext" || fail "$3: the .$ext output differs from the single run's"
    done
}

for framing in FIXED V VB; do
    # Threads: 20000 records, about 6 MB, several batches for each worker.
    ./datagen customer 20000 big.dat "$framing" BAD 53
    convert t1 big.dat "$framing" THREADS 1
    [ "$(grep -c . t1.log)" -eq $((20000 / 53 + 1)) ] || fail "$framing: not one log line per bad record"
    for n in 2 8; do
        convert "t$n" big.dat "$framing" THREADS "$n"
        same t1 "t$n" "$framing on $n threads"
    done
    # A file that ends inside a record fails at the same record, with the
    # same message, whatever reads it.
    head -c -7 big.dat > cut.dat
    for n in 1 2; do
        "$tabcopy" DATA c.cpy cut.dat FRAMING "$framing" THREADS "$n" < /dev/null > /dev/null 2> "cut$n.err" &&
            fail "$framing: a file that ends inside a record was converted"
        sed 's/^[0-9-]* [0-9:]* //' "cut$n.err" > "cut$n.txt"
    done
    cmp -s cut1.txt cut2.txt || fail "$framing: the cut file's message differs on 2 threads: $(cat cut2.txt)"

    # Parts: a smaller file, split every way from 1 to 16.
    ./datagen customer 1500 small.dat "$framing" BAD 53
    convert whole small.dat "$framing"
    lrecl=""
    [ "$framing" = FIXED ] && lrecl="LRECL 300"
    for count in $(seq 1 16); do
        "$tabcopy" SPLIT small.dat FRAMING "$framing" $lrecl COUNT "$count" > splits.txt ||
            fail "tabcopy SPLIT small.dat FRAMING $framing COUNT $count"
        : > joined.csv; : > joined.rej; : > joined.log
        while IFS="$tab" read -r file start length first; do
            convert part "$file" "$framing" START "$start" LENGTH "$length" FIRSTRECORD "$first"
            cat part.csv >> joined.csv; cat part.rej >> joined.rej; cat part.log >> joined.log
        done < splits.txt
        [ "$(wc -l < splits.txt)" -le "$count" ] || fail "SPLIT COUNT $count listed more parts"
        same whole joined "$framing in $count parts"
    done

    # The parts side by side, as docs/scale.md runs them: default output
    # names carry each part's first record, so none overwrites another.
    rm -f small.dat.*.rej small.dat.*.rej.log part.*.csv
    "$tabcopy" SPLIT small.dat FRAMING "$framing" $lrecl COUNT 4 > splits.txt
    sed "s/\$/$tab$framing/" splits.txt > jobs.txt
    xargs -P 4 -L 1 sh -c '"$0" DATA c.cpy "$1" FRAMING "$5" START "$2" LENGTH "$3" FIRSTRECORD "$4" \
        > "part.$4.csv" 2> /dev/null || [ $? -eq 4 ]' "$tabcopy" < jobs.txt ||
        fail "$framing: a part run by xargs -P failed"
    for ext in csv rej log; do : > "xargs.$ext"; done
    while IFS="$tab" read -r file start length first; do
        cat "part.$first.csv" >> xargs.csv
        cat "small.dat.$first.rej" >> xargs.rej
        cat "small.dat.$first.rej.log" >> xargs.log
    done < splits.txt
    same whole xargs "$framing in 4 parts by xargs -P"
done

command -v sqlite3 > /dev/null 2>&1 || { echo "sqlite3 not installed: the load scripts of parts not checked"; exit 0; }

# A parameter-file run per part, the part given by environment variables;
# each part's load script loads its own rows file (the header line only
# in the first) into the table the DDL made.
cp "$src/examples/templates/sqlite.tpl" .
./datagen customer 1500 small.dat V BAD 53
cat > part.par <<'EOF'
COBOLDEFSFILE c.cpy
DDLTEMPLATEFILE sqlite.tpl
DDLFILE parts.sql PURGE
FILE customer DEF CUSTOMER-REC;
DATAFILE small.dat FRAMING V START ?PART_START LENGTH ?PART_LENGTH FIRSTRECORD ?PART_FIRST
EOF
"$tabcopy" SPLIT small.dat FRAMING V COUNT 3 > splits.txt
while IFS="$tab" read -r file start length first; do
    status=0
    PART_START=$start PART_LENGTH=$length PART_FIRST=$first "$tabcopy" PARAMFILE part.par < /dev/null > "run.$first.txt" 2>&1 ||
        status=$?
    [ "$status" -le 4 ] || fail "the run of the part at $start: status $status: $(tail -5 "run.$first.txt")"
    [ -f "parts.$first.load.sql" ] && [ -f "CUSTOMER.$first.csv" ] || fail "the part at $start has no load script or rows named for it"
done < splits.txt
sqlite3 -bail parts.db < parts.sql
while IFS="$tab" read -r file start length first; do
    sqlite3 -bail parts.db < "parts.$first.load.sql" || fail "the load script of the part at $start"
done < splits.txt
rows=$(sqlite3 parts.db "SELECT count(*) FROM CUSTOMER;")
[ "$rows" -eq $((1500 - 1500 / 53)) ] || fail "the parts loaded $rows rows, not $((1500 - 1500 / 53))"
echo "passed"
