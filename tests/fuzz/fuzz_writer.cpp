// Fuzz target: the expansion of the table-creation text by write_templ.
// The input's lines up to the first empty line set variables ("NAME text",
// or "NAME #number" for a number); the rest is the table-creation text,
// checked by finish_templ and written once to the DDL stream. The nine
// variables a run registers are always there. Text without "?" or "%"
// must come out unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "tabform/params.h"
#include "tabform/templ.h"
#include "tabform/writer.h"

namespace {

FILE* g_sink = nullptr;

void register_run_variables() {
    set_templ_var("TABLE", "ORDERS", 0);
    set_templ_var("DEFINE", "ORDER-REC", 0);
    set_templ_var("COLUMNS", "  ID INTEGER NOT NULL,\n  NAME CHAR(30)", 0);
    set_templ_var("KEYCOLUMNS", "ID", 0);
    set_templ_var("MAXMEGS", nullptr, 9223372036854775807LL);
    set_templ_var("CURMEGS", nullptr, -9223372036854775807LL - 1);
    set_templ_var("MAXPAGES", "4096", 0);
    set_templ_var("CURPAGES", nullptr, 7);
    set_templ_var("DATE", "2024-01", 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::init();
    g_sink = std::fopen("/dev/null", "w");
    if (!g_sink) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    reset_templ();
    reset_templ_vars();
    register_run_variables();

    size_t at = 0;
    while (at < input.size()) {
        size_t end = input.find('\n', at);
        if (end == std::string_view::npos) end = input.size();
        const std::string line(input.substr(at, end - at));
        at = end + 1;
        if (line.empty()) break;
        const size_t blank = line.find(' ');
        const std::string name = line.substr(0, blank);
        const std::string value = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (!value.empty() && value[0] == '#')
            set_templ_var(name.c_str(), nullptr, std::strtoll(value.c_str() + 1, nullptr, 10));
        else
            set_templ_var(name.c_str(), blank == std::string::npos ? nullptr : value.c_str(), 0);
    }
    if (at < input.size()) templ_text.assign(input.substr(at));

    FUZZ_CHECK(finish_templ() == 1);
    ddl_file.stream = g_sink;
    write_templ();
    if (templ_text.find_first_of("?%") == std::string::npos)
        FUZZ_CHECK(expand_templ_text(templ_text) == templ_text);
    return 0;
}
