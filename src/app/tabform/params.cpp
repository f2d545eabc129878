// params: the run parameter file's commands. Owns the DDL output stream,
// the template path, the trace switch and def_table.
//
// Invariants: a FILE, TABLE or DDLFILE command refused by a message adds no
// entry and opens nothing, whether or not the message ends the run; only a
// DDLFILE whose open fails leaves the stream absent, and FILE and TABLE are
// then refused. An existing DDL file is truncated only under PURGE. Every
// def_table element is a constructed def_entry sharing the fields of the
// definition it copies, so key marks and names set through one entry are
// seen through every entry of that definition. File names, template path,
// table names and key lists are held whole: nothing is cut to a length.
#include "tabform/params.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <vector>

#include "kvapp/cobdef.h"
#include "kvapp/colnaming.h"
#include "kvapp/console.h"
#include "kvapp/parmutl.h"
#include "kvlog/kvraise.h"
#include "kvstd/config.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"
#include "kvstd/timecnv.h"
#include "tabform/childtables.h"
#include "tabform/datarun.h"
#include "tabform/deferred.h"
#include "tabform/filekeys.h"
#include "tabform/layout.h"

static const kvModuleId kModule{"tabform.main", "$Id: params.cpp 1.0 tabcopy $"};

ddl_output_t ddl_file{stdout, "stdout"};
std::string templ_file_name;
std::vector<std::string> copylib_folders;
int16_t trace_switch = 0;
TABUTL_array* def_table = nullptr;
cd_dialect default_dialect = cd_dialect::tabcopy;
int32_t last_file_entry = -1;

namespace {

const char* const kBanner =
    "\n***********************************************************************\n"
    "**            Running with the following parameters                  **\n"
    "***********************************************************************\n";

const char* const kFileSeparators = " ,;";

// Tokens of a command text, each ended by any of the given separators.
class token_reader {
public:
    explicit token_reader(const std::string& text) : text_(text) {}

    bool next(const char* separators, std::string& token) {
        const size_t start = text_.find_first_not_of(separators, at_);
        if (start == std::string::npos) {
            at_ = text_.size();
            return false;
        }
        size_t end = text_.find_first_of(separators, start);
        if (end == std::string::npos) end = text_.size();
        token = text_.substr(start, end - start);
        at_ = end;
        return true;
    }
    size_t position() const { return at_; }
    void move_to(size_t at) { at_ = at; }

private:
    const std::string& text_;
    size_t at_ = 0;
};

bool same_word(const std::string& a, const char* b) { return kvStrCmpNoCase(a.c_str(), b) == 0; }

// FILE and TABLE need an open DDL stream: their output would go nowhere.
bool ddl_stream_ready(const std::string& word) {
    if (ddl_file.stream) return true;
    kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 362, {"DDLFILE", word});
    return false;
}

void upshift_unless_case_sensitive(std::string& command) {
    if (!global_settings.case_sensitive) kvUpshiftNotQuoted(command);
}

void file_command(std::string& command, const std::string& word) {
    if (!ddl_stream_ready(word)) return;
    upshift_unless_case_sensitive(command);
    get_cobol_table(command);
}

void table_command(std::string& command, const std::string& word) {
    if (!ddl_stream_ready(word)) return;
    upshift_unless_case_sensitive(command);
    get_sql_tables();
}

void ddlfile_command(std::string& command, const std::string&) { create_tabform_file(command); }

// A copybook without an 01 level that gave several definitions was most
// likely meant as one record: say so once, and how to read it as one.
void warn_if_split(const std::string& file, size_t before) {
    const std::vector<cobol_def>& defs = CD_definitions();
    if (defs.size() - before < 2 || defs[before].first_level <= 1) return;
    kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1248,
                   {file, static_cast<int32_t>(defs.size() - before), defs[before].def_name});
}

// A binary item too narrow for its digits in the tabcopy dialect: most
// likely an IBM copybook read without its dialect.
void warn_if_narrow(const std::string& file, const cd_read_notes& notes) {
    if (notes.field.empty()) return;
    kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1259,
                   {file, notes.field, notes.where, notes.usage,
                    static_cast<int32_t>(std::min<int64_t>(notes.digits, INT32_MAX)), notes.bytes});
}

// Names the definitions this command added, with the options in force now.
void cobol_defs_command(std::string& command, const std::string&) {
    std::vector<cobol_def>& defs = CD_definitions();
    const size_t before = defs.size();
    // Records closed before a failure stay in the area and are named too.
    load_copybook(command);
    if (!expand_options) return;
    for (size_t i = before; i < defs.size(); ++i)
        if (!defer_naming(defs[i], *expand_options)) expand_columns(&defs[i]);
}

