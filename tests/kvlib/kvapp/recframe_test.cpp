// Record framing: files built byte by byte in each framing, good and bad,
// read through buffers small enough for records to straddle them; parts
// read from a start to an end; and splits that, read one after another,
// give back exactly the whole file's records.
#include "kvapp/recframe.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

#include "test_files.h"

namespace {

std::string be16(int n) { return {static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)}; }
std::string rdw(const std::string& data) { return be16(static_cast<int>(data.size()) + 4) + std::string(2, '\0'); }
std::string v(const std::string& data) { return rdw(data) + data; }
std::string block(const std::string& records) { return v(records); }  // a BDW looks like an RDW
std::string large_block(const std::string& records) {
    const uint32_t n = static_cast<uint32_t>(records.size() + 4) | 0x80000000u;
    return std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                       static_cast<char>(n)} + records;
}

struct rec {
    std::string data, raw;
    int64_t number, offset, block;
    bool operator==(const rec&) const = default;
};

struct outcome {
    std::vector<rec> records;
    int status = 0;
    std::string error;
    int64_t end = 0;  // the reader's offset at the end
};

outcome read_all(const std::string& path, const rf_options& options) {
    outcome out;
    rf_reader reader;
    if (!reader.open(out.error, path, options)) {
        out.status = -2;
        return out;
    }
    rf_record r;
    while ((out.status = reader.next(out.error, r)) == 1) {
        out.records.push_back({std::string(reinterpret_cast<const char*>(r.data), r.size),
                               std::string(reinterpret_cast<const char*>(r.raw), r.raw_size), r.number, r.offset,
                               r.block});
    }
    out.end = reader.offset();
    return out;
}

rf_options opts(rf_framing f, int64_t lrecl = 0, size_t buffer = 0) {
    rf_options o;
    o.framing = f;
    o.lrecl = lrecl;
    o.buffer_size = buffer;
    return o;
}

struct frame_case {
    const char* name;
    rf_options options;
    std::string file;
    std::vector<std::string> data;  // the records' data, in order
    std::string error;              // empty: the file reads to its end
};

