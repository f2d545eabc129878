// cobsrc_copy: COPY statements. The text of a COBOLDEFSFILE's file reaches
// the definitions reader with every COPY statement replaced by the text of
// the member it names, as compilers copy it: wherever the word COPY stands
// outside a literal, also after an entry on the same line or inside one.
//
// A stack of frames reads the text: the file the command names at the
// bottom, streamed line by line; above it the members being copied. A
// member without REPLACING is streamed too; one with REPLACING is read
// whole (its own COPY statements replaced first), the operands applied,
// and the result read from memory, never searched for COPY again.
//
// Invariants: every file opened is an origin, whose chain of parents is
// the chain of COPY statements that reached it; a member already in that
// chain is refused (a cycle), and so is a chain deeper than
// CD_MAX_COPY_DEPTH, so reading always ends. A frame's cursor is always
// outside literals, at a point where a COPY statement may begin.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "kvapp/cobsrc.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"

struct cd_frame {
    bool streaming = false;
    bool expanded = false;     // COPY statements already replaced
    cd_line_reader reader;     // streaming
    cd_text text;              // read from memory
    size_t next = 0;           // index of the next line of `text`
    std::string_view line;     // the current line
    size_t cursor = 0;         // what of it has been handed out
    cd_pos pos;

    ~cd_frame() { CD_lines_close(reader); }
};

cd_source::cd_source() = default;
cd_source::~cd_source() { CD_source_close(*this); }

namespace {

// Where the word COPY begins in `text`, outside literals; npos if nowhere.
size_t find_copy_word(std::string_view text) {
    return CD_find_outside_literals(text, [](std::string_view t, size_t i) {
        return (t[i] == 'C' || t[i] == 'c') && (i == 0 || std::strchr(" ,;", t[i - 1])) &&
               kvEqualsNoCase(t.substr(i, 4), "COPY") && (i + 4 == t.size() || t[i + 4] == ' ' || t[i + 4] == '.');
    });
}

// Where the separator period of a COPY statement stands in `text`, outside
// literals and pseudo-text; `quote` ('\'', '"', '=' for pseudo-text, or 0)
// carries the open one from line to line. npos when the line has none.
size_t find_copy_end(std::string_view text, char& quote) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == '=') {
            if (c == '=' && i + 1 < text.size() && text[i + 1] == '=') {
                quote = 0;
                ++i;
            }
        } else if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '=' && i + 1 < text.size() && text[i + 1] == '=') {
            quote = '=';
            ++i;
        } else if (c == '.' && (i + 1 == text.size() || text[i + 1] == ' ')) {
            return i;
        }
    }
    return std::string_view::npos;
}

std::string_view next_word(std::string_view text, size_t& pos) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    const size_t start = pos;
    if (pos < text.size() && (text[pos] == '\'' || text[pos] == '"')) {
        const size_t close = text.find(text[pos], pos + 1);
        pos = close == std::string_view::npos ? text.size() : close + 1;
    } else {
        while (pos < text.size() && text[pos] != ' ') ++pos;
    }
    return text.substr(start, pos - start);
}

bool is_literal(std::string_view word) { return !word.empty() && (word[0] == '\'' || word[0] == '"'); }

// A literal's content: what stands between its quotes.
std::string unquoted(std::string_view word) {
    if (!is_literal(word)) return std::string(word);
    const char quote = word[0];
    word.remove_prefix(1);
    if (!word.empty() && word.back() == quote) word.remove_suffix(1);
    return std::string(word);
}

// A parsed COPY statement.
struct copy_statement {
    std::string text;          // as written, from COPY to its period
    cd_pos pos;                // where COPY stands
    std::string member;        // the name, unquoted
    bool member_is_file = false;  // a literal: a file name
    std::string library;
    bool library_is_file = false;
    std::vector<cd_replacing> replacing;
};