// DIALECT IBM|TABCOPY: the dialect of the COBOLDEFSFILE commands after it
// that name none.
void dialect_command(std::string& command, const std::string& word) {
    token_reader tokens(command);
    std::string name, extra;
    tokens.next(" ", name);
    if (!tokens.next(" ,", name)) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 209, {word});
        return;
    }
    cd_dialect dialect = default_dialect;
    if (!CD_dialect_word(name, dialect) || tokens.next(" ,", extra)) {
        std::string reason = "unknown dialect ";
        reason += extra.empty() ? name : extra;
        reason += "; the dialects are IBM and TABCOPY";
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1247, {"DIALECT", reason});
        return;
    }
    default_dialect = dialect;
}

// COPYLIB adds folders for the COBOLDEFSFILE commands after it.
void copylib_command(std::string& command, const std::string& word) {
    token_reader tokens(command);
    std::string folder;
    tokens.next(" ", folder);
    const size_t before = copylib_folders.size();
    while (tokens.next(" ,", folder)) copylib_folders.push_back(folder);
    if (copylib_folders.size() == before) kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 209, {word});
}

// Any existing file counts, not only one this process may read: a
// write-only file would otherwise be truncated without PURGE, and opening a
// FIFO to test it would block the run.
bool ddl_file_exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

// LAYOUTFILE <file> [TEXT|JSON] [PURGE|APPEND]: the layout of every FILE
// entry, as the DDL file holds its table; an existing file as for DDLFILE.
void layout_command(std::string& command, const std::string& word) {
    token_reader tokens(command);
    std::string name, option;
    tokens.next(" ", option);
    if (!tokens.next(" ,", name)) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 209, {word});
        return;
    }
    bool as_json = false;
    const char* mode = "";
    while (tokens.next(" ,", option)) {
        if (same_word(option, "TEXT")) as_json = false;
        else if (same_word(option, "JSON")) as_json = true;
        else if (same_word(option, "PURGE")) mode = "w";
        else if (same_word(option, "APPEND")) mode = "a";
        else {
            kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1247,
                           {"LAYOUTFILE", "unknown option " + option + "; the options are TEXT, JSON, PURGE and APPEND"});
            return;
        }
    }
    if (!*mode && ddl_file_exists(name)) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 37, {"LAYOUTFILE", name});
        return;
    }
    open_layout_file(name, as_json, mode[0] == 'a');
}

void template_command(std::string& command, const std::string&) {
    token_reader tokens(command);
    std::string word, path;
    tokens.next(" ", word);
    if (tokens.next(" ", path))
        templ_file_name = path;
    else if (templ_file_name.empty())
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 209, {"DDLTEMPLATEFILE"});
}

void trace_command(std::string&, const std::string&) { trace_switch = 1; }

void expand_command(std::string& command, const std::string&) {
    std::string error;
    if (!parse_expand_options(error, command))
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1247, {"EXPANDDDL", error});
}

struct command_handler {
    const char* name;
    void (*run)(std::string& command, const std::string& word);
};

const command_handler kCommands[] = {
    {"FILE", file_command},
    {"TABLE", table_command},
    {"DDLFILE", ddlfile_command},
    {"COBOLDEFSFILE", cobol_defs_command},
    {"COPYLIB", copylib_command},
    {"DIALECT", dialect_command},
    {"DDLTEMPLATEFILE", template_command},
    {"LAYOUTFILE", layout_command},
    {"DATAFILE", datafile_command},
    {"LOADSCRIPT", loadscript_command},
    {"TRACE", trace_command},
    {"EXPANDDDL", expand_command},
};

void run_command(std::string& command) {
    token_reader tokens(command);
    std::string word;
    if (!tokens.next(" ", word)) return;
    for (const command_handler& h : kCommands) {
        if (same_word(word, h.name)) {
            h.run(command, word);
            return;
        }
    }
    kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 14, {word});
}


// The header carries the local time of creation, to the second.
void write_ddl_header(FILE* stream, const std::string& name) {
    char when[kJtsTextSize];
    jts_to_text(when, sizeof when, current_jts());
    char header[kJtsTextSize + 64];
    const int length =
        std::snprintf(header, sizeof header, "--\n-- Definitions created %.19s\n--\n\n", when);
    if (!kvWriteFlush(stream, header, static_cast<size_t>(length)))
        kvWriteFailed(name.c_str(), errno);
}

