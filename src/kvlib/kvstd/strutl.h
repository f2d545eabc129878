// strutl: small in-place text routines on NUL-terminated single-byte text,
// the ASCII case and blank rules of copybook text, and printf into strings.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

char* kvUpshiftNotQuoted(char* text);
void kvUpshiftNotQuoted(std::string& text);
int kvStrCmpNoCase(const char* a, const char* b);
int kvStrnCmpNoCase(const char* a, const char* b, int n);
char* kvTrimTrailing(char* text);
void kvTrimTrailing(std::string& text);
bool kvStripLastOf(const char* set, char* text);
bool kvStripLastOf(const char* set, std::string& text);
// `text` with every byte upshifted (the C library's mapping, as
// kvUpshiftNotQuoted), quotes or not.
std::string kvUpshifted(std::string text);
// `text` must have room for limit + 1 bytes.
char* kvReplaceLeading(char* text, int limit, int k, const char* replacement, int r);
char* kvStrnDup(int n, char** destination, const char* source);
// `buffer` must have room for 21 bytes.
int kvUInt64ToText(uint64_t value, char* buffer);

// Copybook text is single-byte; only ASCII letters change case, whatever
// the locale.
inline char kvAsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char kvAsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
// Equal but for the case of ASCII letters.
bool kvEqualsNoCase(std::string_view a, std::string_view b);
// Empty or spaces only (a tab is not a space here).
inline bool kvIsBlank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

// Appends the printf-style text to `out`, all of it whatever its length
// (NUL characters that a conversion writes included); appends nothing
// when the format is unusable.
void kvVAppendf(std::string& out, const char* format, va_list args);
void kvAppendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
