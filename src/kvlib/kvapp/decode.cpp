// decode: one record into one row, field by field, through the plan's
// tables.
//
// Invariants: before a record is decoded the row buffer has room for the
// plan's row bound and the digit scratch beyond it, so no write below
// checks for room; a field that fails leaves no text behind (the row is
// cut back to where the field began); a number's text is built from its
// digits alone (never through a binary floating value), so every digit
// and the scale survive.
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "kvapp/decplan.h"

namespace {

// A field whose bytes say "no value": spaces, low-values or high-values
// only. Not a fault: the options decide what it becomes.
constexpr dp_fault kEmpty = static_cast<dp_fault>(0xFF);

// The row being written: `out` is where the next byte goes. The buffer's
// room was reserved for the whole row before it began.
struct writer {
    const dp_plan& plan;
    char* out;
    char* scratch;  // digits gathered before they are written

    bool csv() const { return plan.options.format == dp_row_format::csv; }
    void put(char c) { *out++ = c; }
    void put(const char* text, size_t n) {
        std::memcpy(out, text, n);
        out += n;
    }

    void null_value() {
        if (csv()) put(plan.options.null_text.data(), plan.options.null_text.size());
        else put("\\N", 2);
    }
};

bool all_bytes(const uint8_t* p, size_t n, uint8_t b) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != b) return false;
    return true;
}

bool is_empty_number(const writer& w, const uint8_t* p, size_t n) {
    if (n == 0) return false;
    const uint8_t first = p[0];
    if (first != w.plan.codepage.space && first != 0x00 && first != 0xFF) return false;
    return all_bytes(p, n, first);
}

// ---- text ---------------------------------------------------------------

// The length of the text without its trailing spaces, eight bytes at a
// time while they are all spaces.
size_t trimmed(const uint8_t* p, size_t n, uint8_t space, bool keep) {
    if (keep) return n;
    const uint64_t spaces = 0x0101010101010101ULL * space;
    while (n >= 8) {
        uint64_t tail;
        std::memcpy(&tail, p + n - 8, 8);
        if (tail != spaces) break;
        n -= 8;
    }
    while (n > 0 && p[n - 1] == space) --n;
    return n;
}

// Writes one character's UTF-8 bytes the careful way: quotes doubled in
// CSV, escapes in the text formats.
dp_fault put_careful_char(writer& w, const char* bytes, size_t length) {
    if (length == 1) {
        const char c = bytes[0];
        if (w.csv()) {
            if (c == '"') w.put('"');
            if (c == '\0' && w.plan.options.refuse_nul) return dp_fault::nul_character;
        } else {
            const char* escape = nullptr;
            switch (c) {
            case '\\': escape = "\\\\"; break;
            case '\t': escape = "\\t"; break;
            case '\n': escape = "\\n"; break;
            case '\r': escape = "\\r"; break;
            case '\0':
                if (w.plan.options.refuse_nul || w.plan.options.format == dp_row_format::pg_text)
                    return dp_fault::nul_character;
                escape = "\\0";
                break;
            default: break;
            }
            if (escape) {
                w.put(escape, 2);
                return dp_fault::none;
            }
        }
    }
    w.put(bytes, length);
    return dp_fault::none;
}

bool csv_needs_quotes(const char* text, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (text[i] == ',' || text[i] == '"' || text[i] == '\r' || text[i] == '\n') return true;
    return false;
}

// Writes UTF-8 text already valid, the careful way. In CSV, a value with a
// separator, quote or line end goes in quotes; an empty one is "" (an
// empty field unquoted is NULL).
dp_fault put_utf8_careful(writer& w, const char* text, size_t n) {
    const bool quote = w.csv() && (n == 0 || csv_needs_quotes(text, n));
    if (quote) w.put('"');
    for (size_t i = 0; i < n;) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const dp_fault fault = put_careful_char(w, text + i, length);
        if (fault != dp_fault::none) return fault;
        i += length;
    }
    if (quote) w.put('"');
    return dp_fault::none;
}

