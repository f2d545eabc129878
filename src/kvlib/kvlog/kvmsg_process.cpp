// kvmsg_process: facts about this process and the raising thread, taken
// from Linux: uname and /etc/os-release for the system, /proc for the
// executable, command line, up time and memory, getrusage for CPU times,
// backtrace() and dladdr() for the thread's stack.
//
// Invariants: item names, types and text formats are those of every other
// platform of the family; a fact that cannot be read is empty or 0, never
// an error.
#include <dlfcn.h>
#include <execinfo.h>
#include <netdb.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "kvlog/kvmsg_context.h"
#include "kvlog/osdesc.h"

namespace {

constexpr size_t kCommandLineLimit = 4095;
constexpr size_t kHostNameLimit = 260;
constexpr int kBacktraceCapacity = 100;

std::string read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string os_name() {
    utsname u{};
    std::string name = uname(&u) == 0 ? u.sysname : "Linux";
    std::string distribution = kvOsReleaseName(read_file("/etc/os-release"));
    if (!distribution.empty()) name += " " + distribution;
    return name;
}

// The family names x86 processors the way its other platforms do; other
// processors keep the kernel's machine name rather than showing nothing.
std::string os_arch() {
    utsname u{};
    if (uname(&u) != 0) return {};
    std::string machine = u.machine;
    if (machine == "x86_64") return "x64";
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") return "x86";
    if (machine == "ia64") return "Itanium";
    return machine;
}

std::string os_version() {
    utsname u{};
    if (uname(&u) != 0) return {};
    kvOSVersion v;
    kvParseKernelRelease(u.release, &v);
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u", v.major, v.minor, v.build);
    return text;
}

CDataItem duration(int64_t seconds, int64_t nanoseconds) {
    return CDataItem::Timestamp(static_cast<int32_t>(seconds),
                                static_cast<int32_t>(nanoseconds / 1000));
}

CDataItem os_uptime() {
    double up = 0;
    std::string text = read_file("/proc/uptime");
    if (std::sscanf(text.c_str(), "%lf", &up) != 1) up = 0;
    return duration(static_cast<int64_t>(up), 0);
}

std::string host_name() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    std::string full = name;
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (std::strchr(name, '.') == nullptr && getaddrinfo(name, nullptr, &hints, &found) == 0) {
        if (found && found->ai_canonname) full = found->ai_canonname;
        freeaddrinfo(found);
    }
    if (full.size() > kHostNameLimit) full.resize(kHostNameLimit);
    return full;
}

