// Pieces of the console module exposed for its own tests and for the
// modules that print banners.
#pragma once

#include <cstdarg>

extern const char* const kvVersionLine;
extern const char* const kvBuildLine;
extern const char* const kvNoticeLine;

// Buffer size for the next formatting attempt after `produced` characters
// did not fit in `size` bytes.
int kvReportNextSize(int size, int produced);
// Leading blanks that centre a text of `length` in `width`.
int kvCenterIndent(int width, int length);
void kvReportVPrintf(const char* format, va_list args);
