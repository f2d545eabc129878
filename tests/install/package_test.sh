#!/bin/sh
# Builds the Debian package of the build and checks it as Debian does:
# lintian must report no error, and bin/ must hold nothing but the program.
#
#   package_test.sh <cpack> <build-dir>
#
# Exit status 77 means skipped (lintian is not installed).
set -u
cpack=$1
build=$2
command -v lintian >/dev/null 2>&1 || { echo "skipped: lintian is not installed (Debian package lintian)"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tabcopy-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$build" && "$cpack" -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$work"/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL: cpack made no .deb"; exit 1; }
failures=0
in_bin=$(dpkg -c "$deb" | awk '{print $6}' | grep '^\./usr/bin/.' | tr '\n' ' ')
[ "$in_bin" = "./usr/bin/tabcopy " ] || { echo "FAIL: usr/bin holds $in_bin"; failures=$((failures + 1)); }
lintian --pedantic "$deb" >"$work/lintian.txt" 2>&1
grep -v 'root privileges' "$work/lintian.txt"
if grep -q '^E:' "$work/lintian.txt"; then
    echo "FAIL: lintian reports errors"
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "passed: $(basename "$deb"), lintian reports no error"
[ "$failures" -eq 0 ]
