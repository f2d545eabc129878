// Fuzz target: the decoder over layouts from the copybook reader. The
// input is a copybook (read in FREE format and the IBM dialect), a NUL
// byte, a byte of settings (code page, row format, ONERROR, EMPTY) and
// then the data, cut into records of the layout's length (the last one
// short). Every record must become either a row or a reject with its
// errors; a row must be valid UTF-8, hold exactly one field per column
// (its separators counted outside quotes in CSV, where tabs and line ends
// inside values must be escaped in the text formats) and end with its line
// end; a reject must leave the row buffer as it was.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "kvapp/cobdef.h"
#include "kvapp/decplan.h"
#include "kvstd/codepage.h"

namespace {

const char* const kCodepages[] = {"037", "1047", "273", "1140", "ASCII", "ISO-8859-1", "WINDOWS-1252", "UTF-8"};

// Fields of a row: separators outside quotes, plus one.
size_t csv_fields(const char* row, size_t n) {
    size_t fields = 1;
    bool quoted = false;
    for (size_t i = 0; i < n; ++i) {
        if (row[i] == '"') quoted = !quoted;
        else if (row[i] == ',' && !quoted) ++fields;
        else if (!quoted) FUZZ_CHECK(row[i] != '\n' && row[i] != '\r');
    }
    FUZZ_CHECK(!quoted);
    return fields;
}

size_t text_fields(const char* row, size_t n) {
    size_t fields = 1;
    for (size_t i = 0; i < n; ++i) {
        FUZZ_CHECK(row[i] != '\n' && row[i] != '\r' && row[i] != '\0');
        if (row[i] == '\t') ++fields;
    }
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    if (!nul || nul + 1 >= data + size) return 0;
    const std::string path = fuzz_support::write_scratch("decode.cpy", data, static_cast<size_t>(nul - data));
    std::vector<cobol_def>& area = CD_definitions();
    area.clear();
    std::string error;
    if (!CD_read_defs(error, "COBOLDEFSFILE " + path + " FREE IBM") || area.empty()) {
        area.clear();
        return 0;
    }
    const uint8_t settings = nul[1];
    const uint8_t* records = nul + 2;
    const size_t records_size = size - static_cast<size_t>(records - data);

    kv_codepage codepage;
    FUZZ_CHECK(kvCodepageLoad(error, kCodepages[settings & 7], codepage));
    dp_options options;
    options.format = static_cast<dp_row_format>((settings >> 3) % 3);
    options.on_error = (settings & 0x20) ? dp_on_error::null : dp_on_error::reject;
    options.empty = static_cast<dp_empty_numeric>((settings >> 6) % 3);
    options.native_little = settings & 0x40;
    options.floats = static_cast<dp_float_format>((settings >> 5) % 3);

    const cobol_def& def = area[0];
    std::vector<dp_column> columns;
    for (const column_entry& c : *def.fields) {
        if (!c.elementary) continue;
        dp_column col;
        col.entry = &c;
        col.name = c.name;
        col.field = c.name;
        col.nullable = (c.fetch_offset & 1) == 0;
        col.precision = 38;
        columns.push_back(col);
    }
    if (columns.empty()) {
        area.clear();
        return 0;
    }
    const column_entry& first = def.fields->front();
    const int64_t length = static_cast<int64_t>(first.int_len) * first.occurs;
    dp_plan plan;
    if (!dp_build_plan(error, columns, static_cast<int32_t>(length), codepage, options, plan)) {
        FUZZ_CHECK(!error.empty());
        area.clear();
        return 0;
    }
    // Short records too: the input rarely holds a whole large record.
    const size_t record = length > 0 && length < 4096 ? static_cast<size_t>(length) : 64;
    dp_buffer row;
    std::vector<dp_error> errors;
    size_t read = 0, written = 0, rejected = 0;
    for (size_t at = 0; at < records_size; at += record) {
        const size_t n = std::min(record, records_size - at);
        const size_t before = row.size();
        ++read;
        if (dp_decode_record(plan, records + at, n, row, errors)) {
            ++written;
            const char* text = row.data() + before;
            const size_t got = row.size() - before;
            FUZZ_CHECK(got >= 1 && text[got - 1] == '\n');
            FUZZ_CHECK(kvUtf8ValidPrefix(reinterpret_cast<const uint8_t*>(text), got) == got);
            const size_t fields = options.format == dp_row_format::csv ? csv_fields(text, got - 1)
                                                                        : text_fields(text, got - 1);
            FUZZ_CHECK(fields == plan.fields.size());
        } else {
            ++rejected;
            FUZZ_CHECK(!errors.empty());
            FUZZ_CHECK(row.size() == before);
            for (const dp_error& e : errors) FUZZ_CHECK(e.field < plan.fields.size() && e.fault != dp_fault::none);
        }
        row.clear();
    }
    FUZZ_CHECK(read == written + rejected);
    area.clear();
    return 0;
}