// Code-page text the careful way: every byte mapped, then written as UTF-8.
dp_fault put_mapped_careful(writer& w, const uint8_t* p, size_t n) {
    // Mapped first into the scratch, so that quoting can be decided.
    char* out = w.scratch;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t e = w.plan.text[p[i]];
        const size_t length = (e >> kDpLengthShift) & 7;
        if (length == 0) return dp_fault::unmappable;
        std::memcpy(out, &e, 4);
        out += length;
    }
    return put_utf8_careful(w, w.scratch, static_cast<size_t>(out - w.scratch));
}

dp_fault put_utf8_field(writer& w, const uint8_t* p, size_t n) {
    if (kvUtf8ValidPrefix(p, n) != n) return dp_fault::bad_utf8;
    return put_utf8_careful(w, reinterpret_cast<const char*>(p), n);
}

// The fast path: each byte's UTF-8 bytes stored four at a time; a byte that
// needs care sends the whole field to the careful path.
dp_fault put_text(writer& w, const uint8_t* p, size_t n) {
    n = trimmed(p, n, w.plan.codepage.space, w.plan.options.keep_spaces);
    if (w.plan.codepage.utf8) return put_utf8_field(w, p, n);
    char* const start = w.out;
    char* out = start;
    uint32_t seen = 0;
    // The table in a local: a store through `out` could otherwise be taken
    // to change where the plan keeps it.
    const uint32_t* const table = w.plan.text;
    size_t i = 0;
    // Eight bytes at a time while each maps to one UTF-8 byte (letters,
    // digits, spaces): one store for the eight.
    for (; i + 8 <= n; i += 8) {
        uint32_t e[8];
        for (int j = 0; j < 8; ++j) e[j] = table[p[i + j]];
        const uint32_t any = e[0] | e[1] | e[2] | e[3] | e[4] | e[5] | e[6] | e[7];
        const uint32_t all = e[0] & e[1] & e[2] & e[3] & e[4] & e[5] & e[6] & e[7];
        seen |= any;
        if (((any >> kDpLengthShift) & 7) == 1 && ((all >> kDpLengthShift) & 1)) {
            uint64_t word = 0;
            for (int j = 7; j >= 0; --j) word = word << 8 | (e[j] & 0xFF);
            std::memcpy(out, &word, 8);
            out += 8;
            continue;
        }
        for (int j = 0; j < 8; ++j) {
            std::memcpy(out, &e[j], 4);
            out += (e[j] >> kDpLengthShift) & 7;
        }
    }
    for (; i < n; ++i) {
        const uint32_t e = table[p[i]];
        std::memcpy(out, &e, 4);
        out += (e >> kDpLengthShift) & 7;
        seen |= e;
    }
    if (seen & kDpSlow) return put_mapped_careful(w, p, n);
    if (n == 0 && w.csv()) {
        *out++ = '"';
        *out++ = '"';
    }
    w.out = out;
    return dp_fault::none;
}