int parse_copy(std::string& error, copy_statement& c) {
    const std::string_view text = c.text;
    size_t pos = 0;
    next_word(text, pos);  // COPY
    std::string_view word = next_word(text, pos);
    if (word.empty()) {
        error = "Member name missing in COPY statement";
        return 0;
    }
    c.member_is_file = is_literal(word);
    c.member = unquoted(word);
    word = next_word(text, pos);
    if (kvEqualsNoCase(word, "OF") || kvEqualsNoCase(word, "IN")) {
        word = next_word(text, pos);
        if (word.empty()) {
            error = "Library name missing in COPY statement";
            return 0;
        }
        c.library_is_file = is_literal(word);
        c.library = unquoted(word);
        word = next_word(text, pos);
    }
    if (kvEqualsNoCase(word, "SUPPRESS")) word = next_word(text, pos);
    if (kvEqualsNoCase(word, "REPLACING")) return CD_parse_replacing(error, text.substr(pos), c.replacing);
    if (!word.empty()) {
        error = "Unexpected " + std::string(word) + " in COPY statement";
        return 0;
    }
    return 1;
}

std::string joined(const std::string& folder, const std::string& name) {
    if (folder.empty() || (!name.empty() && name[0] == '/')) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::vector<std::string> spellings(const std::string& name, bool exact) {
    std::vector<std::string> out{name};
    if (exact) return out;
    std::string upper = name, lower = name;
    for (char& ch : upper) ch = kvAsciiUpper(ch);
    for (char& ch : lower) ch = kvAsciiLower(ch);
    for (const std::string& s : {upper, lower})
        if (std::find(out.begin(), out.end(), s) == out.end()) out.push_back(s);
    return out;
}

// The folders a member is looked for in: the including file's, then the
// COPYLIB and COBCPY folders; for OF/IN library, each folder's
// subfolder of that name before the folder itself.
std::vector<std::string> search_folders(const cd_source& src, const copy_statement& c) {
    std::vector<std::string> bases;
    bases.push_back(std::filesystem::path(src.origins[static_cast<size_t>(c.pos.origin)].path).parent_path().string());
    bases.insert(bases.end(), src.folders.begin(), src.folders.end());
    std::vector<std::string> out;
    auto add = [&](const std::string& folder) {
        if (std::find(out.begin(), out.end(), folder) == out.end()) out.push_back(folder);
    };
    for (const std::string& base : bases) {
        if (!c.library.empty())
            for (const std::string& lib : spellings(c.library, c.library_is_file)) add(joined(base, lib));
        add(base);
    }
    return out;
}

// The member's file: a quoted name as written, else the name as written,
// in upper and in lower case, with each usual extension.
int find_member(std::string& error, const cd_source& src, const copy_statement& c, std::string& path) {
    static const char* const kExtensions[] = {"", ".cpy", ".CPY", ".cbl", ".CBL", ".cob", ".COB", ".copy"};
    const std::vector<std::string> folders = search_folders(src, c);
    const bool absolute = !c.member.empty() && c.member[0] == '/';
    for (const std::string& folder : folders) {
        for (const std::string& name : spellings(c.member, c.member_is_file)) {
            for (const char* extension : kExtensions) {
                if (c.member_is_file && *extension) break;
                path = joined(folder, name + extension);
                if (kvIsRegularFile(path.c_str())) return 1;
            }
        }
        if (absolute) break;
    }
    error = "COPY member " + c.member + " not found";
    if (absolute) return 0;
    error += "; searched";
    for (size_t i = 0; i < folders.size(); ++i) error += (i ? ", " : " ") + (folders[i].empty() ? "." : folders[i]);
    return 0;
}

// " of m.cpy, copied at line 12 of main.cpy" for a member; "" for the
// file the command names.
std::string chain_label(const cd_source& src, int32_t origin) {
    if (origin <= 0) return {};
    std::string out = " of " + src.origins[static_cast<size_t>(origin)].path;
    for (int32_t o = origin; o > 0; o = src.origins[static_cast<size_t>(o)].parent) {
        const cd_origin& member = src.origins[static_cast<size_t>(o)];
        out += ", copied at line " + std::to_string(member.copy_line) + " of " +
               src.origins[static_cast<size_t>(member.parent)].path;
    }
    return out;
}

int copy_error(std::string& error, cd_source& src, const copy_statement& c, std::string message) {
    error = std::move(message);
    src.error_pos = c.pos;
    src.error_text = c.text;
    return 0;
}

// Opens a member as a new frame above the others; refuses a member that
// is already being copied and a chain that is too deep.
int open_member(std::string& error, cd_source& src, const copy_statement& c, const std::string& path) {
    int depth = 0;
    for (int32_t o = c.pos.origin; o >= 0; o = src.origins[static_cast<size_t>(o)].parent) ++depth;
    if (depth > CD_MAX_COPY_DEPTH)
        return copy_error(error, src, c, "COPY statements nested more than " + std::to_string(CD_MAX_COPY_DEPTH) + " deep");

    const int32_t origin = static_cast<int32_t>(src.origins.size());
    src.origins.push_back(cd_origin{path, {}, c.pos.origin, c.pos.line, src.member_format});
    auto frame = std::make_unique<cd_frame>();
    frame->streaming = true;
    frame->reader.label = chain_label(src, origin);
    std::string message;
    if (!CD_lines_open(message, frame->reader, path, src.member_format, origin))
        return copy_error(error, src, c, message);
    src.origins.back().identity = kvFileIdentity(frame->reader.file);

    // The chain from the file the command names down to this member.
    std::vector<int32_t> chain;
    for (int32_t o = c.pos.origin; o >= 0; o = src.origins[static_cast<size_t>(o)].parent) chain.push_back(o);
    for (int32_t o : chain) {
        if (src.origins.back().identity.empty() || src.origins[static_cast<size_t>(o)].identity != src.origins.back().identity)
            continue;
        std::string names;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) names += src.origins[static_cast<size_t>(*it)].path + " -> ";
        return copy_error(error, src, c, "COPY member " + c.member + " copies itself: " + names + path);
    }
    src.frames.push_back(std::move(frame));
    return 1;
}