std::vector<frame_case> frame_cases() {
    using F = rf_framing;
    const std::string three_v = v("abc") + v("") + v("x");
    return {
        {"fixed exact", opts(F::fixed, 3), "abcdefghi", {"abc", "def", "ghi"}, ""},
        {"fixed empty", opts(F::fixed, 3), "", {}, ""},
        {"fixed short tail", opts(F::fixed, 3), "abcdefgh", {"abc", "def"},
         "the file's size 8 is not a multiple of the record length 3 (2 bytes are left over): record 3 at byte offset 6"},
        {"fixed with line ends", opts(F::fixed, 4), "abc\ndef\nghi\nxy", {"abc\n", "def\n", "ghi\n"},
         "record 4 at byte offset 12; the bytes look like LINE framing: an LF line end every 4 bytes"},
        {"fixed holding V", opts(F::fixed, 5), three_v,
         {std::string("\0\x07\0\0a", 5), std::string("bc\0\x04\0", 5), std::string("\0\0\x05\0\0", 5)},
         "record 4 at byte offset 15; the bytes look like V framing: record descriptor words"},
        {"v", opts(F::v), three_v, {"abc", "", "x"}, ""},
        {"v zero length", opts(F::v), v("abc") + std::string(8, '\0'), {"abc"},
         "the record descriptor word X'00000000' holds the length 0, below 4 (the length counts the descriptor's own "
         "4 bytes): record 2 at byte offset 7"},
        {"v length below 4", opts(F::v), v("abc") + be16(2) + be16(0) + "zz", {"abc"},
         "holds the length 2, below 4"},
        {"v beyond the file", opts(F::v), v("abc") + be16(10) + be16(0) + "ab", {"abc"},
         "the record descriptor word X'000A0000' holds the length 10, beyond the end of the file (6 bytes left): "
         "record 2 at byte offset 7"},
        {"v reserved bytes", opts(F::v), v("abc") + be16(5) + be16(1) + "z", {"abc"},
         "the reserved bytes of the record descriptor word X'00050001' are not zero: record 2 at byte offset 7"},
        {"v spanned segment", opts(F::v), be16(5) + be16(0x0100) + "z", {}, "segment flags of a spanned record"},
        {"v ends inside an RDW", opts(F::v), v("abc") + be16(5), {"abc"},
         "the file ends inside a record descriptor word (2 of its 4 bytes): record 2 at byte offset 7"},
        {"vb", opts(F::vb), block(v("abc") + v("d")) + block(v("ef")) + block("") + large_block(v("g")),
         {"abc", "d", "ef", "g"}, ""},
        {"vb block beyond the file", opts(F::vb), be16(100) + be16(0) + v("abc"), {},
         "the block descriptor word X'00640000' holds the length 100, beyond the end of the file (11 bytes left): "
         "record 1 at byte offset 0"},
        {"vb record past its block", opts(F::vb), block(v("ab")) + be16(11) + be16(0) + be16(8) + be16(0) + "abc",
         {"ab"},
         "the record descriptor word X'00080000' holds the length 8, beyond the end of its block (7 bytes left in "
         "the block that ends at byte offset 21): record 2 at byte offset 14"},
        {"vb block ends inside an RDW", opts(F::vb), block(v("abc") + be16(5)), {"abc"},
         "the block ends inside a record descriptor word (2 bytes left in the block that ends at byte offset 13): "
         "record 2 at byte offset 11"},
        {"vb reserved bytes", opts(F::vb), be16(11) + be16(1) + v("abc"), {},
         "the reserved bytes of the block descriptor word X'000B0001' are not zero: record 1 at byte offset 0"},
        {"vb holding V", opts(F::vb), v("abc") + v("def") + v("ghi"), {},
         "record 1 at byte offset 4; the bytes look like V framing: record descriptor words"},
        {"v holding VB", opts(F::v), block(v("abc") + v("de")) + large_block(v("fgh")),
         {std::string("\0\x07\0\0abc\0\x06\0\0de", 13)},
         "the reserved bytes of the record descriptor word X'8000000B' are not zero: record 2 at byte offset 17; "
         "the bytes look like VB framing: block descriptor words holding record descriptor words"},
        {"line lf", opts(F::line), "ab\ncd\n", {"ab", "cd"}, ""},
        {"line crlf", opts(F::line), "ab\r\ncd\r\n", {"ab", "cd"}, ""},
        {"line without a final lf", opts(F::line), "ab\ncd\r", {"ab", "cd\r"}, ""},
        {"line empty lines", opts(F::line), "\n\nab\n\r\n", {"", "", "ab", ""}, ""},
        {"line too long", [] { rf_options o = opts(F::line); o.max_line = 4; return o; }(), "ab\nabcdefgh", {"ab"},
         "a line runs on for more than 4 bytes without a line end: record 2 at byte offset 3"},
    };
}

// Every record is where it says in the file, raw bytes and data agree, and
// records follow one another (VB: past block descriptor words only).
void expect_in_place(const frame_case& c, const outcome& out) {
    int64_t at = c.options.start;
    for (size_t i = 0; i < out.records.size(); ++i) {
        const rec& r = out.records[i];
        EXPECT_EQ(r.number, c.options.first_record + static_cast<int64_t>(i)) << c.name;
        EXPECT_EQ(c.file.substr(r.offset, r.raw.size()), r.raw) << c.name;
        const size_t header = c.options.framing == rf_framing::v || c.options.framing == rf_framing::vb ? 4 : 0;
        EXPECT_EQ(r.raw.substr(header, r.data.size()), r.data) << c.name;
        EXPECT_LE(r.raw.size() - r.data.size(), header ? 4u : 2u) << c.name;
        EXPECT_TRUE(r.offset == at || (r.block >= 0 && r.offset == r.block + 4)) << c.name;
        at = r.offset + static_cast<int64_t>(r.raw.size());
    }
}

