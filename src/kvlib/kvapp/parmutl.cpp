// parmutl: the run parameter command reader.
//
// State across calls lives in global_settings (the OBEY stream with its
// flag, and the semicolon mode) and in the identities of the files of the
// current OBEY chain. Invariants: a delivered command is shorter than
// kMaxCommandLength; a stream is read only while it is open (an OBEY that
// is refused or fails to open leaves the current input in force); a
// command refused for its length (394) or cut off by the end of the input
// (396) is never delivered, and its remaining lines are not mistaken for
// commands of their own; an OBEY chain never comes back to a file it has
// read, so the input always ends. Physical lines and substituted values
// have no length limit of their own: only the command text is bounded, and
// comment lines, which never join a command, are not bounded at all.
#include "kvapp/parmutl.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kvapp/console.h"
#include "kvlog/LegacyErrorHandling.h"
#include "kvlog/kvraise.h"
#include "kvstd/config.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"

static const kvModuleId kModule{"kvapp.parmutl", "$Id: parmutl.cpp 1.0 tabcopy $"};
#define PARM_SITE KV_SITE_FN(kModule, "kvGetNextCommand")

namespace {

constexpr size_t npos = std::string::npos;

// Working storage of one call.
struct call_state {
    std::string verb;       // upper-cased first word of the command's first line
    std::string obey_path;  // second word of the line being examined
    std::string echo;       // "?NAME = value" lines of this command
    char last = 0;          // last character of the line appended before
    bool refused = false;   // the command reached the length limit (394)
};

enum class line_kind { comment, semicolon_switch, text };
enum class outcome { read_on, deliver };

// A whole physical line, however long; false at the end of the stream.
bool read_line(FILE* stream, std::string& line) {
    line.clear();
    if (!stream) return false;
    int c;
    while ((c = std::getc(stream)) != EOF) {
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
}

// The OBEY file comes first; when it ends the run parameter file goes on,
// even in the middle of a statement.
bool next_line(std::string& line) {
    while (global_settings.obey_active) {
        if (read_line(global_settings.obey_file, line)) return true;
        kvFclose(global_settings.obey_file);
        global_settings.obey_file = nullptr;
        global_settings.obey_active = 0;
    }
    return read_line(global_settings.param_file, line);
}

void trim_line_end(std::string& line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
}

size_t skip_blanks(const std::string& text, size_t from) {
    const size_t p = text.find_first_not_of(' ', from);
    return p == npos ? text.size() : p;
}

// The blank-separated word at or after `from`; `from` moves past it.
std::string next_word(const std::string& text, size_t& from) {
    const size_t start = skip_blanks(text, from);
    size_t end = text.find(' ', start);
    if (end == npos) end = text.size();
    from = end;
    return text.substr(start, end - start);
}

void take_verb(const std::string& line, call_state& st) {
    size_t at = 0;
    st.verb = kvUpshifted(next_word(line, at));
    st.obey_path = next_word(line, at);
}

bool is_name_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '^' || c == '-' || c == '_';
}

// Where the value after a password keyword starting at `at` begins, or
// npos. PW counts only as a whole word: inside other words it is common.
size_t password_value_at(const std::string& text, size_t at) {
    const char* p = text.c_str() + at;
    if (kvStrnCmpNoCase(p, "PASSWORD ", 9) == 0) return at + 9;
    const bool word_start = at == 0 || !is_name_char(text[at - 1]);
    if (word_start && kvStrnCmpNoCase(p, "PW ", 3) == 0) return at + 3;
    return npos;
}

line_kind classify(const std::string& line) {
    const char* text = line.c_str() + skip_blanks(line, 0);
    if (std::strncmp(text, "--", 2) == 0 || kvStrnCmpNoCase(text, "COMMENT", 7) == 0)
        return line_kind::comment;
    if (kvStrnCmpNoCase(text, "SEMICOLONTERMINATE", 18) == 0) return line_kind::semicolon_switch;
    return line_kind::text;
}

// A "--" starts a comment only outside quotes: with an even number of
// quote characters (either kind) after it.
void strip_trailing_comment(std::string& line) {
    size_t quotes_after = 0;
    size_t cut = npos;
    for (size_t i = line.size(); i-- > 0;) {
        if (line[i] == '\'' || line[i] == '"')
            ++quotes_after;
        else if (line[i] == '-' && i + 1 < line.size() && line[i + 1] == '-' &&
                 quotes_after % 2 == 0)
            cut = i;
    }
    if (cut != npos) line.resize(cut);
}

// What appending `line` adds to `command` (see append_line).
size_t appended_length(const std::string& line, const std::string& command, char last) {
    if (last == '.') return line.size() - skip_blanks(line, 0);
    return (command.empty() ? 0 : 1) + line.size();
}

bool fits(const std::string& line, const std::string& command, char last) {
    return command.size() + appended_length(line, command, last) < kMaxCommandLength;
}

bool is_hidden_name(const std::string& name) {
    return kvStrCmpNoCase(name.c_str(), "PASSWORD") == 0 || kvStrCmpNoCase(name.c_str(), "PW") == 0;
}

// Replaces the reference "?NAME" at `at` and returns where the scan goes
// on. An undefined variable leaves the reference as written: no value is
// invented for it, and the text shows what was not found.
size_t replace_reference(std::string& line, size_t at, std::string& echo) {
    size_t end = at + 1;
    while (end < line.size() && is_name_char(line[end])) ++end;
    const std::string name = line.substr(at + 1, end - at - 1);
    if (name.empty()) kvRaiseMessage(PARM_SITE, 31);
    const char* value = std::getenv(name.c_str());
    if (!value) {
        kvRaiseMessage(PARM_SITE, 30, {name});
        return end;
    }
    line.replace(at, end - at, value);
    if (!is_hidden_name(name)) echo += "?" + name + " = " + value + "\n";
    // A "?" inside a value (past its first character) is a reference too.
    return *value ? at + 1 : at;
}

// False when the values make the command reach the limit; the limit also
// ends a value that keeps referring to itself.
bool substitute(std::string& line, const std::string& command, call_state& st) {
    for (size_t at = line.find('?'); at != npos && at + 1 < line.size(); at = line.find('?', at)) {
        if (line[at + 1] == '?') {
            line.erase(at, 1);
            ++at;
            continue;
        }
        at = replace_reference(line, at, st.echo);
        if (!fits(line, command, st.last)) return false;
    }
    return true;
}

// A line ending in "." is a qualified name broken after its period: the
// next line joins it directly.
void append_line(std::string& command, const std::string& line, char& last) {
    if (last == '.') {
        command.append(line, skip_blanks(line, 0), npos);
    } else {
        if (!command.empty()) command += ' ';
        command += line;
    }
    last = line.empty() ? 0 : line.back();
}

bool is_continued(const std::string& verb) {
    return verb == "MAP" || verb == "FILE" || verb == "QUERY" || verb == "TABLE" ||
           global_settings.semicolon_mode;
}

void print_echo(call_state& st) {
    if (!st.echo.empty()) kvInfoNoLog("%s", st.echo.c_str());
    st.echo.clear();
}

// An OBEY line inside an OBEY file replaces that file (after 270), so a
// file that names itself, or two that name each other, would replace one
// another for ever when 270 lets the run go on. The chain of files read
// since the run parameter file's OBEY line is remembered, and an OBEY back
// to one of them is refused; the current file then reads on.
struct file_identity {
    dev_t device;
    ino_t inode;
    bool operator==(const file_identity&) const = default;
};

std::vector<file_identity>& obey_chain() {
    static std::vector<file_identity> chain;
    return chain;
}

bool identify(FILE* stream, file_identity& id) {
    struct stat st {};
    if (fstat(fileno(stream), &st) != 0) return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

// Every refusal leaves the current input in force. A path that is missing
// or names no regular file is not opened at all: a directory reads
// nothing, and a FIFO or device could block the run or never end. The new
// file replaces an active one only once it is open; the replaced stream is
// closed, as nothing reads it again.
void start_obey(const std::string& path) {
    if (global_settings.obey_active) kvRaiseMessage(PARM_SITE, 270);
    if (path.empty()) {
        kvRaiseMessage(PARM_SITE, 269);
        return;
    }
    if (!kvIsRegularFile(path.c_str())) {
        kvRaiseMessage(PARM_SITE, 267, {path});
        return;
    }
    FILE* stream = std::fopen(path.c_str(), "r");
    if (!stream) {
        kvRaiseMessage(PARM_SITE, 266, {path});
        return;
    }
    std::vector<file_identity>& chain = obey_chain();
    if (!global_settings.obey_active) chain.clear();
    file_identity id{};
    if (identify(stream, id)) {
        for (const file_identity& read : chain) {
            if (read == id) {
                kvFclose(stream);
                return;
            }
        }
        chain.push_back(id);
    }
    if (global_settings.obey_active) kvFclose(global_settings.obey_file);
    global_settings.obey_file = stream;
    global_settings.obey_active = 1;
}

// A command that reaches the limit is dropped whole rather than delivered
// cut: a shortened FILE or DDLFILE would name something else.
void refuse(std::string& command, call_state& st) {
    kvRaiseMessage(PARM_SITE, 394);
    command.clear();
    st.echo.clear();
    st.refused = true;
}

// The rest of a refused command is read to its end and dropped.
outcome finish_refused(const std::string& line, std::string& command, call_state& st) {
    const bool ended = !is_continued(st.verb) || (!line.empty() && line.back() == ';');
    if (ended) {
        st = call_state{};
        command.clear();
    }
    return outcome::read_on;
}

outcome complete(std::string& command, call_state& st) {
    if (st.verb == "OBEY") {
        // The OBEY line is never delivered: its substitutions are shown
        // with the next command delivered, after that command's lines.
        start_obey(st.obey_path);
        command.clear();
        st.last = 0;
        return outcome::read_on;
    }
    if (is_continued(st.verb)) {
        if (!kvStripLastOf(";", command)) return outcome::read_on;
        kvTrimTrailing(command);
    } else {
        kvStripLastOf(";", command);
    }
    print_echo(st);
    return outcome::deliver;
}

outcome take_line(std::string& line, std::string& command, call_state& st) {
    trim_line_end(line);
    st.obey_path.clear();
    if (command.empty() && !st.refused) take_verb(line, st);
    kvReportPrintf("%s\n", kvMaskPasswords(line).c_str());
    switch (classify(line)) {
        case line_kind::comment:
            return outcome::read_on;
        case line_kind::semicolon_switch:
            global_settings.semicolon_mode = 1;
            return outcome::read_on;
        case line_kind::text:
            break;
    }
    strip_trailing_comment(line);
    kvTrimTrailing(line);
    if (!st.refused && (!fits(line, command, st.last) || !substitute(line, command, st)))
        refuse(command, st);
    if (st.refused) return finish_refused(line, command, st);
    append_line(command, line, st.last);
    return complete(command, st);
}

// The end of the input inside a command drops the unfinished command: a
// statement without its ";" may lack its last lines.
int end_of_input(std::string& command, const call_state& st) {
    if (!command.empty() || st.refused) kvRaiseMessage(PARM_SITE, 396);
    command.clear();
    return 0;
}

}  // namespace

std::string kvMaskPasswords(const std::string& line) {
    std::string copy = line;
    size_t at = 0;
    while (at < copy.size()) {
        size_t value = password_value_at(copy, at);
        if (value == npos) {
            ++at;
            continue;
        }
        while (value < copy.size() && (copy[value] == ' ' || copy[value] == '"')) ++value;
        while (value < copy.size() && copy[value] != ' ' && copy[value] != '"') copy[value++] = '*';
        at = value;
    }
    return copy;
}

int kvGetNextCommand(std::string& command) {
    kv_ensure_global_settings();
    command.clear();
    call_state st;
    std::string line;
    while (next_line(line)) {
        if (take_line(line, command, st) == outcome::deliver) return 1;
    }
    return end_of_input(command, st);
}
