// recframe_split: record-aligned byte ranges of a data file, so that parts
// of it can be converted apart (other threads, processes or machines) and
// their outputs put together in file order.
//
// Invariants: a range starts where the reader, started there, finds a
// record (VB: a block), and holds exactly the records (blocks) that start
// before its end; the first record numbers count every record before the
// range. The walk over V and VB files reads descriptor words only, through
// a window that jumps over payloads larger than itself, and fails where
// the reader would, with the same text.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include "kvapp/recframe.h"
#include "kvapp/recframe_internal.h"

namespace {

constexpr int64_t kMaxSplits = 1'000'000;
constexpr size_t kWalkWindow = size_t{256} << 10;

// The ranges being made: a cut is taken at the first record boundary at or
// after each target offset; a boundary before the next target costs one
// comparison.
class cut_list {
public:
    cut_list(std::vector<rf_split>& out, int64_t start, int64_t first_record) : out_(out) {
        out_.push_back({start, 0, first_record});
    }
    void set_targets(int64_t start, int64_t length, int64_t count) {
        for (int64_t i = 1; i < count; ++i)
            targets_.push_back(start + static_cast<int64_t>(static_cast<__int128>(length) * i / count));
        next_target_ = targets_.empty() ? kNone : targets_[0];
    }
    void boundary(int64_t offset, int64_t number) {
        if (offset >= next_target_) cut(offset, number);
    }
    void finish(int64_t end) { out_.back().length = end - out_.back().start; }

private:
    static constexpr int64_t kNone = std::numeric_limits<int64_t>::max();
    void cut(int64_t offset, int64_t number) {
        while (next_ < targets_.size() && targets_[next_] <= offset) ++next_;
        next_target_ = next_ < targets_.size() ? targets_[next_] : kNone;
        if (offset <= out_.back().start) return;
        out_.back().length = offset - out_.back().start;
        out_.push_back({offset, 0, number});
    }

    std::vector<rf_split>& out_;
    std::vector<int64_t> targets_;
    size_t next_ = 0;
    int64_t next_target_ = kNone;
};

// The split walk's source of descriptor words: a window read with pread
// wherever the next descriptor stands.
class header_window {
public:
    header_window(int fd, int64_t file_size, const std::string& path, const rf_options& options)
        : fd_(fd), file_size_(file_size), path_(path), options_(options),
          capacity_(options.buffer_size ? std::max<size_t>(options.buffer_size, 4) : kWalkWindow),
          bytes_(new uint8_t[capacity_]) {}

    const uint8_t* reach(int64_t at, int64_t n, int64_t& got) {
        if ((at < offset_ || at + n > offset_ + static_cast<int64_t>(length_)) && !load(at)) {
            got = -1;
            return nullptr;
        }
        got = std::min<int64_t>(n, offset_ + static_cast<int64_t>(length_) - at);
        return bytes_.get() + (at - offset_);
    }
    int64_t exists(int64_t at, int64_t n) const { return std::min(n, std::max<int64_t>(0, file_size_ - at)); }
    int fail_io(std::string& error, const rf_cursor& at) const {
        error = "cannot read " + path_ + ": " + std::strerror(read_errno_) + ": record " + std::to_string(at.number) +
                " at byte offset " + std::to_string(at.offset);
        return -1;
    }
    int fail(std::string& error, const std::string& what, const rf_cursor& at) const {
        error = rf_error_text(what, at, fd_, file_size_, options_);
        return -1;
    }
    const rf_options& framing_options() const { return options_; }

private:
    bool load(int64_t at) {
        offset_ = at;
        length_ = 0;
        while (length_ < capacity_) {
            const ssize_t n = ::pread(fd_, bytes_.get() + length_, capacity_ - length_, at + static_cast<int64_t>(length_));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                read_errno_ = errno;
                return false;
            }
            if (n == 0) break;
            length_ += static_cast<size_t>(n);
        }
        return true;
    }

    int fd_;
    int64_t file_size_;
    const std::string& path_;
    const rf_options& options_;
    size_t capacity_;
    std::unique_ptr<uint8_t[]> bytes_;
    int64_t offset_ = 0;
    size_t length_ = 0;
    int read_errno_ = 0;
};