TEST(RecFrame, FramingCasesThroughBuffersOfEverySize) {
    for (const frame_case& c : frame_cases()) {
        const std::string path = test_files::write_scratch("frame.dat", c.file);
        for (size_t buffer : {size_t{1}, size_t{3}, size_t{5}, size_t{8}, size_t{0}}) {
            rf_options o = c.options;
            o.buffer_size = buffer;
            const outcome out = read_all(path, o);
            std::vector<std::string> data;
            for (const rec& r : out.records) data.push_back(r.data);
            EXPECT_EQ(data, c.data) << c.name << ", buffer " << buffer;
            EXPECT_EQ(out.status, c.error.empty() ? 0 : -1) << c.name << ": " << out.error;
            EXPECT_NE(out.error.find(c.error), std::string::npos) << c.name << ": " << out.error;
            if (c.error.empty()) {
                EXPECT_EQ(out.end, static_cast<int64_t>(c.file.size())) << c.name;
            }
            expect_in_place(c, out);
        }
    }
}

TEST(RecFrame, ErrorsAreKeptAndOpeningFailsWithTheReason) {
    const std::string path = test_files::write_scratch("short.dat", "abcdefgh");
    rf_reader reader;
    std::string error;
    rf_record r;
    ASSERT_EQ(reader.open(error, path, opts(rf_framing::fixed, 3)), 1);
    while (reader.next(error, r) == 1) {}
    const std::string first = error;
    error.clear();
    EXPECT_EQ(reader.next(error, r), -1);
    EXPECT_EQ(error, first);

    const std::string missing = (test_files::scratch_dir() / "missing.dat").string();
    EXPECT_EQ(reader.open(error, missing, opts(rf_framing::v)), 0);
    EXPECT_NE(error.find(missing + ": No such file or directory"), std::string::npos) << error;
    EXPECT_EQ(reader.open(error, test_files::scratch_dir().string(), opts(rf_framing::v)), 0);
    EXPECT_NE(error.find("it is a folder"), std::string::npos) << error;
    EXPECT_EQ(reader.open(error, path, opts(rf_framing::fixed)), 0);
    EXPECT_NE(error.find("FIXED framing needs a record length above 0"), std::string::npos) << error;
}

TEST(RecFrame, PartsFromStartToEnd) {
    using F = rf_framing;
    const std::string fixed = "r01r02r03r04r05r06r07r08r09r10";
    const std::string vfile = v("a") + v("bb") + v("ccc") + v("dddd");              // at 0, 5, 11, 18
    const std::string vbfile = block(v("a") + v("bb")) + block(v("ccc") + v("d"));  // blocks at 0, 15
    const std::string lines = "a\nbb\r\nccc\ndddd";                                   // at 0, 2, 6, 10
    struct part_case {
        F framing;
        const std::string& file;
        int64_t start, end;
        std::vector<std::string> data;
        std::string error;
    } cases[] = {
        {F::fixed, fixed, 6, 15, {"r03", "r04", "r05"}, ""},
        {F::fixed, fixed, 6, 14, {"r03", "r04", "r05"}, ""},  // r05 starts before 14
        {F::fixed, fixed, 30, -1, {}, ""},
        {F::fixed, fixed, 7, -1, {}, "the start offset 7 in"},
        {F::fixed, fixed, 33, -1, {}, "the start offset 33 is beyond the end of"},
        {F::v, vfile, 5, 12, {"bb", "ccc"}, ""},
        {F::v, vfile, 11, -1, {"ccc", "dddd"}, ""},
        {F::vb, vbfile, 15, 16, {"ccc", "d"}, ""},  // the block straddling the end is read whole
        {F::vb, vbfile, 0, 15, {"a", "bb"}, ""},
        {F::line, lines, 2, 7, {"bb", "ccc"}, ""},
        {F::line, lines, 3, -1, {}, "the byte before it is no LF"},
    };
    for (const part_case& c : cases) {
        const std::string path = test_files::write_scratch("part.dat", c.file);
        rf_options o = opts(c.framing, 3, 4);
        o.start = c.start;
        o.end = c.end;
        o.first_record = 40;
        const outcome out = read_all(path, o);
        std::vector<std::string> data;
        for (const rec& r : out.records) data.push_back(r.data);
        EXPECT_EQ(data, c.data) << c.start << ".." << c.end;
        if (!out.records.empty()) {
            EXPECT_EQ(out.records[0].number, 40);
            EXPECT_EQ(out.records[0].offset, c.start + (c.framing == F::vb ? 4 : 0));
        }
        EXPECT_EQ(out.status, c.error.empty() ? 0 : -2) << out.error;
        EXPECT_NE(out.error.find(c.error), std::string::npos) << out.error;
    }
}

