// codepage: the single-byte code pages of record data, as 256-entry tables
// built once per run through ICU's converters, and the UTF-8 check for data
// that is already UTF-8.
//
// Invariants: a loaded kv_codepage is plain data, read without locks by any
// number of threads; decoding never calls ICU. A byte the code page does
// not map has utf8_len 0 and utf8_of 0; every mapped byte has 1 to 3 UTF-8
// bytes (single-byte code pages stay within the Basic Multilingual Plane).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct kv_codepage {
    // Canonical: "037", "273", ..., "1047", "1140".."1149", "ASCII",
    // "ISO-8859-1", "WINDOWS-1252", "UTF-8".
    std::string name;
    bool ebcdic = false;  // an EBCDIC code page
    bool utf8 = false;    // UTF-8 data: no table (text is validated, not mapped)
    // The bytes of ' ', '0' (digits are digit0..digit0+9), '+' and '-'.
    uint8_t space = 0x20, digit0 = 0x30, plus = 0x2B, minus = 0x2D;
    // UTF-8 bytes of each byte, first byte in the low 8 bits, unused bytes 0.
    uint32_t utf8_of[256] = {};
    // 1..3, or 0 when the code page does not map the byte.
    uint8_t utf8_len[256] = {};
};

// Fills `out` for a code page name, case-insensitive: 037, CP037, IBM-037,
// IBM037 and 37 (and the same forms for every EBCDIC number); ASCII,
// US-ASCII; ISO-8859-1, ISO8859-1, LATIN1, LATIN-1; WINDOWS-1252, CP1252;
// UTF-8, UTF8. False with an error text naming the accepted names for an
// unknown name, or with ICU's error when a converter cannot be opened.
bool kvCodepageLoad(std::string& error, std::string_view name, kv_codepage& out);

// The canonical name of the code page used when none is named.
inline constexpr const char* kvDefaultCodepage = "037";

// The length of the longest valid UTF-8 prefix of `data`: shortest forms
// only, no surrogates, nothing above U+10FFFF.
size_t kvUtf8ValidPrefix(const uint8_t* data, size_t size);