int next_above(std::string& error, cd_source& src, size_t floor, cd_line& out, bool& end);

// Reads the member on top whole, with its own COPY statements replaced,
// applies REPLACING and puts the result in its place.
int replace_member(std::string& error, cd_source& src, const std::vector<cd_replacing>& rules) {
    const size_t floor = src.frames.size() - 1;
    cd_text text;
    for (;;) {
        cd_line line;
        bool end = false;
        if (!next_above(error, src, floor, line, end)) return 0;
        if (end) break;
        text.begin.push_back(static_cast<uint32_t>(text.text.size()));
        text.pos.push_back(line.pos);
        text.text.append(line.text);
        text.text.push_back('\n');
        if (text.text.size() > UINT32_MAX / 2) {
            error = "COPY member text too large for REPLACING";
            return 0;
        }
    }
    auto frame = std::make_unique<cd_frame>();
    frame->expanded = true;
    CD_apply_replacing(rules, text, frame->text);
    src.frames.push_back(std::move(frame));
    return 1;
}

// The rest of the top frame's current line, reading lines as they are
// used up; `end` when the frame has no more text.
int frame_line(std::string& error, cd_frame& f, bool& end) {
    end = false;
    while (f.cursor >= f.line.size() || kvIsBlank(f.line.substr(f.cursor))) {
        if (f.streaming) {
            cd_line line;
            if (!CD_lines_next(error, f.reader, line, end)) return 0;
            if (end) return 1;
            f.line = line.text;
            f.pos = line.pos;
        } else {
            if (f.next >= f.text.pos.size()) {
                end = true;
                return 1;
            }
            const size_t b = f.text.begin[f.next];
            const size_t e = f.next + 1 < f.text.begin.size() ? f.text.begin[f.next + 1] : f.text.text.size();
            f.line = std::string_view(f.text.text).substr(b, e - b - 1);
            f.pos = f.text.pos[f.next++];
        }
        f.cursor = 0;
    }
    return 1;
}