// Generated files: records of random lengths, VB blocks of a few records
// (some empty, some of the large-block form), lines with CRLF and without
// a final LF.
std::string generated(rf_framing f, std::mt19937& rng) {
    auto text = [&](int max) { return std::string(rng() % (max + 1), static_cast<char>('a' + rng() % 26)); };
    std::string file;
    switch (f) {
        case rf_framing::fixed:
            for (int i = 0; i < 300; ++i) file += static_cast<char>('a' + rng() % 26) + std::string("bcdefg");
            break;
        case rf_framing::v:
            for (int i = 0; i < 300; ++i) file += v(text(40));
            break;
        case rf_framing::vb:
            for (int b = 0; b < 80; ++b) {
                std::string records;
                for (int n = rng() % 6; n > 0; --n) records += v(text(30));
                file += b % 7 == 3 ? large_block(records) : block(records);
            }
            break;
        case rf_framing::line:
            for (int i = 0; i < 300; ++i) file += text(30) + (i % 5 == 0 ? "\r\n" : "\n");
            file += "last";
            break;
    }
    return file;
}

TEST(RecFrame, SplitsGiveBackTheWholeFile) {
    std::mt19937 rng(25);
    for (rf_framing f : {rf_framing::fixed, rf_framing::v, rf_framing::vb, rf_framing::line}) {
        const std::string file = generated(f, rng);
        const std::string path = test_files::write_scratch("split.dat", file);
        const rf_options whole_options = opts(f, 7);
        const outcome whole = read_all(path, whole_options);
        ASSERT_EQ(whole.status, 0) << whole.error;
        for (int64_t count = 1; count <= 17; ++count) {
            // 17: ranges of about 100 bytes; window of 9 bytes for the walk.
            rf_options o = whole_options;
            o.buffer_size = count % 2 ? 9 : 0;
            std::vector<rf_split> splits;
            std::string error;
            ASSERT_EQ(rf_make_splits(error, path, o, count == 17 ? 0 : count, 100, splits), 1) << error;
            EXPECT_LE(static_cast<int64_t>(splits.size()), count == 17 ? 1 + static_cast<int64_t>(file.size()) / 100 : count);
            std::vector<rec> joined;
            int64_t at = 0;
            for (const rf_split& s : splits) {
                EXPECT_EQ(s.start, at) << rf_framing_name(f) << " " << count;
                EXPECT_GT(s.length, 0);
                at = s.start + s.length;
                o.start = s.start;
                o.end = s.start + s.length;
                o.first_record = s.first_record;
                const outcome part = read_all(path, o);
                EXPECT_EQ(part.status, 0) << part.error;
                EXPECT_EQ(part.end, at);
                joined.insert(joined.end(), part.records.begin(), part.records.end());
            }
            EXPECT_EQ(at, static_cast<int64_t>(file.size()));
            EXPECT_TRUE(joined == whole.records) << rf_framing_name(f) << " in " << count;
        }
    }
}

