/* floor: the cheapest way to write a DDL file: copy it line by line
 * through stdio, as any program that streams its output must. bench/run
 * times this copy of tabcopy's own output in the same run and gives
 * tabcopy's CPU time as a multiple of it.
 *
 * Usage: floor <in> <out> */
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    FILE* in = fopen(argv[1], "r");
    FILE* out = fopen(argv[2], "w");
    if (!in || !out) return 1;
    char line[65536];
    while (fgets(line, sizeof line, in))
        if (fputs(line, out) == EOF) return 1;
    return ferror(in) || fclose(out) != 0;
}
