#!/bin/sh
# Writes the committed fixtures orders.v and orders.fix (orders.cpy, code
# page 037) into DIR, byte for byte; db_lib.sh checks that they still
# match. The rows each record must give are in expected/orders_*.txt.
# Usage: orders_data.sh DIR
set -eu
. "$(dirname "$0")/db_lib.sh"
cd "$1"

# An order is O, O-ID, O-COUNT, then O-COUNT lines of L-ITEM, L-QTY and
# two L-MARKs (7 bytes each), then O-TOTAL and O-NOTE (length, 10 bytes):
# 22 bytes and 7 a line.
order1() {
    # 0001, 2 lines: AB1 +5, marks x and y; CD2 -12, marks z and a space
    # (an empty string). O-TOTAL +123.45; O-NOTE of length 5, "Hi yo":
    # the ZZZZZ past its length is never read.
    b D6 F0 F0 F0 F1 F2  C1 C2 F1 00 5C A7 A8  C3 C4 F2 01 2D A9 40
    b 00 12 34 5C  00 05 C8 89 40 A8 96 E9 E9 E9 E9 E9
}
order2() {
    # 0002, 1 line: EF3 +999, marks a and b. O-TOTAL -0.50; O-NOTE of
    # length 0, an empty string (not NULL) though "Gone" follows.
    b D6 F0 F0 F0 F2 F1  C5 C6 F3 99 9C 81 82
    b 00 00 05 0D  00 00 C7 96 95 85; sp 6
}
order3() {
    # 0003, 3 lines: GH4 +1 c d, IJ5 +2 e f, then KL6 with the digit nibble
    # A in L-QTY (0A 3C): rejected, though the order and its first lines
    # and marks were good: none of them may become a row. O-TOTAL +0.60,
    # O-NOTE "Bad".
    b D6 F0 F0 F0 F3 F3  C7 C8 F4 00 1C 83 84  C9 D1 F5 00 2C 85 86  D2 D3 F6 0A 3C 87 88
    b 00 00 06 0C  00 03 C2 81 84; sp 7
}
order4() {
    # 0004, 3 lines: MN7 -0 (written 0), marks 1 and 2; OP8 +100, marks of
    # spaces; QR9 -999, marks $ and *. O-TOTAL +0.00; O-NOTE of length 10,
    # the whole "Full note!".
    b D6 F0 F0 F0 F4 F3  D4 D5 F7 00 0D F1 F2  D6 D7 F8 10 0C 40 40  D8 D9 F9 99 9D 5B 5C
    b 00 00 00 0C  00 0A C6 A4 93 93 40 95 96 A3 85 5A
}
# T, T-COUNT 0003.
trailer() { b E3 F0 F0 F0 F3; }

# orders.v, FRAMING V: each record behind its descriptor word (its length
# with the word's 4 bytes, big-endian, then 00 00): 36 + 4 bytes, 29 + 4,
# the record X0009 (which meets no WHEN condition: rejected), 43 + 4 twice,
# and the trailer.
{
    b 00 28 00 00; order1
    b 00 21 00 00; order2
    b 00 09 00 00  E7 F0 F0 F0 F9
    b 00 2F 00 00; order3
    b 00 2F 00 00; order4
    b 00 09 00 00; trailer
} > orders.v
# orders.fix, FIXED with ODO COMPACT: the same orders and trailer, each only
# as long as its type and O-COUNT make it (36, 29, 43, 43 and 5 bytes).
{ order1; order2; order3; order4; trailer; } > orders.fix
