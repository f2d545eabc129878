// console: everything the operator reads goes through kvReportWrite, which
// writes to standard output and, when a report file is open, copies the
// same bytes to it, flushing both after every text.
#pragma once

#include <cstdio>

// Title of this program, shown in banners and event log lines.
extern const char* const kvProgramTitle;
// The 71-asterisk frame of the start banner.
extern const char* const kvFrameLine;

void kvReportWrite(const char* text);
void kvReportPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void kvPrintCentered(int width, const char* text);

void kvInitConsole();
// form 1: framed, through the report routines; form 0: plain, on standard
// output only. `extra` may be null.
void kvPrintBanner(const char* extra, int form, const char* frame);
