// Fuzz target: the DDL template reader on whole template files. Every
// stored type-map row must have its six fields (a refused row is not
// stored), every stored name-map row its two, and the option record only
// values its words can set. A name written through QUOTENAMES is either
// as it was or wholly quoted; reserved words are stored once, upper case.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "kvapp/colnaming.h"
#include "tabform/params.h"
#include "tabform/templ.h"

namespace {

expand_options_t g_default_options;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::init();
    if (!expand_options) create_expand_options();
    if (!expand_options) std::abort();
    g_default_options = *expand_options;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    reset_templ();
    *expand_options = g_default_options;
    templ_file_name = fuzz_support::write_scratch("input.tpl", data, size);
    read_templ_file();

    for (const type_map_entry& row : type_map) {
        FUZZ_CHECK(!row.type_key.empty() && !row.sql_type.empty());
        FUZZ_CHECK(row.sql_type.find('_') == std::string::npos);
        for (char c : row.type_key) FUZZ_CHECK(!(c >= 'a' && c <= 'z'));
    }
    for (const name_map_entry& row : name_map) {
        FUZZ_CHECK(!row.column_name.empty() && !row.replacement.empty());
        FUZZ_CHECK(row.column_name.find('-') == std::string::npos);
    }
    const templ_options_t& o = templ_options;
    for (int16_t flag : {o.null_clause, o.not_null_clause, o.use_same_nulls, o.include_redefs,
                         o.include_comments})
        FUZZ_CHECK(flag == 0 || flag == 1);
    FUZZ_CHECK(o.resolve_dup_columns >= kResolveDupNone && o.resolve_dup_columns <= kResolveDupAlphaIndex);
    FUZZ_CHECK(o.max_columns >= 0);
    FUZZ_CHECK((o.quote_open == 0) == (o.quote_close == 0));
    for (size_t i = 0; i < reserved_words.size(); ++i) {
        FUZZ_CHECK(!reserved_words[i].empty());
        for (char c : reserved_words[i]) FUZZ_CHECK(!(c >= 'a' && c <= 'z'));
        FUZZ_CHECK(i == 0 || reserved_words[i - 1] < reserved_words[i]);
    }
    for (const char* name : {"ORDER", "1ST_LINE", "CUST-MASTER", "PLAIN_NAME", "A\"B]C`D"}) {
        const std::string written = templ_sql_name(name);
        FUZZ_CHECK(written == name ||
                   (written.size() > 2 && written.front() == o.quote_open && written.back() == o.quote_close));
    }
    const expand_options_t& e = *expand_options;
    FUZZ_CHECK(e.style >= 0 && e.style <= 4 && e.resolve_dups >= 0 && e.resolve_dups <= 3);
    FUZZ_CHECK(e.zero_fill >= -1);
    return 0;
}