// Where the part asked for ends: an end before the start leaves it empty.
int64_t part_end(const rf_options& o, int64_t file_size) {
    return std::max(o.start, o.end < 0 ? file_size : std::min(o.end, file_size));
}

int split_fixed(std::string& error, int fd, int64_t file_size, const rf_options& o, int64_t count,
                std::vector<rf_split>& out) {
    const int64_t records = (part_end(o, file_size) - o.start + o.lrecl - 1) / o.lrecl;
    const int64_t last = o.start + (records - 1) * o.lrecl;
    if (records > 0 && file_size - last < o.lrecl) {
        error = rf_error_text(rf_short_tail_text(file_size, o.lrecl, file_size - last),
                              {last, o.first_record + records - 1, -1, -1}, fd, file_size, o);
        return -1;
    }
    int64_t from = 0;
    for (int64_t i = 1; i <= count; ++i) {
        const int64_t to = static_cast<int64_t>(static_cast<__int128>(records) * i / count);
        if (to > from || (i == count && out.empty()))
            out.push_back({o.start + from * o.lrecl, (to - from) * o.lrecl, o.first_record + from});
        from = to;
    }
    return 1;
}

int split_described(std::string& error, const std::string& path, int fd, int64_t file_size, const rf_options& o,
                    int64_t count, std::vector<rf_split>& out) {
    header_window window(fd, file_size, path, o);
    cut_list cuts(out, o.start, o.first_record);
    cuts.set_targets(o.start, part_end(o, file_size) - o.start, count);
    const bool blocked = o.framing == rf_framing::vb;
    rf_cursor c{o.start, o.first_record, -1, o.start};
    rf_found found;
    int status;
    while ((status = rf_step_described<false>(window, c, found, error)) == 1) {
        // A VB part starts at a block: only a block's first record offers one.
        if (!blocked) cuts.boundary(found.offset, c.number - 1);
        else if (found.offset == found.block + 4) cuts.boundary(found.block, c.number - 1);
    }
    if (status < 0) return -1;
    cuts.finish(c.offset);
    return 1;
}

// Line numbers need every line end before a cut, so the part is read.
int split_lines(std::string& error, const std::string& path, int64_t file_size, const rf_options& o, int64_t count,
                std::vector<rf_split>& out) {
    rf_reader reader;
    if (!reader.open(error, path, o)) return 0;
    cut_list cuts(out, o.start, o.first_record);
    cuts.set_targets(o.start, part_end(o, file_size) - o.start, count);
    rf_record record;
    int status;
    while ((status = reader.next(error, record)) == 1) cuts.boundary(record.offset, record.number);
    if (status < 0) return -1;
    cuts.finish(reader.offset());
    return 1;
}

int resolve_count(std::string& error, int64_t length, int64_t& count, int64_t size) {
    if (count <= 0) {
        if (size <= 0) {
            error = "splits need a number of splits or a split size above 0";
            return 0;
        }
        count = std::max<int64_t>(1, length / size + (length % size != 0));
    }
    if (count > kMaxSplits) {
        error = "at most " + std::to_string(kMaxSplits) + " splits are made, not " + std::to_string(count);
        return 0;
    }
    return 1;
}

}  // namespace

int rf_make_splits(std::string& error, const std::string& path, const rf_options& options, int64_t count,
                   int64_t size, std::vector<rf_split>& out) {
    out.clear();
    int fd = -1;
    int64_t file_size = -1;
    if (!rf_open_file(error, path, options, fd, file_size)) return 0;
    int status = 1;
    if (file_size < 0) {
        error = "splits are made of regular files only, and " + path + " is none";
        status = 0;
    } else if (resolve_count(error, part_end(options, file_size) - options.start, count, size)) {
        switch (options.framing) {
            case rf_framing::fixed: status = split_fixed(error, fd, file_size, options, count, out); break;
            case rf_framing::line: status = split_lines(error, path, file_size, options, count, out); break;
            default: status = split_described(error, path, fd, file_size, options, count, out); break;
        }
    } else {
        status = 0;
    }
    ::close(fd);
    if (status != 1) out.clear();
    return status;
}