// The mode DDLFILE's options ask for: "" for none, null after message 411.
const char* read_ddl_mode(token_reader& tokens) {
    const char* mode = "";
    std::string token;
    while (tokens.next(" ,", token)) {
        if (same_word(token, "PURGE")) {
            mode = "w";
        } else if (same_word(token, "APPEND")) {
            mode = "a";
        } else {
            kvRaiseMessage(KV_SITE_FN(kModule, "create_tabform_file"), 411);
            return nullptr;
        }
    }
    return mode;
}

void open_ddl_file(const std::string& name, const char* mode) {
    // Only the last DDLFILE receives the DDL: an earlier one keeps its header alone.
    if (ddl_file.stream && ddl_file.stream != stdout)
        kvRaiseMessage(KV_SITE_FN(kModule, "create_tabform_file"), 1296, {name, ddl_file.name});
    ddl_file.name = name;
    // Written beside the file and put in place when the run succeeds: a run
    // that fails leaves the file as it was, with PURGE and with APPEND.
    ddl_file.stream = kvOpenReplacement(name.c_str(), mode[0] == 'a');
    if (!ddl_file.stream) {
        kvRaiseMessage(KV_SITE_FN(kModule, "create_tabform_file"), 1091, {name});
        return;
    }
    write_ddl_header(ddl_file.stream, name);
}

struct file_options {
    std::string table;
    std::string def_name;
    std::string keycols;
    std::string variant;   // VARIANT: the one alternative of its REDEFINES the table keeps
    std::string when;      // WHEN: the condition, the rest of the command
    bool child_tables = false;
};

// WHEN takes the rest of the command: a condition on a field of the record.
void read_when(const std::string& command, token_reader& tokens, std::string& when) {
    when = command.substr(tokens.position());
    const size_t end = when.find_last_not_of(" ;\t\r\n");
    when.erase(end == std::string::npos ? 0 : end + 1);
    const size_t start = when.find_first_not_of(" \t");
    when.erase(0, start == std::string::npos ? when.size() : start);
    tokens.move_to(command.size());
}

// KEYCOLS takes what lies between the next "(" and the ")" after it.
bool read_keycols(const std::string& command, token_reader& tokens, std::string& keycols) {
    const size_t open = command.find('(', tokens.position());
    const size_t close = open == std::string::npos ? open : command.find(')', open + 1);
    if (close == std::string::npos) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 208, {"KEYCOLS"});
        return false;
    }
    keycols = command.substr(open + 1, close - open - 1);
    tokens.move_to(close + 1);
    return true;
}

// The options after the table name; false after the message for the first
// one refused.
bool read_file_options(const std::string& command, token_reader& tokens, file_options& out) {
    bool have_definition = false;
    std::string token;
    while (tokens.next(kFileSeparators, token)) {
        if (same_word(token, "DEF") || same_word(token, "DEFINITION")) {
            if (!tokens.next(kFileSeparators, out.def_name)) {
                kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 209, {token});
                return false;
            }
            have_definition = true;
        } else if (same_word(token, "KEYCOLS")) {
            if (!read_keycols(command, tokens, out.keycols)) return false;
        } else if (same_word(token, "CHILDTABLES")) {
            out.child_tables = true;
        } else if (same_word(token, "VARIANT")) {
            if (!tokens.next(kFileSeparators, out.variant)) {
                kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 209, {token});
                return false;
            }
        } else if (same_word(token, "WHEN")) {
            read_when(command, tokens, out.when);
            if (out.when.empty()) {
                kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 209, {token});
                return false;
            }
        } else {
            kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 1245, {out.table});
            return false;
        }
    }
    if (!have_definition)
        kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 209, {"DEFINITION"});
    return have_definition;
}

bool read_file_command(const std::string& command, file_options& out) {
    token_reader tokens(command);
    std::string word;
    tokens.next(" ", word);
    if (!tokens.next(kFileSeparators, out.table)) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_cobol_table"), 200);
        return false;
    }
    return read_file_options(command, tokens, out);
}

// The first loaded definition of that name, in load order.
const cobol_def* find_definition(const std::string& name) {
    for (const cobol_def& def : CD_definitions())
        if (kvStrCmpNoCase(def.def_name.c_str(), name.c_str()) == 0) return &def;
    return nullptr;
}

}  // namespace

bool load_copybook(const std::string& command, bool layout) {
    const size_t before = CD_definitions().size();
    cd_read_options options;
    options.copylib = copylib_folders;
    options.dialect = default_dialect;
    cd_read_notes notes;
    std::string error;
    token_reader tokens(command);
    std::string word, file;
    tokens.next(" ", word);
    tokens.next(" ", file);
    if (!CD_read_defs(error, command, options, &notes)) {
        if (layout)
            kvRaiseMessage(KV_SITE_FN(kModule, "layout_command"), 1293, {file, error});
        else
            kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1244, {error});
        return false;
    }
    if (layout && CD_definitions().size() == before) {
        kvRaiseMessage(KV_SITE_FN(kModule, "layout_command"), 1294, {file});
        return false;
    }
    warn_if_split(file, before);
    warn_if_narrow(file, notes);
    return true;
}

