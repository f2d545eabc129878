// The single-byte converter: the Windows-1252 table, both directions with
// their statuses, and the reverse table's one-time construction.
#include "kvstd/csconv.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

namespace {

const CSConverterSBCS& cp1252 = kvWindows1252Converter;

struct ToCase {
    std::string bytes;
    int count;
    int capacity;
    std::u16string units;  // what is written
    int converted;
    int status;
};

TEST(CSConverter, ToUtf16) {
    const ToCase cases[] = {
        {"\x80", 1, 4, u"\u20AC", 1, kCSStatusOk},
        {"\x81", 1, 4, u"\uFFFD", 1, kCSStatusReplaced},
        {"a\x8D" "b\x8F\x90\x9D", -1, 8, u"a\uFFFDb\uFFFD\uFFFD\uFFFD", 6, kCSStatusReplaced},
        {"\x9F\xA0\xFF\x7F", -1, 4, u"\u0178\u00A0\u00FF\u007F", 4, kCSStatusOk},
        {std::string("a\0b", 3), 3, 4, std::u16string(u"a\0b", 3), 3, kCSStatusOk},
        {std::string("a\0b", 3), -1, 4, u"a", 1, kCSStatusOk},
        {"abcdef", -1, 4, u"abcd", 4, kCSStatusOutputFull},
        {"ab\x81", -1, 2, u"ab", 2, kCSStatusOutputFull},
        {"a\x81" "cd", -1, 3, u"a\uFFFDc", 3, kCSStatusOutputFull},  // full wins
        {"abcd", 4, 4, u"abcd", 4, kCSStatusOk},
        {"", -1, 4, u"", 0, kCSStatusOk},
        {"abc", 0, 4, u"", 0, kCSStatusOk},
    };
    for (const ToCase& c : cases) {
        std::u16string out(10, u'#');
        int status = -1;
        const int n = cp1252.toUtf16(out.data(), c.capacity, c.bytes.data(), c.count, &status);
        EXPECT_EQ(n, c.converted) << c.bytes;
        EXPECT_EQ(status, c.status) << c.bytes;
        EXPECT_EQ(out.substr(0, c.units.size()), c.units) << c.bytes;
        // Nothing beyond the converted units, not even a terminator.
        EXPECT_EQ(out.substr(c.units.size()), std::u16string(10 - c.units.size(), u'#'));
    }
}

struct FromCase {
    std::u16string units;
    int count;
    int capacity;
    std::string bytes;
    int converted;
    int status;
};

TEST(CSConverter, FromUtf16) {
    const FromCase cases[] = {
        {u"\u20AC", 1, 4, "\x80", 1, kCSStatusOk},
        {u"\u4E00", 1, 4, "?", 1, kCSStatusReplaced},
        // Same page as mapped units, but not mapped themselves.
        {u"\u0081\u2001\u00FF", -1, 4, "??\xFF", 3, kCSStatusReplaced},
        {u"\u0178\u02DC\u2122", -1, 4, "\x9F\x98\x99", 3, kCSStatusOk},
        {std::u16string(u"a\0b", 3), 3, 4, std::string("a\0b", 3), 3, kCSStatusOk},
        {std::u16string(u"a\0b", 3), -1, 4, "a", 1, kCSStatusOk},
        {u"abcdef", -1, 4, "abcd", 4, kCSStatusOutputFull},
        {u"a\uFFFDcd", -1, 3, "a?c", 3, kCSStatusOutputFull},
        {u"", -1, 4, "", 0, kCSStatusOk},
    };
    for (const FromCase& c : cases) {
        std::string out(10, '#');
        int status = -1;
        const int n = cp1252.fromUtf16(out.data(), c.capacity, c.units.data(), c.count, &status);
        EXPECT_EQ(n, c.converted) << c.bytes;
        EXPECT_EQ(status, c.status) << c.bytes;
        EXPECT_EQ(out.substr(0, c.bytes.size()), c.bytes);
        EXPECT_EQ(out.substr(c.bytes.size()), std::string(10 - c.bytes.size(), '#'));
    }
}

TEST(CSConverter, UnusableArgumentsConvertNothing) {
    char16_t units[4] = {u'#', u'#', u'#', u'#'};
    char bytes[4] = {'#', '#', '#', '#'};
    struct Case {
        bool out, in;
        int capacity, count;
    };
    const Case cases[] = {
        {true, true, 4, -2}, {false, true, 4, 1}, {true, false, 4, 1},
        {true, true, 0, 1},  {true, true, -1, 1}, {true, true, 4, -100},
    };
    for (const Case& c : cases) {
        int status = -1;
        EXPECT_EQ(cp1252.toUtf16(c.out ? units : nullptr, c.capacity, c.in ? "ab" : nullptr,
                                 c.count, &status),
                  0);
        EXPECT_EQ(status, kCSStatusInvalidArgs);
        status = -1;
        EXPECT_EQ(cp1252.fromUtf16(c.out ? bytes : nullptr, c.capacity, c.in ? u"ab" : nullptr,
                                   c.count, &status),
                  0);
        EXPECT_EQ(status, kCSStatusInvalidArgs);
    }
    EXPECT_EQ(units[0], u'#');
    EXPECT_EQ(bytes[0], '#');
    // The status is optional.
    EXPECT_EQ(cp1252.toUtf16(units, 4, "\x81", 1, nullptr), 1);
    EXPECT_EQ(cp1252.fromUtf16(bytes, 4, u"\u4E00", 1, nullptr), 1);
    EXPECT_EQ(cp1252.toUtf16(units, 4, "a", -2, nullptr), 0);
    EXPECT_EQ(cp1252.textLength(nullptr), 0);
}

// The published code page, checked byte by byte against the C library's
// own Windows-1252 converter where one is installed.
TEST(CSConverter, TableIsTheWindows1252CodePage) {
    EXPECT_EQ(kvWindows1252Pairs.back().byte, 0);
    iconv_t cd = iconv_open("UTF-16LE", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP1252 in iconv";
    int unmapped = 0;
    for (int b = 1; b <= 255; ++b) {
        char in = static_cast<char>(b);
        unsigned char out[4] = {};
        char* inp = &in;
        char* outp = reinterpret_cast<char*>(out);
        size_t in_left = 1, out_left = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const bool defined = iconv(cd, &inp, &in_left, &outp, &out_left) != static_cast<size_t>(-1);
        char16_t unit = 0;
        int status = -1;
        ASSERT_EQ(cp1252.toUtf16(&unit, 1, &in, 1, &status), 1);
        if (defined) {
            EXPECT_EQ(unit, static_cast<char16_t>(out[0] | (out[1] << 8))) << b;
            EXPECT_EQ(status, kCSStatusOk) << b;
        } else {
            ++unmapped;
            EXPECT_EQ(unit, u'\uFFFD') << b;
            EXPECT_EQ(status, kCSStatusReplaced) << b;
        }
    }
    iconv_close(cd);
    EXPECT_EQ(unmapped, 5);
}

TEST(CSConverter, EveryMappedByteRoundTrips) {
    for (int b = 1; b <= 255; ++b) {
        const char in = static_cast<char>(b);
        char16_t unit = 0;
        int status = -1;
        cp1252.toUtf16(&unit, 1, &in, 1, &status);
        if (status != kCSStatusOk) continue;
        char back = 0;
        EXPECT_EQ(cp1252.fromUtf16(&back, 1, &unit, 1, &status), 1);
        EXPECT_EQ(status, kCSStatusOk);
        EXPECT_EQ(static_cast<unsigned char>(back), b);
    }
}

TEST(CSConverter, LaterByteWinsForASharedUnit) {
    const CSBytePair pairs[] = {{0x41, u'A'}, {0x61, u'A'}, {0x3F, u'?'}, {0, 0}};
    CSConverterSBCS sbcs(pairs);
    char out = 0;
    int status = -1;
    EXPECT_EQ(sbcs.fromUtf16(&out, 1, u"A", 1, &status), 1);
    EXPECT_EQ(out, 0x61);
    EXPECT_EQ(sbcs.fromUtf16(&out, 1, u"B", 1, &status), 1);
    EXPECT_EQ(out, '?');
    EXPECT_EQ(status, kCSStatusReplaced);
}

TEST(CSConverter, ReverseTableIsBuiltOnceUnderConcurrentFirstUse) {
    CSConverterSBCS sbcs(kvWindows1252Pairs.data());
    char16_t unit = 0;
    sbcs.toUtf16(&unit, 1, "\x80", 1, nullptr);
    EXPECT_EQ(sbcs.reverseTableBuilds(), 0);  // only the other direction builds it

    constexpr int kThreads = 8;
    std::atomic<int> waiting{kThreads};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            --waiting;
            while (waiting.load() > 0) std::this_thread::yield();
            for (int i = 0; i < 100; ++i) {
                char out[3] = {};
                int status = -1;
                const int n = sbcs.fromUtf16(out, 3, u"\u20AC\u4E00z", 3, &status);
                if (n != 3 || status != kCSStatusReplaced || out[0] != '\x80' || out[1] != '?' ||
                    out[2] != 'z')
                    ++wrong;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(sbcs.reverseTableBuilds(), 1);
}

}  // namespace
