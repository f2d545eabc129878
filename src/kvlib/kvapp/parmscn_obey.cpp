// parmscn OBEY/trace: the two statement handlers that act before macro
// handling (OBEY/INCLUDE switch input to another file; CMDTRACE, LIST,
// NOLIST, MACROCHAR and (NO)MACROSTRICTCHECKING change the reader's own
// settings) and the command trace output.
//
// Invariants: a statement either handler accepts is consumed and never
// delivered; the file stack only ever holds streams that opened, at most
// kCiMaxNestedFiles above the caller's file, and never the same file twice,
// so nested input always ends.
#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <initializer_list>

#include "kvapp/console.h"
#include "kvapp/console_internal.h"
#include "kvapp/parmscn_internal.h"
#include "kvlog/kvraise.h"
#include "kvstd/fileutl.h"

static const kvModuleId kModule{"kvapp.parmscn", "$Id: parmscn_obey.cpp 1.0 tabcopy $"};

namespace {

bool is_name_character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether `path` names a file that one of the stack's streams is reading.
bool is_being_read(const ci_state& st, const std::string& path) {
    struct stat wanted {};
    if (stat(path.c_str(), &wanted) != 0) return false;
    for (FILE* stream : st.files) {
        struct stat reading {};
        if (stream && fstat(fileno(stream), &reading) == 0 && reading.st_dev == wanted.st_dev &&
            reading.st_ino == wanted.st_ino)
            return true;
    }
    return false;
}

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Only a statement that begins with a keyword is split further: the
// statement of an invocation still waiting for its ")" is looked at again
// for every line, and must cost no more than its first word.
bool first_word_is(const ci_state& st, std::initializer_list<const char*> keywords) {
    const std::vector<std::string> first = ci_words(st.statement, 1);
    if (first.empty()) return false;
    for (const char* keyword : keywords)
        if (ci_same_word(first[0], keyword)) return true;
    return false;
}

int consume(ci_state& st) {
    ci_clear_statement(st);
    return 1;
}

}  // namespace

// A statement that cannot name exactly one file (271, 269), that names
// something other than a regular file (267), or whose file does not open
// (266), is dropped: input stays where it is. A file that is already being
// read could only include itself again until the nesting limit, so it is
// refused with the same message as a nesting too deep.
int ci_check_get_obey_file(ci_state& st) {
    if (st.in_macro_def || st.waits_for_semicolon) return 0;
    if (!first_word_is(st, {"OBEY", "INCLUDE"})) return 0;
    const std::vector<std::string> words = ci_words(st.statement, 3);
    if (words.size() > 2) {
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_check_get_obey_file"), 271);
        return consume(st);
    }
    if (words.size() < 2) {
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_check_get_obey_file"), 269);
        return consume(st);
    }
    const std::string& name = words[1];
    if (st.files.size() - 1 >= static_cast<size_t>(kCiMaxNestedFiles) || is_being_read(st, name)) {
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_check_get_obey_file"), 289,
                       {static_cast<int32_t>(kCiMaxNestedFiles)});
        return consume(st);
    }
    if (!kvIsRegularFile(name.c_str())) {
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_check_get_obey_file"), 267, {name});
        // Something that is there but is no regular file (a folder, a FIFO,
        // a device) is never opened: a FIFO would block the reader and a
        // device may never end. A missing file still gets its open, whose
        // failure is reported as well.
        if (exists(name)) return consume(st);
    }
    FILE* stream = std::fopen(name.c_str(), "r");
    if (!stream) {
        kvRaiseMessage(KV_SITE_FN(kModule, "ci_check_get_obey_file"), 266, {name});
        return consume(st);
    }
    st.files.push_back(stream);
    return consume(st);
}

// MACROCHAR without a value has no character to take: the macro character
// stays as it was.
int ci_check_cmd_trace(ci_state& st) {
    if (st.in_macro_def || st.waits_for_semicolon) return 0;
    if (!first_word_is(st, {"CMDTRACE", "NOLIST", "LIST", "MACROCHAR", "MACROSTRICTCHECKING",
                            "NOMACROSTRICTCHECKING"}))
        return 0;
    const std::vector<std::string> words = ci_words(st.statement, 3);
    const std::string& verb = words[0];
    if (ci_same_word(verb, "CMDTRACE")) {
        if (words.size() == 1)
            st.trace_level = 1;
        else if (ci_same_word(words[1], "OFF"))
            st.trace_level = 0;
        else if (ci_same_word(words[1], "ON"))
            st.trace_level = 1;
        else if (ci_same_word(words[1], "DETAIL"))
            st.trace_level = 2;
    } else if (ci_same_word(verb, "NOLIST")) {
        st.list = 0;
    } else if (ci_same_word(verb, "LIST")) {
        st.list = 1;
    } else if (ci_same_word(verb, "MACROCHAR")) {
        const bool fits = words.size() == 2 && words[1].size() == 1 && !is_name_character(words[1][0]);
        if (!fits) kvRaiseMessage(KV_SITE_FN(kModule, "ci_check_cmd_trace"), 213, {"MACROCHAR"});
        if (words.size() >= 2) st.macro_char[0] = words[1][0];
    } else if (ci_same_word(verb, "MACROSTRICTCHECKING")) {
        st.strict_checking = 1;
    } else if (ci_same_word(verb, "NOMACROSTRICTCHECKING")) {
        st.strict_checking = 0;
    } else {
        return 0;
    }
    return consume(st);
}

void ci_trace(const ci_state& st, short level, short formatted, const char* text, ...) {
    if (st.trace_level < level || !st.list || !text) return;
    if (!formatted) {
        kvReportWrite(text);
        return;
    }
    va_list args;
    va_start(args, text);
    kvReportVPrintf(text, args);
    va_end(args);
}
