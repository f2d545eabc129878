# Shell functions shared by the database tests. Each test script sources
# this file; the scripts take the tabcopy program and the source tree as
# arguments and exit 0 (passed), 1 (failed) or 77 (skipped: a database
# program is missing).

here=$(cd "$(dirname "$0")" && pwd)

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

skip() {
    echo "SKIPPED: $*"
    exit 77
}

# For the fixture writers: b HEX... writes the bytes named in hexadecimal
# (dash's printf knows no \x), sp N that many EBCDIC spaces.
b() { for h in "$@"; do printf "\\$(printf %03o "0x$h")"; done; }
sp() { i=0; while [ "$i" -lt "$1" ]; do printf ' ' | tr ' ' '\100'; i=$((i + 1)); done; }

# The names databases reserve or take only quoted (names.cpy), under the
# tables ORDER, with KEYCOLS, and CUST-MASTER, without: a write_ddl argument.
names_files='names.cpy:FILE order DEF NAMES-REC KEYCOLS (ORDER, 1ST-LINE);
FILE cust-master DEF MASTER-REC;'

# The edges of a database's table: a record wider than MariaDB keeps in a
# row (wide.cpy, written by write_wide_copybook), and names of 63
# characters, the longest PostgreSQL keeps whole (longnames.cpy, under a
# table name of 63 characters too): two write_ddl arguments.
wide_files='wide.cpy:FILE wide DEF WIDE-REC KEYCOLS (W-01);'
long_names_files='longnames.cpy:FILE LONG_TABLE_YYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYY_T DEF LONG-NAMES-REC;'

# write_wide_copybook DIR: wide.cpy in DIR, 34 fields of 250 characters
# (8500 bytes).
write_wide_copybook() {
    awk 'BEGIN { print "01 WIDE-REC."; for (i = 1; i <= 34; i++) printf "   05 W-%02d PIC X(250).\n", i }' > "$1/wide.cpy"
}

# new_work_dir: a fresh temporary directory (path on standard output).
new_work_dir() {
    mktemp -d "${TMPDIR:-/tmp}/tabcopy-db.XXXXXX"
}

# write_ddl TABCOPY SRC TEMPLATE WORK [COPYBOOK:FILE-COMMAND ...]
# Runs tabcopy in WORK on the example's parameter file, turned to
# TEMPLATE (a name under examples/templates/) and to the DDL file
# WORK/ddl.sql, with one more copybook and FILE command per argument.
write_ddl() {
    # Names of their own: a shell function shares the caller's variables.
    wd_tabcopy=$1 wd_src=$2 wd_template=$3 wd_work=$4
    shift 4
    cp "$wd_src/examples/"*.cpy "$wd_work/"
    mkdir -p "$wd_work/templates"
    cp "$wd_src/examples/templates/$wd_template.tpl" "$wd_work/templates/"
    sed -e "s#^DDLTEMPLATEFILE .*#DDLTEMPLATEFILE templates/$wd_template.tpl#" \
        -e "s#^DDLFILE .*#DDLFILE ddl.sql PURGE#" \
        "$wd_src/examples/example.par" > "$wd_work/run.par"
    grep -q "^DDLTEMPLATEFILE templates/$wd_template.tpl\$" "$wd_work/run.par" &&
        grep -q '^DDLFILE ddl.sql PURGE$' "$wd_work/run.par" ||
        fail "examples/example.par has no DDLTEMPLATEFILE or DDLFILE line to redirect"
    for wd_extra in "$@"; do
        if [ "${wd_extra%%:*}" = wide.cpy ]; then
            write_wide_copybook "$wd_work"
        else
            cp "$here/${wd_extra%%:*}" "$wd_work/"
        fi
        printf 'COBOLDEFSFILE %s AUTO\n%s\n' "${wd_extra%%:*}" "${wd_extra#*:}" >> "$wd_work/run.par"
    done
    if ! (cd "$wd_work" && "$wd_tabcopy" PARAMFILE run.par > tabcopy.out 2>&1); then
        cat "$wd_work/tabcopy.out" >&2
        fail "tabcopy did not complete with the $wd_template template"
    fi
}

# compare EXPECTED ACTUAL WHAT: passes when the files are equal, else
# prints the differences and fails.
compare() {
    if ! diff -u "$1" "$2" >&2; then
        fail "$3 differ from $1 (- expected, + found)"
    fi
}

