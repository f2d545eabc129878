// cobdef_read: the definitions area and the definitions file reader.
//
// Owns the definitions area (only ever appended to) and the reader state,
// which is idle between calls: no file open, no statement, no position.
// The text comes from the copybook source stage (cobsrc.h), which has
// already applied the reference format, removed comments and replaced COPY
// statements; here it is joined into statements. A statement is the text
// of one data description entry, joined from its lines with single spaces;
// it ends at a separator period, which may be followed on the same line by
// further entries.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "kvapp/cobdef.h"
#include "kvapp/cobdef_internal.h"
#include "kvapp/cobsrc.h"
#include "kvstd/strutl.h"

namespace {

struct reader_state {
    cd_source source;
    bool format_named = false;
    std::string record_name;     // RECORD: the whole file is one definition
    cd_pos statement_pos;        // line 0: no statement being read
    std::string statement;
    char quote = 0;              // literal left open at the end of the last line
    size_t scanned = 0;          // statement text already searched for a period
    // Where each group entry of the record being filled began (field index,
    // position), so that a group found empty when the record closes is
    // reported at its own line.
    std::vector<std::pair<size_t, cd_pos>> groups;
    int32_t error_origin = -1;   // the file an error was found in; -1: none read
    cd_dialect dialect = cd_dialect::tabcopy;
    cd_read_notes notes;
};

reader_state& state() {
    static reader_state s;
    return s;
}

void reset_reader() {
    reader_state& s = state();
    CD_source_close(s.source);
    s.statement.clear();
    s.statement_pos = {};
    s.quote = 0;
    s.scanned = 0;
    s.groups.clear();
    s.error_origin = -1;
}

// Notes the first fixed-size binary item that IBM COBOL would size by its
// digits instead: in the tabcopy dialect it holds fewer digits than its
// picture, which a copybook written for IBM never means.
void note_narrow_binary(const column_entry& entry, const cd_entry_text& text, const cd_parse_facts& facts) {
    reader_state& s = state();
    if (s.dialect != cd_dialect::tabcopy || !s.notes.field.empty() || !CD_binary_too_narrow(facts.usage, facts.digits))
        return;
    s.notes.field = entry.name;
    s.notes.where = CD_source_where(s.source, s.statement_pos);
    s.notes.usage = text.usage;
    s.notes.digits = facts.digits;
    s.notes.bytes = entry.int_len;
}

// Words of `text` separated by any of `separators`, starting at `pos`;
// `pos` is left after the word returned.
std::string_view next_word(std::string_view text, size_t& pos, const char* separators) {
    const size_t start = text.find_first_not_of(separators, pos);
    if (start == std::string_view::npos) {
        pos = text.size();
        return {};
    }
    size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) end = text.size();
    pos = end;
    return text.substr(start, end - start);
}

// Reports the first group of the record being filled that has no
// elementary item, at the line its entry began.
int check_groups(std::string& error, const cobol_def& current) {
    reader_state& s = state();
    const int group = CD_find_empty_group(current);
    if (group < 0) return 1;
    cd_pos pos;
    for (const auto& g : s.groups)
        if (g.first == static_cast<size_t>(group)) pos = g.second;
    s.statement_pos = {};
    const std::string where = CD_source_where(s.source, pos);
    const std::string& name = (*current.fields)[static_cast<size_t>(group)].name;
    if (where.empty()) CD_error(error, "Group %s did not have elementary items", name.c_str());
    else CD_error(error, "Group %s did not have elementary items (%s)", name.c_str(), where.c_str());
    s.error_origin = pos.origin;
    return 0;
}

// Closes the record being filled and adds it to the definitions area.
int close_record(std::string& error, cobol_def& current) {
    reader_state& s = state();
    if (!check_groups(error, current)) return 0;
    // Errors found while closing belong to the record, not to the entry
    // that happens to follow it.
    const cd_pos entry_pos = s.statement_pos;
    s.statement_pos = {};
    if (!CD_close_record(error, current)) return 0;
    s.statement_pos = entry_pos;
    CD_definitions().push_back(std::move(current));
    current = cobol_def{};
    s.groups.clear();
    return 1;
}

// The text to parse for a statement. Under RECORD a level-77 item, an
// elementary item of its own elsewhere, is one more top-level field of
// the record: it is read as level 01.
std::string_view record_entry_text(const std::string& statement) {
    static std::string rewritten;
    if (state().record_name.empty()) return statement;
    const size_t first = statement.find_first_not_of(' ');
    if (first == std::string::npos || statement.compare(first, 2, "77") != 0 ||
        (first + 2 < statement.size() && statement[first + 2] != ' ' && statement[first + 2] != '.'))
        return statement;
    rewritten = statement;
    rewritten.replace(first, 2, "01");
    return rewritten;
}

bool is_level_88(const std::string& statement) {
    const size_t first = statement.find_first_not_of(' ');
    return first != std::string::npos && statement.compare(first, 2, "88") == 0 &&
           (first + 2 == statement.size() || statement[first + 2] == ' ' || statement[first + 2] == '.');
}

