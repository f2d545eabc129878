// Fuzz target: the record framer on random files. The first four bytes of
// an input set the record length, the reader's buffer (the split walk's
// window), the longest line, and the number of splits; the rest is the
// file, read in each of the four framings. In each, every byte of the
// file is in exactly one record's raw bytes, in file order (VB: or in a
// block descriptor word), or the reader stops with an error naming the next
// record's number and an offset within the file at or after the last
// record. The splits of the file, read one after another, give exactly the
// whole file's records, and fail with the reader's own text where it fails.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "kvapp/recframe.h"

namespace {

struct seen {
    int64_t number, offset, raw_size, block;
    bool operator==(const seen&) const = default;
};

struct outcome {
    std::vector<seen> records;
    int status = 0;
    std::string error;
    int64_t end = 0;
};

// Reads with the checks every record must pass, whatever the framing.
// A part read to its end stops at `end`: the file's end, or the next split.
outcome read_checked(const std::string& path, const rf_options& o, const uint8_t* file, size_t size, int64_t end) {
    outcome out;
    rf_reader reader;
    FUZZ_CHECK(reader.open(out.error, path, o) == 1);
    rf_record r;
    int64_t at = o.start, number = o.first_record;
    const bool described = o.framing == rf_framing::v || o.framing == rf_framing::vb;
    while ((out.status = reader.next(out.error, r)) == 1) {
        FUZZ_CHECK(r.number == number++);
        FUZZ_CHECK(r.offset >= 0 && r.offset + static_cast<int64_t>(r.raw_size) <= static_cast<int64_t>(size));
        FUZZ_CHECK(std::memcmp(r.raw, file + r.offset, r.raw_size) == 0);
        // Only block descriptor words lie between records.
        if (r.offset != at) FUZZ_CHECK(o.framing == rf_framing::vb && r.block == r.offset - 4 && r.block >= at);
        FUZZ_CHECK(r.data == r.raw + (described ? 4 : 0));
        FUZZ_CHECK(r.size + (described ? 4 : 0) <= r.raw_size);
        if (o.framing == rf_framing::fixed) FUZZ_CHECK(r.raw_size == static_cast<size_t>(o.lrecl));
        if (described) FUZZ_CHECK(r.size + 4 == r.raw_size);
        if (o.framing == rf_framing::line) {
            const size_t end = r.raw_size - r.size;
            FUZZ_CHECK(end <= 2 && std::memchr(r.data, '\n', r.size) == nullptr);
            FUZZ_CHECK(end == 0 ? r.offset + r.raw_size == size : r.raw[r.raw_size - 1] == '\n');
        }
        out.records.push_back({r.number, r.offset, static_cast<int64_t>(r.raw_size), r.block});
        at = r.offset + static_cast<int64_t>(r.raw_size);
    }
    out.end = reader.offset();
    if (out.status == 0) {
        FUZZ_CHECK(out.end == end);
        if (o.framing != rf_framing::vb) FUZZ_CHECK(at == out.end);
    } else {
        long long n = 0, offset = -1;
        const size_t where = out.error.find(": record ");
        FUZZ_CHECK(where != std::string::npos);
        FUZZ_CHECK(std::sscanf(out.error.c_str() + where, ": record %lld at byte offset %lld", &n, &offset) == 2);
        FUZZ_CHECK(n == number && offset >= at && offset < static_cast<int64_t>(size));
        if (o.framing != rf_framing::vb) FUZZ_CHECK(offset == at);
    }
    return out;
}

void check_splits(const std::string& path, rf_options o, int64_t count, const outcome& whole, const uint8_t* file,
                  size_t size) {
    std::vector<rf_split> splits;
    std::string error;
    const int status = rf_make_splits(error, path, o, count, count ? 0 : 7, splits);
    if (whole.status < 0) {
        FUZZ_CHECK(status == -1 && error == whole.error);
        return;
    }
    FUZZ_CHECK(status == 1 && !splits.empty());
    FUZZ_CHECK(!count || static_cast<int64_t>(splits.size()) <= count);
    std::vector<seen> joined;
    int64_t at = 0;
    for (const rf_split& s : splits) {
        FUZZ_CHECK(s.start == at && (s.length > 0 || splits.size() == 1));
        at = s.start + s.length;
        o.start = s.start;
        o.end = at;
        o.first_record = s.first_record;
        const outcome part = read_checked(path, o, file, size, at);
        FUZZ_CHECK(part.status == 0);
        joined.insert(joined.end(), part.records.begin(), part.records.end());
    }
    FUZZ_CHECK(at == static_cast<int64_t>(size));
    FUZZ_CHECK(joined == whole.records);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint8_t* file = data + 4;
    const size_t file_size = size - 4;
    const std::string path = fuzz_support::write_scratch("input.dat", file, file_size);
    for (rf_framing f : {rf_framing::fixed, rf_framing::v, rf_framing::vb, rf_framing::line}) {
        rf_options o;
        o.framing = f;
        o.lrecl = 1 + data[0] % 32;
        o.buffer_size = data[1] < 128 ? 1 + data[1] % 64 : 0;
        o.max_line = data[2] < 64 ? 1 + data[2] : 0;
        const outcome whole = read_checked(path, o, file, file_size, static_cast<int64_t>(file_size));
        check_splits(path, o, data[3] % 17, whole, file, file_size);
    }
    return 0;
}