void get_infile_params() {
    kv_ensure_global_settings();
    ddl_file = ddl_output_t{stdout, "stdout"};
    kvReportWrite(kBanner);
    std::string command;
    command.reserve(kMaxCommandLength);
    while (kvGetNextCommand(command)) run_command(command);
    if (TABUTL_arrayGetElements(def_table) == 0) kvRaiseMessage(KV_SITE(kModule), 36);
}

void create_tabform_file(const std::string& command) {
    token_reader tokens(command);
    std::string word, name;
    tokens.next(" ", word);
    if (!tokens.next(" ,", name)) {
        kvRaiseMessage(KV_SITE(kModule), 209, {word});
        return;
    }
    const char* mode = read_ddl_mode(tokens);
    if (!mode) return;
    if (!*mode) {
        if (ddl_file_exists(name)) {
            kvRaiseMessage(KV_SITE(kModule), 37, {"DEFSFILE", name});
            return;
        }
        mode = "w";
    }
    open_ddl_file(name, mode);
}

namespace {

// The first word of a command line as the reader takes it, upper case.
std::string command_word(const std::string& line, size_t& at) {
    token_reader tokens(line);
    std::string word;
    tokens.next(" \t\r\n;", word);
    at = tokens.position();
    // A trailing comment may follow the word directly: DDLFILE-- note.
    const size_t comment = word.find("--");
    if (comment != std::string::npos && comment > 0) word.resize(comment);
    return kvUpshifted(word);
}

}  // namespace

namespace {

// The start of the next line (at most `keep` characters, NUL bytes dropped
// as the reader drops them); false at the end of the stream.
bool line_start(FILE* stream, std::string& line, size_t keep) {
    line.clear();
    int c = std::getc(stream);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::getc(stream))
        if (c != '\0' && line.size() < keep) line.push_back(static_cast<char>(c));
    return true;
}

}  // namespace

bool names_ddl_file(const std::string& path, int depth) {
    // What cannot be read twice, or not read at all, may name one.
    if (!kvIsRegularFile(path.c_str())) return true;
    FILE* stream = std::fopen(path.c_str(), "r");
    if (!stream) return true;
    // Only the start of a line is kept: a command word and an OBEY path are
    // short, and a long line costs no memory here.
    constexpr size_t kKeep = 512;
    bool found = false;
    std::string line;
    while (!found && line_start(stream, line, kKeep)) {
        size_t at = 0;
        const std::string word = command_word(line, at);
        // A command word or an OBEY path made with references is only known
        // when the file is read.
        if (word == "DDLFILE" || word.find('?') != std::string::npos) found = true;
        if (word != "OBEY") continue;
        token_reader tokens(line);
        tokens.move_to(at);
        std::string obey;
        if (!tokens.next(" \t\r", obey)) continue;  // refused when read: names nothing
        found = line.size() >= kKeep || obey.find('?') != std::string::npos || depth > 0 ||
                names_ddl_file(obey, depth + 1);
    }
    found = found || std::ferror(stream);
    std::fclose(stream);
    return found;
}

void get_cobol_table(const std::string& command) {
    file_options options;
    if (!read_file_command(command, options)) return;
    const cobol_def* def = find_definition(options.def_name);
    if (!def) {
        kvRaiseMessage(KV_SITE(kModule), 1246, {options.def_name});
        return;
    }
    if (options.child_tables) {
        const int32_t first = static_cast<int32_t>(TABUTL_arrayGetElements(def_table));
        if (add_child_tables(*def, options.table, options.keycols, options.when)) last_file_entry = first;
        return;
    }
    def_entry copy(*def);
    if (!options.variant.empty() && !keep_variant(copy, options.variant)) return;
    void* slot = TABUTL_arrayNewElement(def_table);
    if (!slot) return;  // the allocation failure has been reported
    auto* entry = new (slot) def_entry(std::move(copy));
    const uint32_t index = TABUTL_arrayGetElements(def_table) - 1;
    last_file_entry = static_cast<int32_t>(index);
    if (!options.keycols.empty()) mark_file_keys(index, options.keycols);
    entry->table_name = kvUpshifted(options.table);
    if (!options.when.empty()) {
        table_shape shape;
        shape.when = options.when;
        set_table_shape(index, std::move(shape));
    }
}

void get_sql_tables() { kvRaiseMessage(KV_SITE(kModule), 16, {"TABLE"}); }
