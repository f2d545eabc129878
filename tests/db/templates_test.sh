#!/bin/sh
# The templates for databases the tests cannot run (Db2, SQL Server,
# Oracle, MySQL): the SQL types they give every column of types.cpy, the
# longest names each takes, and the columns at and beyond each database's
# decimal limits, where a template must name the largest exact type or let
# tabcopy refuse the column (message DD-255, exit status 12) rather than
# write a type the database rejects.
# Usage: templates_test.sh TABCOPY SOURCE_DIR
set -eu
. "$(dirname "$0")/db_lib.sh"
tabcopy=$1 src=$2

work=$(new_work_dir)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

# columns DDL TABLE: "NAME|TYPE(SIZE)|NULL TEXT" for each column line of
# TABLE, then "KEY|NAME" for each key line.
columns() {
    awk -v table="$2" '
        # Names may be quoted ("ONE" is reserved in Db2): compared bare.
        /^CREATE TABLE / { t = $3; gsub(/["`\[\]]/, "", t); inside = (t == table); keys = 0; next }
        !inside { next }
        /PRIMARY KEY/ { keys = 1; next }
        /^[ ,]  [^ ]/ {
            line = substr($0, 4)
            if (keys) { sub(/ +$/, "", line); print "KEY|" line; next }
            name = line; sub(/ .*/, "", name); gsub(/["`\[\]]/, "", name)
            rest = substr(line, length(name) + 1)
            gsub(/^ +| +$/, "", rest)
            null = ""
            if (rest ~ /NOT NULL$/) { null = "NOT NULL"; sub(/ *NOT NULL$/, "", rest) }
            else if (rest ~ /NULL$/) { null = "NULL"; sub(/ *NULL$/, "", rest) }
            gsub(/ +\(/, "(", rest); gsub(/ +/, " ", rest)
            print name "|" rest "|" null
        }' "$1"
}

failures=0
column=1
for template in db2 sqlserver oracle mysql; do
    column=$((column + 1))
    dir="$work/$template"
    mkdir -p "$dir"
    write_ddl "$tabcopy" "$src" "$template" "$dir" \
        "types.cpy:FILE types DEF TYPES-REC KEYCOLS (T-KEY);"
    # Db2 leaves nullable, its default, unsaid; key columns are NOT NULL.
    nullable=NULL
    [ "$template" = db2 ] && nullable=""
    grep -v '^#' "$here/expected/templates.txt" |
        awk -F'|' -v c="$column" -v nullable="$nullable" '
            { name = $1; type = $c; gsub(/ /, "", name); gsub(/^ +| +$/, "", type)
              print name "|" type "|" (name == "T_KEY" ? "NOT NULL" : nullable) }
            END { print "KEY|T_KEY" }' > "$dir/expected.txt"
    columns "$dir/ddl.sql" TYPES > "$dir/found.txt"
    if ! diff -u "$dir/expected.txt" "$dir/found.txt" >&2; then
        echo "FAILED: the $template template's types for types.cpy (- expected, + found)" >&2
        failures=$((failures + 1))
    fi
done

# template | picture of the field | its SQL type, or "refused" and the type
# name the message must give
while IFS='|' read -r template picture want; do
    case "$template" in '#'* | '') continue ;; esac
    template=$(echo $template) picture=$(echo $picture) want=$(echo $want)
    dir="$work/one-$template-$(echo "$picture" | tr -c 'A-Za-z0-9' '_')"
    mkdir -p "$dir/templates"
    cp "$src/examples/templates/$template.tpl" "$dir/templates/"
    printf '01 ONE-REC.\n   05 ONE-KEY PIC X(4).\n   05 ONE-FIELD PIC %s.\n' "$picture" > "$dir/one.cpy"
    printf 'COBOLDEFSFILE one.cpy\nDDLTEMPLATEFILE templates/%s.tpl\nDDLFILE one.sql PURGE\nFILE one DEF ONE-REC KEYCOLS (ONE-KEY);\n' \
        "$template" > "$dir/run.par"
    status=0
    (cd "$dir" && "$tabcopy" PARAMFILE run.par > out.txt 2>&1) || status=$?
    case "$want" in
    refused*)
        type=${want#refused }
        if [ "$status" -ne 12 ] || ! grep -q "DD-255.* $type\\b" "$dir/out.txt"; then
            echo "FAILED: $template, PIC $picture: expected DD-255 for $type and status 12, got status $status" >&2
            cat "$dir/out.txt" >&2
            failures=$((failures + 1))
        fi ;;
    *)
        found=$(columns "$dir/one.sql" ONE | sed -n 's/^ONE_FIELD|\([^|]*\)|.*/\1/p')
        if [ "$status" -ne 0 ] || [ "$found" != "$want" ]; then
            echo "FAILED: $template, PIC $picture: expected $want, got '$found' (status $status)" >&2
            failures=$((failures + 1))
        fi ;;
    esac
done <<'TABLE'
# the largest exact type, and the first column beyond it
db2       | S9(31)        | DECIMAL(31,0)
db2       | S9(34)        | DECFLOAT(34)
db2       | S9(35)        | refused DECIMAL
db2       | 9(35)         | refused DECIMAL
db2       | V9(40) COMP   | DECFLOAT(34)
sqlserver | S9(38)        | DECIMAL(38,0)
sqlserver | S9(39)        | refused DECIMAL
sqlserver | 9(39)         | refused DECIMAL
sqlserver | V9(38) COMP   | DECIMAL(38,38)
sqlserver | V9(39) COMP   | refused NUMERIC
oracle    | S9(38)        | NUMBER(38,0)
oracle    | S9(39)        | refused DECIMAL
oracle    | 9(39)         | refused DECIMAL
oracle    | V9(127) COMP  | NUMBER(18,127)
oracle    | V9(128) COMP  | refused NUMERIC
mysql     | S9(65)        | DECIMAL(65,0)
mysql     | S9(66)        | refused DECIMAL
mysql     | 9(66)         | refused DECIMAL
mysql     | S9(35)V9(30)  | DECIMAL(65,30)
mysql     | S9(2)V9(31)   | refused DECIMAL
mysql     | V9(30) COMP   | DECIMAL(65,30)
mysql     | V9(31) COMP   | refused NUMERIC
TABLE

# SQL Server's row: a key of 4 bytes and CHAR columns of 4000, 4000 and
# 49 bytes fill its 8053 and stay as they are; one byte more and the first
# of the two largest becomes VARCHAR(4000).
for last in 49 50; do
    dir="$work/row-sqlserver-$last"
    mkdir -p "$dir/templates"
    cp "$src/examples/templates/sqlserver.tpl" "$dir/templates/"
    printf '01 ROW-REC.
   05 R-KEY PIC X(4).
   05 R-A PIC X(4000).
   05 R-B PIC X(4000).
   05 R-C PIC X(%s).
' \
        "$last" > "$dir/row.cpy"
    printf 'COBOLDEFSFILE row.cpy\nDDLTEMPLATEFILE templates/sqlserver.tpl\nDDLFILE row.sql PURGE\nFILE row DEF ROW-REC KEYCOLS (R-KEY);\n' \
        > "$dir/run.par"
    (cd "$dir" && "$tabcopy" PARAMFILE run.par > out.txt 2>&1) || true
    want="CHAR(4000) CHAR(4000) CHAR($last)"
    [ "$last" -eq 50 ] && want="VARCHAR(4000) CHAR(4000) CHAR(50)"
    found=$(columns "$dir/row.sql" ROW | sed -n 's/^R_[ABC]|\([^|]*\)|.*/\1/p' | tr '\n' ' ' | sed 's/ $//')
    if [ "$found" != "$want" ]; then
        echo "FAILED: sqlserver, a row of $((8004 + last)) bytes: expected $want, got '$found'" >&2
        cat "$dir/out.txt" >&2
        failures=$((failures + 1))
    fi
done

# The longest name each template's database takes (MAXNAMELENGTH): a
# column name of that length is written, one character more is refused
# with DD-263 and status 12.
for pair in postgresql:63 mysql:64 db2:128 sqlserver:128 oracle:128; do
    template=${pair%%:*} limit=${pair#*:}
    for length in "$limit" $((limit + 1)); do
        dir="$work/name-$template-$length"
        mkdir -p "$dir/templates"
        cp "$src/examples/templates/$template.tpl" "$dir/templates/"
        name=$(printf 'N%*s' $((length - 1)) '' | tr ' ' 'X')
        printf '01 NAME-REC.\n   05 %s PIC X(4).\n' "$name" > "$dir/name.cpy"
        printf 'COBOLDEFSFILE name.cpy\nDDLTEMPLATEFILE templates/%s.tpl\nDDLFILE name.sql PURGE\nFILE names DEF NAME-REC;\n' \
            "$template" > "$dir/run.par"
        status=0
        (cd "$dir" && "$tabcopy" PARAMFILE run.par > out.txt 2>&1) || status=$?
        want=0
        [ "$length" -gt "$limit" ] && want=12
        if [ "$status" -ne "$want" ] || { [ "$want" -eq 12 ] && ! grep -q "DD-263" "$dir/out.txt"; }; then
            echo "FAILED: $template, a name of $length characters: expected status $want, got $status" >&2
            cat "$dir/out.txt" >&2
            failures=$((failures + 1))
        fi
    done
done
# The load scripts of the databases no test runs, for the rounds data: the
# tables ORDER (a reserved word) and PART-LY quoted as each database
# quotes them.
for load in db2.load.sql sqlserver.load.sql oracle.load.sh; do
    template=${load%%.*}
    write_rounds "$tabcopy" "$src" "$template" "$work/rounds-$template"
    if ! diff -u "$here/expected/rounds_$load" "$work/rounds-$template/ddl.${load#*.}" >&2; then
        echo "FAILED: the $template template's load script (- expected, + found)" >&2
        failures=$((failures + 1))
    fi
done
# The Oracle script runs under sh: a stand-in sqlldr shows what it was
# given, and each control file is the one the script holds.
mkdir "$work/bin"
printf '#!/bin/sh\necho "sqlldr $*"\n' > "$work/bin/sqlldr"
chmod +x "$work/bin/sqlldr"
(cd "$work/rounds-oracle" && ORACLE_USERID=u/p PATH="$work/bin:$PATH" sh ddl.load.sh > sqlldr.out) &&
    printf 'sqlldr userid=u/p control=%s.csv.ctl\n' ORDER PART-LY | cmp -s - "$work/rounds-oracle/sqlldr.out" &&
    sed -n '2,8p' "$here/expected/rounds_oracle.load.sh" | cmp -s - "$work/rounds-oracle/ORDER.csv.ctl" || {
    echo "FAILED: the Oracle load script did not write ORDER.csv.ctl and run sqlldr for both tables" >&2
    failures=$((failures + 1))
}

[ "$failures" -eq 0 ] || fail "$failures template checks"
echo "passed: the Db2, SQL Server, Oracle and MySQL templates, and the load scripts of the first three"
