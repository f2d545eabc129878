// Fuzz target: records of several types and variable length, routed and
// decoded as a data run does. The input is a copybook (FREE, IBM dialect),
// a NUL byte, up to four lines of FILE command options (KEYCOLS,
// CHILDTABLES, VARIANT, WHEN ...; DEF the first record unless a line
// starts with DEF), a NUL byte, a byte of
// settings and the data. Records are cut either by a length byte before
// each one or, as FIXED files without padding are read, by the lengths
// their OCCURS DEPENDING ON counts give.
//
// Every record must be counted once: routed to one table or unmatched,
// and then written or rejected; each table gets one row per line; a
// record's table gets one row per record written; child tables no more
// than their arrays hold. Decoding the records in two batches must give
// the bytes of one batch, as the workers of a run rely on.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "kvapp/cobdef.h"
#include "kvapp/colnaming.h"
#include "kvstd/codepage.h"
#include "tabform/datapass.h"
#include "tabform/deferred.h"
#include "tabform/dupnames.h"
#include "tabform/params.h"
#include "tabform/templ.h"

namespace {

const char* const kCodepages[] = {"037", "1047", "ASCII", "UTF-8"};

void clear_run() {
    for (uint32_t i = 0; i < TABUTL_arrayGetElements(def_table); ++i)
        static_cast<def_entry*>(TABUTL_arrayGetElement(i, def_table))->~def_entry();
    def_table->count = 0;
    reset_table_shapes();
    CD_definitions().clear();
    reset_deferred();
    last_file_entry = -1;
}

// The naming pass makes an entry of every occurrence, FILLER items too,
// which no column count bounds: a record of millions of them takes the
// program gigabytes, more than this process is given.
bool fits_fuzzer(const cobol_def& def) { return count_expanded_columns(def) <= 1 << 20; }

// Whether a FILE command without CHILDTABLES converts `def`: a held
// definition is then named after the FILE commands.
bool named_by_plain_file(const cobol_def& def) {
    for (uint32_t i = 0; i < TABUTL_arrayGetElements(def_table); ++i)
        if (static_cast<def_entry*>(TABUTL_arrayGetElement(i, def_table))->fields == def.fields) return true;
    return false;
}

size_t lines(const dp_buffer& b) {
    size_t n = 0;
    for (size_t i = 0; i < b.size(); ++i) n += b.data()[i] == '\n';
    return n;
}

std::string text(const dp_buffer& b) { return std::string(b.data(), b.size()); }

// The records of the data, into one batch.
void cut_records(const data_pass& pass, const uint8_t* data, size_t size, bool compact, batch_input& in) {
    pass_scratch scratch;
    in.bytes.assign(data, data + size);
    size_t at = 0;
    int64_t number = 0;
    while (at < size && in.records.size() < 256) {
        batch_record r;
        r.raw = in.bytes.data() + at;
        r.number = ++number;
        r.offset = static_cast<int64_t>(at);
        if (compact) {
            const int64_t n = compact_length(pass, data + at, size - at, scratch);
            FUZZ_CHECK(n >= 0 && n <= pass.longest);
            r.size = n > 0 ? std::min(static_cast<size_t>(n), size - at) : std::min(size - at, static_cast<size_t>(pass.longest));
            r.data = r.raw;
            r.raw_size = r.size;
        } else {
            r.data = r.raw + 1;
            r.size = std::min<size_t>(data[at], size - at - 1);
            r.raw_size = r.size + 1;
        }
        if (r.raw_size == 0) break;
        at += r.raw_size;
        in.records.push_back(r);
    }
}

void check_counts(const data_pass& pass, const batch_input& in, const batch_output& out) {
    const pass_counts& c = out.counts;
    FUZZ_CHECK(c.read == static_cast<int64_t>(in.records.size()));
    int64_t routed = 0, rejected = pass.options.unmatched_skip ? 0 : c.unmatched;
    for (int32_t top : pass.tops) {
        const size_t t = static_cast<size_t>(top);
        routed += c.records[t];
        rejected += c.rejected_of[t];
        FUZZ_CHECK(c.rows[t] == c.records[t] - c.rejected_of[t]);
    }
    FUZZ_CHECK(routed + c.unmatched == c.read);
    FUZZ_CHECK(rejected == c.rejected);
    FUZZ_CHECK(out.rejects.size() <= in.bytes.size());
    if (c.rejected == 0) FUZZ_CHECK(out.rejects.size() == 0);
    for (size_t t = 0; t < pass.tables.size(); ++t) {
        FUZZ_CHECK(static_cast<int64_t>(lines(out.rows[t])) == c.rows[t]);
        FUZZ_CHECK(kvUtf8ValidPrefix(reinterpret_cast<const uint8_t*>(out.rows[t].data()), out.rows[t].size()) ==
                   out.rows[t].size());
        const table_run& run = pass.tables[t];
        int64_t most = 1;
        for (const array_level& a : run.shape.levels) most *= a.max;
        const size_t top = static_cast<size_t>(run.top);
        FUZZ_CHECK(c.rows[t] <= (c.records[top] - c.rejected_of[top]) * most);
    }
}

// The batch cut in two at `split` decodes to the same bytes and counts.
void check_split(const data_pass& pass, const batch_input& in, const batch_output& whole, size_t split) {
    batch_input a, b;
    // The records point into `in`, which outlives both halves.
    a.records.assign(in.records.begin(), in.records.begin() + static_cast<std::ptrdiff_t>(split));
    b.records.assign(in.records.begin() + static_cast<std::ptrdiff_t>(split), in.records.end());
    batch_output oa, ob;
    pass_scratch scratch;
    decode_batch(pass, a, oa, scratch);
    decode_batch(pass, b, ob, scratch);
    for (size_t t = 0; t < pass.tables.size(); ++t) {
        FUZZ_CHECK(text(oa.rows[t]) + text(ob.rows[t]) == text(whole.rows[t]));
        FUZZ_CHECK(oa.counts.rows[t] + ob.counts.rows[t] == whole.counts.rows[t]);
    }
    FUZZ_CHECK(text(oa.rejects) + text(ob.rejects) == text(whole.rejects));
    FUZZ_CHECK(oa.log + ob.log == whole.log);
    FUZZ_CHECK(oa.counts.rejected + ob.counts.rejected == whole.counts.rejected);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::init();
    def_table = TABUTL_arrayCreate();
    create_expand_options();
    // As a database's template does: a record wider than this is refused
    // before its columns are made, and one whose arrays become child
    // tables is never unrolled at all.
    templ_options.max_columns = kTemplMaxColumnsCeiling;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* end = data + size;
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    if (!nul) return 0;
    const uint8_t* nul2 = static_cast<const uint8_t*>(std::memchr(nul + 1, 0, static_cast<size_t>(end - nul - 1)));
    if (!nul2 || nul2 + 1 >= end) return 0;
    clear_run();
    const std::string path = fuzz_support::write_scratch("records.cpy", data, static_cast<size_t>(nul - data));
    std::string error;
    if (!CD_read_defs(error, "COBOLDEFSFILE " + path + " FREE IBM") || CD_definitions().empty()) {
        clear_run();
        return 0;
    }
    for (cobol_def& def : CD_definitions()) {
        if (defer_naming(def, *expand_options)) continue;
        if (!fits_fuzzer(def)) {
            clear_run();
            return 0;
        }
        expand_columns(&def);
    }
    const std::string record = CD_definitions().front().def_name;

    // One FILE command per line; each one's first table starts its part of the pass.
    std::vector<uint32_t> firsts;
    const std::string options(reinterpret_cast<const char*>(nul + 1), static_cast<size_t>(nul2 - nul - 1));
    size_t at = 0;
    for (int i = 0; i < 4 && at <= options.size(); ++i) {
        size_t eol = options.find('\n', at);
        if (eol == std::string::npos) eol = options.size();
        last_file_entry = -1;
        const std::string line = options.substr(at, eol - at);
        const bool names_record = line.rfind("DEF ", 0) == 0;
        get_cobol_table("FILE T" + std::to_string(i) + (names_record ? " " : " DEF " + record + " ") + line);
        if (last_file_entry >= 0) firsts.push_back(static_cast<uint32_t>(last_file_entry));
        at = eol + 1;
    }
    for (const cobol_def& def : CD_definitions())
        if (!fits_fuzzer(def) && named_by_plain_file(def)) {
            clear_run();
            return 0;
        }
    if (!name_deferred_definitions()) {
        clear_run();
        return 0;
    }
    for (uint32_t i = 0; i < TABUTL_arrayGetElements(def_table); ++i)
        check_dup_fields(static_cast<def_entry*>(TABUTL_arrayGetElement(i, def_table)));

    const uint8_t settings = nul2[1];
    data_pass pass;
    pass.options.codepage = kCodepages[settings & 3];
    pass.options.unmatched_skip = settings & 4;
    pass.options.on_error = (settings & 8) ? dp_on_error::null : dp_on_error::reject;
    for (uint32_t first : firsts) add_file_tables(pass, first);
    if (pass.tables.empty() || !kvCodepageLoad(error, pass.options.codepage, pass.codepage)) {
        clear_run();
        return 0;
    }
    dp_options decoding = decode_options(pass.options, pass.codepage);
    decoding.format = dp_row_format::pg_text;  // values' line ends escaped: one line per row
    if (!prepare_pass(error, pass, decoding)) {
        FUZZ_CHECK(!error.empty());
        clear_run();
        return 0;
    }
    batch_input in;
    cut_records(pass, nul2 + 2, static_cast<size_t>(end - nul2 - 2), settings & 16, in);
    batch_output whole;
    pass_scratch scratch;
    decode_batch(pass, in, whole, scratch);
    check_counts(pass, in, whole);
    if (!in.records.empty()) check_split(pass, in, whole, (settings >> 5) % (in.records.size() + 1));
    clear_run();
    return 0;
}
