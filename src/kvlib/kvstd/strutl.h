// strutl: small in-place text routines on NUL-terminated single-byte text.
#pragma once

#include <cstdint>
#include <string>

char* kvUpshiftNotQuoted(char* text);
void kvUpshiftNotQuoted(std::string& text);
int kvStrCmpNoCase(const char* a, const char* b);
int kvStrnCmpNoCase(const char* a, const char* b, int n);
char* kvTrimTrailing(char* text);
void kvTrimTrailing(std::string& text);
bool kvStripLastOf(const char* set, char* text);
bool kvStripLastOf(const char* set, std::string& text);
// `text` must have room for limit + 1 bytes.
char* kvReplaceLeading(char* text, int limit, int k, const char* replacement, int r);
char* kvStrnDup(int n, char** destination, const char* source);
// `buffer` must have room for 21 bytes.
int kvUInt64ToText(uint64_t value, char* buffer);