// Records kept past the next call by holding their buffer, as batches
// decoded on other threads keep them, are the bytes read; holds let go in
// a window of records let the reader reuse their buffers.
TEST(RecFrame, HeldRecordsStayWhileTheReaderReadsOn) {
    std::mt19937 rng(7);
    for (rf_framing f : {rf_framing::fixed, rf_framing::v, rf_framing::vb, rf_framing::line}) {
        const std::string path = test_files::write_scratch("held.dat", generated(f, rng));
        for (size_t buffer : {size_t{16}, size_t{64}, size_t{0}}) {
            const rf_options o = opts(f, 7, buffer);
            const outcome expected = read_all(path, o);
            ASSERT_EQ(expected.status, 0) << expected.error;
            struct kept {
                std::shared_ptr<const uint8_t[]> hold;
                const uint8_t* raw;
                size_t size;
            };
            std::deque<kept> window;
            rf_reader reader;
            std::string error;
            ASSERT_EQ(reader.open(error, path, o), 1) << error;
            rf_record r;
            size_t n = 0;
            while (reader.next(error, r) == 1) {
                window.push_back({reader.hold(), r.raw, r.raw_size});
                if (window.size() > 12) window.pop_front();
                // Every kept record still holds its bytes after the reads since.
                for (size_t k = 0; k < window.size(); ++k) {
                    const rec& want = expected.records[n + 1 - window.size() + k];
                    ASSERT_EQ(std::string(reinterpret_cast<const char*>(window[k].raw), window[k].size), want.raw)
                        << rf_framing_name(f) << ", buffer " << buffer << ", record " << want.number;
                }
                ++n;
            }
            EXPECT_EQ(n, expected.records.size());
            // Opened again, the reader must leave the held buffers alone.
            ASSERT_EQ(reader.open(error, path, o), 1) << error;
            while (reader.next(error, r) == 1) {
            }
            for (size_t k = 0; k < window.size(); ++k)
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(window[k].raw), window[k].size),
                          expected.records[n - window.size() + k].raw)
                    << rf_framing_name(f) << ", buffer " << buffer << ", after opening again";
        }
    }
}

TEST(RecFrame, SplitsFailWhereTheReaderFails) {
    const std::string bad_v = v("abc") + v("defg") + be16(2) + be16(0) + v("x");
    const std::pair<std::string, rf_options> cases[] = {
        {bad_v, opts(rf_framing::v)},
        {block(v("abc")) + block(v("de") + be16(9) + be16(0)), opts(rf_framing::vb)},
        {"abcdefgh", opts(rf_framing::fixed, 3)},
    };
    for (const auto& [file, o] : cases) {
        const std::string path = test_files::write_scratch("bad.dat", file);
        std::vector<rf_split> splits;
        std::string error;
        EXPECT_EQ(rf_make_splits(error, path, o, 3, 0, splits), -1);
        EXPECT_TRUE(splits.empty());
        EXPECT_EQ(error, read_all(path, o).error);
    }
    const std::string empty = test_files::write_scratch("empty.dat", "");
    std::vector<rf_split> splits;
    std::string error;
    ASSERT_EQ(rf_make_splits(error, empty, opts(rf_framing::v), 4, 0, splits), 1);
    ASSERT_EQ(splits.size(), 1u);
    EXPECT_EQ(splits[0].length, 0);
    EXPECT_EQ(rf_make_splits(error, empty, opts(rf_framing::v), 0, 0, splits), 0);
    EXPECT_NE(error.find("a number of splits or a split size"), std::string::npos);
}

TEST(RecFrame, FramingWords) {
    for (rf_framing f : {rf_framing::fixed, rf_framing::v, rf_framing::vb, rf_framing::line}) {
        rf_framing back = rf_framing::fixed;
        std::string lower = rf_framing_name(f);
        for (char& ch : lower) ch = static_cast<char>(std::tolower(ch));
        EXPECT_TRUE(rf_framing_word(lower, back) && back == f) << lower;
    }
    rf_framing f;
    EXPECT_FALSE(rf_framing_word("VBS", f));
    EXPECT_FALSE(rf_framing_word("", f));
}

}  // namespace