// UTF-16 big-endian, trailing spaces removed.
dp_fault put_national(writer& w, const uint8_t* p, size_t n) {
    n &= ~static_cast<size_t>(1);
    if (!w.plan.options.keep_spaces)
        while (n >= 2 && p[n - 2] == 0 && p[n - 1] == 0x20) n -= 2;
    char* out = w.scratch;
    for (size_t i = 0; i < n; i += 2) {
        uint32_t code = static_cast<uint32_t>(p[i]) << 8 | p[i + 1];
        if (code >= 0xDC00 && code <= 0xDFFF) return dp_fault::bad_utf16;
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (i + 4 > n) return dp_fault::bad_utf16;
            const uint32_t low = static_cast<uint32_t>(p[i + 2]) << 8 | p[i + 3];
            if (low < 0xDC00 || low > 0xDFFF) return dp_fault::bad_utf16;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        if (code < 0x80) {
            *out++ = static_cast<char>(code);
        } else if (code < 0x800) {
            *out++ = static_cast<char>(0xC0 | code >> 6);
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *out++ = static_cast<char>(0xE0 | code >> 12);
            *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *out++ = static_cast<char>(0xF0 | code >> 18);
            *out++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
            *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return put_utf8_careful(w, w.scratch, static_cast<size_t>(out - w.scratch));
}

uint64_t load_unsigned(const uint8_t* p, size_t n, bool little) {
    uint64_t v = 0;
    if (little)
        for (size_t i = n; i-- > 0;) v = v << 8 | p[i];
    else
        for (size_t i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}

// DISPLAY-2 or a level-49 pair: a 2-byte length, then that many
// characters of text.
dp_fault put_varchar(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
    if (n < 2) return dp_fault::cut_short;
    const size_t length = static_cast<size_t>(load_unsigned(p, 2, f.little));
    if (f.sign == CD_SIGN_COMPLEMENT && length >= 0x8000) return dp_fault::negative_length;
    if (length > static_cast<size_t>(f.text_max)) return dp_fault::bad_length;
    if (2 + length > n) return dp_fault::cut_short;
    return put_text(w, p + 2, length);
}

// ---- numbers --------------------------------------------------------------

// Writes a number whose n decimal digits digit_at(i) gives as characters.
// Digits are read one at a time, never in wider moves than they were
// written with, so none waits for a store to settle.
template <typename DigitAt>
inline void put_digits(writer& w, size_t n, const DigitAt& digit_at, bool negative, size_t scale, size_t p_scale) {
    const size_t integer_end = n > scale ? n - scale : 0;
    size_t first = 0;
    while (first < n && digit_at(first) == '0') ++first;
    char* out = w.out;
    *out = '-';
    out += negative && first < n;
    if (first < integer_end) {
        for (size_t i = first; i < integer_end; ++i) *out++ = digit_at(i);
        if (p_scale) {
            std::memset(out, '0', p_scale);
            out += p_scale;
        }
    } else {
        *out++ = '0';
    }
    if (scale) {
        *out++ = '.';
        if (scale > n) {
            std::memset(out, '0', scale - n);
            out += scale - n;
        }
        for (size_t i = integer_end; i < n; ++i) *out++ = digit_at(i);
    }
    w.out = out;
}

// Writes the number whose decimal digits (ASCII, leading zeros allowed)
// are digits[0, n), with `scale` of them after the point and `p_scale`
// zeros that P positions add: an optional minus, the integer digits
// without leading zeros (a single 0 when there are none), then the point
// and exactly `scale` digits. Zero is never negative.
inline void put_number(writer& w, const char* digits, size_t n, bool negative, size_t scale, size_t p_scale) {
    put_digits(w, n, [digits](size_t i) { return digits[i]; }, negative, scale, p_scale);
}

// Zero with the field's scale, for EMPTY ZERO.
void put_zero(writer& w, const dp_field& f) {
    put_number(w, "0", 1, false, static_cast<size_t>(f.scale), 0);
}

// The n <= 8 bytes at p as a big-endian number, read with loads of 4, 2
// and 1 bytes that may overlap (an overlapped byte lands in the same place
// from both).
inline uint64_t load_big_endian(const uint8_t* p, size_t n) {
    uint32_t a, b;
    uint16_t c, d;
    if (n >= 4) {
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + n - 4, 4);
        return static_cast<uint64_t>(__builtin_bswap32(a)) << (8 * (n - 4)) | __builtin_bswap32(b);
    }
    if (n >= 2) {
        std::memcpy(&c, p, 2);
        std::memcpy(&d, p + n - 2, 2);
        return static_cast<uint64_t>(__builtin_bswap16(c)) << (8 * (n - 2)) | __builtin_bswap16(d);
    }
    return n ? p[0] : 0;
}

// ---- numbers of up to 16 digits, in registers ---------------------------

using u128 = unsigned __int128;

// '0' in each of the low k bytes.
inline u128 ascii_zeros(size_t k) {
    const u128 all = (static_cast<u128>(0x3030303030303030ULL) << 64) | 0x3030303030303030ULL;
    return k >= 16 ? all : all & ((static_cast<u128>(1) << (8 * k)) - 1);
}

// '0' in all 16 bytes: the bytes above a number's digits are shifted out
// before anything is stored, so they may hold anything.
constexpr u128 kAsciiZeros = (static_cast<u128>(0x3030303030303030ULL) << 64) | 0x3030303030303030ULL;

// The n <= 16 bytes at p as a big-endian number.
inline u128 load_big_endian_wide(const uint8_t* p, size_t n) {
    if (n <= 8) return load_big_endian(p, n);
    return static_cast<u128>(load_big_endian(p, n - 8)) << 64 | load_big_endian(p + n - 8, 8);
}

// The byte b in each of the low k bytes.
inline u128 repeated(uint8_t b, size_t k) {
    const uint64_t word = 0x0101010101010101ULL * b;
    const u128 all = static_cast<u128>(word) << 64 | word;
    return k >= 16 ? all : all & ((static_cast<u128>(1) << (8 * k)) - 1);
}

// Stores the 16 bytes of v, most significant first.
inline void store_digits(char* out, u128 v) {
    const uint64_t high = __builtin_bswap64(static_cast<uint64_t>(v >> 64));
    const uint64_t low = __builtin_bswap64(static_cast<uint64_t>(v));
    std::memcpy(out, &high, 8);
    std::memcpy(out + 8, &low, 8);
}

// The leading zero bytes of a nonzero v.
inline size_t leading_zero_bytes(u128 v) {
    const uint64_t high = static_cast<uint64_t>(v >> 64);
    return high ? static_cast<size_t>(__builtin_clzll(high)) / 8
                : 8 + static_cast<size_t>(__builtin_clzll(static_cast<uint64_t>(v))) / 8;
}

// put_number for k <= 16 ASCII digits held in the low k bytes of v, the
// most significant first; `first` its leading zeros. The integer digits
// and the fraction each go out in one 16-byte store, which the row's
// slack lets overrun.
inline void put_register_number(writer& w, u128 v, size_t k, size_t first, bool negative, size_t scale,
                                size_t p_scale) {
    char* out = w.out;
    *out = '-';
    out += negative && first < k;
    const size_t integer_end = k > scale ? k - scale : 0;
    if (first < integer_end) {
        store_digits(out, v << (8 * (16 - k + first)));
        out += integer_end - first;
        if (p_scale) {
            std::memset(out, '0', p_scale);
            out += p_scale;
        }
    } else {
        *out++ = '0';
    }
    if (scale) {
        *out++ = '.';
        if (scale > k) {
            std::memset(out, '0', scale - k);
            out += scale - k;
            store_digits(out, v << (8 * (16 - k)));
            out += k;
        } else {
            store_digits(out, v << (8 * (16 - scale)));
            out += scale;
        }
    }
    w.out = out;
}

// The byte holding a zoned number's embedded sign: its digit, or a fault.
inline dp_fault zone_digit(const dp_plan& plan, const dp_field& f, uint8_t b, bool& negative, char& digit) {
    const uint8_t z = plan.zone_sign[b];
    if (z == 0xFF) return dp_fault::not_a_digit;
    if ((z & kDpSigned) && f.sign == CD_SIGN_NONE) return dp_fault::unsigned_signed;
    negative = (z & kDpNegative) != 0;
    digit = static_cast<char>('0' + (z & 0x0F));
    return dp_fault::none;
}

// A zoned number of at most 16 digits in registers: every byte but the
// sign's must show the code page's digit zone and a digit below 10; the
// digits are the low nibbles.
dp_fault put_short_zoned(writer& w, const dp_field& f, const uint8_t* digits, size_t count, bool embedded,
                         bool negative) {
    const dp_plan& plan = w.plan;
    const u128 v = load_big_endian_wide(digits, count);
    const size_t at = f.sign == CD_SIGN_LEADING ? 0 : count - 1;
    const unsigned sign_shift = static_cast<unsigned>(8 * (count - 1 - at));
    const u128 sign_byte = embedded ? static_cast<u128>(0xFF) << sign_shift : 0;
    const u128 body = repeated(0xFF, count) & ~sign_byte;
    const u128 low = v & repeated(0x0F, count);
    if ((v & repeated(0xF0, count) & body) != (repeated(plan.codepage.digit0, count) & body) ||
        ((low + repeated(0x06, count)) & repeated(0xF0, count) & body) != 0)
        return dp_fault::not_a_digit;
    u128 ascii = low | ascii_zeros(count);
    if (embedded) {
        char sign_digit = '0';
        const dp_fault fault = zone_digit(plan, f, digits[at], negative, sign_digit);
        if (fault != dp_fault::none) return fault;
        ascii = (ascii & ~sign_byte) | static_cast<u128>(static_cast<uint8_t>(sign_digit)) << sign_shift;
    }
    const u128 zero = ascii ^ ascii_zeros(count);
    const size_t first = zero == 0 ? count : leading_zero_bytes(zero) - (16 - count);
    put_register_number(w, ascii, count, first, negative, static_cast<size_t>(f.scale), static_cast<size_t>(f.p_scale));
    return dp_fault::none;
}

dp_fault put_zoned(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
    if (is_empty_number(w, p, n)) return kEmpty;
    const dp_plan& plan = w.plan;
    bool negative = false;
    const uint8_t* digits = p;
    size_t count = n;
    switch (f.sign) {
    case CD_SIGN_LEADING_SEPARATE:
    case CD_SIGN_TRAILING_SEPARATE: {
        const bool leading = f.sign == CD_SIGN_LEADING_SEPARATE;
        const uint8_t s = leading ? p[0] : p[n - 1];
        if (s == plan.codepage.minus) negative = true;
        else if (s != plan.codepage.plus) return dp_fault::bad_sign;
        digits = leading ? p + 1 : p;
        count = n - 1;
        break;
    }
    default: break;
    }
    const bool embedded = f.sign == CD_SIGN_TRAILING || f.sign == CD_SIGN_LEADING || f.sign == CD_SIGN_NONE;
    if (count <= 16 && (plan.codepage.digit0 & 0x0F) == 0)
        return put_short_zoned(w, f, digits, count, embedded, negative);
    // Every digit through the table, any byte that is none marked in
    // `bad`; then the byte of an embedded sign (the last, the first with
    // SIGN LEADING, and the last of an unsigned item, which must show none).
    uint8_t bad = 0;
    for (size_t i = 0; i < count; ++i) bad |= plan.digit[digits[i]];
    size_t at = count;  // the sign byte, count when it is a byte of its own
    char sign_digit = '0';
    if (embedded) {
        at = f.sign == CD_SIGN_LEADING ? 0 : count - 1;
        const dp_fault fault = zone_digit(plan, f, digits[at], negative, sign_digit);
        if (fault != dp_fault::none) return fault;
        // Only the sign byte may be no plain digit: test the others again.
        if (bad & 0x80)
            for (size_t i = 0; i < count; ++i)
                if (i != at && plan.digit[digits[i]] > 9) return dp_fault::not_a_digit;
    } else if (bad & 0x80) {
        return dp_fault::not_a_digit;
    }
    const uint8_t* table = plan.digit;
    put_digits(
        w, count,
        [&](size_t i) { return i == at ? sign_digit : static_cast<char>('0' + table[digits[i]]); },
        negative, static_cast<size_t>(f.scale), static_cast<size_t>(f.p_scale));
    return dp_fault::none;
}

// Packed decimal: two digits a byte, the last byte's low nibble the sign
// (C, A, E, F positive, D, B negative, F alone when unsigned); COMP-6 has
// digits in every nibble. Nibbles before the picture's digits must be 0.
// Two decimal digits of 0 to 99 as they sit in a number held most
// significant byte first: the tens in the high byte; '0' is added by
// the zeros the number starts from.
constexpr auto kDigitPairs = [] {
    std::array<uint16_t, 100> pairs{};
    for (int i = 0; i < 100; ++i) pairs[static_cast<size_t>(i)] = static_cast<uint16_t>((i / 10) << 8 | (i % 10));
    return pairs;
}();

// Each of the 8 nibbles of a 32-bit value in a byte of its own, the least
// significant nibble in the lowest byte.
inline uint64_t spread_nibbles(uint32_t a) {
    uint64_t x = a;
    x = (x | (x << 16)) & 0x0000FFFF0000FFFFULL;
    x = (x | (x << 8)) & 0x00FF00FF00FF00FFULL;
    x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return x;
}

// A packed field of at most 8 bytes (15 or 16 digits) decoded in registers:
// its digits validated, spread into bytes and written without a loop.
dp_fault put_short_packed(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
    uint64_t d = load_big_endian(p, n);
    const bool has_sign = f.kind == dp_kind::packed;
    size_t k = 2 * n;
    bool negative = false;
    if (has_sign) {
        const unsigned sign = d & 0xF;
        d >>= 4;
        --k;
        if (sign == 0xD || sign == 0xB) negative = true;
        else if (sign < 0xA) return dp_fault::bad_sign;
        if (f.sign == CD_SIGN_NONE && sign != 0xF) return dp_fault::unsigned_signed;
    }
    // A nibble above 9 has bit 3 and bit 2 or bit 1 set.
    if (d & ((d << 1) | (d << 2)) & 0x8888888888888888ULL) return dp_fault::packed_digit;
    const u128 v = ((static_cast<u128>(spread_nibbles(static_cast<uint32_t>(d >> 32))) << 64) |
                    spread_nibbles(static_cast<uint32_t>(d))) |
                   kAsciiZeros;
    const size_t first = d == 0 ? k : (static_cast<size_t>(__builtin_clzll(d)) - (64 - 4 * k)) / 4;
    // Nibbles before the picture's digits (the pad of an even count) hold 0.
    if (k > static_cast<size_t>(f.digits) && first < k - static_cast<size_t>(f.digits))
        return dp_fault::too_many_digits;
    put_register_number(w, v, k, first, negative, static_cast<size_t>(f.scale), static_cast<size_t>(f.p_scale));
    return dp_fault::none;
}

dp_fault put_packed(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
    if (is_empty_number(w, p, n)) return kEmpty;
    if (n <= 8) return put_short_packed(w, f, p, n);
    const bool has_sign = f.kind == dp_kind::packed;
    const size_t pairs = has_sign ? n - 1 : n;
    for (size_t i = 0; i < pairs; ++i)
        if (w.plan.packed_pair[p[i]] == 0) return dp_fault::packed_digit;
    bool negative = false;
    if (has_sign) {
        const uint8_t last = p[n - 1];
        const int high = last >> 4, sign = last & 0xF;
        if (high > 9) return dp_fault::packed_digit;
        if (sign == 0xD || sign == 0xB) negative = true;
        else if (sign != 0xC && sign != 0xA && sign != 0xE && sign != 0xF) return dp_fault::bad_sign;
        if (f.sign == CD_SIGN_NONE && sign != 0xF) return dp_fault::unsigned_signed;
    }
    // The digits two at a time into a buffer on the stack (the scratch
    // for an item longer than it).
    char local[64];
    char* digits = 2 * n <= sizeof local ? local : w.scratch;
    for (size_t i = 0; i < pairs; ++i) std::memcpy(digits + 2 * i, &w.plan.packed_pair[p[i]], 2);
    if (has_sign) digits[2 * pairs] = static_cast<char>('0' + (p[n - 1] >> 4));
    const size_t count = has_sign ? 2 * n - 1 : 2 * n;
    const size_t extra = count > static_cast<size_t>(f.digits) ? count - static_cast<size_t>(f.digits) : 0;
    for (size_t i = 0; i < extra; ++i)
        if (digits[i] != '0') return dp_fault::too_many_digits;
    put_number(w, digits + extra, count - extra, negative, static_cast<size_t>(f.scale),
               static_cast<size_t>(f.p_scale));
    return dp_fault::none;
}

int digit_count(uint64_t v) {
    int d = 1;
    while (v >= 10) {
        v /= 10;
        ++d;
    }
    return d;
}

// Binary integers: two's complement when signed. The value must fit the
// column: a binary integer column its integer type, a NUMERIC its digits.
dp_fault put_binary(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
    const uint64_t raw = load_unsigned(p, n, f.little);
    uint64_t magnitude = raw;
    bool negative = false;
    const unsigned bits = static_cast<unsigned>(n * 8);
    if (f.sign == CD_SIGN_COMPLEMENT && ((raw >> (bits - 1)) & 1)) {
        negative = true;
        const uint64_t extended = bits < 64 ? raw | (~uint64_t{0} << bits) : raw;
        magnitude = ~extended + 1;
    }
    if (f.max_digits == 0) {
        const uint64_t most = bits < 64 ? (uint64_t{1} << (bits - 1)) - 1 : uint64_t(std::numeric_limits<int64_t>::max());
        if (!negative && magnitude > most) return dp_fault::out_of_range;
    } else if (digit_count(magnitude) + f.p_scale > f.max_digits) {
        return dp_fault::out_of_range;
    }
    if (magnitude < 10000000000000000ULL) {
        // Up to 16 digits: built in a register, two at a time, from the
        // least significant.
        u128 v = kAsciiZeros;
        size_t k = 0;
        uint64_t m = magnitude;
        while (m >= 100) {
            const uint64_t q = m / 100;
            v |= static_cast<u128>(kDigitPairs[m - q * 100]) << (8 * k);
            k += 2;
            m = q;
        }
        if (m >= 10) {
            v |= static_cast<u128>(kDigitPairs[m]) << (8 * k);
            k += 2;
        } else {
            v |= static_cast<u128>(m) << (8 * k);
            k += 1;
        }
        // A magnitude of 0 is the one digit 0: no leading zeros otherwise.
        put_register_number(w, v, k, magnitude == 0 ? 1 : 0, negative, static_cast<size_t>(f.scale),
                            static_cast<size_t>(f.p_scale));
        return dp_fault::none;
    }
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
    put_number(w, digits, static_cast<size_t>(result.ptr - digits), negative, static_cast<size_t>(f.scale),
               static_cast<size_t>(f.p_scale));
    return dp_fault::none;
}

template <typename T>
void put_float(writer& w, T value) {
    if (value == 0) value = 0;  // no negative zero
    w.out = std::to_chars(w.out, w.out + 340, value, std::chars_format::fixed).ptr;
}

// IBM hexadecimal floating point: sign, a 7-bit exponent of 16 biased by
// 64, and a 24-bit (short) or 56-bit (long) fraction. A short value is
// exact in a double; a long one is rounded to the nearest double.
double hex_float(uint64_t bits, size_t n) {
    const unsigned fraction_bits = n == 4 ? 24 : 56;
    const bool negative = (bits >> (n * 8 - 1)) & 1;
    const int exponent = static_cast<int>((bits >> fraction_bits) & 0x7F) - 64;
    const uint64_t fraction = bits & ((uint64_t{1} << fraction_bits) - 1);
    const double value = std::ldexp(static_cast<double>(fraction), 4 * exponent - static_cast<int>(fraction_bits));
    return negative ? -value : value;
}

dp_fault put_float_field(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
    const bool hex = f.kind == dp_kind::float_hex;
    const uint64_t bits = load_unsigned(p, n, !hex && f.little);
    if (n == 4) {
        float value;
        if (hex) {
            const double exact = hex_float(bits, 4);
            value = static_cast<float>(exact);
            if (std::isinf(value)) return dp_fault::out_of_range;
        } else {
            const uint32_t b32 = static_cast<uint32_t>(bits);
            std::memcpy(&value, &b32, 4);
            if (!std::isfinite(value)) return dp_fault::not_finite;
        }
        put_float(w, value);
    } else {
        double value;
        if (hex) {
            value = hex_float(bits, 8);
        } else {
            std::memcpy(&value, &bits, 8);
            if (!std::isfinite(value)) return dp_fault::not_finite;
        }
        put_float(w, value);
    }
    return dp_fault::none;
}

bool is_text_kind(dp_kind k) {
    return k == dp_kind::text || k == dp_kind::utf8 || k == dp_kind::national;
}

// Inlined into the record loop: a call per field costs as much as a small
// field's decoding.
[[gnu::always_inline]] inline dp_fault decode_field(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
    switch (f.kind) {
    case dp_kind::text: return put_text(w, p, n);
    case dp_kind::utf8:
        return put_utf8_field(w, p, trimmed(p, n, 0x20, w.plan.options.keep_spaces));
    case dp_kind::national: return put_national(w, p, n);
    case dp_kind::varchar: return put_varchar(w, f, p, n);
    case dp_kind::zoned: return put_zoned(w, f, p, n);
    case dp_kind::packed:
    case dp_kind::packed_unsigned: return put_packed(w, f, p, n);
    case dp_kind::binary: return put_binary(w, f, p, n);
    case dp_kind::float_hex:
    case dp_kind::float_ieee: return put_float_field(w, f, p, n);
    case dp_kind::ordinal: break;  // written by the record loop, which has the number
    }
    return dp_fault::none;
}

// A field the record does not wholly hold: beyond its end it has no value;
// text the end cuts keeps what is there, as if padded with spaces; any
// other field the end cuts is a fault.
dp_fault decode_short(writer& w, const dp_field& f, const uint8_t* record, size_t size, int32_t at) {
    const size_t offset = static_cast<size_t>(at);
    if (offset >= size) return f.nullable ? kEmpty : dp_fault::null_not_allowed;
    if (!is_text_kind(f.kind)) return dp_fault::cut_short;
    return decode_field(w, f, record + offset, size - offset);
}

}  // namespace

bool dp_decode_record(const dp_plan& plan, const uint8_t* record, size_t size, dp_buffer& row,
                      std::vector<dp_error>& errors, const dp_place* place) {
    errors.clear();
    if (!row.reserve(plan.row_bound + plan.scratch + kDpSlack)) return false;
    char* const start = row.end();
    writer w{plan, start, start + plan.row_bound};
    bool rejected = false;
    const int32_t* const offsets = place ? place->offsets : nullptr;
    // In locals: a store through the row's char pointer may alias anything,
    // so members would be loaded again after every byte written.
    const dp_field* const fields = plan.fields.data();
    const size_t count = plan.fields.size();
    const char separator = plan.separator;
    for (size_t i = 0; i < count; ++i) {
        const dp_field& f = fields[i];
        if (i) w.put(separator);
        char* const mark = w.out;
        if (f.kind == dp_kind::ordinal) [[unlikely]] {
            const int64_t number = place && place->numbers ? place->numbers[f.level] : 1;
            w.out = std::to_chars(w.out, w.out + 24, number).ptr;
            continue;
        }
        int32_t offset = f.offset;
        if (offsets) [[unlikely]] {
            offset = offsets[i];
            if (offset == kDpAbsent) {
                if (f.nullable) {
                    w.null_value();
                    continue;
                }
                errors.push_back({static_cast<uint32_t>(i), dp_fault::null_not_allowed});
                rejected = true;
                continue;
            }
        }
        const bool whole = static_cast<size_t>(offset) + static_cast<size_t>(f.length) <= size;
        dp_fault fault = whole ? decode_field(w, f, record + offset, static_cast<size_t>(f.length))
                               : decode_short(w, f, record, size, offset);
        if (fault == dp_fault::none) [[likely]] continue;
        w.out = mark;
        if (fault == kEmpty) {
            const bool beyond = !whole && static_cast<size_t>(offset) >= size;
            if (beyond || plan.options.empty == dp_empty_numeric::null) {
                if (f.nullable) {
                    w.null_value();
                    continue;
                }
                fault = dp_fault::null_not_allowed;
            } else if (plan.options.empty == dp_empty_numeric::zero) {
                put_zero(w, f);
                continue;
            } else {
                fault = dp_fault::empty_numeric;
            }
        }
        errors.push_back({static_cast<uint32_t>(i), fault});
        if (plan.options.on_error == dp_on_error::null && f.nullable) w.null_value();
        else rejected = true;
    }
    if (rejected) return false;
    w.put(plan.line_end);
    row.commit(static_cast<size_t>(w.out - start));
    return true;
}
