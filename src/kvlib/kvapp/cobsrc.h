// cobsrc: copybook source text. Turns the file a COBOLDEFSFILE command
// names, and every member its COPY statements bring in, into the text lines
// the definitions reader joins into entries.
//
// Two stages, each with its own state:
//   line reader (cobsrc_lines.cpp): one file's physical lines to logical
//     lines: reference format (FIXED, FREE, or decided from the file),
//     comments, compiler directives and continuation lines removed or
//     joined, tabs turned into spaces.
//   source (cobsrc_copy.cpp, cobsrc_replace.cpp): COPY statements replaced
//     by the text of their members, with REPLACING applied; members may
//     copy other members.
//
// Every text line keeps where it came from (cd_pos), so an error anywhere
// names the file and line, and for a member the COPY statement that
// brought it in. Errors return 0 with a message; the definitions reader
// wraps it into its report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class cd_format : uint8_t { free_form, fixed, automatic };

// Where a text line begins: the file (an index into cd_source::origins; 0
// is the file the command names) and its physical line number, from 1.
// Line 0 means "nowhere": no text has been read.
struct cd_pos {
    int32_t origin = 0;
    int64_t line = 0;
};

// One logical line. `text` stays valid until the next call that reads.
struct cd_line {
    std::string_view text;
    cd_pos pos;
};

// The first position of `text` outside quoted literals ('...' or "...")
// where `found(text, i)` holds, or npos. `quote` gets the literal left
// open at the end (0 when none).
template <typename Found>
size_t CD_find_outside_literals(std::string_view text, Found found, char* quote = nullptr) {
    char open = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (open) {
            if (c == open) open = 0;
        } else if (c == '\'' || c == '"') {
            open = c;
        } else if (found(text, i)) {
            if (quote) *quote = 0;
            return i;
        }
    }
    if (quote) *quote = open;
    return std::string_view::npos;
}

// ---------------------------------------------------------------------------
// Line reader: one file.

struct cd_line_reader {
    FILE* file = nullptr;
    std::string path;
    std::string label;         // " of <path>" in messages about members, else ""
    int32_t origin = 0;
    cd_format format = cd_format::free_form;  // the format in force now
    int64_t line = 0;          // physical lines read
    bool at_end = false;       // end of file or a DOS end-of-file mark seen
    char* buffer = nullptr;    // getline's buffer
    size_t capacity = 0;
    std::string expanded;      // the physical line, tabs expanded
    std::string logical;       // the logical line handed out last
    std::string ahead;         // the next logical line's first text, read ahead
    int64_t ahead_line = 0;    // its line number; 0: nothing read ahead
    std::string ahead_error;   // an error found while reading ahead
};

// Opens `path` in `format`; AUTO is decided from the file's own layout
// first (CD_detect_format). "Error %d opening %s (%s)" when it cannot be
// read.
int CD_lines_open(std::string& error, cd_line_reader& r, const std::string& path, cd_format format,
                  int32_t origin);
// The next logical line: 1 with `end` false and a line, 1 with `end` true
// at the end of the file, 0 with a message.
int CD_lines_next(std::string& error, cd_line_reader& r, cd_line& out, bool& end);
// Closes the file and frees the buffers; safe to call more than once.
void CD_lines_close(cd_line_reader& r);

// The reference format the layout of the file's lines shows: FIXED when
// some line has a sequence number (six digits in columns 1-6) or a comment
// indicator (* or /) in column 7, or at least two lines have
// identification text (columns 73-80, after a blank column 72, without a
// period) and no line other text beyond column 72; and no line has text
// that starts in columns 1-6 and runs into column 7 without an indicator
// there, or text confined to columns 1-6 that is not a sequence number.
// FREE otherwise.
// The stream is read from its start and left at its start.
cd_format CD_detect_format(FILE* file);
// The same for the file at `path`; FREE when it cannot be read.
cd_format CD_detect_format_of(const std::string& path);

// ---------------------------------------------------------------------------
// Source: a file with its COPY members.

// A file read for a command: the file the command names (origin 0, parent
// -1) or a member, with the COPY statement that brought it in.
struct cd_origin {
    std::string path;          // as opened
    std::string identity;      // the file's device and inode, to find cycles
    int32_t parent = -1;
    int64_t copy_line = 0;     // line of the COPY statement in the parent
    cd_format format = cd_format::free_form;  // as named for it: FREE, FIXED or AUTO
};

struct cd_frame;

struct cd_source {
    std::vector<std::string> folders;  // COPYLIB folders, then COBCPY's
    cd_format member_format = cd_format::automatic;
    std::vector<cd_origin> origins;
    std::vector<std::unique_ptr<cd_frame>> frames;  // the innermost last
    // Where the failing COPY statement began and its text; line 0 when the
    // last error concerned no COPY statement.
    cd_pos error_pos;
    std::string error_text;

    cd_source();
    ~cd_source();
    cd_source(const cd_source&) = delete;
    cd_source& operator=(const cd_source&) = delete;
};

// Members nest at most this deep: deeper nesting is refused, so a chain of
// members that never repeats a file still ends.
inline constexpr int CD_MAX_COPY_DEPTH = 50;

// Opens the file a command names. `copylib` lists the COPYLIB folders in
// force; the folders of the environment variable COBCPY follow them.
// Members are read in `format` when it is FIXED or FREE and named
// explicitly (`format_named`), else each is decided from its own layout.
int CD_source_open(std::string& error, cd_source& src, const std::string& path, cd_format format,
                   bool format_named, const std::vector<std::string>& copylib);
// The next text line with COPY statements replaced: as CD_lines_next.
int CD_source_next(std::string& error, cd_source& src, cd_line& out, bool& end);
void CD_source_close(cd_source& src);

// "line 12" for the file the command names; "line 3 of m.cpy, copied at
// line 12 of main.cpy" for a member (the whole chain for nested members).
std::string CD_source_where(const cd_source& src, cd_pos pos);

// ---------------------------------------------------------------------------
// REPLACING (cobsrc_replace.cpp).

struct cd_replacing {
    enum kind_t : uint8_t { whole, leading, trailing } kind = whole;
    std::string from;  // pseudo-text content, a word or a literal
    std::string to;
};

// Reads the operands after REPLACING ("==A== BY ==B== LEADING ==X== BY
// ==Y==", words and literals too). 0 with a message naming the fault.
int CD_parse_replacing(std::string& error, std::string_view text, std::vector<cd_replacing>& out);

// Text lines held in one string: line i is text[begin[i], begin[i+1]-1)
// (each line ends with '\n').
struct cd_text {
    std::string text;
    std::vector<uint32_t> begin;
    std::vector<cd_pos> pos;
};

// Applies the operands to `in` as COBOL compilers do: text words compared
// ignoring case (literals exactly) and whatever separators stand between
// them; the first operand that matches at a word wins; replaced text is
// not searched again. A match that spans lines leaves one line, at the
// position of its first word.
void CD_apply_replacing(const std::vector<cd_replacing>& rules, const cd_text& in, cd_text& out);
