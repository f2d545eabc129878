// fuzz_support: what every fuzz target shares.
//
// - Messages are swallowed by an observer, so a message whose severity
//   would end the run returns to its raising site and the site's own
//   recovery runs on: the recovery paths are fuzzed too. Every text value
//   is read (its first 4096 bytes), as the dispatcher would, so a value
//   that points at freed storage shows up at once.
// - Standard output (the console copy of every report line) goes to
//   /dev/null and no report file is open: the targets run quietly and fast.
// - A private scratch folder holds the files a target reads; the command
//   reader targets run each input with it as the working directory, so
//   relative OBEY and INCLUDE paths find the helper files written there.
//   libFuzzer itself keeps the caller's working directory.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>

#include "kvlog/kvraise.h"
#include "kvstd/config.h"

namespace fuzz_support {

// Texts are read up to a bound: a value that is the rest of a long text
// must not make every message cost that text's length.
inline bool swallow_message(const kvSourceSite& site, uint32_t, std::span<const kvMsgArg> args, void*) {
    size_t sink = std::strlen(site.module) + std::strlen(site.function);
    for (const kvMsgArg& a : args)
        if (a.is_text()) sink += strnlen(a.text(), 4096);
    static volatile size_t total = 0;
    total = total + sink;
    return false;
}

// Under TABCOPY_FUZZ_SCRATCH when set (tests/fuzz/run sets it, and removes
// what a crashed run leaves there); otherwise in memory where the system
// offers it: every input is written to a file, and rewriting a file on a
// disk (truncation, discard) costs milliseconds.
inline const std::filesystem::path& scratch_dir() {
    static const std::filesystem::path dir = [] {
        const char* root = std::getenv("TABCOPY_FUZZ_SCRATCH");
        std::filesystem::path base = root && *root ? std::filesystem::path(root)
                                     : ::access("/dev/shm", W_OK) == 0
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::string pattern = (base / "tabcopy-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        return std::filesystem::path(pattern);
    }();
    return dir;
}

inline std::string scratch_path(const std::string& name) { return (scratch_dir() / name).string(); }

// Writes `size` bytes to the scratch file `name`, replacing it.
inline std::string write_scratch(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = scratch_path(name);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

inline std::string write_scratch(const std::string& name, const std::string& text) {
    return write_scratch(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// A folder and a FIFO beside the helper files: names an OBEY or INCLUDE
// may give that are not regular files (a FIFO would block a reader that
// opened it).
inline void make_special_files() {
    std::filesystem::create_directories(scratch_dir() / "dir");
    if (::mkfifo(scratch_path("fifo").c_str(), 0600) != 0) std::abort();
}

// Runs the scope with the scratch folder as the working directory.
class in_scratch_dir {
public:
    in_scratch_dir() : saved_(::open(".", O_RDONLY | O_DIRECTORY)) {
        if (saved_ < 0 || ::chdir(scratch_dir().c_str()) != 0) std::abort();
    }
    ~in_scratch_dir() {
        if (::fchdir(saved_) != 0) std::abort();
        ::close(saved_);
    }
    in_scratch_dir(const in_scratch_dir&) = delete;
    in_scratch_dir& operator=(const in_scratch_dir&) = delete;

private:
    int saved_;
};

// Environment values the parameter readers substitute: a plain value, an
// empty one, a long one, one that refers to itself, one that begins with a
// reference, and the hidden password names.
inline void set_environment() {
    setenv("FZ_A", "alpha", 1);
    setenv("FZ_EMPTY", "", 1);
    setenv("FZ_LONG", std::string(3000, 'L').c_str(), 1);
    // Each substitution of FZ_SELF adds 500 characters, so the command
    // limit ends the chain after about 100 steps rather than 50000.
    setenv("FZ_SELF", (std::string(500, 'x') + "?FZ_SELF").c_str(), 1);
    setenv("FZ_LEAD", "?FZ_A", 1);
    setenv("FZ_SEMI", "a;b -- c", 1);
    setenv("PASSWORD", "s3cret", 1);
    setenv("PW", "pw", 1);
}

// Once per process: the observer, quiet output, the settings loaded with
// no GLOBALS file (the scratch folder has none) and the environment.
inline void init() {
    kvSetMessageObserver(&swallow_message, nullptr);
    const int null_fd = ::open("/dev/null", O_WRONLY);
    if (null_fd < 0 || ::dup2(null_fd, STDOUT_FILENO) < 0) std::abort();
    ::close(null_fd);
    {
        in_scratch_dir here;
        kv_ensure_global_settings();
    }
    global_settings.report_file = nullptr;
    set_environment();
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(scratch_dir(), ignored);
    });
}

// A check the code under test promises; a failure is a finding.
#define FUZZ_CHECK(cond)                                                         \
    do {                                                                         \
        if (!(cond)) {                                                           \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #cond, __FILE__, \
                         __LINE__);                                              \
            std::abort();                                                        \
        }                                                                        \
    } while (0)

}  // namespace fuzz_support
