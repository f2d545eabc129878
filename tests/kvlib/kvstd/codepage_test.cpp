// Code page tables: bytes read off the published code charts, a whole-table
// comparison with glibc's independent converters, the bytes the decoders
// look for, the accepted names, and the UTF-8 check.
#include "kvstd/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string utf8_of(const kv_codepage& page, int byte) {
    const uint32_t v = page.utf8_of[byte];
    std::string out;
    for (int i = 0; i < page.utf8_len[byte]; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
    return out;
}

kv_codepage load(std::string_view name) {
    kv_codepage page;
    std::string error;
    EXPECT_TRUE(kvCodepageLoad(error, name, page)) << error;
    return page;
}

const char* const kEbcdic[] = {"037",  "273",  "277",  "278",  "280",  "284",  "285",
                               "297",  "500",  "871",  "1047", "1140", "1141", "1142",
                               "1143", "1144", "1145", "1146", "1147", "1148", "1149"};

struct chart_case {
    const char* page;
    int byte;
    std::string text;  // UTF-8; empty: the page does not map the byte
};

TEST(Codepage, BytesFromPublishedCharts) {
    const chart_case cases[] = {
        {"037", 0xC1, "A"}, {"037", 0x4A, "¢"}, {"037", 0x5F, "¬"}, {"037", 0xB1, "£"},
        {"037", 0x51, "é"}, {"037", 0xBA, "["}, {"037", 0x9F, "¤"}, {"037", 0x25, "\n"},
        {"037", 0x15, "\u0085"}, {"037", 0x00, std::string(1, '\0')},
        {"273", 0x4A, "Ä"}, {"273", 0x5A, "Ü"}, {"273", 0x7C, "§"}, {"273", 0xA1, "ß"}, {"273", 0xE0, "Ö"},
        {"277", 0x5B, "Å"}, {"277", 0x7B, "Æ"}, {"277", 0x7C, "Ø"},
        {"278", 0x5B, "Å"}, {"278", 0x7B, "Ä"}, {"278", 0x7C, "Ö"}, {"278", 0xE0, "É"},
        {"280", 0x7B, "£"}, {"280", 0xC0, "à"}, {"280", 0x6A, "ò"},
        {"284", 0x4A, "["}, {"284", 0x7B, "Ñ"},
        {"285", 0x4A, "$"}, {"285", 0x5B, "£"},
        {"297", 0x7B, "£"}, {"297", 0x7C, "à"}, {"297", 0xE0, "ç"},
        {"500", 0x4A, "["}, {"500", 0x4F, "!"}, {"500", 0xB0, "¢"},
        {"871", 0x4A, "Þ"}, {"871", 0xC0, "þ"},
        {"1047", 0xAD, "["}, {"1047", 0xBD, "]"}, {"1047", 0x5F, "^"}, {"1047", 0xB0, "¬"},
        {"1140", 0x9F, "€"}, {"1140", 0x4A, "¢"}, {"1141", 0x9F, "€"}, {"1141", 0x4A, "Ä"},
        {"1142", 0x5A, "€"}, {"1143", 0x5A, "€"}, {"1144", 0x9F, "€"}, {"1145", 0x9F, "€"},
        {"1146", 0x9F, "€"}, {"1146", 0x5B, "£"}, {"1147", 0x9F, "€"}, {"1148", 0x9F, "€"},
        {"1148", 0x4A, "["}, {"1149", 0x9F, "€"}, {"1149", 0x4A, "Þ"},
        {"ASCII", 0x41, "A"}, {"ASCII", 0x7F, "\x7F"}, {"ASCII", 0x80, ""}, {"ASCII", 0xFF, ""},
        {"ISO-8859-1", 0xE9, "é"}, {"ISO-8859-1", 0x80, "\u0080"}, {"ISO-8859-1", 0xFF, "ÿ"},
        {"WINDOWS-1252", 0x80, "€"}, {"WINDOWS-1252", 0x9F, "Ÿ"}, {"WINDOWS-1252", 0xE9, "é"},
        {"WINDOWS-1252", 0x81, ""}, {"WINDOWS-1252", 0x8D, ""}, {"WINDOWS-1252", 0x8F, ""},
        {"WINDOWS-1252", 0x90, ""}, {"WINDOWS-1252", 0x9D, ""},
    };
    for (const chart_case& c : cases) {
        const kv_codepage page = load(c.page);
        EXPECT_EQ(utf8_of(page, c.byte), c.text) << c.page << " byte " << c.byte;
        EXPECT_EQ(page.utf8_len[c.byte], c.text.size()) << c.page << " byte " << c.byte;
    }
}

// glibc's tables are an implementation apart from ICU's. Where they differ,
// glibc's older 278, 285 and 871 tables also disagree with its own euro
// versions (1143, 1146, 1149) of the same pages, which match ICU; glibc
// maps nothing at the five bytes Windows-1252 leaves undefined, like us.
TEST(Codepage, TablesAgreeWithGlibc) {
    const std::set<std::pair<std::string, int>> known = {
        {"278", 0x71}, {"278", 0xE0}, {"285", 0xA1}, {"871", 0x4A}, {"871", 0xC0}};
    std::vector<std::pair<std::string, std::string>> pages;
    for (const char* p : kEbcdic) pages.emplace_back(p, std::string("IBM") + p);
    pages.emplace_back("ASCII", "ASCII");
    pages.emplace_back("ISO-8859-1", "ISO-8859-1");
    pages.emplace_back("WINDOWS-1252", "WINDOWS-1252");
    for (const auto& [name, glibc_name] : pages) {
        iconv_t cd = iconv_open("UTF-8", glibc_name.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            ADD_FAILURE() << "glibc has no converter " << glibc_name;
            continue;
        }
        const kv_codepage page = load(name);
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b), out[8];
            char *ip = &in, *op = out;
            size_t il = 1, ol = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const std::string theirs =
                iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) ? "" : std::string(out, op - out);
            if (known.count({name, b})) continue;
            EXPECT_EQ(utf8_of(page, b), theirs) << name << " byte " << b;
        }
        iconv_close(cd);
    }
}

