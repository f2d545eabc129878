// Helpers for the DDL generation tests: scratch files, a clean template and
// variable state, and hand-built items.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kvapp/cobdef.h"
#include "test_files.h"
#include "tabform/deferred.h"
#include "tabform/filekeys.h"
#include "tabform/params.h"
#include "tabform/templ.h"
#include "tabform/writer.h"

namespace tabform_testing {

using test_files::scratch_dir;
using test_files::write_scratch;

// Template, options, variables and run switches as before any run.
inline void reset_state() {
    reset_deferred();
    reset_file_keys();
    reset_templ();
    reset_templ_vars();
    templ_file_name.clear();
    trace_switch = 0;
    ddl_file.stream = stdout;
    ddl_file.name = "stdout";
}

// Reads `content` as the run's template.
inline void read_template(const std::string& content) {
    static int serial = 0;
    // Appended, not "t" + ...: g++ 12 warns falsely (-Wrestrict) on that form.
    std::string name(1, 't');
    name += std::to_string(++serial);
    name += ".tpl";
    templ_file_name = write_scratch(name, content);
    read_templ_file();
}

// The blank-separated words of `text`, as a command line gives them.
inline std::vector<std::string> words_of(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

inline std::string var_text(const char* name) {
    std::string key = name, text;
    int64_t number = 0;
    get_templ_var(key, number, text);
    return text;
}

inline int64_t var_number(const char* name) {
    std::string key = name, text;
    int64_t number = 0;
    get_templ_var(key, number, text);
    return number;
}

// An item: depth, name, data type (-1: group), offset, length.
struct item_spec {
    int16_t depth;
    const char* name;
    int data_type;
    int32_t offset;
    int32_t length;
};

inline column_entry make_item(const item_spec& s) {
    column_entry c;
    c.depth = s.depth;
    c.name = s.name;
    c.elementary = s.data_type >= 0;
    c.data_type = static_cast<int16_t>(s.data_type < 0 ? 0 : s.data_type);
    c.fetch_offset = s.offset;
    c.int_len = c.bin_len = c.tbl_len = c.ext_len = s.length;
    return c;
}

inline def_entry make_entry(const std::string& table, std::initializer_list<item_spec> specs) {
    def_entry e;
    e.table_name = table;
    e.fields = std::make_shared<std::vector<column_entry>>();
    for (const item_spec& s : specs) e.fields->push_back(make_item(s));
    e.field_count = static_cast<int32_t>(e.fields->size());
    if (!e.fields->empty()) e.def_name = e.fields->front().name;
    return e;
}

// The whole content of a stream written to a temporary file.
inline std::string stream_text(FILE* stream) {
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    int c;
    while ((c = std::getc(stream)) != EOF) text.push_back(static_cast<char>(c));
    return text;
}

}  // namespace tabform_testing
