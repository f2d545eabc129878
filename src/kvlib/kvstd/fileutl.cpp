// fileutl: opening and closing streams with a failure report, and the
// regular-file test.
//
// Invariants: every failed open raises 1091 with the path; a stream handed
// to kvFclose is closed exactly once, whatever the outcome; a failed close
// raises 1077 with the stream's descriptor.
#include "kvstd/fileutl.h"

#include <sys/stat.h>

#include "kvlog/kvraise.h"

static const kvModuleId kModule{"kvstd.util.file", "$Id: fileutl.cpp 1.0 tabcopy $"};

FILE* kvOpenFile(const char* path, const char* mode) {
    FILE* stream = nullptr;
    // fopen of a null path is undefined; an empty one can never name a file.
    if (path && *path && mode) stream = std::fopen(path, mode);
    if (!stream) kvRaiseMessage(KV_SITE(kModule), 1091, {path ? path : ""});
    return stream;
}

// The C library releases the stream whether or not fclose succeeds, so a
// second fclose after a failure (even one interrupted by a signal) would
// touch freed memory. The stream is therefore closed once and a failure is
// only reported. The descriptor is read first: afterwards the stream is gone.
int kvFclose(FILE* stream) {
    if (!stream) return 0;
    const int fd = fileno(stream);
    if (std::fclose(stream) != 0) kvRaiseMessage(KV_SITE(kModule), 1077, {static_cast<int32_t>(fd)});
    return 0;
}

int kvIsRegularFile(const char* path) {
    struct stat info {};
    if (!path || stat(path, &info) != 0) return 0;
    return S_ISREG(info.st_mode) ? 1 : 0;
}
