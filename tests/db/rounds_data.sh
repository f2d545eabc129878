#!/bin/sh
# Writes the committed fixtures rounds.dat and rounds.v (rounds.cpy, code
# page 037) into DIR, byte for byte; db_lib.sh checks that they still
# match. The values that each record must give back are in
# expected/rounds_*.txt.
# Usage: rounds_data.sh DIR
set -eu
. "$(dirname "$0")/db_lib.sh"
cd "$1"

# rounds.dat, FIXED, 61 bytes a record; every record is a row.
{
    # 1: R-NAME José, GROUP £¬, R-ZONED +00150 and R-PACKED +0000150
    # (1.50), R-BIG -123456789012345.67, R-HALF FED4 (-300), R-FULL
    # 075BCD15 (123456789, 1234567.89), R-SHORT 0.8 x 16^0 (0.5), R-LONG
    # -0.76A x 16^2 (-118.625), R-QTY 01 12 07, R-NOTE "\',
    b F0 F0 F0 F1  D1 96 A2 51; sp 4; b B1 5F; sp 1
    b F0 F0 F1 F5 C0  00 00 15 0C  12 34 56 78 90 12 34 56 7D  FE D4  07 5B CD 15
    b 40 80 00 00  C2 76 A0 00 00 00 00 00  F0 F1 F1 F2 F0 F7  7F E0 7D 6B
    # 2: text of spaces (empty strings); numbers of spaces, low-values and
    # high-values (NULL); binary and float zeros; R-FULL FFFFFFF9 (-0.07)
    b F0 F0 F0 F2; sp 20; b 00 00 00 00 00 00 00 00 00  00 00  FF FF FF F9
    b 00 00 00 00  00 00 00 00 00 00 00 00; sp 2; b FF FF 00 00; sp 4
    # 3: R-NAME AÀ¢ñáü, GROUP X, R-ZONED -00005 (-0.05), R-PACKED -12345.67,
    # R-BIG +0.01, R-HALF 7FFF, R-FULL C4653601 (-999999999), R-SHORT
    # -0.24 x 16^1 (-2.25), R-LONG 0.8 x 16^-2 (0.001953125), R-QTY 99 00 05,
    # R-NOTE !?
    b F0 F0 F0 F3  C1 64 4A 49 45 DC; sp 2; b E7; sp 2
    b F0 F0 F0 F0 D5  12 34 56 7D  00 00 00 00 00 00 00 00 1C  7F FF  C4 65 36 01
    b C1 24 00 00  3E 80 00 00 00 00 00 00  F9 F9 F0 F0 F0 F5  5A 6F; sp 2
    # 4: R-NAME Zürich, GROUP ABC, negative zeros (zoned D0, packed 0D),
    # R-BIG with the unsigned sign F, R-HALF 8000 (-32768), R-SHORT 0.64 x
    # 16^2 (100), R-LONG -0.1 x 16^1 (-1), R-NOTE "a b" (the inner space kept)
    b F0 F0 F0 F4  E9 DC 99 89 83 88; sp 2; b C1 C2 C3
    b F0 F0 F0 F0 D0  00 00 00 0D  99 99 99 99 99 99 99 99 9F  80 00  00 00 00 00
    b 42 64 00 00  C1 10 00 00 00 00 00 00  F1 F0 F2 F0 F3 F0  81 40 82; sp 1
    # 5, read back in hexadecimal: R-NAME A, tab, B, LF, C, CR, \, D; GROUP
    # ","; R-NOTE \N (text, not NULL); numbers of spaces and zeros
    b F0 F0 F0 F5  C1 05 C2 25 C3 0D E0 C4  7F 6B 7F; sp 18
    b 00 00  00 00 00 00  00 00 00 00  00 00 00 00 00 00 00 00; sp 6; b E0 D5; sp 2
} > rounds.dat

# The fields after R-ID of a good record: R-NAME Ok, GROUP spaces, 0.10
# zoned, packed and binary, R-BIG +0.00, R-HALF 1, R-SHORT 1, R-LONG 2,
# R-QTY 01 02 03, R-NOTE spaces. good PACKED-DIGITS QTY-2 [short]: with
# those bytes in R-PACKED's third byte and R-QTY-2; short stops after
# R-QTY-1 (53 bytes).
good() {
    b D6 92; sp 9; b F0 F0 F0 F1 C0  00 00 "$1" 0C  00 00 00 00 00 00 00 00 0C
    b 00 01  00 00 00 0A  41 10 00 00  41 20 00 00 00 00 00 00  F0 F1
    [ "${3-}" = short ] || { b $2 F0 F3; sp 4; }
}
# rounds.v, FRAMING V: each record behind its descriptor word (its length
# with the word's 4 bytes, big-endian, then 00 00).
{
    b 00 41 00 00  F0 F0 F1 F1; good 01 'F0 F2'
    # 12: rejected, the digit nibble A in R-PACKED
    b 00 41 00 00  F0 F0 F1 F2; good 0A 'F0 F2'
    # 13: 12 bytes: R-NAME of spaces, every later column NULL
    b 00 10 00 00  F0 F0 F1 F3; sp 8
    # rejected: R-ID of spaces, NULL in the key column
    b 00 41 00 00; sp 4; good 01 'F0 F2'
    # 15: rejected, an embedded space in R-QTY-2 (F0 40)
    b 00 41 00 00  F0 F0 F1 F5; good 01 'F0 40'
    # 16: 53 bytes: R-QTY-2, R-QTY-3 and R-NOTE NULL
    b 00 39 00 00  F0 F0 F1 F6; good 01 - short
} > rounds.v