TEST(Codepage, SpaceDigitsAndSigns) {
    for (const char* name : kEbcdic) {
        const kv_codepage page = load(name);
        EXPECT_TRUE(page.ebcdic && !page.utf8) << name;
        EXPECT_EQ(page.space, 0x40) << name;
        EXPECT_EQ(page.digit0, 0xF0) << name;
        EXPECT_EQ(page.plus, 0x4E) << name;
        EXPECT_EQ(page.minus, 0x60) << name;
        for (int b = 0; b < 256; ++b) EXPECT_NE(page.utf8_len[b], 0) << name << " byte " << b;
    }
    for (const char* name : {"ASCII", "ISO-8859-1", "WINDOWS-1252", "UTF-8"}) {
        const kv_codepage page = load(name);
        EXPECT_FALSE(page.ebcdic) << name;
        EXPECT_EQ(page.utf8, std::string(name) == "UTF-8") << name;
        EXPECT_EQ(page.space, 0x20) << name;
        EXPECT_EQ(page.digit0, 0x30) << name;
        EXPECT_EQ(page.plus, 0x2B) << name;
        EXPECT_EQ(page.minus, 0x2D) << name;
    }
    // UTF-8 data keeps only its ASCII bytes in the table.
    const kv_codepage utf8 = load("UTF-8");
    EXPECT_EQ(utf8_of(utf8, 'A'), "A");
    EXPECT_EQ(utf8.utf8_len[0xC3], 0);
}

TEST(Codepage, NameSpellings) {
    const std::pair<const char*, const char*> accepted[] = {
        {"037", "037"},         {"CP037", "037"},          {"ibm-037", "037"},
        {"IBM037", "037"},      {"37", "037"},             {"Ibm-37", "037"},
        {"1047", "1047"},       {"cp1047", "1047"},        {"IBM-1140", "1140"},
        {"ibm273", "273"},      {"ascii", "ASCII"},        {"US-ASCII", "ASCII"},
        {"iso-8859-1", "ISO-8859-1"}, {"Latin1", "ISO-8859-1"}, {"LATIN-1", "ISO-8859-1"},
        {"windows-1252", "WINDOWS-1252"}, {"CP1252", "WINDOWS-1252"},
        {"utf-8", "UTF-8"},     {"UTF8", "UTF-8"},
    };
    for (const auto& [name, canonical] : accepted) EXPECT_EQ(load(name).name, canonical) << name;

    for (const char* name : {"", "EBCDIC", "1252", "IBM-", "CP", "038", "IBM-1150", "37 ", "UTF-16",
                             "IBM--037", "0x25", "999999"}) {
        kv_codepage page;
        std::string error;
        EXPECT_FALSE(kvCodepageLoad(error, name, page)) << name;
        EXPECT_NE(error.find("unknown code page '" + std::string(name) + "'"), std::string::npos) << error;
        EXPECT_NE(error.find("1140 to 1149"), std::string::npos) << error;
        EXPECT_NE(error.find("WINDOWS-1252"), std::string::npos) << error;
    }
}

TEST(Codepage, Utf8ValidPrefix) {
    const std::pair<std::string, size_t> cases[] = {
        {"", 0},
        {"plain ASCII text that is longer than eight bytes", 48},
        {"caf\xC3\xA9", 5},
        {"\xE2\x82\xAC and \xF0\x9F\x98\x80", 12},
        {"abcdefgh\xC3", 8},                 // truncated sequence at the end
        {"abcdefghij\x80xyz", 10},           // lone continuation byte
        {"ab\xC0\xAF", 2},                   // overlong '/'
        {"ab\xC1\xBF", 2},                   // overlong
        {"ab\xE0\x80\xAF", 2},               // overlong three-byte form
        {"ab\xF0\x80\x80\xAF", 2},           // overlong four-byte form
        {"ab\xED\xA0\x80", 2},               // surrogate U+D800
        {"ab\xED\x9F\xBF!", 6},              // U+D7FF, just below the surrogates
        {"ab\xF4\x8F\xBF\xBF", 6},           // U+10FFFF
        {"ab\xF4\x90\x80\x80", 2},           // above U+10FFFF
        {"ab\xF5\x80\x80\x80", 2},
        {"ab\xE2\x82" "c", 2},               // a sequence broken by ASCII
        {"ab\xFF", 2},
        {std::string("a\0b", 3), 3},         // NUL is valid UTF-8
    };
    for (const auto& [text, prefix] : cases)
        EXPECT_EQ(kvUtf8ValidPrefix(reinterpret_cast<const uint8_t*>(text.data()), text.size()), prefix)
            << text;
}

}  // namespace