# The data round trip: rounds.cpy's records in rounds.dat (FIXED, table
# ORDER, a reserved name: every record a row) and in rounds.v (FRAMING V,
# table PART-LY, a name with a hyphen: of six records, the 2nd, 4th and 5th
# are rejected).
rounds_files='FILE order DEF ROUND-REC KEYCOLS (R-ID);
DATAFILE rounds.dat
FILE part-ly DEF ROUND-REC KEYCOLS (R-ID);
DATAFILE rounds.v FRAMING V'

# run_data TABCOPY SRC TEMPLATE DIR NAME FILES: NAME_data.sh writes the
# fixtures, which must be the committed ones; then tabcopy, in the new
# directory DIR, reads NAME.cpy with the shipped TEMPLATE and the FILE and
# DATAFILE commands FILES into ddl.sql, the rows files and ddl.load.sql.
# Each set of fixtures holds records to reject: the run must end with
# status 4.
run_data() {
    rd_dir=$4
    mkdir -p "$rd_dir/fixtures"
    sh "$here/$5_data.sh" "$rd_dir/fixtures"
    for rd_file in "$rd_dir/fixtures/"*; do
        cmp -s "$rd_file" "$here/${rd_file##*/}" ||
            fail "tests/db/${rd_file##*/} is not what $5_data.sh writes"
    done
    cp "$rd_dir/fixtures/"* "$here/$5.cpy" "$2/examples/templates/$3.tpl" "$rd_dir/"
    printf 'COBOLDEFSFILE %s.cpy AUTO\nDDLTEMPLATEFILE %s.tpl\nDDLFILE ddl.sql\n%s\n' \
        "$5" "$3" "$6" > "$rd_dir/run.par"
    rd_status=0
    (cd "$rd_dir" && "$1" PARAMFILE run.par > tabcopy.out 2>&1) || rd_status=$?
    if [ "$rd_status" -ne 4 ]; then
        cat "$rd_dir/tabcopy.out" >&2
        fail "tabcopy converted the $5 data with the $3 template with status $rd_status, not 4"
    fi
}

# write_rounds TABCOPY SRC TEMPLATE DIR: run_data for the rounds; the run
# must set aside exactly the rejected records, byte for byte with their
# descriptor words.
write_rounds() {
    run_data "$@" rounds "$rounds_files"
    # Records 2, 4 and 5 of rounds.v: 65 bytes each (00 41), at 65, 146 and 211.
    for wr_at in 66 147 212; do tail -c +$wr_at "$4/rounds.v" | head -c 65; done > "$4/rejected"
    cmp -s "$4/rejected" "$4"/PART-LY.*.rej && [ ! -s "$4"/ORDER.*.rej ] ||
        fail "the $3 run did not reject exactly records 2, 4 and 5 of rounds.v"
}

# rounds_select QUOTE: the query whose rows expected/rounds_*.txt hold, with
# QUOTE the database's quote for names. The last column keeps the padding
# of a text column at the end of the line; the control characters of
# record 5 are shown by hex(), which PostgreSQL must be given.
rounds_select() {
    printf "SELECT *, 'end' FROM %sORDER%s WHERE R_ID < 5 ORDER BY R_ID;\n" "$1" "$1"
    printf 'SELECT R_ID, hex(R_NAME), hex(%sGROUP%s), hex(R_NOTE) FROM %sORDER%s WHERE R_ID >= 5;\n' "$1" "$1" "$1" "$1"
    printf "SELECT *, 'end' FROM %sPART-LY%s ORDER BY R_ID;\n" "$1" "$1"
}

# The record-type round trip: orders.cpy's orders and trailer records, each
# routed by WHEN to its tables, the orders' lines and marks to child and
# grandchild tables. orders.v (FRAMING V) fills ORDERS, its child tables
# and ORDERS_TRAILER; orders.fix, the same records cut to their lengths
# (ODO COMPACT), fills FIXED and FIXED_TRAILER, chosen by other forms of
# WHEN: both sets must hold the same rows.
orders_files="FILE orders DEF ORD-REC KEYCOLS (O-ID) CHILDTABLES WHEN IS-ORDER;
DATAFILE orders.v FRAMING V
FILE orders_trailer DEF ORD-TRL WHEN T-TYPE = 'T';
DATAFILE orders.v
FILE fixed DEF ORD-REC KEYCOLS (O-ID) CHILDTABLES WHEN O-TYPE = 'O';
DATAFILE orders.fix ODO COMPACT
FILE fixed_trailer DEF ORD-TRL WHEN T-TYPE = 'S' THRU 'U';
DATAFILE orders.fix"

