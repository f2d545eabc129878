#!/bin/sh
# The DDL that tabcopy writes with the PostgreSQL template, for the example
# copybooks, the type-edge copybooks (national text among them), a wide
# record and names of 63 characters, the longest PostgreSQL keeps whole,
# is run by psql against a throwaway cluster; the columns
# (information_schema.columns) and primary keys PostgreSQL then reports
# must be the expected ones; the rounds data and the orders (db_lib.sh,
# write_rounds and write_orders) are loaded with psql and read back.
#
# The cluster lives in a temporary directory and listens only on a Unix
# socket there, so it meets no other server; it is stopped and the
# directory removed however the test ends. initdb refuses to run as root,
# so under root the server runs as an unprivileged user.
# Usage: postgresql_test.sh TABCOPY SOURCE_DIR
set -eu
. "$(dirname "$0")/db_lib.sh"

# Debian installs the server programs under /usr/lib/postgresql/<major>/bin;
# the newest major version wins.
bin=""
for dir in /usr/lib/postgresql/*/bin; do
    [ -x "$dir/initdb" ] && [ -x "$dir/pg_ctl" ] && [ -x "$dir/postgres" ] && bin=$dir
done
[ -n "$bin" ] ||
    skip "the PostgreSQL server is not installed (Debian package postgresql)"
psql=$(command -v psql 2> /dev/null) || psql="$bin/psql"
[ -x "$psql" ] || skip "psql is not installed (Debian package postgresql-client)"

# as_server CMD...: runs a command as the user that owns the cluster.
server_user=""
if [ "$(id -u)" -eq 0 ]; then
    if id -u nobody > /dev/null 2>&1; then
        server_user=nobody
    else
        server_user=tabcopy-db
        id -u "$server_user" > /dev/null 2>&1 ||
            useradd --system --no-create-home --shell /usr/sbin/nologin "$server_user" ||
            fail "cannot create the user $server_user to run the server"
    fi
fi
as_server() {
    if [ -n "$server_user" ]; then
        runuser -u "$server_user" -- "$@"
    else
        "$@"
    fi
}

# The directory is made in /tmp whatever TMPDIR says: the server user must
# reach it, and the socket's path in it must stay within the 107 bytes a
# Unix socket name may have.
work=$(mktemp -d /tmp/tabcopy-pg.XXXXXX)
[ -z "$server_user" ] || chown "$server_user" "$work"
cleanup() {
    if [ -f "$work/data/postmaster.pid" ]; then
        as_server "$bin/pg_ctl" -D "$work/data" -m immediate -w -t 60 stop > /dev/null 2>&1 ||
            echo "warning: the server in $work did not stop" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

as_server "$bin/initdb" -D "$work/data" -U tabcopy --auth=trust --no-sync \
    -E UTF8 --locale=C > "$work/initdb.log" 2>&1 || {
    cat "$work/initdb.log" >&2
    fail "initdb could not create a cluster in $work/data"
}
as_server "$bin/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 60 \
    -o "-k $work -c listen_addresses='' -c fsync=off" start > /dev/null || {
    cat "$work/server.log" >&2
    fail "the PostgreSQL server did not start"
}

sql() {
    "$psql" -X -q -A -t -v ON_ERROR_STOP=1 -h "$work" -U tabcopy -d postgres "$@"
}

write_ddl "$1" "$2" postgresql "$work" \
    "types.cpy:FILE types DEF TYPES-REC KEYCOLS (T-KEY);" \
    "huge.cpy:FILE huge DEF HUGE-REC KEYCOLS (H-KEY);" \
    "$names_files" "$wide_files" "$long_names_files"

sql -f "$work/ddl.sql" || fail "PostgreSQL refused the DDL in $work/ddl.sql"

sql -c "SELECT table_name, column_name, data_type, character_maximum_length,
               numeric_precision, numeric_scale, is_nullable
          FROM information_schema.columns
         WHERE table_schema = 'public' AND table_name <> 'wide'
         ORDER BY table_name, ordinal_position;" > "$work/columns.txt"
compare "$here/expected/postgresql.txt" "$work/columns.txt" "PostgreSQL's columns"

sql -c "SELECT k.table_name, k.column_name, k.ordinal_position
          FROM information_schema.table_constraints AS c
          JOIN information_schema.key_column_usage AS k
            ON k.constraint_schema = c.constraint_schema
           AND k.constraint_name = c.constraint_name
         WHERE c.table_schema = 'public' AND c.constraint_type = 'PRIMARY KEY'
         ORDER BY k.table_name, k.ordinal_position;" > "$work/keys.txt"
compare "$here/expected/postgresql_keys.txt" "$work/keys.txt" "PostgreSQL's primary keys"

# The data round trips, in a database of their own (the names above hold
# another table ORDER). CHAR columns give their values back padded to their
# length, as PostgreSQL keeps them.
write_rounds "$1" "$2" postgresql "$work/rounds"
sql -c "CREATE DATABASE rounds"
sql -d rounds -c "CREATE FUNCTION hex(text) RETURNS text LANGUAGE sql
                  AS \$\$SELECT upper(encode(convert_to(\$1, 'UTF8'), 'hex'))\$\$"
load() { "$psql" -X -q -v ON_ERROR_STOP=1 -h "$work" -U tabcopy -d rounds -f "$1"; }
query() { "$psql" -X -q -A -t -F '|' -P null=NULL -v ON_ERROR_STOP=1 -h "$work" -U tabcopy -d rounds; }
load_data "$work/rounds" PostgreSQL
rounds_select '"' | query > "$work/rounds/select.txt"
compare "$here/expected/rounds_postgresql.txt" "$work/rounds/select.txt" "PostgreSQL's rows"
write_orders "$1" "$2" postgresql "$work/orders"
load_data "$work/orders" PostgreSQL
check_orders "$work/orders" PostgreSQL orders_postgresql.txt

# A table of more columns than PostgreSQL takes is refused by tabcopy,
# naming the limit, rather than written and refused when loaded.
mkdir "$work/wide"
printf '01 WIDE-REC.\n   05 W PIC X OCCURS 2000.\n' > "$work/wide/wide.cpy"
cp "$2/examples/templates/postgresql.tpl" "$work/wide/"
printf 'COBOLDEFSFILE wide.cpy\nDDLTEMPLATEFILE postgresql.tpl\nDDLFILE wide.sql\nFILE wide DEF WIDE-REC;\n' > "$work/wide/run.par"
status=0
(cd "$work/wide" && "$1" PARAMFILE run.par > out.txt 2>&1) || status=$?
[ "$status" -eq 12 ] || fail "a 2000-column table ended with status $status, not 12"
grep -q "DD-258  The table WIDE would have 2000 columns, more than the 1600" "$work/wide/out.txt" ||
    fail "a 2000-column table was not refused with DD-258 naming 1600: $(cat "$work/wide/out.txt")"
[ ! -e "$work/wide/wide.sql" ] || fail "a refused run left wide.sql"
echo "passed: PostgreSQL accepted the DDL of $(grep -c '^CREATE TABLE' "$work/ddl.sql") tables and loaded the rows and the orders; 2000 columns refused"
