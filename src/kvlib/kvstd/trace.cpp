// trace: the trace switches, the record formats and the ring of trace files.
//
// Owns kvTraceLog, the module filter and the switches. Invariants:
// - Records are built in fixed stack buffers and files are opened with
//   plain fopen, so no record touches the memory wrappers or raises a
//   message while it is being built.
// - A record started while another is being written on the same thread is
//   dropped. Closing a full file goes through kvFclose, which may raise a
//   message, whose output is traced in turn; the drop ends that loop.
// - The ring (file, line count, index) changes only under g_ring_lock, and
//   streams are closed only after the lock is released: a message raised by
//   the close may wait for the event writer's lock, which another thread
//   may hold while it waits for the ring.
// - A file holds at most the record limit, and every file is emptied when
//   the ring reaches it again.
// The switches themselves are plain process-wide shorts, read without a
// lock at every trace point.
#include "kvstd/trace.h"

#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "kvstd/fileutl.h"

short kvTraceEnabled = 0;
short kvTraceReady = 0;
short kvTraceSuppress[2] = {0, 0};
uint32_t kvTraceFlags = 0;
kv_trace_filter kvTraceModules;
kv_trace_log kvTraceLog;

namespace {

constexpr size_t kHeaderSize = 256;
constexpr size_t kModuleSize = 256;
// A header, a label cut to kLabelRoom with it, and the longest description
// tail (" (len:2147483647)(truncated to 100000) =", 40 chars) always fit,
// so the description's final " =" is never lost to a cut.
constexpr size_t kRecordSize = kHeaderSize + 40;
constexpr size_t kLabelRoom = 238;
constexpr size_t kValueLabelMax = 220;
constexpr size_t kShortLineMax = 139;
constexpr size_t kDumpContent = 136;
constexpr int64_t kLengthMax = 2147483647;
constexpr uintptr_t kFillPattern = 0xCDCDCDCD;
const char* const kMemorySource = "kvlib/kvstd/memutl.cpp";
const char* const kDefaultBase = "tabcopy.trc";

int g_file_records = kvTraceFileRecords;
std::mutex g_ring_lock;
thread_local bool t_busy = false;

// A text in a fixed buffer; appends beyond its size are cut, never spilled.
template <size_t N>
struct Line {
    char text[N];
    size_t len = 0;

