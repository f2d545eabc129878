// recframe_hint: the framing a file's first bytes suggest, for the text of
// an error about a file that does not match the framing it is read with.
//
// Invariants: only the file's first kSample bytes are read, with pread, so
// the reader's position is untouched; only regular files get a hint. A
// framing fits when its chain of descriptor words (or line ends) from the
// file's first byte is consistent as far as the sample goes and long
// enough not to be chance: three records, or the whole file exactly.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "kvapp/recframe_internal.h"

namespace {

constexpr int64_t kSample = int64_t{64} << 10;
constexpr int kEnoughRecords = 3;

struct sample {
    const uint8_t* p;
    int64_t n;          // bytes in the sample
    int64_t file_size;  // the sample is the whole file when n == file_size
    bool whole() const { return n == file_size; }
};

bool looks_v(const sample& s) {
    std::string what;
    int64_t at = 0, records = 0;
    for (; at + 4 <= s.n; ++records) {
        const int64_t length = rf_rdw_length(rf_be32(s.p + at), what);
        if (!length || at + length > s.file_size) return false;
        at += length;
    }
    return s.whole() ? at == s.file_size && records > 0 : records >= kEnoughRecords;
}

// A block must hold a record: an empty block is valid but no way to begin.
bool looks_vb(const sample& s) {
    std::string what;
    int64_t at = 0, records = 0;
    while (at + 4 <= s.n) {
        const int64_t length = rf_bdw_length(rf_be32(s.p + at), what);
        if (length < 8 || at + length > s.file_size) return false;
        const int64_t end = at + length;
        int64_t r = at + 4;
        for (; r < end && r + 4 <= s.n; ++records) {
            const int64_t record = rf_rdw_length(rf_be32(s.p + r), what);
            if (!record || r + record > end) return false;
            r += record;
        }
        if (r < end) break;  // the sample ends inside the block
        at = end;
    }
    return s.whole() ? at == s.file_size && records > 0 : records >= kEnoughRecords;
}

bool mostly_text(const sample& s) {
    int64_t text = 0;
    for (int64_t i = 0; i < s.n; ++i) {
        const uint8_t c = s.p[i];
        text += (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r' || c == '\n';
    }
    return text * 10 >= s.n * 9;
}

// Lines of one length are what FIXED records with line ends look like;
// lines of any length must at least be text.
bool looks_line(const sample& s, std::string& text) {
    int64_t lines = 0, period = -1, begin = 0;
    bool regular = true, crlf = true;
    while (begin < s.n) {
        const void* lf = std::memchr(s.p + begin, '\n', static_cast<size_t>(s.n - begin));
        if (!lf) break;
        const int64_t at = static_cast<const uint8_t*>(lf) - s.p;
        const int64_t length = at + 1 - begin;
        if (period < 0) period = length;
        regular = regular && length == period;
        crlf = crlf && at > 0 && s.p[at - 1] == '\r';
        begin = at + 1;
        ++lines;
    }
    if (lines >= 2 && regular) {
        text = crlf ? "a CRLF line end every " : "an LF line end every ";
        text += std::to_string(period);
        text += " bytes";
    } else if (lines >= 1 && mostly_text(s)) {
        text = crlf ? "text with CRLF line ends" : "text with LF line ends";
    } else {
        return false;
    }
    return true;
}

bool read_sample(int fd, std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string rf_framing_hint(int fd, int64_t file_size, const rf_options& options) {
    if (fd < 0 || file_size <= 0) return "";
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min(kSample, file_size)));
    if (!read_sample(fd, bytes)) return "";
    const sample s{bytes.data(), static_cast<int64_t>(bytes.size()), file_size};

    std::string texts[4];
    bool fits[4] = {};
    const int fixed = static_cast<int>(rf_framing::fixed), v = static_cast<int>(rf_framing::v);
    const int vb = static_cast<int>(rf_framing::vb), line = static_cast<int>(rf_framing::line);
    fits[vb] = looks_vb(s);
    texts[vb] = "block descriptor words holding record descriptor words";
    fits[v] = looks_v(s);
    texts[v] = "record descriptor words";
    fits[line] = looks_line(s, texts[line]);
    fits[fixed] = options.lrecl > 0 && file_size % options.lrecl == 0;
    texts[fixed] = "the size " + std::to_string(file_size) + " is a multiple of " + std::to_string(options.lrecl);

    if (fits[static_cast<int>(options.framing)]) return "";
    for (const int f : {vb, v, line, fixed})
        if (fits[f])
            return std::string("; the bytes look like ") + rf_framing_name(static_cast<rf_framing>(f)) +
                   " framing: " + texts[f];
    return "";
}
