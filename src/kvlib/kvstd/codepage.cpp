// codepage: code page names to ICU converters, and each converter's 256
// bytes to UTF-8, once.
//
// Invariants: ICU is asked about each byte alone, with a STOP callback and
// no fallbacks, so a byte ICU does not map is left unmapped rather than
// replaced; the converter is closed before kvCodepageLoad returns. The
// bytes of space, digits and signs are read back from the table, never
// assumed, and the ten digits must be consecutive (the decoders rely on it).
#include "kvstd/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/utf16.h>

#include <cstring>

#include "kvstd/strutl.h"

namespace {

// The EBCDIC code pages read; ICU names them ibm-<number>.
constexpr int kEbcdicPages[] = {37,  273,  277,  278,  280,  284,  285,  297,  500,  871,  1047,
                                1140, 1141, 1142, 1143, 1144, 1145, 1146, 1147, 1148, 1149};

struct named_page {
    const char* names[4];  // accepted spellings, unused ones null
    const char* canonical;
    const char* icu;        // null for UTF-8, which has no table
    // Bytes the code page's published table leaves undefined although ICU
    // maps them (to C1 controls): data holding them is not of this page.
    std::string_view undefined;
};

constexpr named_page kOtherPages[] = {
    {{"ASCII", "US-ASCII"}, "ASCII", "US-ASCII", {}},
    {{"ISO-8859-1", "ISO8859-1", "LATIN1", "LATIN-1"}, "ISO-8859-1", "ISO-8859-1", {}},
    {{"WINDOWS-1252", "CP1252"}, "WINDOWS-1252", "windows-1252", "\x81\x8D\x8F\x90\x9D"},
    {{"UTF-8", "UTF8"}, "UTF-8", nullptr, {}},
};

constexpr const char* kAcceptedNames =
    "037 (the default), 273, 277, 278, 280, 284, 285, 297, 500, 871, 1047, 1140 to 1149 "
    "(each also as CP037, IBM-037, IBM037 or 37), ASCII, ISO-8859-1, WINDOWS-1252 and UTF-8";

// The number of an EBCDIC code page named as 037, 37, CP037, IBM-037 or
// IBM037; 0 when `name` is no such name.
int ebcdic_number(std::string_view name) {
    for (std::string_view prefix : {"IBM-", "IBM", "CP"}) {
        if (name.size() > prefix.size() && kvEqualsNoCase(name.substr(0, prefix.size()), prefix)) {
            name.remove_prefix(prefix.size());
            break;
        }
    }
    if (name.empty() || name.size() > 5) return 0;
    int number = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + (c - '0');
    }
    for (int page : kEbcdicPages)
        if (page == number) return number;
    return 0;
}

// UTF-8 of one code point of the Basic Multilingual Plane, first byte low.
uint8_t encode_utf8(uint32_t cp, uint32_t& out) {
    if (cp < 0x80) {
        out = cp;
        return 1;
    }
    if (cp < 0x800) {
        out = (0xC0 | (cp >> 6)) | (0x80 | (cp & 0x3F)) << 8;
        return 2;
    }
    out = (0xE0 | (cp >> 12)) | (0x80 | ((cp >> 6) & 0x3F)) << 8 | (0x80 | (cp & 0x3F)) << 16;
    return 3;
}

// The code point ICU gives for `byte` alone, or -1 when it maps none.
int32_t code_point_of(UConverter* converter, uint8_t byte) {
    UChar units[4];
    UErrorCode status = U_ZERO_ERROR;
    const char in = static_cast<char>(byte);
    const int32_t n = ucnv_toUChars(converter, units, 4, &in, 1, &status);
    if (U_FAILURE(status) || n < 1) return -1;
    UChar32 cp;
    int32_t i = 0;
    U16_NEXT(units, i, n, cp);
    // One byte, one code point; anything else (a sequence, a supplementary
    // character) a single-byte table cannot hold.
    if (i != n || cp > 0xFFFF || U_IS_SURROGATE(cp)) return -1;
    return cp;
}

bool fill_table(std::string& error, const char* icu_name, kv_codepage& out) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(icu_name, &status);
    if (U_FAILURE(status)) {
        error = "the ICU converter " + std::string(icu_name) + " for code page " + out.name +
                " cannot be opened: " + u_errorName(status);
        return false;
    }
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFallback(converter, false);
    if (U_FAILURE(status)) {
        ucnv_close(converter);
        error = "the ICU converter " + std::string(icu_name) + " cannot be set up: " + u_errorName(status);
        return false;
    }
    for (int b = 0; b < 256; ++b) {
        const int32_t cp = code_point_of(converter, static_cast<uint8_t>(b));
        if (cp >= 0) out.utf8_len[b] = encode_utf8(static_cast<uint32_t>(cp), out.utf8_of[b]);
    }
    ucnv_close(converter);
    return true;
}