    Line() { text[0] = '\0'; }
    void add(const char* s, size_t n) {
        const size_t room = N - 1 - len;
        if (n > room) n = room;
        std::memcpy(text + len, s, n);
        len += n;
        text[len] = '\0';
    }
    void add(const char* s) { add(s, std::strlen(s)); }
    __attribute__((format(printf, 2, 3))) void addf(const char* format, ...) {
        va_list args;
        va_start(args, format);
        const int produced = std::vsnprintf(text + len, N - len, format, args);
        va_end(args);
        if (produced > 0) {
            const size_t n = static_cast<size_t>(produced);
            len = n < N - len ? len + n : N - 1;
        }
        text[len] = '\0';
    }
    void cut(size_t n) {
        if (n < len) text[len = n] = '\0';
    }
};

bool is_fill(const void* p) { return reinterpret_cast<uintptr_t>(p) == kFillPattern; }

bool gate_open() {
    return kvTraceEnabled && kvTraceReady && !kvTraceSuppress[0] && !kvTraceSuppress[1] &&
           !t_busy;
}

// Marks this thread as writing a record for the guard's lifetime.
class Busy {
public:
    Busy() : previous_(t_busy) { t_busy = true; }
    ~Busy() { t_busy = previous_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    bool previous_;
};

// Streams taken out of the ring, closed when the guard ends: after the
// ring lock that is declared after it has been released.
class Retired {
public:
    Retired() = default;
    ~Retired() {
        for (int i = 0; i < count_; ++i) kvFclose(streams_[i]);
    }
    Retired(const Retired&) = delete;
    Retired& operator=(const Retired&) = delete;
    // One write retires at most two streams (the full or failing file and
    // the next one when it fails too).
    void add(FILE* stream) {
        if (stream && count_ < kSlots) streams_[count_++] = stream;
    }

private:
    static constexpr int kSlots = 2;
    FILE* streams_[kSlots] = {};
    int count_ = 0;
};

// "..\kvlib\kvapp\TabUtl.cpp" -> "tabutl".
void module_of(const char* source, char* module) {
    const size_t n = strnlen(source, kModuleSize - 1);
    size_t name = 0;
    for (size_t i = 0; i < n; ++i)
        if (source[i] == '/' || source[i] == '\\') name = i + 1;
    size_t m = 0;
    for (size_t i = name; i < n; ++i)
        module[m++] = static_cast<char>(std::tolower(static_cast<unsigned char>(source[i])));
    module[m] = '\0';
    if (char* dot = std::strrchr(module, '.'); dot && dot != module) *dot = '\0';
}

bool filtered_out(const char* module) {
    if (kvTraceModules.names.empty()) return false;
    for (const std::string& name : kvTraceModules.names)
        if (name == module) return false;
    return true;
}

// A write that never reaches the file (a full disk shows only at the
// flush) counts as failed, so the ring moves on instead of losing records.
bool put_line(FILE* stream, const char* text) {
    return stream && std::fputs(text, stream) >= 0 && std::fputc('\n', stream) != EOF &&
           std::fflush(stream) == 0;
}

void detach_stream(kv_trace_log* log, Retired& retired) {
    FILE* old = log->stream;
    log->open = 0;
    log->lines = 0;
    log->stream = nullptr;
    if (old) {
        std::fflush(old);
        retired.add(old);
    }
}

short rotate(kv_trace_log* log, Retired& retired) {
    detach_stream(log, retired);
    log->file_index = (log->file_index >= kvTraceFileCount - 1 || log->file_index < 0)
                          ? 0
                          : log->file_index + 1;
    log->lines = 0;
    const char* name = log->file_names[log->file_index].c_str();
    if (!*name) return 1;
    FILE* stream = std::fopen(name, "w+");
    if (!stream) {
        std::remove(name);
        stream = std::fopen(name, "w+");
    }
    if (!stream) return 1;
    log->stream = stream;
    log->open = 1;
    return 0;
}

short count_line(kv_trace_log* log, Retired& retired) {
    if (++log->lines >= g_file_records) return rotate(log, retired);
    return 0;
}

short write_record(const char* text) { return kvTraceWrite(&kvTraceLog, text); }

template <size_t N>
void add_display(Line<N>& line, unsigned char c) {
    static const char hex[] = "0123456789ABCDEF";
    if (c == 0) {
        line.add("^", 1);
    } else if (c >= 0x20 && c < 0x7F && c != '^') {
        const char one = static_cast<char>(c);
        line.add(&one, 1);
    } else {
        const char braced[4] = {'{', hex[c >> 4], hex[c & 0xF], '}'};
        line.add(braced, 4);
    }
}

const char* invalid_argument(const void* buffer, int64_t length) {
    if (length < 0) return "<Length with minus value given>";
    if (length > kLengthMax) return "<Length greater than LONG_MAX given>";
    if (is_fill(buffer)) return "<Invalid pointer passed as buffer address>";
    if (!buffer) return "<Null pointer passed as buffer address>";
    return nullptr;
}

void write_invalid(const char* header, size_t header_len, const char* label, const char* text) {
    Line<kRecordSize> line;
    line.add(header, header_len);
    if (label && header_len + strnlen(label, kHeaderSize) + 1 < kHeaderSize) {
        line.add(label);
        line.add(" ", 1);
    }
    line.add(text);
    write_record(line.text);
}

void describe(Line<kRecordSize>& line, size_t header_len, const char* label, int64_t length) {
    const long long len = static_cast<long long>(length);
    if (label && *label) {
        const size_t keep = header_len < kLabelRoom ? kLabelRoom - header_len : 0;
        line.add(label, strnlen(label, keep));
        line.addf(" (len:%lld) =", len);
    } else {
        line.addf("(len:%lld) =", len);
    }
    if (length > kvTraceShownMax) {
        line.cut(line.len - 2);
        line.addf("(truncated to %ld) =", kvTraceShownMax);
    }
}

bool write_short(const Line<kRecordSize>& base, const unsigned char* bytes, size_t shown) {
    if (base.len + shown + 3 >= kShortLineMax) return false;
    Line<kRecordSize> line = base;
    line.add(" <", 2);
    for (size_t i = 0; i < shown && line.len < kShortLineMax; ++i) add_display(line, bytes[i]);
    line.add(">", 1);
    if (line.len >= kShortLineMax) return false;
    write_record(line.text);
    return true;
}

void write_long(const Line<kRecordSize>& base, const unsigned char* bytes, size_t shown) {
    if (write_record(base.text) != 0) return;
    if (shown == 0) {
        write_record(" <>");
        return;
    }
    for (size_t i = 0; i < shown;) {
        Line<kRecordSize> dump;
        dump.add(" <", 2);
        while (i < shown && dump.len - 2 < kDumpContent) add_display(dump, bytes[i++]);
        dump.add(">", 1);
        if (write_record(dump.text) != 0) return;
    }
}

bool parse_flags(const char* text, uint32_t* value) {
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    if (!std::isxdigit(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, base);
    if (*end != '\0' || parsed > 0xFFFFFFFFull) return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Module names are file names in lower case, so the configured names are
// lowered too: "MemUtl" and "memutl" select the same module. Blanks around
// a name and empty entries are ignored.
void add_filter_name(const char* begin, const char* end) {
    while (begin < end && is_blank(*begin)) ++begin;
    while (end > begin && is_blank(end[-1])) --end;
    if (begin == end) return;
    std::string name(begin, end);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    kvTraceModules.names.push_back(std::move(name));
}

void parse_filter(const char* modules) {
    if (!modules) return;
    for (const char* p = modules;;) {
        const char* comma = std::strchr(p, ',');
        const char* end = comma ? comma : p + std::strlen(p);
        add_filter_name(p, end);
        if (!comma) return;
        p = comma + 1;
    }
}

void fill_file_names(const char* base) {
    for (int i = 0; i < kvTraceFileCount; ++i) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%02d", i);
        kvTraceLog.file_names[i] = std::string(base) + suffix;
    }
}

void close_now(kv_trace_log* log) {
    Retired retired;
    std::lock_guard<std::mutex> hold(g_ring_lock);
    detach_stream(log, retired);
}

// Declared after the trace state, so destroyed before it: once static
// clean-up has begun, trace points find tracing off instead of reaching
// the destroyed names.
// The stream is closed without kvFclose: the message machinery may be
// gone by then, and every record has been flushed already.
struct ShutDown {
    ~ShutDown() {
        kvTraceEnabled = 0;
        std::lock_guard<std::mutex> hold(g_ring_lock);
        if (kvTraceLog.stream) std::fclose(kvTraceLog.stream);
        kvTraceLog.stream = nullptr;
        kvTraceLog.open = 0;
    }
} g_shut_down;

}  // namespace

int kvTraceHeader(char* out, const char* source, long line) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    Line<kHeaderSize> header;
    header.addf("%02d/%02d %02d:%02d:%02d ", local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec);
    if (source && *source) {
        char module[kModuleSize];
        module_of(source, module);
        if (filtered_out(module)) return -1;
        header.addf("[%s:%ld] ", module, line);
    } else {
        header.addf("[%ld] ", line);
    }
    std::memcpy(out, header.text, header.len + 1);
    return static_cast<int>(header.len);
}

void kvTraceFunction(const char* source, long line, const char* function) {
    if (!gate_open() || !function || is_fill(function) || !*function) return;
    Busy busy;
    char header[kHeaderSize];
    const int header_len = kvTraceHeader(header, source, line);
    if (header_len < 0) return;
    Line<kHeaderSize> record;
    record.add(header, static_cast<size_t>(header_len));
    record.add(function);
    write_record(record.text);
}

void kvTraceValue(const char* label, long line, int64_t value) {
    if (!gate_open()) return;
    Busy busy;
    char header[kHeaderSize];
    const int header_len = kvTraceHeader(header, kMemorySource, line);
    if (header_len < 0) return;
    Line<kRecordSize> record;
    record.add(header, static_cast<size_t>(header_len));
    const size_t label_len = label && !is_fill(label) ? strnlen(label, kValueLabelMax + 1) : 0;
    if (label_len >= 1 && label_len <= kValueLabelMax)
        record.addf("%s = %lld", label, static_cast<long long>(value));
    else
        record.addf("%lld", static_cast<long long>(value));
    write_record(record.text);
}

void kvTraceBuffer(const char* source, long line, const char* label, const void* buffer,
                   int64_t length) {
    if (!gate_open()) return;
    Busy busy;
    char header[kHeaderSize];
    const int header_len = kvTraceHeader(header, source, line);
    if (header_len < 0) return;
    // A label that is itself the debug fill pattern cannot be read.
    if (label && is_fill(label)) label = nullptr;
    if (const char* invalid = invalid_argument(buffer, length)) {
        write_invalid(header, static_cast<size_t>(header_len), label, invalid);
        return;
    }
    if (!label && length == 0) return;
    Line<kRecordSize> base;
    base.add(header, static_cast<size_t>(header_len));
    describe(base, static_cast<size_t>(header_len), label, length);
    const size_t shown = static_cast<size_t>(length < kvTraceShownMax ? length : kvTraceShownMax);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    if (!write_short(base, bytes, shown)) write_long(base, bytes, shown);
}

short kvTraceWrite(kv_trace_log* log, const char* text) {
    if (!log || !text) return 1;
    Busy busy;
    Retired retired;
    std::lock_guard<std::mutex> hold(g_ring_lock);
    if (log->open && put_line(log->stream, text)) return count_line(log, retired);
    // The next file may be writable where this one is not; only when it
    // fails as well is tracing given up for the rest of the process.
    if (rotate(log, retired) != 0) return 1;
    if (put_line(log->stream, text)) return count_line(log, retired);
    detach_stream(log, retired);
    kvTraceEnabled = 0;
    return 1;
}

short kvTraceRotate(kv_trace_log* log) {
    if (!log) return 1;
    Busy busy;
    Retired retired;
    std::lock_guard<std::mutex> hold(g_ring_lock);
    return rotate(log, retired);
}

short kvTraceConfigure(const char* flags, const char* file_base, const char* modules) {
    kvTraceReset();
    uint32_t value = 0;
    if (!flags || !parse_flags(flags, &value)) return 0;
    fill_file_names(file_base && *file_base ? file_base : kDefaultBase);
    parse_filter(modules);
    // The first record opens the ring's first name.
    kvTraceLog.file_index = kvTraceFileCount - 1;
    kvTraceFlags = value;
    kvTraceReady = 1;
    kvTraceEnabled = 1;
    return 1;
}

void kvTraceStartUp() {
    static bool done = false;
    if (done) return;
    done = true;
    const char* flags = std::getenv("KVXTRACEFLAGS");
    if (!flags) return;
    // Whoever sets the variable wants a trace; saying why there is none
    // saves a search through an empty directory.
    if (!kvTraceConfigure(flags, std::getenv("KVXTRACEFILE"), std::getenv("KVXTRACEMODULES"))) {
        std::fprintf(stderr,
                     "KVXTRACEFLAGS=\"%s\" is not a decimal or 0x hexadecimal 32-bit number; "
                     "tracing stays off\n",
                     flags);
        std::fflush(stderr);
    }
}

void kvTraceReset() {
    close_now(&kvTraceLog);
    kvTraceLog.file_index = 0;
    for (std::string& name : kvTraceLog.file_names) name.clear();
    kvTraceModules.names.clear();
    kvTraceEnabled = 0;
    kvTraceReady = 0;
    kvTraceSuppress[0] = kvTraceSuppress[1] = 0;
    kvTraceFlags = 0;
    g_file_records = kvTraceFileRecords;
}

void kvTraceSetFileRecords(int records) {
    g_file_records = records > 0 ? records : kvTraceFileRecords;
}
