/* datafloor: the floor of a data conversion: read the file and map every
 * byte through a 256-entry table into a buffer written to /dev/null, as
 * the cheapest conversion of any data must. bench/data times it on the
 * same file in the same run and gives tabcopy's speed as a fraction of it.
 *
 * PASSES reads it that many times over (the floor of one pass is then the
 * time divided by them: one pass alone is too short to time to 1 %).
 *
 * Usage: datafloor <in> [PASSES] */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) return 2;
    const int passes = argc == 3 ? atoi(argv[2]) : 1;
    FILE* in = fopen(argv[1], "rb");
    FILE* out = fopen("/dev/null", "wb");
    if (!in || !out) return 1;
    static unsigned char table[256];
    for (int i = 0; i < 256; ++i) table[i] = (unsigned char)(255 - i);
    enum { kChunk = 1 << 20 };
    unsigned char* buffer = malloc(kChunk);
    unsigned char* mapped = malloc(kChunk);
    if (!buffer || !mapped) return 1;
    size_t got;
    for (int p = 0; p < passes; ++p) {
        rewind(in);
        while ((got = fread(buffer, 1, kChunk, in)) > 0) {
            for (size_t i = 0; i < got; ++i) mapped[i] = table[buffer[i]];
            if (fwrite(mapped, 1, got, out) != got) return 1;
        }
    }
    return ferror(in) || fclose(out) != 0;
}
