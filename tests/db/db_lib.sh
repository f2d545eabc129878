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