// Reads the COPY statement at the top frame's cursor, up to its separator
// period (which may be lines later), and copies the member it names.
int copy_member(std::string& error, cd_source& src) {
    cd_frame& f = *src.frames.back();
    copy_statement c;
    c.pos = f.pos;
    char quote = 0;
    for (;;) {
        const std::string_view rest = f.line.substr(f.cursor);
        const size_t period = find_copy_end(rest, quote);
        if (period != std::string_view::npos) {
            c.text.append(rest.substr(0, period));
            f.cursor += period + 1;
            break;
        }
        c.text.append(rest);
        f.cursor = f.line.size();
        bool end = false;
        if (!frame_line(error, f, end)) return 0;
        if (end) return copy_error(error, src, c, "COPY statement was not terminated");
        c.text.push_back(' ');
    }
    std::string message;
    if (!parse_copy(message, c)) return copy_error(error, src, c, message);
    std::string path;
    if (!find_member(message, src, c, path)) return copy_error(error, src, c, message);
    if (!open_member(error, src, c, path)) return 0;
    return c.replacing.empty() ? 1 : replace_member(error, src, c.replacing);
}

int next_above(std::string& error, cd_source& src, size_t floor, cd_line& out, bool& end) {
    end = false;
    for (;;) {
        if (src.frames.size() <= floor) {
            end = true;
            return 1;
        }
        cd_frame& f = *src.frames.back();
        bool frame_end = false;
        if (!frame_line(error, f, frame_end)) return 0;
        if (frame_end) {
            src.frames.pop_back();
            continue;
        }
        const std::string_view rest = f.line.substr(f.cursor);
        const size_t at = f.expanded ? std::string_view::npos : find_copy_word(rest);
        if (at != 0) {
            const size_t length = at == std::string_view::npos ? rest.size() : at;
            out.text = rest.substr(0, length);
            out.pos = f.pos;
            f.cursor += length;
            return 1;
        }
        if (!copy_member(error, src)) return 0;
    }
}

}  // namespace

int CD_source_open(std::string& error, cd_source& src, const std::string& path, cd_format format,
                   bool format_named, const std::vector<std::string>& copylib) {
    CD_source_close(src);
    src.origins.clear();
    src.error_pos = {};
    src.error_text.clear();
    src.folders = copylib;
    // COBCPY lists folders as compilers take them: separated by colons.
    if (const char* cobcpy = std::getenv("COBCPY")) {
        std::string_view list = cobcpy;
        while (!list.empty()) {
            const size_t colon = list.find(':');
            const std::string_view folder = list.substr(0, colon);
            if (!folder.empty()) src.folders.emplace_back(folder);
            list = colon == std::string_view::npos ? std::string_view{} : list.substr(colon + 1);
        }
    }
    src.member_format = format_named && format != cd_format::automatic ? format : cd_format::automatic;
    src.origins.push_back(cd_origin{path, {}, -1, 0, format});
    auto frame = std::make_unique<cd_frame>();
    frame->streaming = true;
    if (!CD_lines_open(error, frame->reader, path, format, 0)) return 0;
    src.origins[0].identity = kvFileIdentity(frame->reader.file);
    src.frames.push_back(std::move(frame));
    return 1;
}

int CD_source_next(std::string& error, cd_source& src, cd_line& out, bool& end) {
    return next_above(error, src, 0, out, end);
}

void CD_source_close(cd_source& src) { src.frames.clear(); }

std::string CD_source_where(const cd_source& src, cd_pos pos) {
    if (pos.line == 0) return {};
    if (pos.origin < 0 || static_cast<size_t>(pos.origin) >= src.origins.size()) return "line " + std::to_string(pos.line);
    return "line " + std::to_string(pos.line) + chain_label(src, pos.origin);
}
