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

#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "kvstd/raise.h"

static const kvModuleId kModule{"kvstd.util.file", "$Id: fileutl.cpp 1.0 tabcopy $"};

namespace {

std::atomic<bool> g_output_lost{false};

// The first loss, for the report that explains what the run did not write.
// Recursive: a copy of the name that runs out of memory reports itself,
// and that report may lose output again on the same thread.
struct output_loss {
    std::recursive_mutex lock;
    std::string name;
    int error = 0;
};

output_loss& first_loss() {
    static output_loss loss;
    return loss;
}

void note_loss(const char* name, int error) {
    output_loss& loss = first_loss();
    std::lock_guard<std::recursive_mutex> hold(loss.lock);
    if (g_output_lost.exchange(true)) return;
    loss.name = name ? name : "";
    loss.error = error ? error : EIO;
}

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

bool kvSeekFile(FILE* stream, int64_t offset) {
    return stream && fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::string kvFileIdentity(FILE* stream) {
    struct stat info {};
    if (!stream || fstat(fileno(stream), &info) != 0) return {};
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

bool kvReadLine(FILE* stream, std::string& line) {
    line.clear();
    for (;;) {
        const int c = std::getc(stream);
        if (c == EOF) return !line.empty();
        line += static_cast<char>(c);
        if (c == '\n') return true;
    }
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
    note_loss(name, error);
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

void kvNoteOutputLost(const char* name, int error) { note_loss(name, error); }

bool kvOutputLost() { return g_output_lost.load(); }

bool kvFirstOutputLoss(std::string& name, std::string& error) {
    output_loss& loss = first_loss();
    std::lock_guard<std::recursive_mutex> hold(loss.lock);
    if (!g_output_lost.load()) return false;
    name = loss.name;
    error = std::strerror(loss.error);
    return true;
}

void kvOutputLostReset() {
    std::lock_guard<std::recursive_mutex> hold(first_loss().lock);
    g_output_lost.store(false);
}

// ---- Replacement files ----

namespace {

struct replacement {
    std::string target;
    std::string temporary;
    FILE* stream;
};

// Recursive: memory that runs out while the list is changed abends the
// run, and the discard at exit then comes back for the list on the same
// thread. The list is whole then: a failed allocation changes nothing.
std::recursive_mutex g_replacements_lock;
std::vector<replacement> g_replacements;

void discard_at_exit() { kvDiscardReplacements(); }

// Copies the content of `path` to `fd`; false with errno on failure.
bool copy_content(const char* path, int fd) {
    const int in = open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(fd, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    const int error = errno;
    close(in);
    errno = error;
    return ok;
}

// The new file beside `path`: a hidden name in the same folder, so the
// rename that puts it in place never crosses file systems.
FILE* open_beside(const char* path, bool append, const struct stat* existing, std::string& temporary) {
    const std::string target = path;
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    temporary = folder + "." + base + ".tabcopy-XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    // A new file gets the permissions a plain open would have given it.
    mode_t mode = 0;
    if (existing) {
        mode = existing->st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    FILE* stream = nullptr;
    if (fchmod(fd, mode) == 0 && (!append || !existing || copy_content(path, fd))) stream = fdopen(fd, "w");
    if (!stream) {
        const int error = errno;
        close(fd);
        unlink(temporary.c_str());
        errno = error;
    }
    return stream;
}

}  // namespace

FILE* kvOpenReplacement(const char* path, bool append) {
    if (!path || !*path) {
        errno = ENOENT;
        return nullptr;
    }
    struct stat info {};
    const bool exists = stat(path, &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) return std::fopen(path, append ? "a" : "w");
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(discard_at_exit); });
    // What the list needs is allocated before the temporary file exists,
    // so that running out of memory cannot leave a file the discard at
    // exit does not know.
    replacement entry{path, {}, nullptr};
    {
        std::lock_guard<std::recursive_mutex> hold(g_replacements_lock);
        g_replacements.reserve(g_replacements.size() + 1);
    }
    entry.stream = open_beside(path, append, exists ? &info : nullptr, entry.temporary);
    if (!entry.stream) return nullptr;
    std::lock_guard<std::recursive_mutex> hold(g_replacements_lock);
    g_replacements.push_back(std::move(entry));
    return g_replacements.back().stream;
}

bool kvCommitReplacements() {
    std::vector<replacement> due;
    {
        std::lock_guard<std::recursive_mutex> hold(g_replacements_lock);
        due.swap(g_replacements);
    }
    bool ok = true;
    for (const replacement& r : due) {
        errno = 0;
        const bool written = std::fflush(r.stream) == 0;
        int error = errno;
        const bool closed = std::fclose(r.stream) == 0;
        if (written && !closed) error = errno;
        if (written && closed && std::rename(r.temporary.c_str(), r.target.c_str()) == 0) continue;
        if (written && closed) error = errno;
        unlink(r.temporary.c_str());
        kvWriteFailed(r.target.c_str(), error ? error : EIO);
        ok = false;
    }
    return ok;
}

bool kvIsPendingReplacement(FILE* stream) {
    std::lock_guard<std::recursive_mutex> hold(g_replacements_lock);
    for (const replacement& r : g_replacements)
        if (r.stream == stream) return stream != nullptr;
    return false;
}

void kvDiscardReplacements() {
    std::lock_guard<std::recursive_mutex> hold(g_replacements_lock);
    for (const replacement& r : g_replacements) unlink(r.temporary.c_str());
    g_replacements.clear();
}

// ---- The console stream ----

namespace {
std::atomic<bool> g_console_on_stderr{false};
}

FILE* kvConsoleStream() { return g_console_on_stderr.load() ? stderr : stdout; }

void kvConsoleUseStandardError() { g_console_on_stderr.store(true); }