std::string executable_path() {
    std::string path(256, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < path.size()) {
            path.resize(static_cast<size_t>(n));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string directory_of(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string command_line() {
    std::string text = read_file("/proc/self/cmdline");
    while (!text.empty() && text.back() == '\0') text.pop_back();
    for (char& c : text)
        if (c == '\0') c = ' ';
    if (text.size() > kCommandLineLimit) text.resize(kCommandLineLimit);
    return text;
}

std::string working_dir() {
    std::string dir(256, '\0');
    for (;;) {
        if (getcwd(dir.data(), dir.size())) {
            dir.resize(std::strlen(dir.c_str()));
            return dir;
        }
        if (errno != ERANGE) return {};
        dir.resize(dir.size() * 2);
    }
}

CDataItem cpu_time(bool user) {
    rusage use{};
    if (getrusage(RUSAGE_SELF, &use) != 0) return duration(0, 0);
    const timeval& t = user ? use.ru_utime : use.ru_stime;
    return duration(t.tv_sec, static_cast<int64_t>(t.tv_usec) * 1000);
}

// Time since the process started: boot-relative clock now minus the start
// tick that /proc/self/stat records.
CDataItem clock_time() {
    std::string stat = read_file("/proc/self/stat");
    size_t paren = stat.rfind(')');
    timespec now{};
    long ticks = sysconf(_SC_CLK_TCK);
    if (paren == std::string::npos || ticks <= 0 || clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return duration(0, 0);
    // Field 22 (start time) is the 20th after the command name.
    std::istringstream fields(stat.substr(paren + 2));
    std::string field;
    unsigned long long start = 0;
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22) start = std::strtoull(field.c_str(), nullptr, 10);
    int64_t now_ns = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    int64_t start_ns = static_cast<int64_t>(start) * (1000000000 / ticks);
    int64_t elapsed = now_ns > start_ns ? now_ns - start_ns : 0;
    return duration(elapsed / 1000000000, elapsed % 1000000000);
}

uint32_t status_kb(const char* key) {
    std::istringstream status(read_file("/proc/self/status"));
    std::string line;
    size_t n = std::strlen(key);
    while (std::getline(status, line))
        if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
            return static_cast<uint32_t>(std::strtoul(line.c_str() + n + 1, nullptr, 10));
    return 0;
}

}  // namespace

// ---- CProcessContext ----

CProcessContext::CProcessContext() {
    owned_by_parent = true;
    SetItem(ProcessOSName, CDataItem(os_name().c_str()));
    SetItem(ProcessOSArch, CDataItem(os_arch().c_str()));
    SetItem(ProcessOSVersion, CDataItem(os_version().c_str()));
    SetItem(ProcessOSUptime, os_uptime());
    // Resolving the fully qualified name may ask the network; it is done at
    // the first lookup instead, so a run that never reports it never waits.
    SetItem(ProcessHostName, CDataItem(""));
    SetItem(ProcessID, CDataItem::UInt32(static_cast<uint32_t>(getpid())));
    std::string exe = executable_path();
    SetItem(ProcessExecutable, CDataItem(exe.c_str()));
    SetItem(ProcessExecutableDir, CDataItem(directory_of(exe).c_str()));
    SetItem(ProcessCommandLine, CDataItem(command_line().c_str()));
    SetItem(ProcessWorkingDir, CDataItem(working_dir().c_str()));
    SetItem(ProcessUserTime, cpu_time(true));
    SetItem(ProcessSystemTime, cpu_time(false));
    SetItem(ProcessClockTime, clock_time());
    SetItem(ProcessMemoryVirtual, CDataItem::UInt32(status_kb("VmSize")));
    SetItem(ProcessMemoryPhysical, CDataItem::UInt32(status_kb("VmRSS")));
}

CProcessContext::~CProcessContext() = default;

CContextItem* CProcessContext::FindItem(uint32_t id) {
    switch (id) {
    case ProcessOSUptime: SetItem(id, os_uptime()); break;
    case ProcessWorkingDir: SetItem(id, CDataItem(working_dir().c_str())); break;
    case ProcessUserTime: SetItem(id, cpu_time(true)); break;
    case ProcessSystemTime: SetItem(id, cpu_time(false)); break;
    case ProcessClockTime: SetItem(id, clock_time()); break;
    case ProcessMemoryVirtual: SetItem(id, CDataItem::UInt32(status_kb("VmSize"))); break;
    case ProcessMemoryPhysical: SetItem(id, CDataItem::UInt32(status_kb("VmRSS"))); break;
    case ProcessHostName:
        if (!host_name_known_) {
            host_name_known_ = true;
            SetItem(id, CDataItem(host_name().c_str()));
        }
        break;
    default: break;
    }
    return CContext::FindItem(id);
}

// ---- CThreadContext ----

namespace {

std::string frame_text(void* pc) {
    Dl_info info{};
    bool known = dladdr(pc, &info) != 0;
    std::string module;
    if (known && info.dli_fname) {
        module = info.dli_fname;
        size_t slash = module.rfind('/');
        if (slash != std::string::npos) module.erase(0, slash + 1);
    }
    char symbol[512];
    if (known && info.dli_sname)
        std::snprintf(symbol, sizeof symbol, "%s+0x%lx", info.dli_sname,
                      static_cast<unsigned long>(static_cast<char*>(pc) -
                                                 static_cast<char*>(info.dli_saddr)));
    else
        std::snprintf(symbol, sizeof symbol, "<Unknown> %p", pc);
    // glibc's %p already starts with "0x".
    char counter[32];
    std::snprintf(counter, sizeof counter, "%p", pc);
    return module + "(" + symbol + ") [" + counter + "]";
}

// The capture routine's own frame is the first one backtrace() returns.
__attribute__((noinline)) int capture_stack(void** pcs, int capacity) {
    void* raw[kBacktraceCapacity + 1];
    int n = backtrace(raw, capacity + 1);
    int kept = 0;
    for (int i = 1; i < n && kept < capacity; ++i) pcs[kept++] = raw[i];
    return kept;
}

}  // namespace

// The raising thread walks its own stack: on Linux no second thread has to
// suspend it, and nothing can change the stack while it is being read.
CThreadContext::CThreadContext() {
    owned_by_parent = true;
    SetItem(ThreadID, CDataItem::UInt64(static_cast<uint64_t>(syscall(SYS_gettid))));
    void* pcs[kBacktraceCapacity];
    int n = capture_stack(pcs, kBacktraceCapacity);
    // The first recorded frame is this constructor itself.
    for (int i = 1; i < n; ++i) frames_.emplace_back(frame_text(pcs[i]).c_str());
    SetItem(ThreadBacktrace, CDataItem::Array(&frames_));
}

CThreadContext::~CThreadContext() = default;
