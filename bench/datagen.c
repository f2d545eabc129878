/* datagen: the data files of bench/data, in code page 037: N records of
 * one of the three shapes its copybooks describe (text, packed, customer),
 * the values varying from record to record so that no branch predicts
 * them all. Writes the copybook with -c. FRAMING V or VB writes each record
 * behind its descriptor word (VB: in blocks of up to 32760 bytes), customer
 * records then 260 to 300 bytes long (their note cut short); BAD n makes
 * every n-th record one the decoder rejects (a packed digit nibble of C).
 *
 * Usage: datagen text|packed|customer RECORDS OUT [FIXED|V|VB] [BAD n]
 *        datagen -c SHAPE */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const unsigned char kE[128] = {
    /* ASCII 0x20-0x7E to code page 037, the rest 0x40 */
    ['A'] = 0xC1, ['B'] = 0xC2, ['C'] = 0xC3, ['D'] = 0xC4, ['E'] = 0xC5, ['F'] = 0xC6, ['G'] = 0xC7,
    ['H'] = 0xC8, ['I'] = 0xC9, ['J'] = 0xD1, ['K'] = 0xD2, ['L'] = 0xD3, ['M'] = 0xD4, ['N'] = 0xD5,
    ['O'] = 0xD6, ['P'] = 0xD7, ['Q'] = 0xD8, ['R'] = 0xD9, ['S'] = 0xE2, ['T'] = 0xE3, ['U'] = 0xE4,
    ['V'] = 0xE5, ['W'] = 0xE6, ['X'] = 0xE7, ['Y'] = 0xE8, ['Z'] = 0xE9, ['a'] = 0x81, ['b'] = 0x82,
    ['c'] = 0x83, ['d'] = 0x84, ['e'] = 0x85, ['f'] = 0x86, ['g'] = 0x87, ['h'] = 0x88, ['i'] = 0x89,
    ['j'] = 0x91, ['k'] = 0x92, ['l'] = 0x93, ['m'] = 0x94, ['n'] = 0x95, ['o'] = 0x96, ['p'] = 0x97,
    ['q'] = 0x98, ['r'] = 0x99, ['s'] = 0xA2, ['t'] = 0xA3, ['u'] = 0xA4, ['v'] = 0xA5, ['w'] = 0xA6,
    ['x'] = 0xA7, ['y'] = 0xA8, ['z'] = 0xA9, ['0'] = 0xF0, ['1'] = 0xF1, ['2'] = 0xF2, ['3'] = 0xF3,
    ['4'] = 0xF4, ['5'] = 0xF5, ['6'] = 0xF6, ['7'] = 0xF7, ['8'] = 0xF8, ['9'] = 0xF9, [' '] = 0x40,
    ['.'] = 0x4B, ['-'] = 0x60, ['/'] = 0x61,
};

static unsigned long long seed = 88172645463325252ULL;
static unsigned long long next(void) {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
}

static const char* const kWords[] = {"Anderson", "Berg", "Costa", "Dubois", "Eriksen", "Fischer", "Garcia",
                                     "Hansen", "Ivanova", "Jensen", "Kowalski", "Larsen", "Moreau", "Nielsen",
                                     "Olsen", "Petrov", "Quinn", "Rossi", "Schmidt", "Tanaka", "Main Street",
                                     "Oak Avenue", "High Road", "Station Lane", "Harbour View", "Mill Close"};

/* Text of a random word, space-padded to n bytes. */
static void text(unsigned char* p, int n) {
    const char* w = kWords[next() % (sizeof kWords / sizeof kWords[0])];
    int i = 0;
    for (; w[i] && i < n; ++i) p[i] = kE[(int)w[i]];
    for (; i < n; ++i) p[i] = 0x40;
}

static void zoned(unsigned char* p, int n, int is_signed) {
    for (int i = 0; i < n; ++i) p[i] = (unsigned char)(0xF0 + next() % 10);
    if (is_signed && next() % 4 == 0) p[n - 1] = (unsigned char)(0xD0 | (p[n - 1] & 0xF));
}

static void packed(unsigned char* p, int n) {
    for (int i = 0; i < n - 1; ++i) p[i] = (unsigned char)((next() % 10) << 4 | next() % 10);
    p[n - 1] = (unsigned char)((next() % 10) << 4 | (next() % 3 == 0 ? 0xD : 0xC));
}

static void binary(unsigned char* p, int n) {
    for (int i = 0; i < n; ++i) p[i] = (unsigned char)next();
    p[0] &= 0x3F;
}

/* text: 10 names and addresses of 30 bytes: 300 bytes. */
static int text_record(unsigned char* r) {
    for (int i = 0; i < 10; ++i) text(r + 30 * i, 30);
    return 300;
}

/* packed: 30 amounts S9(13)V99 COMP-3 of 8 bytes: 240 bytes. */
static int packed_record(unsigned char* r) {
    for (int i = 0; i < 30; ++i) packed(r + 8 * i, 8);
    return 240;
}