// A level-88 entry names values of the field before it.
void add_condition(cobol_def& current, cd_condition condition) {
    if (!current.fields || current.fields->empty()) return;
    condition.text = current.fields->back().text;
    if (!current.conditions) current.conditions = std::make_shared<std::vector<cd_condition>>();
    current.conditions->push_back(std::move(condition));
}

// Parses the entry now held as the statement and places it in a record.
int take_entry(std::string& error, cobol_def& current) {
    reader_state& s = state();
    // A period standing alone ends nothing: compilers pass over it.
    if (s.statement.find_first_not_of(' ') == s.statement.size() - 1) return 1;
    // A condition's literals keep their case: it is read before the upshift.
    // One that cannot be read is passed over, as every 88 entry always was:
    // only a FILE condition naming it needs it, and says so then.
    cd_condition condition;
    std::string ignored;
    const bool is_condition = is_level_88(s.statement) && CD_parse_condition(ignored, s.statement, condition);
    for (char& c : s.statement)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    column_entry entry;
    int is_field = 0;
    cd_entry_text text;
    cd_parse_facts facts;
    current.dialect = s.dialect;
    if (!CD_parse_field(error, record_entry_text(s.statement), current, entry, is_field, &text, &facts)) return 0;
    if (!is_field) {
        if (is_condition) add_condition(current, std::move(condition));
        return 1;
    }
    note_narrow_binary(entry, text, facts);
    const bool empty = !current.fields || current.fields->empty();
    if (!empty && entry.level_number <= current.fields->front().level_number && !close_record(error, current)) return 0;
    if (!current.fields) current.fields = std::make_shared<std::vector<column_entry>>();
    if (!current.texts) current.texts = std::make_shared<std::vector<cd_entry_text>>();
    if (current.fields->empty()) current.first_level = entry.level_number;
    current.dialect = s.dialect;
    entry.text = static_cast<int32_t>(current.texts->size());
    current.texts->push_back(std::move(text));
    if (!entry.elementary) s.groups.emplace_back(current.fields->size(), s.statement_pos);
    return CD_add_field(error, current, std::move(entry));
}

void start_statement(cd_pos pos) {
    reader_state& s = state();
    s.statement_pos = pos;
    s.quote = 0;
    s.scanned = 0;
}

// Adds one line's text to the statement and handles every entry it ends.
int add_text(std::string& error, const cd_line& line, cobol_def& current) {
    reader_state& s = state();
    // A literal left open runs on into the next line, so that an
    // unterminated one cannot end the entry at a period of its own text.
    if (s.statement.empty()) start_statement(line.pos);
    else s.statement.push_back(' ');
    s.statement.append(line.text);

    for (;;) {
        const size_t found = CD_find_separator_period(std::string_view(s.statement).substr(s.scanned), s.quote);
        if (found == std::string_view::npos) {
            s.scanned = s.statement.size();
            return 1;
        }
        const size_t period = s.scanned + found;
        const size_t first = s.statement.find_first_not_of(' ', period + 1);
        if (first == std::string::npos) {
            s.statement.resize(period + 1);
            if (!take_entry(error, current)) return 0;
            s.statement.clear();
            start_statement({});
            return 1;
        }
        // Further entries follow on this line.
        std::string rest = s.statement.substr(first);
        s.statement.resize(period + 1);
        if (!take_entry(error, current)) return 0;
        s.statement = std::move(rest);
        start_statement(line.pos);
    }
}

// The sentence an error gains when the file it was found in was read in
// FREE format but its layout is that of the fixed reference format.
std::string format_hint() {
    const reader_state& s = state();
    const int32_t origin = s.error_origin;
    if (origin < 0 || static_cast<size_t>(origin) >= s.source.origins.size()) return {};
    const cd_origin& file = s.source.origins[static_cast<size_t>(origin)];
    if (file.format != cd_format::free_form || CD_detect_format_of(file.path) != cd_format::fixed) return {};
    const std::string which = origin == 0 ? "The file" : "The member " + file.path;
    const std::string fix = s.format_named ? "name FIXED or AUTO instead of FREE in" : "add FIXED or AUTO to";
    return "\n" + which +
           " looks like fixed reference format (sequence numbers in columns 1-6, comment lines marked in "
           "column 7, or identification text in columns 73-80): " + fix + " the COBOLDEFSFILE command.";
}

// RECORD name: a group of that name, before every entry of the file, makes
// the file one definition; level 0 puts every entry below it.
cobol_def record_of_file() {
    cobol_def def;
    def.fields = std::make_shared<std::vector<column_entry>>();
    column_entry group;
    group.name = state().record_name.substr(0, CD_MAX_NAME);
    group.level_number = 0;
    group.text = 0;
    def.texts = std::make_shared<std::vector<cd_entry_text>>();
    def.texts->push_back(cd_entry_text{0, group.name, {}, {}, {}, 0, 0});
    def.fields->push_back(std::move(group));
    def.field_count = 1;
    def.first_level = 0;
    return def;
}

