// console: operator output (report writer, formatted report, centred line)
// and the start banner. The report stream belongs to global_settings; this
// module only writes to it, and drops it when it stops taking text. On
// Linux the console needs no colour or window calls: the text itself is
// all the operator sees, so none is written.
//
// Invariants: a text that standard output refuses goes to standard error,
// which stands in for the console from then on; a report file that refuses
// a text is closed and no longer written. Either failure is reported once
// (1093), after the text in hand has been written wherever it still can.
#include "kvapp/console.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <string>

#include "kvapp/console_internal.h"
#include "kvbuild.h"
#include "kvstd/config.h"
#include "kvstd/fileutl.h"
#include "kvstd/memutl.h"
#include "kvstd/trace.h"

const char* const kvProgramTitle = KV_PROGRAM_TITLE;
const char* const kvFrameLine =
    "***********************************************************************";

const char* const kvVersionLine = "Version " KV_BUILD_VERSION;
const char* const kvBuildLine =
    KV_BUILD_OS " " KV_BUILD_ARCH " " KV_BUILD_CONFIG " build of " KV_BUILD_DATE " " KV_BUILD_TIME;
const char* const kvNoticeLine = "\nCopyright (c) 2026 Brantix. All rights reserved.\n";

namespace {

std::atomic<bool> g_console_failed{false};

// When standard error fails as well, nothing is left that could tell the
// operator; the exit status still does. The console is standard error
// already while the DDL goes to standard output.
void write_console(const char* text, size_t len) {
    if (!g_console_failed.load() && kvConsoleStream() == stdout) {
        if (kvWriteFlush(stdout, text, len)) return;
        const int error = errno;
        g_console_failed.store(true);
        kvWriteFailed("standard output", error);
    }
    kvWriteFlush(stderr, text, len);
}

void write_report(const char* text, size_t len) {
    FILE* report = global_settings.report_file;
    if (!report || kvWriteFlush(report, text, len)) return;
    const int error = errno;
    // Dropped before the failure is reported: the message is written
    // through here as well.
    global_settings.report_file = nullptr;
    std::fclose(report);
    kvWriteFailed(global_settings.report_file_name.c_str(), error);
}

}  // namespace

void kvReportWrite(const char* text) {
    kv_ensure_global_settings();
    KV_TRACE_BUFFER(kvTraceBitOutput, "[rpt]", text, text ? std::strlen(text) : 0);
    if (!text) return;
    size_t len = std::strlen(text);
    kvOutputScopeBegin();
    write_console(text, len);
    write_report(text, len);
    kvOutputScopeEnd();
}

int kvReportNextSize(int size, int produced) {
    int doubled = size * 2;
    return produced + 2 > doubled ? produced + 2 : doubled;
}

void kvReportVPrintf(const char* format, va_list args) {
    int size = 256;
    for (;;) {
        char* buffer = static_cast<char*>(kvMalloc(size));
        if (!buffer) return;  // 1088 has been raised
        va_list copy;
        va_copy(copy, args);
        int produced = std::vsnprintf(buffer, static_cast<size_t>(size), format, copy);
        va_end(copy);
        if (produced >= 0 && produced <= size - 2) {
            kvReportWrite(buffer);
            kvFree(buffer);
            return;
        }
        kvFree(buffer);
        if (produced < 0) return;  // the format itself is unusable
        size = kvReportNextSize(size, produced);
    }
}

void kvReportPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    kvReportVPrintf(format, args);
    va_end(args);
}

int kvCenterIndent(int width, int length) {
    return length < width ? (width - length) / 2 : 0;
}

void kvPrintCentered(int width, const char* text) {
    int indent = kvCenterIndent(width, static_cast<int>(std::strlen(text)));
    kvReportPrintf("%*s%s\n", indent, " ", text);
}

void kvInitConsole() {
    // Window title, buffer size and colours are console-window services;
    // a Linux terminal keeps its own.
}

void kvPrintBanner(const char* extra, int form, const char* frame) {
    const char* lines[] = {kvProgramTitle, kvVersionLine, kvBuildLine, kvNoticeLine};
    if (form == 0) {
        std::string text = "\n";
        for (const char* line : lines) text += std::string(line) + "\n";
        if (extra) text += std::string(extra) + "\n";
        text += "\n";
        kvOutputScopeBegin();
        write_console(text.data(), text.size());
        kvOutputScopeEnd();
        return;
    }
    int width = static_cast<int>(std::strlen(frame));
    kvReportPrintf("\n%s\n", frame);
    for (const char* line : lines)
        kvReportPrintf("%*s%s\n", kvCenterIndent(width, static_cast<int>(std::strlen(line))), " ",
                       line);
    if (extra) {
        kvReportPrintf("\n");
        kvPrintCentered(width, extra);
    }
    kvReportPrintf("%s\n", frame);
}