/* customer: the 300-byte record of a customer file. */
static int customer_record(unsigned char* r) {
    int at = 0;
    zoned(r + at, 10, 0); at += 10;          /* CUST-ID 9(10) */
    text(r + at, 30); at += 30;              /* CUST-NAME X(30) */
    text(r + at, 30); at += 30;              /* CUST-STREET X(30) */
    text(r + at, 20); at += 20;              /* CUST-CITY X(20) */
    text(r + at, 10); at += 10;              /* CUST-ZIP X(10) */
    text(r + at, 2); at += 2;                /* CUST-COUNTRY X(2) */
    zoned(r + at, 8, 0); at += 8;            /* CUST-OPENED 9(8) */
    zoned(r + at, 8, 0); at += 8;            /* CUST-BIRTH 9(8) */
    for (int i = 0; i < 6; ++i) { packed(r + at, 7); at += 7; }  /* CUST-BALANCE S9(11)V99 COMP-3 x6 */
    for (int i = 0; i < 4; ++i) { binary(r + at, 4); at += 4; }  /* CUST-COUNT S9(9) COMP x4 */
    zoned(r + at, 9, 1); at += 9;            /* CUST-LIMIT S9(7)V99 */
    text(r + at, 40); at += 40;              /* CUST-EMAIL X(40) */
    text(r + at, 20); at += 20;              /* CUST-PHONE X(20) */
    for (int i = 0; i < 3; ++i) { packed(r + at, 5); at += 5; }  /* CUST-RATE S9(5)V9(4) COMP-3 x3 */
    text(r + at, 300 - at);                  /* CUST-NOTE */
    return 300;
}

static const char* copybook(const char* shape) {
    if (!strcmp(shape, "text"))
        return "01 TEXT-REC.\n   05 T-NAME PIC X(30) OCCURS 10.\n";
    if (!strcmp(shape, "packed"))
        return "01 PACKED-REC.\n   05 P-AMOUNT PIC S9(13)V99 COMP-3 OCCURS 30.\n";
    return "01 CUSTOMER-REC.\n   05 CUST-ID PIC 9(10).\n   05 CUST-NAME PIC X(30).\n"
           "   05 CUST-STREET PIC X(30).\n   05 CUST-CITY PIC X(20).\n   05 CUST-ZIP PIC X(10).\n"
           "   05 CUST-COUNTRY PIC X(2).\n   05 CUST-OPENED PIC 9(8).\n   05 CUST-BIRTH PIC 9(8).\n"
           "   05 CUST-BALANCE PIC S9(11)V99 COMP-3 OCCURS 6.\n   05 CUST-COUNT PIC S9(9) COMP OCCURS 4.\n"
           "   05 CUST-LIMIT PIC S9(7)V99.\n   05 CUST-EMAIL PIC X(40).\n   05 CUST-PHONE PIC X(20).\n"
           "   05 CUST-RATE PIC S9(5)V9(4) COMP-3 OCCURS 3.\n   05 CUST-NOTE PIC X(40).\n";
}

static void put_word(unsigned char* p, long n) {
    p[0] = (unsigned char)(n >> 8);
    p[1] = (unsigned char)n;
    p[2] = p[3] = 0;
}

/* The block being filled (VB) and the file. */
static unsigned char block[32760];
static long block_used = 0;

static int flush_block(FILE* out) {
    if (block_used == 0) return 1;
    put_word(block, block_used);
    int ok = fwrite(block, 1, (size_t)block_used, out) == (size_t)block_used;
    block_used = 0;
    return ok;
}

int main(int argc, char** argv) {
    if (argc == 3 && !strcmp(argv[1], "-c")) {
        fputs(copybook(argv[2]), stdout);
        return 0;
    }
    if (argc < 4) return 2;
    const char* framing = argc > 4 ? argv[4] : "FIXED";
    const long long bad = argc > 6 && !strcmp(argv[5], "BAD") ? atoll(argv[6]) : 0;
    const int v = !strcmp(framing, "V"), vb = !strcmp(framing, "VB");
    const long long records = atoll(argv[2]);
    FILE* out = fopen(argv[3], "wb");
    if (!out) return 1;
    unsigned char r[516];
    for (long long i = 0; i < records; ++i) {
        unsigned char* body = r + 4;
        int n = !strcmp(argv[1], "text") ? text_record(body) : !strcmp(argv[1], "packed") ? packed_record(body)
                                                                                          : customer_record(body);
        if (bad && (i + 1) % bad == 0) body[n > 130 ? 130 : 0] = 0xCC;
        if ((v || vb) && !strcmp(argv[1], "customer")) n -= (int)(next() % 41);
        if (!v && !vb) {
            if (fwrite(body, 1, (size_t)n, out) != (size_t)n) return 1;
            continue;
        }
        put_word(r, n + 4);
        if (v) {
            if (fwrite(r, 1, (size_t)n + 4, out) != (size_t)n + 4) return 1;
            continue;
        }
        if (block_used == 0) block_used = 4;
        if (block_used + n + 4 > (long)sizeof block) {
            if (!flush_block(out)) return 1;
            block_used = 4;
        }
        memcpy(block + block_used, r, (size_t)n + 4);
        block_used += n + 4;
    }
    if (vb && !flush_block(out)) return 1;
    return fclose(out) != 0;
}
