// loadscript: the template's row options and Data Load Section, and the
// run's load script.
//
// Invariants: the options are read once with the template and only read
// afterwards; the load script is written whole through a replacement file,
// so a run that fails leaves an earlier script as it was; names and paths
// go into it exactly as the DDL and the rows files have them.
#include "tabform/loadscript.h"

#include <cerrno>
#include <cstdio>

#include "kvlog/kvraise.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"
#include "tabform/templ.h"
#include "tabform/writer.h"

static const kvModuleId kModule{"tabform.main", "$Id: loadscript.cpp 1.0 tabcopy $"};

templ_rows_t templ_rows;

namespace {

void refuse(const std::string& keyword, const char* needs) { refuse_templ_option(keyword, needs); }

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// ROWNULL's text, with \xHH written as its byte and \\ as a backslash.
bool unescape(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && hex_value(text[i + 2]) >= 0 &&
                   hex_value(text[i + 3]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 2]) * 16 + hex_value(text[i + 3]));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

void row_format_option(const std::string& keyword, const std::vector<std::string>& words) {
    static const std::pair<const char*, dp_row_format> kFormats[] = {
        {"CSV", dp_row_format::csv}, {"PGTEXT", dp_row_format::pg_text}, {"MYSQL", dp_row_format::mysql}};
    if (words.size() == 1)
        for (const auto& [name, format] : kFormats)
            if (kvEqualsNoCase(words[0], name)) {
                templ_rows.format = format;
                return;
            }
    refuse(keyword, "CSV, PGTEXT or MYSQL");
}

void row_null_option(const std::string& keyword, const std::vector<std::string>& words) {
    std::string text;
    if (words.size() != 1 || !unescape(words[0], text) || text.find_first_of(",\"\r\n") != std::string::npos) {
        refuse(keyword, "one word without comma, quote or line end (\\xHH writes a byte)");
        return;
    }
    templ_rows.null_text = text;
}

void suffix_option(const std::string& keyword, const std::vector<std::string>& words, std::string& target) {
    if (words.size() != 1 || words[0].find_first_of("/'\"") != std::string::npos) {
        refuse(keyword, "one suffix such as .csv, without a slash or a quote");
        return;
    }
    target = words[0];
}

}  // namespace

bool add_rows_param(const std::string& word, const std::vector<std::string>& words) {
    if (word == "ROWFORMAT") row_format_option(word, words);
    else if (word == "ROWHEADER") templ_rows.header = true;
    else if (word == "NOROWHEADER") templ_rows.header = false;
    else if (word == "REFUSENUL") templ_rows.refuse_nul = true;
    else if (word == "ROWNULL") row_null_option(word, words);
    else if (word == "ROWSUFFIX") suffix_option(word, words, templ_rows.rows_suffix);
    else if (word == "LOADSUFFIX") suffix_option(word, words, templ_rows.load_suffix);
    else return false;
    return true;
}

void add_load_line(const std::string& line) {
    templ_rows.has_load_section = true;
    templ_rows.load_text += line;
}

void reset_templ_rows() { templ_rows = templ_rows_t{}; }

std::string rows_suffix() {
    if (!templ_rows.rows_suffix.empty()) return templ_rows.rows_suffix;
    switch (templ_rows.format) {
    case dp_row_format::csv: return ".csv";
    case dp_row_format::pg_text: return ".copy";
    case dp_row_format::mysql: return ".tsv";
    }
    return ".rows";
}

std::string default_load_script_name(const std::string& ddl_name, const std::string& tag) {
    const std::string suffix = templ_rows.load_suffix.empty() ? ".load.sql" : templ_rows.load_suffix;
    const size_t slash = ddl_name.rfind('/');
    const size_t dot = ddl_name.rfind('.');
    // A dot that starts the name (".ddl") hides a file; it is no extension.
    const size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    const bool has_extension = dot != std::string::npos && dot > name_start;
    return (has_extension ? ddl_name.substr(0, dot) : ddl_name) + tag + suffix;
}

namespace {

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + names[i];
    return out;
}

// One line of the section for one table: repeated per column when it
// begins with a repetition word.
void expand_line(const std::string& line, const load_entry& entry, std::string& out) {
    static const std::pair<const char*, bool> kRepeats[] = {{"?EACHCOLUMN", false}, {"?EACHNULLABLE", true}};
    for (const auto& [word, only_nullable] : kRepeats) {
        const size_t length = std::char_traits<char>::length(word);
        if (line.compare(0, length, word) != 0) continue;
        const std::string rest = line.substr(line[length] == ' ' ? length + 1 : length);
        for (const std::string& column : only_nullable ? entry.nullable : entry.columns) {
            set_templ_var("COLUMN", column.c_str(), 0);
            out += expand_templ_text(rest);
        }
        return;
    }
    out += expand_templ_text(line);
}

}  // namespace

void write_load_script(const std::string& path, const std::vector<load_entry>& entries) {
    std::string text;
    for (const load_entry& entry : entries) {
        set_templ_var("TABLE", entry.table.c_str(), 0);
        set_templ_var("ROWSFILE", entry.rows_file.c_str(), 0);
        set_templ_var("COLUMNLIST", joined(entry.columns).c_str(), 0);
        set_templ_var("HEADERLINES", entry.header ? "1" : "0", 0);
        set_templ_var("FIRSTROW", entry.header ? "2" : "1", 0);
        size_t at = 0;
        while (at < templ_rows.load_text.size()) {
            size_t end = templ_rows.load_text.find('\n', at);
            end = end == std::string::npos ? templ_rows.load_text.size() : end + 1;
            expand_line(templ_rows.load_text.substr(at, end - at), entry, text);
            at = end;
        }
    }
    FILE* stream = kvOpenReplacement(path.c_str(), false);
    if (!stream) {
        kvRaiseMessage(KV_SITE_FN(kModule, "write_load_script"), 1091, {path});
        return;
    }
    if (!kvWriteFlush(stream, text.data(), text.size())) kvWriteFailed(path.c_str(), errno);
}