# write_orders TABCOPY SRC TEMPLATE DIR: run_data for the orders. Only
# the record X0009 and order 0003 may be rejected, byte for byte, the order
# for the L-QTY of its third line (byte 23 of the record).
write_orders() {
    run_data "$@" orders "$orders_files"
    # orders.v: X0009 and order 0003, 9 + 47 bytes at 73; orders.fix:
    # order 0003, 43 bytes at 65.
    tail -c +74 "$4/orders.v" | head -c 56 > "$4/rejected.v"
    tail -c +66 "$4/orders.fix" | head -c 43 > "$4/rejected.fix"
    cmp -s "$4/rejected.v" "$4"/ORDERS.*.rej && cmp -s "$4/rejected.fix" "$4"/FIXED.*.rej &&
        grep -q "^4	109	L-QTY	" "$4"/ORDERS.*.rej.log && grep -q "^3	88	L-QTY	" "$4"/FIXED.*.rej.log ||
        fail "the $3 run did not reject exactly X0009 and order 0003 for its third L-QTY"
}

# orders_select SET: the query whose rows expected/orders_*.txt hold, for
# the tables of SET (ORDERS or FIXED): the orders with the length of
# O-NOTE, the trailer, the rows of each table, and every mark joined to its
# line and the line to its order.
orders_select() {
    cat <<EOF
SELECT *, length(O_NOTE), 'end' FROM $1 ORDER BY O_ID;
SELECT *, 'end' FROM $1_TRAILER;
SELECT (SELECT COUNT(*) FROM $1), (SELECT COUNT(*) FROM $1_O_LINE),
       (SELECT COUNT(*) FROM $1_O_LINE_L_MARK), (SELECT COUNT(*) FROM $1_TRAILER);
SELECT o.O_ID, l.O_LINE_OCCURRENCE, l.L_ITEM, l.L_QTY, m.L_MARK_OCCURRENCE, m.L_MARK, o.O_TOTAL, 'end'
  FROM $1 o JOIN $1_O_LINE l ON l.O_ID = o.O_ID
  JOIN $1_O_LINE_L_MARK m ON m.O_ID = l.O_ID AND m.O_LINE_OCCURRENCE = l.O_LINE_OCCURRENCE
 ORDER BY 1, 2, 5;
EOF
}

# check_orders DIR DATABASE EXPECTED: the caller's function query runs the
# SQL on its standard input against the loaded orders and writes the rows
# with | between columns. Both sets give the rows of EXPECTED, and the
# foreign keys hold: a line of the rejected order 0003, and a mark of a
# third line order 0001 does not have, are refused.
check_orders() {
    for co_set in ORDERS FIXED; do
        orders_select $co_set | query > "$1/$co_set.txt"
        compare "$here/expected/$3" "$1/$co_set.txt" "$2's rows of the $co_set tables"
    done
    for co_row in "ORDERS_O_LINE (O_ID, O_LINE_OCCURRENCE) VALUES (3, 1)" \
        "ORDERS_O_LINE_L_MARK (O_ID, O_LINE_OCCURRENCE, L_MARK_OCCURRENCE) VALUES (1, 3, 1)"; do
        echo "INSERT INTO $co_row;" | query 2>&1 | grep -qi 'foreign key' ||
            fail "$2 took the row $co_row, which has no parent row"
    done
}

# load_data DIR DATABASE: the caller's function load FILE runs DIR/ddl.sql,
# then DIR/ddl.load.sql, from DIR; the database must take both without a
# word (an error, or a warning where the client shows them).
load_data() {
    lr_status=0
    (cd "$1" && load ddl.sql && load ddl.load.sql) > "$1/load.out" 2>&1 || lr_status=$?
    if [ "$lr_status" -ne 0 ] || [ -s "$1/load.out" ]; then
        cat "$1/load.out" >&2
        fail "$2 did not load ddl.sql and ddl.load.sql in $1 cleanly (status $lr_status)"
    fi
}
