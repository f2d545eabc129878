#!/bin/sh
# The DDL that tabcopy writes with the SQLite template, for the example
# copybooks, the type-edge copybooks (national text among them), a record
# wider than MariaDB keeps in a row and names of 63 characters, is run by
# the sqlite3 shell; the columns SQLite then reports (name, declared type,
# NOT NULL, key position) must be the expected ones.
# Then the rounds data and the orders go through the shell and back
# (db_lib.sh, write_rounds and write_orders), with the foreign keys
# enforced, which SQLite does only when asked on each connection.
# Usage: sqlite_test.sh TABCOPY SOURCE_DIR
set -eu
. "$(dirname "$0")/db_lib.sh"

command -v sqlite3 > /dev/null 2>&1 ||
    skip "the sqlite3 shell is not installed (Debian package sqlite3)"

work=$(new_work_dir)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

write_ddl "$1" "$2" sqlite "$work" \
    "types.cpy:FILE types DEF TYPES-REC KEYCOLS (T-KEY);" \
    "huge.cpy:FILE huge DEF HUGE-REC KEYCOLS (H-KEY);" \
    "$names_files" "$wide_files" "$long_names_files"

sqlite3 -bail "$work/tables.db" < "$work/ddl.sql" ||
    fail "sqlite3 refused the DDL in $work/ddl.sql"

# The wide table only needs to load. Declared types keep the blanks of the
# column line; one blank is enough to compare them.
sqlite3 "$work/tables.db" \
    "SELECT m.name, p.name, p.type, p.\"notnull\", p.pk
       FROM sqlite_master AS m, pragma_table_info(m.name) AS p
      WHERE m.type = 'table' AND m.name <> 'WIDE' ORDER BY m.name, p.cid;" |
    tr -s ' ' > "$work/columns.txt"
compare "$here/expected/sqlite.txt" "$work/columns.txt" "SQLite's columns"

# Without DDLFILE the DDL is standard output's alone: piped straight into
# sqlite3, it gives the same tables.
grep -v '^DDLFILE ' "$work/run.par" > "$work/pipe.par"
(cd "$work" && "$1" PARAMFILE pipe.par 2> pipe.err | sqlite3 -bail piped.db) ||
    fail "tabcopy PARAMFILE pipe.par 2>/dev/null | sqlite3 failed: $(cat "$work/pipe.err")"
sqlite3 "$work/piped.db" \
    "SELECT m.name, p.name, p.type, p.\"notnull\", p.pk
       FROM sqlite_master AS m, pragma_table_info(m.name) AS p
      WHERE m.type = 'table' AND m.name <> 'WIDE' ORDER BY m.name, p.cid;" |
    tr -s ' ' > "$work/piped.txt"
compare "$here/expected/sqlite.txt" "$work/piped.txt" "SQLite's columns from standard output"

# The data round trip: the rows back as SQLite keeps them. NUMERIC
# affinity turns 1.50 into the REAL 1.5 and 0.00 into the INTEGER 0; the
# DECIMAL TEXT column keeps every digit and its scale; REAL columns show
# 100 as 100.0.
write_rounds "$1" "$2" sqlite "$work/rounds"
load() { sqlite3 -cmd 'PRAGMA foreign_keys = ON' data.db < "$1"; }
query() { sqlite3 -cmd 'PRAGMA foreign_keys = ON' -separator '|' -nullvalue NULL "$db"; }
load_data "$work/rounds" SQLite
db=$work/rounds/data.db
rounds_select '"' | query > "$work/rounds/select.txt"
compare "$here/expected/rounds_sqlite.txt" "$work/rounds/select.txt" "SQLite's rows"
write_orders "$1" "$2" sqlite "$work/orders"
load_data "$work/orders" SQLite
db=$work/orders/data.db
check_orders "$work/orders" SQLite orders_sqlite.txt
# .import would load A, NUL, B as A alone: the template has the record
# rejected instead.
printf '01 N-REC.\n   05 N-TXT PIC X(3).\n' > "$work/nul.cpy"
printf '\301\000\302' > "$work/nul.dat"
status=0
(cd "$work" && "$1" DATA nul.cpy nul.dat TEMPLATE "$2/examples/templates/sqlite.tpl" > nul.csv 2> nul.err) ||
    status=$?
[ "$status" -eq 4 ] && cmp -s "$work/nul.dat" "$work/nul.dat.rej" ||
    fail "a text holding a NUL was not rejected with the SQLite template (status $status): $(cat "$work/nul.err")"
echo "passed: SQLite accepted the DDL of $(grep -c '^CREATE TABLE' "$work/ddl.sql") tables, from a file and from standard output, and loaded the rows and the orders"
