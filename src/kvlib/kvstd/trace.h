// trace: developer trace points and the rotating trace files they write.
//
// A trace point is one of the KV_TRACE_* macros below. While tracing is off
// it costs one test of a short and one bit test (kvTraceOn); only then are
// the out-of-line routines called. Records are formatted in fixed stack
// buffers, so the memory wrappers can be traced without recursion.
//
// Tracing is dormant until kvTraceStartUp (called once by the program's
// main) finds it configured in the environment:
//   KVXTRACEFLAGS    the flags word, decimal or 0x hexadecimal; setting it
//                    switches tracing on
//   KVXTRACEFILE     base path of the trace files, suffixed .00 to .99
//                    (default "tabcopy.trc" in the working directory)
//   KVXTRACEMODULES  comma-separated module names; only they are traced
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Bits of kvTraceFlags, one per kind of trace point.
constexpr uint32_t kvTraceBitOutput = 0x0002;     // report and event-log texts
constexpr uint32_t kvTraceBitDateType = 0x0010;   // kvIsDateType entry
constexpr uint32_t kvTraceBitEntry = 0x1000;      // function entries
constexpr uint32_t kvTraceBitUpshift = 0x2000;    // kvUpshiftNotQuoted texts
constexpr uint32_t kvTraceBitMemValues = 0x4000;  // memory wrapper values

// Records per trace file, and the number of files in the ring.
constexpr int kvTraceFileRecords = 500000;
constexpr int kvTraceFileCount = 100;
// Bytes of a buffer shown at most.
constexpr long kvTraceShownMax = 100000;

extern short kvTraceEnabled;      // master switch; cleared when files cannot be written
extern short kvTraceReady;        // must be set for any record to be written
extern short kvTraceSuppress[2];  // any set: no record is written
extern uint32_t kvTraceFlags;

// Module filter: when names is not empty, only records of these modules
// (lower-case file names without extension) are written.
struct kv_trace_filter {
    std::vector<std::string> names;
};
extern kv_trace_filter kvTraceModules;

struct kv_trace_log {
    short open = 0;
    int lines = 0;  // records in the current file
    FILE* stream = nullptr;
    int file_index = 0;
    std::string file_names[kvTraceFileCount];
};
extern kv_trace_log kvTraceLog;

inline bool kvTraceOn(uint32_t bit) { return kvTraceEnabled != 0 && (kvTraceFlags & bit) != 0; }

// The build passes absolute paths; the part from the source tree down
// ("kvlib/kvstd/memutl.cpp") is what a record should show, and it keeps
// deep checkouts within the 255 characters a module path may use.
constexpr const char* kvTraceSourcePath(const char* path) {
    const char* from = path;
    for (const char* p = path; *p; ++p)
        if (p[0] == '/' && p[1] == 's' && p[2] == 'r' && p[3] == 'c' && p[4] == '/') from = p + 5;
    return from;
}

void kvTraceFunction(const char* source, long line, const char* function);
// The module of a value record is always the memory module.
void kvTraceValue(const char* label, long line, int64_t value);
void kvTraceBuffer(const char* source, long line, const char* label, const void* buffer,
                   int64_t length);

// Writes the header into `out` (256 bytes). Returns its length, or -1 when
// the module filter suppresses records of `source`.
int kvTraceHeader(char* out, const char* source, long line);
// Writes one line; 0 on success.
short kvTraceWrite(kv_trace_log* log, const char* text);
// Closes the current file and opens the next one of the ring, emptied.
short kvTraceRotate(kv_trace_log* log);

// Reads KVXTRACEFLAGS, KVXTRACEFILE and KVXTRACEMODULES and applies them;
// only the first call of the process does anything. A value that cannot
// be used is named on standard error and leaves tracing off.
void kvTraceStartUp();
// Applies a configuration as kvTraceStartUp does with the environment's
// values (null: not set). Returns 1 when tracing is now on.
short kvTraceConfigure(const char* flags, const char* file_base, const char* modules);

// Test seams: closes the trace file and returns every switch, the filter
// and the record limit to their initial state; sets the records per file.
void kvTraceReset();
void kvTraceSetFileRecords(int records);

template <typename T>
inline int64_t kvTraceNumber(T* pointer) {
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(pointer));
}
template <typename T>
inline int64_t kvTraceNumber(T value) {
    return static_cast<int64_t>(value);
}

#define KV_TRACE_FUNCTION(bit, name)                                                        \
    do {                                                                                    \
        if (kvTraceOn(bit)) kvTraceFunction(kvTraceSourcePath(__FILE__), __LINE__, (name)); \
    } while (0)

#define KV_TRACE_VALUE(label, value)                                                            \
    do {                                                                                        \
        if (kvTraceOn(kvTraceBitMemValues)) kvTraceValue((label), __LINE__, kvTraceNumber(value)); \
    } while (0)

#define KV_TRACE_BUFFER(bit, label, buffer, length)                                 \
    do {                                                                            \
        if (kvTraceOn(bit))                                                         \
            kvTraceBuffer(kvTraceSourcePath(__FILE__), __LINE__, (label), (buffer), \
                          static_cast<int64_t>(length));                            \
    } while (0)
