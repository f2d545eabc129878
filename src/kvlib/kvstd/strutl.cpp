// strutl: in-place routines on zero-terminated single-byte text, shared by
// the command readers, the template reader, the writer and event output;
// printf into growable strings.
//
// Invariants: no routine writes past the text's terminator except
// kvReplaceLeading, which never lets the text grow beyond its limit; case
// conversion is the C library's per-byte mapping of the current locale.
#include "kvstd/strutl.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

#include "kvstd/memutl.h"
#include "kvstd/trace.h"

namespace {

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

int lower(char c) { return std::tolower(static_cast<unsigned char>(c)); }

// A word outside quotes: tabs count as separators in the command language,
// so they become spaces along with the case change.
void convert_word(char* begin, char* end) {
    for (char* p = begin; p < end; ++p) *p = (*p == '\t') ? ' ' : upper(*p);
}

bool is_quote(char c) { return c == '"' || c == '\''; }

bool ends_word(char c) { return c == ' ' || c == ',' || c == '\0'; }

bool is_trailing_blank(char c) { return c == ' ' || c == '\n'; }

}  // namespace

char* kvUpshiftNotQuoted(char* text) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "kvUpshiftNotQuoted");
    KV_TRACE_BUFFER(kvTraceBitUpshift, "kvUpshiftNotQuoted: input string", text,
                    text ? std::strlen(text) : 0);
    if (!text) return text;
    bool quoted = false;
    char quote = 0;
    char* word = nullptr;
    for (char* p = text;; ++p) {
        const char c = *p;
        if (quoted) {
            // Only the opening character closes; the other quote is text.
            if (c == quote) quoted = false;
        } else if (is_quote(c)) {
            if (word) convert_word(word, p);
            word = nullptr;
            quoted = true;
            quote = c;
        } else {
            if (!word) word = p;
            if (ends_word(c)) {
                convert_word(word, p);
                word = nullptr;
            }
        }
        if (c == '\0') break;
    }
    KV_TRACE_BUFFER(kvTraceBitUpshift, "kvUpshiftNotQuoted: output string", text,
                    std::strlen(text));
    return text;
}

void kvUpshiftNotQuoted(std::string& text) {
    if (!text.empty()) kvUpshiftNotQuoted(text.data());
}

std::string kvUpshifted(std::string text) {
    for (char& c : text) c = upper(c);
    return text;
}

int kvStrCmpNoCase(const char* a, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    for (;; ++a, ++b) {
        const int ca = lower(*a);
        const int cb = lower(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

int kvStrnCmpNoCase(const char* a, const char* b, int n) {
    if (!a) a = "";
    if (!b) b = "";
    for (int i = 0; i < n; ++i) {
        const int ca = lower(a[i]);
        const int cb = lower(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
    return 0;
}

// The first character is kept so that a line of blanks still reads as a
// line with content rather than collapsing to nothing.
char* kvTrimTrailing(char* text) {
    if (!text || !*text) return text;
    size_t n = std::strlen(text);
    while (n > 1 && is_trailing_blank(text[n - 1])) --n;
    text[n] = '\0';
    return text;
}

void kvTrimTrailing(std::string& text) {
    size_t n = text.size();
    while (n > 1 && is_trailing_blank(text[n - 1])) --n;
    text.resize(n);
}

bool kvStripLastOf(const char* set, char* text) {
    if (!set || !text || !*text) return false;
    const size_t n = std::strlen(text);
    if (!std::strchr(set, text[n - 1])) return false;
    text[n - 1] = '\0';
    return true;
}

bool kvStripLastOf(const char* set, std::string& text) {
    if (!set || text.empty() || text.back() == '\0') return false;
    if (!std::strchr(set, text.back())) return false;
    text.pop_back();
    return true;
}

// A count beyond the text's end replaces the whole text; clamping it before
// the limit test keeps that test an exact bound on the result's length.
char* kvReplaceLeading(char* text, int limit, int k, const char* replacement, int r) {
    if (!text || k < 0 || r < 0 || (r > 0 && !replacement)) return nullptr;
    const long long n = static_cast<long long>(std::strlen(text));
    const long long keep_from = k < n ? k : n;
    if (n - keep_from + r > limit) return nullptr;
    if (n - keep_from >= INT_MAX) return nullptr;
    const int tail = static_cast<int>(n - keep_from);
    // The tail is saved first: the replacement may be longer than what it
    // replaces, or may itself lie inside the text.
    char* saved = static_cast<char*>(kvAllocMemcpy(text + keep_from, tail + 1));
    if (!saved) return nullptr;
    std::memmove(text, replacement ? replacement : "", static_cast<size_t>(r));
    std::memcpy(text + r, saved, static_cast<size_t>(tail) + 1);
    kvFree(saved);
    return text;
}

char* kvStrnDup(int n, char** destination, const char* source) {
    char* copy = nullptr;
    if (n >= 0 && n < INT_MAX) copy = static_cast<char*>(kvMalloc(n + 1));
    if (copy) {
        const size_t len = source ? strnlen(source, static_cast<size_t>(n)) : 0;
        if (len) std::memcpy(copy, source, len);
        std::memset(copy + len, 0, static_cast<size_t>(n) - len + 1);
    }
    if (destination) *destination = copy;
    return copy;
}

int kvUInt64ToText(uint64_t value, char* buffer) {
    int digits = 0;
    do {
        buffer[digits++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    buffer[digits] = '\0';
    for (int i = 0, j = digits - 1; i < j; ++i, --j) {
        const char t = buffer[i];
        buffer[i] = buffer[j];
        buffer[j] = t;
    }
    return digits;
}

bool kvEqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (kvAsciiUpper(a[i]) != kvAsciiUpper(b[i])) return false;
    return true;
}

// Most texts fit the stack buffer: they are formatted once, and only a
// longer one a second time, straight into the string.
void kvVAppendf(std::string& out, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof small) {
        out.append(small, static_cast<size_t>(n));
        return;
    }
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    va_copy(copy, args);
    std::vsnprintf(&out[at], static_cast<size_t>(n) + 1, format, copy);
    va_end(copy);
    out.resize(at + static_cast<size_t>(n));
}

void kvAppendf(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    kvVAppendf(out, format, args);
    va_end(args);
}
