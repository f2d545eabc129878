// fileutl: opening and closing streams with a failure report, the
// regular-file test, and the reporting of failed writes.
//
// Invariants: every failed open raises 1091 with the path; a stream handed
// to kvFclose is closed exactly once, whatever the outcome; a failed close
// raises 1077 with the stream's descriptor, unless the failure was already
// reported as lost data (1093). Every write failure makes kvOutputLost
// true for the rest of the process. A 1093 noted inside an output scope is
// raised exactly once, when the thread's outermost scope ends.
#include "kvstd/fileutl.h"

#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "kvlog/kvraise.h"

static const kvModuleId kModule{"kvstd.util.file", "$Id: fileutl.cpp 1.0 tabcopy $"};

namespace {

std::atomic<bool> g_output_lost{false};

struct pending_failure {
    std::string name;
    int error;
};

thread_local int t_scope_depth = 0;
thread_local std::vector<pending_failure> t_pending;

void raise_write_failure(const std::string& name, int error) {
    kvRaiseMessage(KV_SITE_FN(kModule, "kvWriteFailed"), 1093,
                   {name, std::strerror(error ? error : EIO)});
}

// The file a stream writes to, for the message: the path the descriptor
// is open on, or the descriptor number when the system does not say.
std::string stream_name(FILE* stream) {
    const int fd = fileno(stream);
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    char target[4096];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) return "descriptor " + std::to_string(fd);
    return std::string(target, static_cast<size_t>(n));
}

}  // namespace

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
// Data still buffered would be written by fclose, and its loss reported
// only as a failed close: it is flushed first, so the loss is named.
int kvFclose(FILE* stream) {
    if (!stream) return 0;
    const int fd = fileno(stream);
    bool reported = false;
    if (__fpending(stream) > 0 && std::fflush(stream) != 0) {
        const int error = errno;
        kvWriteFailed(stream_name(stream).c_str(), error);
        reported = true;
    }
    if (std::fclose(stream) != 0 && !reported)
        kvRaiseMessage(KV_SITE(kModule), 1077, {static_cast<int32_t>(fd)});
    return 0;
}

int kvIsRegularFile(const char* path) {
    struct stat info {};
    if (!path || stat(path, &info) != 0) return 0;
    return S_ISREG(info.st_mode) ? 1 : 0;
}

std::string kvFileIdentity(FILE* stream) {
    struct stat info {};
    if (!stream || fstat(fileno(stream), &info) != 0) return {};
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

bool kvWriteFlush(FILE* stream, const void* data, size_t size) {
    if (!stream) return false;
    errno = 0;
    bool ok = size == 0 || std::fwrite(data, 1, size, stream) == size;
    int error = errno;
    if (std::fflush(stream) != 0) {
        ok = false;
        if (!error) error = errno;
    }
    // A short write without a system error still lost data.
    errno = ok ? 0 : (error ? error : EIO);
    return ok;
}

void kvWriteFailed(const char* name, int error) {
    g_output_lost.store(true);
    std::string file = name ? name : "";
    if (t_scope_depth > 0) {
        t_pending.push_back({std::move(file), error});
        return;
    }
    raise_write_failure(file, error);
}

void kvOutputScopeBegin() { ++t_scope_depth; }

void kvOutputScopeEnd() {
    if (t_scope_depth > 0) --t_scope_depth;
    if (t_scope_depth > 0 || t_pending.empty()) return;
    std::vector<pending_failure> due;
    due.swap(t_pending);
    for (const pending_failure& f : due) raise_write_failure(f.name, f.error);
}

void kvNoteOutputLost() { g_output_lost.store(true); }

bool kvOutputLost() { return g_output_lost.load(); }

void kvOutputLostReset() { g_output_lost.store(false); }