// The byte that maps to the ASCII character `c`, or -1.
int byte_of(const kv_codepage& page, char c) {
    for (int b = 0; b < 256; ++b)
        if (page.utf8_len[b] == 1 && page.utf8_of[b] == static_cast<uint8_t>(c)) return b;
    return -1;
}

bool find_special_bytes(std::string& error, kv_codepage& out) {
    const int space = byte_of(out, ' '), digit0 = byte_of(out, '0');
    const int plus = byte_of(out, '+'), minus = byte_of(out, '-');
    bool digits = digit0 >= 0 && digit0 + 9 < 256;
    for (int d = 1; digits && d < 10; ++d)
        digits = out.utf8_len[digit0 + d] == 1 && out.utf8_of[digit0 + d] == static_cast<uint32_t>('0' + d);
    if (space < 0 || plus < 0 || minus < 0 || !digits) {
        error = "code page " + out.name + " has no single byte for each of space, +, - and consecutive digits 0 to 9";
        return false;
    }
    out.space = static_cast<uint8_t>(space);
    out.digit0 = static_cast<uint8_t>(digit0);
    out.plus = static_cast<uint8_t>(plus);
    out.minus = static_cast<uint8_t>(minus);
    return true;
}

// UTF-8 data has no table; its ASCII bytes are there all the same, for
// the decoders' single-byte fast path.
void fill_utf8(kv_codepage& out) {
    out.utf8 = true;
    for (int b = 0; b < 0x80; ++b) {
        out.utf8_of[b] = static_cast<uint32_t>(b);
        out.utf8_len[b] = 1;
    }
}

}  // namespace

bool kvCodepageLoad(std::string& error, std::string_view name, kv_codepage& out) {
    out = kv_codepage{};
    const char* icu_name = nullptr;
    std::string_view undefined;
    std::string icu_buffer;
    if (const int number = ebcdic_number(name)) {
        out.ebcdic = true;
        out.name = number == 37 ? "037" : std::to_string(number);
        icu_buffer = "ibm-" + std::to_string(number);
        icu_name = icu_buffer.c_str();
    } else {
        for (const named_page& page : kOtherPages)
            for (const char* n : page.names)
                if (n && kvEqualsNoCase(name, n)) {
                    out.name = page.canonical;
                    icu_name = page.icu;
                    undefined = page.undefined;
                }
        if (out.name.empty()) {
            error = "unknown code page '" + std::string(name) + "': the code pages are " + kAcceptedNames;
            return false;
        }
        if (!icu_name) {
            fill_utf8(out);
            return true;
        }
    }
    if (!fill_table(error, icu_name, out)) return false;
    for (char b : undefined) {
        out.utf8_of[static_cast<uint8_t>(b)] = 0;
        out.utf8_len[static_cast<uint8_t>(b)] = 0;
    }
    return find_special_bytes(error, out);
}

size_t kvUtf8ValidPrefix(const uint8_t* data, size_t size) {
    size_t i = 0;
    while (i < size) {
        // ASCII runs eight bytes at a time: most text is mostly ASCII.
        while (i + 8 <= size) {
            uint64_t word;
            std::memcpy(&word, data + i, 8);
            if (word & 0x8080808080808080ULL) break;
            i += 8;
        }
        if (i >= size) break;
        const uint8_t c = data[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        // The second byte's range excludes overlong forms (E0, F0),
        // surrogates (ED) and code points above U+10FFFF (F4).
        size_t n = 0;
        uint8_t lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) n = 2;
        else if (c == 0xE0) n = 3, lo = 0xA0;
        else if (c == 0xED) n = 3, hi = 0x9F;
        else if (c >= 0xE1 && c <= 0xEF) n = 3;
        else if (c == 0xF0) n = 4, lo = 0x90;
        else if (c == 0xF4) n = 4, hi = 0x8F;
        else if (c >= 0xF1 && c <= 0xF3) n = 4;
        else return i;
        if (size - i < n || data[i + 1] < lo || data[i + 1] > hi) return i;
        for (size_t k = 2; k < n; ++k)
            if ((data[i + k] & 0xC0) != 0x80) return i;
        i += n;
    }
    return size;
}
