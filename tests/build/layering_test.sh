#!/bin/sh
# The libraries depend downward only: kvstd, then kvlog, then kvapp, then
# tabform. A source file that includes a header of a library above its own
# would bring the cycle back; so would a link to one.
set -u
src=$1/src
status=0
check() {  # check LIB HEADER-PREFIX...
    lib=$1
    shift
    for above in "$@"; do
        found=$(grep -rln "#include \"$above/" "$src/kvlib/$lib" 2>/dev/null)
        if [ -n "$found" ]; then
            echo "$lib includes a header of $above:" $found
            status=1
        fi
    done
}
check kvstd kvlog kvapp tabform
check kvlog kvapp tabform
check kvapp tabform
if grep -rn "LINK_INTERFACE_MULTIPLICITY" "$1" --include=CMakeLists.txt; then
    echo "a library cycle is linked around"
    status=1
fi
exit $status
