#!/bin/sh
# Installs tabcopy into a temporary prefix and runs the installed example
# the way the README tells a user to: the installed program through PATH,
# on a copy of share/tabcopy/examples in a directory of its own.
#
#   install_test.sh <cmake> <build-dir> <built tabcopy> <source examples dir>
#
# The installed run must write the same DDL as the built program writes for
# the source tree's example; only the header's creation time may differ.
set -u
cmake=$1
build=$2
built=$3
examples=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/tabcopy-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }

for f in bin/tabcopy share/tabcopy/tabcopy.dat \
         share/tabcopy/templates/postgresql.tpl share/tabcopy/templates/sqlite.tpl \
         share/tabcopy/examples/example.par share/tabcopy/examples/templates/postgresql.tpl \
         share/doc/tabcopy/guide.md share/doc/tabcopy/messages.md share/doc/tabcopy/copyright \
         share/man/man1/tabcopy.1.gz share/doc/tabcopy/changelog.gz; do
    [ -f "$prefix/$f" ] || fail "not installed: $f"
done
[ -x "$prefix/bin/tabcopy" ] || fail "bin/tabcopy is not executable"
# The catalogue must be the one built with the program: a stale one is
# refused at the first message.
cmp -s "$prefix/share/tabcopy/tabcopy.dat" "$(dirname "$built")/tabcopy.dat" ||
    fail "share/tabcopy/tabcopy.dat differs from the built catalogue"
# Debian's layout: nothing but programs in bin/.
[ "$(ls "$prefix/bin")" = "tabcopy" ] || fail "bin/ holds more than the program: $(ls "$prefix/bin")"

# The reference: the built program on the source tree's example.
mkdir "$work/reference"
cp -r "$examples/." "$work/reference/"
(cd "$work/reference" && "$built" PARAMFILE example.par >stdout.txt 2>&1) ||
    fail "the built program failed on the source example"

# The installed program, from a working directory far from both trees,
# with no catalogue in it: it must find tabcopy.dat in ../share/tabcopy.
cp -r "$prefix/share/tabcopy/examples" "$work/run"
cd "$work/run" || exit 2
PATH="$prefix/bin:$PATH" tabcopy PARAMFILE example.par REPORTFILE example.rpt >stdout.txt 2>stderr.txt
status=$?
[ "$status" -eq 0 ] || fail "installed run: status $status"
[ -s stderr.txt ] && { fail "installed run wrote to standard error"; cat stderr.txt; }
grep -q "CREATE TABLE" example.sql 2>/dev/null || fail "installed run: example.sql has no CREATE TABLE"
grep -q "^Definitions generated for " example.rpt 2>/dev/null || fail "installed run: no summary in the report"
# The header's second line carries the creation time.
sed '2d' "$work/reference/example.sql" >"$work/reference.body" 2>/dev/null
sed '2d' example.sql >"$work/installed.body" 2>/dev/null
cmp -s "$work/reference.body" "$work/installed.body" || {
    fail "installed run: the DDL differs from the built program's"
    diff "$work/reference.body" "$work/installed.body" | head -20
}

[ "$failures" -eq 0 ] && echo "installed into $prefix; the installed example wrote $(grep -c 'CREATE TABLE' example.sql) tables, the same DDL as the built program"
[ "$failures" -eq 0 ]