// A format word: FIXED, FREE or AUTO, in any case.
bool format_word(std::string_view word, cd_format& format) {
    static constexpr std::pair<std::string_view, cd_format> kWords[] = {
        {"FIXED", cd_format::fixed}, {"FREE", cd_format::free_form}, {"AUTO", cd_format::automatic}};
    for (const auto& [name, value] : kWords) {
        if (!kvEqualsNoCase(word, name)) continue;
        format = value;
        return true;
    }
    return false;
}

}  // namespace

std::vector<cobol_def>& CD_definitions() {
    static std::vector<cobol_def> area;
    return area;
}

int CD_error(std::string& error, const char* format, ...) {
    std::string message;
    va_list args;
    va_start(args, format);
    kvVAppendf(message, format, args);
    va_end(args);

    reader_state& s = state();
    if (s.error_origin >= 0 && s.statement_pos.line != 0) s.error_origin = s.statement_pos.origin;
    if (s.statement_pos.line != 0) {
        error = "Error processing COBOL definition - ";
        error += message;
        error += " (";
        error += CD_source_where(s.source, s.statement_pos);
        error += "):\n";
        error += s.statement;
    } else {
        error = std::move(message);
    }
    CD_source_close(s.source);
    return 0;
}

const char* CD_dialect_name(cd_dialect dialect) { return dialect == cd_dialect::ibm ? "IBM" : "TABCOPY"; }

bool CD_dialect_word(std::string_view word, cd_dialect& dialect) {
    for (const cd_dialect d : {cd_dialect::tabcopy, cd_dialect::ibm}) {
        if (!kvEqualsNoCase(word, CD_dialect_name(d))) continue;
        dialect = d;
        return true;
    }
    return false;
}

int CD_open_defs(std::string& error, const std::string& command, const cd_read_options& options) {
    reader_state& s = state();
    reset_reader();
    s.source.origins.clear();
    s.dialect = options.dialect;
    s.notes = {};

    size_t pos = 0;
    next_word(command, pos, " ");  // the command word
    const std::string path(next_word(command, pos, " "));
    if (path.empty()) return CD_error(error, "Missing definitions file name");

    // The words after the file name, in any order: one format word and
    // RECORD with its name. They are checked after the file is opened, so
    // a missing file is reported first, as it always was.
    cd_format format = cd_format::free_form;
    s.format_named = false;
    s.record_name.clear();
    bool record_named = false, dialect_named = false;
    std::string unknown;
    for (;;) {
        const std::string_view word = next_word(command, pos, " ,");
        if (word.empty()) break;
        if (!unknown.empty()) continue;
        if (!record_named && kvEqualsNoCase(word, "RECORD")) {
            record_named = true;
            s.record_name = next_word(command, pos, " ,");
            s.record_name = kvUpshifted(std::move(s.record_name));
        } else if (!s.format_named && format_word(word, format)) {
            s.format_named = true;
        } else if (!dialect_named && CD_dialect_word(word, s.dialect)) {
            dialect_named = true;
        } else {
            unknown = word;
        }
    }
    // An unknown word must not decide the format from the file first.
    std::string message;
    if (!CD_source_open(message, s.source, path, unknown.empty() ? format : cd_format::free_form, s.format_named,
                        options.copylib))
        return CD_error(error, "%s", message.c_str());
    if (record_named && s.record_name.empty())
        return CD_error(error, "RECORD needs the name of the record after it");
    if (!unknown.empty()) return CD_error(error, "Did not recognize pararameter %s", unknown.c_str());
    return 1;
}

int CD_read_defs(std::string& error, const std::string& command, const std::vector<std::string>& copylib) {
    cd_read_options options;
    options.copylib = copylib;
    return CD_read_defs(error, command, options);
}

int CD_read_defs(std::string& error, const std::string& command, const cd_read_options& options, cd_read_notes* notes) {
    error.clear();
    if (notes) *notes = {};
    if (!CD_open_defs(error, command, options)) {
        reset_reader();
        return 0;
    }
    reader_state& s = state();
    // From here on an error concerns the text read: a file laid out in
    // fixed format but read in FREE gets a hint.
    s.error_origin = 0;
    cobol_def current = s.record_name.empty() ? cobol_def{} : record_of_file();
    if (!current.fields) current.fields = std::make_shared<std::vector<column_entry>>();
    int ok = 1;
    for (;;) {
        cd_line line;
        bool end = false;
        std::string message;
        if (!CD_source_next(message, s.source, line, end)) {
            if (s.source.error_pos.line != 0) {
                // The report shows the COPY statement that failed.
                s.statement_pos = s.source.error_pos;
                s.statement = s.source.error_text;
            }
            ok = CD_error(error, "%s", message.c_str());
            break;
        }
        if (end) break;
        if (!add_text(error, line, current)) {
            ok = 0;
            break;
        }
    }
    if (ok && !s.statement.empty()) ok = CD_error(error, "Last statement was not terminated");
    if (ok && current.fields && !current.fields->empty()) {
        s.statement_pos = {};
        ok = close_record(error, current);
    }
    if (!ok) error += format_hint();
    if (notes) *notes = s.notes;
    reset_reader();
    return ok;
}
