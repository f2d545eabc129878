// decode: one record into one row, field by field, through the plan's
// tables.
//
// Invariants: before a record is decoded the row buffer has room for the
// plan's row bound and the digit scratch beyond it, so no write below
// checks for room; a field that fails leaves no text behind (the row is
// cut back to where the field began); a number's text is built from its
// digits alone (never through a binary floating value), so every digit
// and the scale survive.
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "kvapp/decplan.h"

namespace {

// A field whose bytes say "no value": spaces, low-values or high-values
// only. Not a fault: the options decide what it becomes.
constexpr dp_fault kEmpty = static_cast<dp_fault>(0xFF);

struct writer {
    const dp_plan& plan;
    dp_buffer& row;
    char* scratch;  // digits gathered before they are written

    bool csv() const { return plan.options.format == dp_row_format::csv; }

    void null_value() {
        if (csv()) row.put(plan.options.null_text.data(), plan.options.null_text.size());
        else row.put("\\N", 2);
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

size_t trimmed(const uint8_t* p, size_t n, uint8_t space, bool keep) {
    if (!keep)
        while (n > 0 && p[n - 1] == space) --n;
    return n;
}

// Writes one character's UTF-8 bytes the careful way: quotes doubled in
// CSV, escapes in the text formats.
dp_fault put_careful_char(writer& w, const char* bytes, size_t length) {
    if (length == 1) {
        const char c = bytes[0];
        if (w.csv()) {
            if (c == '"') w.row.put('"');
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
                w.row.put(escape, 2);
                return dp_fault::none;
            }
        }
    }
    w.row.put(bytes, length);
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
    if (quote) w.row.put('"');
    for (size_t i = 0; i < n;) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const dp_fault fault = put_careful_char(w, text + i, length);
        if (fault != dp_fault::none) return fault;
        i += length;
    }
    if (quote) w.row.put('"');
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
    char* const start = w.row.end();
    char* out = start;
    uint32_t seen = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t e = w.plan.text[p[i]];
        std::memcpy(out, &e, 4);
        out += (e >> kDpLengthShift) & 7;
        seen |= e;
    }
    if (seen & kDpSlow) return put_mapped_careful(w, p, n);
    if (n == 0 && w.csv()) {
        *out++ = '"';
        *out++ = '"';
    }
    w.row.commit(static_cast<size_t>(out - start));
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

// DISPLAY-2: a 2-byte length, then that many characters of text.
dp_fault put_varchar(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
    if (n < 2) return dp_fault::cut_short;
    const size_t length = static_cast<size_t>(load_unsigned(p, 2, f.little));
    if (length > static_cast<size_t>(f.text_max)) return dp_fault::bad_length;
    if (2 + length > n) return dp_fault::cut_short;
    return put_text(w, p + 2, length);
}

// ---- numbers --------------------------------------------------------------

// Writes the number whose decimal digits (ASCII, leading zeros allowed)
// are digits[0, n), with `scale` of them after the point and `p_scale`
// zeros that P positions add: an optional minus, the integer digits
// without leading zeros (a single 0 when there are none), then the point
// and exactly `scale` digits. Zero is never negative.
void put_number(writer& w, const char* digits, size_t n, bool negative, size_t scale, size_t p_scale) {
    size_t first = 0;
    while (first < n && digits[first] == '0') ++first;
    const bool zero = first == n;
    if (negative && !zero) w.row.put('-');
    const size_t integer_end = n > scale ? n - scale : 0;
    if (first < integer_end) {
        w.row.put(digits + first, integer_end - first);
        if (p_scale) {
            char* out = w.row.end();
            std::memset(out, '0', p_scale);
            w.row.commit(p_scale);
        }
    } else {
        w.row.put('0');
    }
    if (scale == 0) return;
    w.row.put('.');
    char* out = w.row.end();
    if (scale > n) {
        std::memset(out, '0', scale - n);
        out += scale - n;
        std::memcpy(out, digits, n);
        out += n;
    } else {
        std::memcpy(out, digits + n - scale, scale);
        out += scale;
    }
    w.row.commit(static_cast<size_t>(out - w.row.end()));
}

// Zero with the field's scale, for EMPTY ZERO.
void put_zero(writer& w, const dp_field& f) { put_number(w, "0", 1, false, static_cast<size_t>(f.scale), 0); }

dp_fault put_zoned(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
    if (is_empty_number(w, p, n)) return kEmpty;
    const dp_plan& plan = w.plan;
    bool negative = false;
    const uint8_t* digits = p;
    size_t count = n;
    size_t sign_at = n;  // the embedded sign position, n when none
    switch (f.sign) {
    case CD_SIGN_TRAILING: sign_at = n - 1; break;
    case CD_SIGN_LEADING: sign_at = 0; break;
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
    char* out = w.scratch;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = static_cast<size_t>(digits - p) + i;
        uint8_t d = plan.digit[digits[i]];
        if (at == sign_at || (f.sign == CD_SIGN_NONE && i + 1 == count)) {
            const uint8_t z = plan.zone_sign[digits[i]];
            if (z == 0xFF) return dp_fault::not_a_digit;
            if ((z & kDpSigned) && f.sign == CD_SIGN_NONE) return dp_fault::unsigned_signed;
            negative = (z & kDpNegative) != 0;
            d = z & 0x0F;
        }
        if (d > 9) return dp_fault::not_a_digit;
        *out++ = static_cast<char>('0' + d);
    }
    put_number(w, w.scratch, count, negative, static_cast<size_t>(f.scale), static_cast<size_t>(f.p_scale));
    return dp_fault::none;
}

// Packed decimal: two digits a byte, the last byte's low nibble the sign
// (C, A, E, F positive, D, B negative, F alone when unsigned); COMP-6 has
// digits in every nibble. Nibbles before the picture's digits must be 0.
dp_fault put_packed(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
    if (is_empty_number(w, p, n)) return kEmpty;
    const bool has_sign = f.kind == dp_kind::packed;
    char* out = w.scratch;
    const size_t pairs = has_sign ? n - 1 : n;
    for (size_t i = 0; i < pairs; ++i) {
        const uint16_t pair = w.plan.packed_pair[p[i]];
        if (pair == 0) return dp_fault::packed_digit;
        std::memcpy(out, &pair, 2);
        out += 2;
    }
    bool negative = false;
    if (has_sign) {
        const uint8_t last = p[n - 1];
        const int high = last >> 4, sign = last & 0xF;
        if (high > 9) return dp_fault::packed_digit;
        *out++ = static_cast<char>('0' + high);
        if (sign == 0xD || sign == 0xB) negative = true;
        else if (sign != 0xC && sign != 0xA && sign != 0xE && sign != 0xF) return dp_fault::bad_sign;
        if (f.sign == CD_SIGN_NONE && sign != 0xF) return dp_fault::unsigned_signed;
    }
    const size_t count = static_cast<size_t>(out - w.scratch);
    const size_t extra = count > static_cast<size_t>(f.digits) ? count - static_cast<size_t>(f.digits) : 0;
    for (size_t i = 0; i < extra; ++i)
        if (w.scratch[i] != '0') return dp_fault::too_many_digits;
    put_number(w, w.scratch + extra, count - extra, negative, static_cast<size_t>(f.scale),
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
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
    put_number(w, digits, static_cast<size_t>(result.ptr - digits), negative, static_cast<size_t>(f.scale),
               static_cast<size_t>(f.p_scale));
    return dp_fault::none;
}

template <typename T>
void put_float(writer& w, T value) {
    if (value == 0) value = 0;  // no negative zero
    char* out = w.row.end();
    const auto result = std::to_chars(out, out + 340, value, std::chars_format::fixed);
    w.row.commit(static_cast<size_t>(result.ptr - out));
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

dp_fault decode_field(writer& w, const dp_field& f, const uint8_t* p, size_t n) {
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
    }
    return dp_fault::none;
}

// A field the record does not wholly hold: beyond its end it has no value;
// text the end cuts keeps what is there, as if padded with spaces; any
// other field the end cuts is a fault.
dp_fault decode_short(writer& w, const dp_field& f, const uint8_t* record, size_t size) {
    const size_t offset = static_cast<size_t>(f.offset);
    if (offset >= size) return f.nullable ? kEmpty : dp_fault::null_not_allowed;
    if (!is_text_kind(f.kind)) return dp_fault::cut_short;
    return decode_field(w, f, record + offset, size - offset);
}

}  // namespace

bool dp_decode_record(const dp_plan& plan, const uint8_t* record, size_t size, dp_buffer& row,
                      std::vector<dp_error>& errors) {
    errors.clear();
    const size_t start = row.size();
    if (!row.reserve(plan.row_bound + plan.scratch)) return false;
    writer w{plan, row, row.end() + plan.row_bound};
    bool rejected = false;
    for (size_t i = 0; i < plan.fields.size(); ++i) {
        const dp_field& f = plan.fields[i];
        if (i) row.put(plan.separator);
        const size_t mark = row.size();
        const bool whole = static_cast<size_t>(f.offset) + static_cast<size_t>(f.length) <= size;
        dp_fault fault = whole ? decode_field(w, f, record + f.offset, static_cast<size_t>(f.length))
                               : decode_short(w, f, record, size);
        if (fault == kEmpty) {
            row.resize(mark);
            const bool beyond = !whole && static_cast<size_t>(f.offset) >= size;
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
        if (fault == dp_fault::none) continue;
        errors.push_back({static_cast<uint32_t>(i), fault});
        row.resize(mark);
        if (plan.options.on_error == dp_on_error::null && f.nullable) w.null_value();
        else rejected = true;
    }
    if (rejected) {
        row.resize(start);
        return false;
    }
    row.put(plan.line_end);
    return true;
}
