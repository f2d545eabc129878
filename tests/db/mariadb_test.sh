#!/bin/sh
# The DDL that tabcopy writes with the MySQL template, for the example
# copybooks, the type-edge copybooks (national text among them), the names
# databases reserve, a record wider than InnoDB keeps in a row (the template
# moves its longest columns to TEXT) and names of 63 characters, is run
# by the mariadb client against a throwaway MariaDB server; the columns
# (information_schema.columns) and primary keys it then reports must be the
# expected ones; the rounds data and the orders (db_lib.sh, write_rounds
# and write_orders) are loaded with the mariadb client and read back.
#
# The server's data lives in a temporary directory; it listens only on a
# Unix socket there (no TCP), so it meets no other server, and it is shut
# down and the directory removed however the test ends. The server does not
# run as root: under root it runs as the user mysql (or nobody).
# Usage: mariadb_test.sh TABCOPY SOURCE_DIR
set -eu
. "$(dirname "$0")/db_lib.sh"

for program in mariadb-install-db mariadbd mariadb mariadb-admin; do
    command -v "$program" > /dev/null 2>&1 || [ -x "/usr/sbin/$program" ] ||
        skip "$program is not installed (Debian package mariadb-server)"
done
server=$(command -v mariadbd 2> /dev/null || echo /usr/sbin/mariadbd)

server_user=""
if [ "$(id -u)" -eq 0 ]; then
    server_user=nobody
    id -u mysql > /dev/null 2>&1 && server_user=mysql
fi

# In /tmp whatever TMPDIR says: the server user must reach it, and the
# socket's path must stay within the 107 bytes a Unix socket name may have.
work=$(mktemp -d /tmp/tabcopy-maria.XXXXXX)
chmod 755 "$work"
socket=$work/server.sock
client() {
    mariadb --no-defaults --socket="$socket" -u root --batch --skip-column-names "$@"
}
cleanup() {
    if [ -S "$socket" ]; then
        mariadb-admin --no-defaults --socket="$socket" -u root shutdown > /dev/null 2>&1 ||
            echo "warning: the server in $work did not stop" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

mkdir "$work/data"
# The server writes its socket, pid file and log beside its data.
[ -z "$server_user" ] || chown -R "$server_user" "$work"
mariadb-install-db --no-defaults --datadir="$work/data" ${server_user:+--user="$server_user"} \
    --auth-root-authentication-method=normal --skip-test-db > "$work/install.log" 2>&1 || {
    cat "$work/install.log" >&2
    fail "mariadb-install-db could not create a data directory in $work/data"
}
"$server" --no-defaults --datadir="$work/data" --socket="$socket" --skip-networking \
    --pid-file="$work/server.pid" --log-error="$work/server.log" ${server_user:+--user="$server_user"} \
    > /dev/null 2>&1 &
tries=0
until mariadb-admin --no-defaults --socket="$socket" -u root ping > /dev/null 2>&1; do
    tries=$((tries + 1))
    if [ "$tries" -gt 300 ]; then
        cat "$work/server.log" >&2
        fail "the MariaDB server did not start"
    fi
    sleep 0.2
done

write_ddl "$1" "$2" mysql "$work" \
    "types.cpy:FILE types DEF TYPES-REC KEYCOLS (T-KEY);" \
    "$names_files" "$wide_files" "$long_names_files"

client -e "CREATE DATABASE tabcopy" || fail "the server refused CREATE DATABASE"
client tabcopy < "$work/ddl.sql" || fail "MariaDB refused the DDL in $work/ddl.sql"

client tabcopy -e "SELECT table_name, column_name, column_type, is_nullable, column_key
                     FROM information_schema.columns WHERE table_schema = 'tabcopy' AND table_name <> 'WIDE'
                    ORDER BY table_name, ordinal_position;" > "$work/columns.txt"
compare "$here/expected/mariadb.txt" "$work/columns.txt" "MariaDB's columns"
# The wide table fits the row by its key column and as many others as fit
# kept there; the rest went to TEXT.
wide=$(client tabcopy -e "SELECT column_type, COUNT(*) FROM information_schema.columns
                           WHERE table_schema = 'tabcopy' AND table_name = 'WIDE'
                           GROUP BY column_type ORDER BY column_type;" | tr '\t\n' ': ')
[ "$wide" = "char(250):31 text:3 " ] || fail "MariaDB's WIDE table has the columns $wide, not 31 char(250) and 3 text"

# The data round trips, in a database of their own (the names above hold
# another table ORDER). The load script shows the warnings LOAD DATA
# would otherwise keep to itself, so load_data's check that the load
# printed nothing holds them too. CHAR columns give their values back
# without padding.
write_rounds "$1" "$2" mysql "$work/rounds"
client -e "CREATE DATABASE rounds" || fail "the server refused CREATE DATABASE rounds"
load_into() { mariadb --no-defaults --socket="$socket" -u root --local-infile=1 "$1"; }
load() { load_into rounds < "$1"; }
query() { client --raw rounds | tr '\t' '|'; }
load_data "$work/rounds" MariaDB
rounds_select '`' | query > "$work/rounds/select.txt"
compare "$here/expected/rounds_mariadb.txt" "$work/rounds/select.txt" "MariaDB's rows"
write_orders "$1" "$2" mysql "$work/orders"
load_data "$work/orders" MariaDB
check_orders "$work/orders" MariaDB orders_mariadb.txt
# A row the server refuses is a warning to a local LOAD DATA, which goes
# on: the script must say so. Lines of orders never loaded fail their
# foreign key, aloud.
client -e "CREATE DATABASE orphans" || fail "the server refused CREATE DATABASE orphans"
(cd "$work/orders" && load_into orphans < ddl.sql &&
    grep -A1 "INTO TABLE ORDERS_O_LINE " ddl.load.sql | load_into orphans) > "$work/orphans.out" 2>&1 ||
    fail "MariaDB did not run the load of ORDERS_O_LINE alone"
grep -q "^Warning	1452	" "$work/orphans.out" ||
    fail "the load script kept quiet about lines whose order is not there: $(cat "$work/orphans.out")"
echo "passed: MariaDB accepted the DDL of $(grep -c '^CREATE TABLE' "$work/ddl.sql") tables and loaded the rows and the orders"
