// Fuzz target: the clause and picture parser. Each input line is one data
// description entry, parsed against the record filled so far (REDEFINES
// looks there) and added to it; a level at or above the record's first
// level closes the record, as the file reader does. A parsed entry must be
// sound whatever the text, and every record that closes must be a proper
// laid-out definition.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_cobdef_checks.h"
#include "fuzz_support.h"
#include "kvapp/cobdef.h"
#include "kvapp/cobdef_internal.h"

namespace {

void check_entry(const column_entry& e, int is_field, const cobol_def& current) {
    if (!is_field) return;
    FUZZ_CHECK(e.level_number >= 1 && e.level_number <= 50);
    FUZZ_CHECK(!e.name.empty() && e.name.size() <= CD_MAX_NAME);
    FUZZ_CHECK(e.occurs >= 1 && e.occurs <= CD_MAX_OCCURS);
    const size_t filled = current.fields ? current.fields->size() : 0;
    const int32_t redefined = e.redefines_before_naming;
    FUZZ_CHECK(redefined >= 0 && (redefined == 0 || static_cast<size_t>(redefined) < filled));
    if (e.elementary) {
        FUZZ_CHECK(fuzz_support::known_type(e.data_type));
        FUZZ_CHECK(e.int_len >= 1 && e.int_len == e.bin_len && e.int_len == e.tbl_len);
        // A COMP-3 word without a picture is read as a packed decimal of
        // no digits: the one type whose external length may be 0.
        FUZZ_CHECK(e.ext_len >= (e.data_type == CD_TYPE_PACKED ? 0 : 1) && e.scale >= 0);
    } else {
        FUZZ_CHECK(e.data_type == 0 && e.int_len == 0);
    }
}

void close_and_check(cobol_def& current) {
    if (current.fields && !current.fields->empty()) {
        std::string error;
        if (CD_close_record(error, current)) fuzz_support::check_definition(current);
        else FUZZ_CHECK(!error.empty());
    }
    current = cobol_def{};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    cobol_def current;
    size_t at = 0;
    while (at <= input.size()) {
        size_t end = input.find('\n', at);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view statement = input.substr(at, end - at);
        at = end + 1;
        column_entry entry;
        int is_field = -1;
        std::string error;
        const int ok = CD_parse_field(error, statement, current, entry, is_field);
        FUZZ_CHECK(ok == 0 || ok == 1);
        if (!ok) {
            FUZZ_CHECK(!error.empty());
            continue;
        }
        FUZZ_CHECK(is_field == 0 || is_field == 1);
        check_entry(entry, is_field, current);
        if (!is_field) continue;
        if (current.fields && !current.fields->empty() &&
            entry.level_number <= current.fields->front().level_number)
            close_and_check(current);
        if (!CD_add_field(error, current, entry)) FUZZ_CHECK(!error.empty());
    }
    close_and_check(current);
    return 0;
}
